// Room for the large arrays of a chain (millions of markings, tens of
// millions of entries). The room is reserved without being touched and,
// where the system offers it, backed by huge pages: filling and sweeping
// such arrays then costs one page fault per 2 MB instead of per 4 KB, and
// far fewer misses of the processor's address translation.
#pragma once

#include <cstddef>
#include <type_traits>
#include <vector>

// Asks for huge pages over the whole 2 MB pages within [p, p + bytes).
// Nothing happens for small arrays or where the system does not offer them.
void AdviseHugePages(const void* p, std::size_t bytes);

// Reserves room for `count` elements (see above); the elements already held stay.
template <class T> void ReserveLarge(std::vector<T>& v, std::size_t count)
{
    if (count <= v.capacity())
        return;
    v.reserve(count);
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

// `v` holds `count` elements equal to `value`, in room reserved as above.
template <class T>
void AssignLarge(std::vector<T>& v, std::size_t count, const std::type_identity_t<T>& value)
{
    v.clear();
    ReserveLarge(v, count);
    v.assign(count, value);
}
