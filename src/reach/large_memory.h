// Memory for the large arrays of a reachability graph and of the chain built
// from it. Blocks of 2 MB and more come from one range of addresses reserved
// at the first such request; smaller blocks come from the heap.
//
// A page the process touches for the first time must be found and zeroed by
// the system, which on virtual machines often costs more than filling it.
// Two things keep that off the way of an analysis:
//  - while a TLargeMemoryScope lives, blocks given back stay with the process
//    and are handed out again (the chain of a graph reuses the pages of the
//    marking store it was copied from); when the last scope ends they are
//    given back to the system;
//  - while a TWarmAhead lives, a helper thread has the system provide pages
//    beyond those in use, so that a single-threaded build finds them ready.
#pragma once

#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

// A zeroed block of `bytes` bytes; throws std::bad_alloc when there is none.
void* AllocateBlock(std::size_t bytes);
// A block of `bytes` bytes whose contents are unspecified.
void* AllocateRoom(std::size_t bytes);
// Frees a block of AllocateBlock or AllocateRoom, given the same size.
void FreeBlock(void* block, std::size_t bytes) noexcept;

// Bytes of large blocks in use, and the pages held beyond them (kept for
// reuse or provided ahead).
struct TLargeMemoryUse
{
    std::size_t InUse = 0;
    std::size_t Held = 0;
};
TLargeMemoryUse LargeMemoryUse();

class TLargeMemoryScope
{
public:
    TLargeMemoryScope();
    ~TLargeMemoryScope();
    TLargeMemoryScope(const TLargeMemoryScope&) = delete;
    TLargeMemoryScope& operator=(const TLargeMemoryScope&) = delete;
};

// Keeps `ratio` times the bytes in use provided ahead of the blocks in use:
// nothing while none is, at least 16 MB once one is, at most a quarter of the
// memory the system had available when it started. Holds a TLargeMemoryScope, so that what it provided and
// was not used yet stays for the next blocks after it ends.
class TWarmAhead
{
public:
    explicit TWarmAhead(double ratio);
    ~TWarmAhead();
    TWarmAhead(const TWarmAhead&) = delete;
    TWarmAhead& operator=(const TWarmAhead&) = delete;

private:
    TLargeMemoryScope m_scope;
    std::thread m_thread;
};

// An allocator for std::vector that takes arrays of 4 MB and more from the
// blocks above (contents unspecified: the vector fills them itself).
template <class T> struct TLargeAllocator
{
    using value_type = T;
    using is_always_equal = std::true_type;
    static constexpr std::size_t LargeBytes = std::size_t(4) << 20;

    TLargeAllocator() = default;
    template <class U> TLargeAllocator(const TLargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t n)
    {
        if (n >= LargeBytes / sizeof(T))
            return static_cast<T*>(AllocateRoom(n * sizeof(T)));
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept
    {
        if (n >= LargeBytes / sizeof(T))
            FreeBlock(p, n * sizeof(T));
        else
            std::allocator<T>().deallocate(p, n);
    }
    template <class U> bool operator==(const TLargeAllocator<U>&) const noexcept { return true; }
};

template <class T> using TLargeVector = std::vector<T, TLargeAllocator<T>>;
