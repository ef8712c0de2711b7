#include "reach/large_memory.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// Large blocks are whole units of 2 MB.
constexpr std::size_t kUnit = std::size_t(2) << 20;
constexpr std::size_t kWarmStep = std::size_t(8) << 20;
constexpr std::size_t kLeastAhead = std::size_t(16) << 20;

std::size_t wholeUnits(std::size_t bytes)
{
    return (bytes + kUnit - 1) / kUnit * kUnit;
}

#ifdef __linux__

// `size` bytes of fresh memory; null when the system has none. The program
// asks for no huge pages: on virtual machines whose host takes back the
// memory a guest frees, a huge page touched for the first time costs about
// five times as much per byte as ordinary pages do.
char* mapFresh(std::size_t size, int flags)
{
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | flags, -1, 0);
    return mapped == MAP_FAILED ? nullptr : static_cast<char*>(mapped);
}

// The range the large blocks come from: blocks are handed out at its top or
// from the ranges given back, lowest address first.
class TArena
{
public:
    static TArena& Instance()
    {
        static TArena* arena = new TArena; // lives until the process ends, as blocks may
        return *arena;
    }

    // A block of `size` bytes (whole units), or null when the range
    // cannot hold it. `dirty` tells whether it may hold old values.
    void* Take(std::size_t size, bool& dirty)
    {
        std::lock_guard lock(m_mutex);
        if (!reserve())
            return nullptr;
        for (auto it = m_free.begin(); it != m_free.end(); ++it) {
            if (it->second.Size < size)
                continue;
            const std::size_t offset = it->first;
            dirty = it->second.Dirty;
            if (it->second.Size == size) {
                m_free.erase(it);
            } else {
                // The rest keeps the node: nothing is allocated here.
                auto node = m_free.extract(it);
                node.key() = offset + size;
                node.mapped().Size -= size;
                m_free.insert(std::move(node));
            }
            m_inUse += size;
            return m_base + offset;
        }
        if (size > m_size - m_top)
            return nullptr;
        const std::size_t offset = m_top;
        m_top += size;
        m_warm = std::max(m_warm, m_top);
        m_inUse += size;
        dirty = false;
        m_wake.notify_all();
        return m_base + offset;
    }

    // False when `p` is not from the range.
    bool Give(void* p, std::size_t size)
    {
        char* const at = static_cast<char*>(p);
        std::lock_guard lock(m_mutex);
        if (!m_base || at < m_base || at >= m_base + m_size)
            return false;
        m_inUse -= size;
        const bool keep = m_scopes > 0;
        if (!keep)
            madvise(at, size, MADV_DONTNEED); // the pages go back and read as zero
        try {
            insertFree(static_cast<std::size_t>(at - m_base), size, keep);
        } catch (const std::bad_alloc&) {
            // No memory to note the range: its pages go back, its addresses stay unused.
            if (keep)
                madvise(at, size, MADV_DONTNEED);
        }
        lowerTop();
        return true;
    }

    void EnterScope()
    {
        std::lock_guard lock(m_mutex);
        ++m_scopes;
    }
    void LeaveScope()
    {
        std::lock_guard lock(m_mutex);
        if (--m_scopes > 0)
            return;
        // Everything kept goes back to the system and reads as zero again;
        // ranges that meet are joined (allocating nothing).
        for (auto& [offset, range] : m_free) {
            if (range.Dirty)
                madvise(m_base + offset, range.Size, MADV_DONTNEED);
            range.Dirty = false;
        }
        for (auto it = m_free.begin(); it != m_free.end();) {
            const auto next = std::next(it);
            if (next != m_free.end() && it->first + it->second.Size == next->first) {
                it->second.Size += next->second.Size;
                m_free.erase(next);
            } else {
                it = next;
            }
        }
        if (m_warm > m_top)
            madvise(m_base + m_top, m_warm - m_top, MADV_DONTNEED);
        m_warm = m_top;
        lowerTop();
    }

    TLargeMemoryUse Use()
    {
        std::lock_guard lock(m_mutex);
        TLargeMemoryUse use;
        use.InUse = m_inUse;
        use.Held = m_warm - m_top;
        for (const auto& [offset, range] : m_free)
            if (range.Dirty)
                use.Held += range.Size;
        return use;
    }

    // Provides pages above the top until asked to stop. False at once when
    // another thread does so already or the system cannot.
    bool BeginWarming(double ratio, std::size_t cap)
    {
        std::lock_guard lock(m_mutex);
#ifdef MADV_POPULATE_WRITE
        if (m_warming || !reserve())
            return false;
        m_warming = true;
        m_stopWarming = false;
        m_ratio = ratio;
        m_cap = cap;
        return true;
#else
        (void)ratio;
        (void)cap;
        return false;
#endif
    }
    void Warm()
    {
#ifdef MADV_POPULATE_WRITE
        std::unique_lock lock(m_mutex);
        while (!m_stopWarming) {
            // Nothing ahead before the first block: small builds need none.
            const auto wanted = static_cast<std::size_t>(m_ratio * static_cast<double>(m_inUse));
            const std::size_t ahead = m_inUse == 0 ? 0 : std::min(m_cap, std::max(kLeastAhead, wanted));
            const std::size_t target = std::min(m_size, wholeUnits(m_top + ahead));
            m_warm = std::max(m_warm, m_top);
            if (m_warm >= target) {
                m_wake.wait(lock);
                continue;
            }
            const std::size_t from = m_warm;
            m_warm = std::min(target, from + kWarmStep);
            const std::size_t length = m_warm - from;
            lock.unlock();
            // Only advice: the pages are provided without being written, so
            // a block handed out meanwhile keeps what its owner wrote.
            const bool provided = madvise(m_base + from, length, MADV_POPULATE_WRITE) == 0;
            lock.lock();
            if (!provided)
                break;
        }
        m_warming = false;
#endif
    }
    // When the helper thread could not be started.
    void AbandonWarming()
    {
        std::lock_guard lock(m_mutex);
        m_warming = false;
    }
    void EndWarming()
    {
        std::lock_guard lock(m_mutex);
        m_stopWarming = true;
        m_wake.notify_all();
    }

private:
    struct TFree
    {
        std::size_t Size;
        bool Dirty; // holds values written before it was given back
    };

