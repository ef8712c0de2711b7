// Room for the large arrays of a chain (millions of markings, tens of
// millions of entries). The room is reserved without being touched; the
// system's zeroing of fresh pages, slow where memory is first touched, is
// shared out over the cores before the elements are written.
#pragma once

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <vector>

// Has the system provide the pages of [p, p + bytes), which the caller owns
// but holds nothing in yet, on every core. Only advice: nothing happens for
// small ranges or where the system does not offer it.
void PrefaultPages(void* p, std::size_t bytes);

// Provides the pages for `extra` more elements within the room `v` has.
template <class T, class A> void PrefaultTail(std::vector<T, A>& v, std::size_t extra)
{
    const std::size_t room = v.capacity() - v.size();
    PrefaultPages(v.data() + v.size(), (extra < room ? extra : room) * sizeof(T));
}

// `v` holds `count` elements, those past its former ones equal to `value`.
template <class T, class A>
void ResizeLarge(std::vector<T, A>& v, std::size_t count, const std::type_identity_t<T>& value)
{
    if (count <= v.size()) {
        v.resize(count);
        return;
    }
    // Growing again and again, the room doubles at least.
    if (count > v.capacity())
        v.reserve(v.empty() ? count : std::max(count, 2 * v.capacity()));
    PrefaultTail(v, count - v.size());
    v.resize(count, value);
}

// `v` holds `count` elements equal to `value`, in room grown as above.
template <class T, class A>
void AssignLarge(std::vector<T, A>& v, std::size_t count, const std::type_identity_t<T>& value)
{
    v.clear();
    ResizeLarge(v, count, value);
}

// Gives the room of `v` back.
template <class V> void FreeVector(V& v)
{
    V().swap(v);
}
