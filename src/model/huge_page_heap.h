// The program's heap on huge pages. Nets of tens of thousands of elements
// and chains of millions of markings fill hundreds of megabytes of fresh
// heap; with pages of 2 MB instead of 4 KB that costs a few hundred page
// faults instead of a hundred thousand, which on virtual machines is often
// a third of the whole run.
#pragma once

// The C library takes this setting only from the environment at start, so
// where it is missing the program starts itself again with it, before
// anything else is done. Returns when nothing is to be done (another
// system, a user who set the library's tunables, or an empty value, which
// turns this off; huge pages switched off; a run under a memory checker) or
// when starting again failed, and the program then goes on as it is.
void UseHugePageHeap(char** argv);
