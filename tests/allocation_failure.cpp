// Allocation failures on demand: while armed, the allocation after a given
// number of further allocations throws std::bad_alloc, as when memory runs out.
#include "allocation_failure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long long> g_countdown{-1};
} // namespace

TAllocationFailure::TAllocationFailure(long long after)
{
    g_countdown.store(after);
}

TAllocationFailure::~TAllocationFailure()
{
    g_countdown.store(-1);
}

bool TAllocationFailure::Happened()
{
    return g_countdown.load() == -2;
}

void* operator new(std::size_t size)
{
    long long left = g_countdown.load(std::memory_order_relaxed);
    if (left >= 0) {
        if (left == 0) {
            g_countdown.store(-2);
            throw std::bad_alloc();
        }
        g_countdown.store(left - 1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    return ::operator new(size);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

// The forms that return no memory instead of throwing go the same way, so
// that every allocation is paired with its release here.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
