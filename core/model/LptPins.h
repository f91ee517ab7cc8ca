// The pins of the PC's parallel port (DB-25) as the program drives and reads them: each signal
// pin's register, bit and whether the port's own hardware inverts it. Pins 18-25 are ground.
#pragma once

#include <span>

namespace kaldo {

enum class LptRegister { Data, Status, Control };

struct LptPin {
  int Pin;
  LptRegister Register;
  int Bit;
  // The register bit is the opposite of the level at the pin: /STROBE, BUSY, /AUTOFD, /SELECTIN.
  bool Inverted;
  const char* Name;
};

// clang-format off
inline constexpr LptPin kLptPins[] = {
    {1,  LptRegister::Control, 0, true,  "/STROBE"},
    {2,  LptRegister::Data,    0, false, "D0"},
    {3,  LptRegister::Data,    1, false, "D1"},
    {4,  LptRegister::Data,    2, false, "D2"},
    {5,  LptRegister::Data,    3, false, "D3"},
    {6,  LptRegister::Data,    4, false, "D4"},
    {7,  LptRegister::Data,    5, false, "D5"},
    {8,  LptRegister::Data,    6, false, "D6"},
    {9,  LptRegister::Data,    7, false, "D7"},
    {10, LptRegister::Status,  6, false, "/ACK"},
    {11, LptRegister::Status,  7, true,  "BUSY"},
    {12, LptRegister::Status,  5, false, "PAPER-OUT"},
    {13, LptRegister::Status,  4, false, "SELECT"},
    {14, LptRegister::Control, 1, true,  "/AUTOFD"},
    {15, LptRegister::Status,  3, false, "/ERROR"},
    {16, LptRegister::Control, 2, false, "/INIT"},
    {17, LptRegister::Control, 3, true,  "/SELECTIN"},
};
// clang-format on

inline constexpr int kFirstGroundPin = 18;
inline constexpr int kLastLptPin = 25;

// The signal pin `pin`; null for a ground pin or a number outside 1-25.
constexpr const LptPin* FindLptPin(int pin) {
  for (const LptPin& p : kLptPins)
    if (p.Pin == pin) return &p;
  return nullptr;
}

// The register's offset from the port's base.
constexpr int RegisterOffset(LptRegister r) {
  return r == LptRegister::Data ? 0 : r == LptRegister::Status ? 1 : 2;
}

}  // namespace kaldo
