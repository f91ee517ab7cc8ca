// The CRC-32 of IEEE 802.3 (zlib's, zip's and PNG's: reflected, polynomial 0x04C11DB7), as the
// production log gives each chip's image and the chips file closes its blocks and itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kaldo {

// The CRC of `bytes`, continued from `crc` (the CRC of what came before them, 0 at the start).
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0);
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size);

}  // namespace kaldo
