// The CRC-32 of IEEE 802.3 (zlib's, reflected, polynomial 0x04C11DB7), as the production log gives
// each chip's image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kaldo {

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size);

}  // namespace kaldo