    bool reserve()
    {
        if (m_base || m_failed)
            return m_base != nullptr;
        m_failed = true;
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || pageSize <= 0)
            return false;
        std::size_t size = std::min(std::size_t(64) << 30,
                                    static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize));
        // Under a limit of address space the range takes a quarter of it at most.
        rlimit limit{};
        if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            size = std::min(size, static_cast<std::size_t>(limit.rlim_cur / 4));
        size = size / kUnit * kUnit;
        if (size == 0)
            return false;
        // Addresses only: nothing is committed until a page is touched.
        m_base = mapFresh(size, MAP_NORESERVE);
        if (!m_base)
            return false;
        m_size = size;
        m_failed = false;
        return true;
    }

    // Adds a free range, joined with its neighbours when they are alike.
    // Allocates only when it joins none (and may then throw std::bad_alloc).
    void insertFree(std::size_t offset, std::size_t size, bool dirty)
    {
        using TNode = std::map<std::size_t, TFree>::node_type;
        TNode node;
        auto next = m_free.lower_bound(offset);
        if (next != m_free.begin()) {
            const auto before = std::prev(next);
            if (before->first + before->second.Size == offset && before->second.Dirty == dirty) {
                offset = before->first;
                size += before->second.Size;
                node = m_free.extract(before);
            }
        }
        if (next != m_free.end() && offset + size == next->first && next->second.Dirty == dirty) {
            size += next->second.Size;
            TNode joined = m_free.extract(next);
            if (node.empty())
                node = std::move(joined);
        }
        if (node.empty()) {
            m_free.emplace(offset, TFree{size, dirty});
            return;
        }
        node.key() = offset;
        node.mapped() = TFree{size, dirty};
        m_free.insert(std::move(node));
    }

    // A free range at the top that reads as zero becomes part of the top.
    void lowerTop()
    {
        const std::size_t top = m_top;
        while (!m_free.empty()) {
            const auto last = std::prev(m_free.end());
            if (last->second.Dirty || last->first + last->second.Size != m_top)
                break;
            m_top = last->first;
            m_free.erase(last);
        }
        if (m_warm <= top) // nothing was provided ahead
            m_warm = m_top;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    char* m_base = nullptr;
    std::size_t m_size = 0;
    bool m_failed = false;
    std::map<std::size_t, TFree> m_free;
    std::size_t m_top = 0;  // everything at or above reads as zero
    std::size_t m_warm = 0; // [m_top, m_warm) was provided ahead
    std::size_t m_inUse = 0;
    int m_scopes = 0;
    bool m_warming = false;
    bool m_stopWarming = false;
    double m_ratio = 0;
    std::size_t m_cap = 0;
};

void* takeLarge(std::size_t bytes, bool zeroed)
{
    const std::size_t size = wholeUnits(bytes);
    bool dirty = false;
    if (void* block = TArena::Instance().Take(size, dirty)) {
        if (dirty && zeroed)
            std::memset(block, 0, bytes);
        return block;
    }
    // A mapping of its own when the range cannot hold it.
    if (char* block = mapFresh(size, 0))
        return block;
    throw std::bad_alloc();
}

#endif

} // namespace

void* AllocateBlock(std::size_t bytes)
{
#ifdef __linux__
    if (bytes >= kUnit)
        return takeLarge(bytes, true);
#endif
    void* block = ::operator new(bytes);
    std::memset(block, 0, bytes);
    return block;
}

void* AllocateRoom(std::size_t bytes)
{
#ifdef __linux__
    if (bytes >= kUnit)
        return takeLarge(bytes, false);
#endif
    return ::operator new(bytes);
}

void FreeBlock(void* block, std::size_t bytes) noexcept
{
    if (!block)
        return;
#ifdef __linux__
    if (bytes >= kUnit) {
        const std::size_t size = wholeUnits(bytes);
        if (!TArena::Instance().Give(block, size))
            munmap(block, size);
        return;
    }
#endif
    ::operator delete(block);
}

TLargeMemoryUse LargeMemoryUse()
{
#ifdef __linux__
    return TArena::Instance().Use();
#else
    return {};
#endif
}

TLargeMemoryScope::TLargeMemoryScope()
{
#ifdef __linux__
    TArena::Instance().EnterScope();
#endif
}

TLargeMemoryScope::~TLargeMemoryScope()
{
#ifdef __linux__
    TArena::Instance().LeaveScope();
#endif
}

TWarmAhead::TWarmAhead(double ratio)
{
#ifdef __linux__
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const std::size_t available =
        pages > 0 && pageSize > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize) : 0;
    if (ratio > 0 && available > 0 && TArena::Instance().BeginWarming(ratio, available / 4)) {
        try {
            m_thread = std::thread([] { TArena::Instance().Warm(); });
        } catch (const std::exception&) {
            TArena::Instance().AbandonWarming(); // nothing is provided ahead
        }
    }
#else
    (void)ratio;
#endif
}

TWarmAhead::~TWarmAhead()
{
#ifdef __linux__
    if (m_thread.joinable()) {
        TArena::Instance().EndWarming();
        m_thread.join();
    }
#endif
}
