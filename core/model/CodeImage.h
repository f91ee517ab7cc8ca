// The image of a device's code memory as the program holds it: one buffer for the largest device,
// the byte an erased cell reads, and the program bits (lock bits and ISP fuse) a write sets after
// its verify.
#pragma once

#include <array>
#include <cstdint>

namespace kaldo {

inline constexpr int kBufferSize = 32768;  // addresses 0x0000..0x7FFF, the largest device
inline constexpr int kLastBufferAddress = kBufferSize - 1;
inline constexpr std::uint8_t kBlank = 0xFF;  // an erased cell reads 0xFF

using CodeImage = std::array<std::uint8_t, kBufferSize>;

// ProgBits: bit 0 Lock Bit-1, bit 1 Lock Bit-2, bit 2 Lock Bit-3, bit 3 ISP fuse.
inline constexpr int kLockBit1 = 0x01;
inline constexpr int kLockBit2 = 0x02;
inline constexpr int kLockBit3 = 0x04;
inline constexpr int kIspFuse = 0x08;

}  // namespace kaldo
