#include "reach/large_memory.h"

#include <cstdint>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

} // namespace

void* AllocateBlock(std::size_t bytes)
{
#ifdef __linux__
    if (bytes >= kHugePage) {
        // Map a huge page more than asked, keep the aligned part.
        const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* mapped =
            mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
        if (aligned > start)
            munmap(mapped, aligned - start);
        const std::uintptr_t end = start + size + kHugePage;
        if (end > aligned + size)
            munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
        madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
        return reinterpret_cast<void*>(aligned);
    }
#endif
    void* block = ::operator new(bytes);
    std::memset(block, 0, bytes);
    return block;
}

void FreeBlock(void* block, std::size_t bytes) noexcept
{
    if (!block)
        return;
#ifdef __linux__
    if (bytes >= kHugePage) {
        munmap(block, (bytes + kHugePage - 1) / kHugePage * kHugePage);
        return;
    }
#endif
    ::operator delete(block);
}
