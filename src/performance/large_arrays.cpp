#include "performance/large_arrays.h"

#include <algorithm>
#include <cstdint>
#include <sys/mman.h>
#include <thread>

namespace {

// The system provides pages in whole chunks of 2 MB here, one share per core.
constexpr std::uintptr_t kChunk = std::uintptr_t(2) << 20;

} // namespace

void PrefaultPages(void* p, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    if (bytes < 4 * kChunk)
        return;
    // Whole chunks only: the pages at the ends may hold elements.
    const auto begin = (reinterpret_cast<std::uintptr_t>(p) + kChunk - 1) & ~(kChunk - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(kChunk - 1);
    if (end <= begin)
        return;
    const auto cores = static_cast<std::uintptr_t>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const std::uintptr_t share = ((end - begin) / cores + kChunk - 1) & ~(kChunk - 1);
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
