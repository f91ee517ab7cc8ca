// What one device command works on: the device, the image of its code memory and the lock bits
// and fuse a write programs after its verify.
#pragma once

#include <cstdint>

#include "core/model/CodeImage.h"

namespace kaldo {

// Which memory of the chip a command works on: the code memory (on the AT89S8252 the board sees
// its data EEPROM after it, and a code job covers both), or the data EEPROM alone, which only a
// cable reaches apart.
enum class DeviceMemory { Code, DataEeprom };

struct DeviceJob {
  // A device table index; one outside the table selects no device, and nothing is done.
  int DeviceType = -1;
  // A read fills Image[0 .. Size-1]; verify and write compare with it and program it.
  CodeImage* Image = nullptr;
  std::uint16_t Size = 0;
  // kLockBit1..3 and kIspFuse, for a write.
  int ProgramBits = 0;
  DeviceMemory Memory = DeviceMemory::Code;
};

}  // namespace kaldo
