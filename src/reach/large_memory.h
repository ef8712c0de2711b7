// Memory for the large arrays of a reachability graph. Blocks of 2 MB and
// more come straight from the system, in huge pages where it offers them:
// far fewer page faults while they fill, and fewer address-translation
// misses when they are read at random. Smaller blocks come from the heap.
#pragma once

#include <cstddef>

// A zeroed block of `bytes` bytes; throws std::bad_alloc when there is none.
void* AllocateBlock(std::size_t bytes);
// Frees a block of AllocateBlock, given the same size.
void FreeBlock(void* block, std::size_t bytes) noexcept;
