#include "core/Crc32.h"

namespace kaldo {

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc) {
  crc = ~crc;
  for (char c : bytes) {
    crc ^= static_cast<unsigned char>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  return Crc32(std::string_view(reinterpret_cast<const char*>(bytes), size));
}

}  // namespace kaldo
