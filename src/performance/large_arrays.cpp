#include "performance/large_arrays.h"

#include <algorithm>
#include <cstdint>
#include <sys/mman.h>
#include <thread>

namespace {

constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;

} // namespace

void AdviseHugePages(const void* p, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    if (bytes < 2 * kHuge)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(kHuge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin,
                MADV_HUGEPAGE); // only advice: failure is harmless
#else
    (void)p;
    (void)bytes;
#endif
}

void PrefaultPages(void* p, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    if (bytes < 4 * kHuge)
        return;
    // Whole 2 MB pages only: the pages at the ends may hold elements.
    const auto begin = (reinterpret_cast<std::uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(kHuge - 1);
    if (end <= begin)
        return;
    const auto cores = static_cast<std::uintptr_t>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const std::uintptr_t share = ((end - begin) / cores + kHuge - 1) & ~(kHuge - 1);
    const auto populate = [](std::uintptr_t from, std::uintptr_t to) {
        if (to > from)
            madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE); // only advice
    };
    std::vector<std::thread> helpers;
    for (std::uintptr_t from = begin + share; from < end; from += share)
        helpers.emplace_back(populate, from, std::min(end, from + share));
    populate(begin, std::min(end, begin + share));
    for (std::thread& t : helpers)
        t.join();
#else
    (void)p;
    (void)bytes;
#endif
}
