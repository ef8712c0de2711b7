// CRC-32 as IEEE 802.3 defines it: the reflected polynomial 0xEDB88320,
// initial value all ones, final inversion.
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// The checksum of `size` bytes at `data`.
quint32 Crc32(const void* data, std::size_t size);

inline quint32 Crc32(const QByteArray& bytes)
{
    return Crc32(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}
