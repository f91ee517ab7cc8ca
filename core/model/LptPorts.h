// The PC's parallel (LPT) ports: the three standard base addresses and the registers at a base.
// The settings file, the port menu, kaldo-cli's --port and the backends all take them from here.
#pragma once

#include <cstdint>

namespace kaldo {

// Standard I/O bases; a port on a PCI or PCIe card may sit at any other base of 0x100 or above.
inline constexpr std::uint16_t kLpt1Base = 0x378;
inline constexpr std::uint16_t kLpt2Base = 0x278;
inline constexpr std::uint16_t kLpt3Base = 0x3BC;

// Below this address live the PC's own devices (DMA, interrupt and timer chips, keyboard).
inline constexpr std::uint16_t kLowestLptBase = 0x100;

// Data register at base + 0, status at + 1, control at + 2.
inline constexpr int kLptRegisterCount = 3;

// The highest base whose three registers all lie below 0x10000, the end of the I/O space.
inline constexpr std::uint16_t kHighestLptBase = 0x10000 - kLptRegisterCount;
// The highest base the window's "Other Address..." takes: a card's port sits at the start of an
// 8-byte I/O window, and the last such window ends at 0xFFFF.
inline constexpr std::uint16_t kHighestCardBase = 0xFFF8;

}  // namespace kaldo
