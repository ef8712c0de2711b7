// The program's heap on huge pages. Nets of tens of thousands of elements
// fill hundreds of megabytes of fresh heap with small objects read at random;
// with pages of 2 MB instead of 4 KB that costs a few hundred page faults
// instead of a hundred thousand, and far fewer misses of the processor's
// address translation. The large arrays of an analysis, filled once and read
// mostly in order, stay on ordinary pages (see large_arrays.h and
// large_memory.h).
#pragma once

// The C library takes this setting only from the environment at start, so
// where it is missing the program starts itself again with it, before
// anything else is done. Returns when nothing is to be done (another
// system, a user who set the library's tunables, or an empty value, which
// turns this off; huge pages switched off; a run under a memory checker) or
// when starting again failed, and the program then goes on as it is.
void UseHugePageHeap(char** argv);
