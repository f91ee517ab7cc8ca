// The signature guard: does the chip in the socket answer with the selected device's signature?
// The signature is read with the device's own procedure (three bytes, or two on the AT89S53 group
// and the 20-pin devices) and compared with the device table's bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace kaldo {

struct SignatureVerdict {
  enum class Kind {
    Matches,           // the bytes the table has are the bytes read
    NoAnswer,          // every byte read is FF, or every one 00: no board, no power or no chip
    OtherDevice,       // another signature
    NoDeviceSelected,  // DeviceType names no device: nothing was read
    NotReadable,       // the device gives no signature through the cable in use: not checked
  };

  Kind Result = Kind::NoDeviceSelected;
  std::vector<std::uint8_t> Read;      // as the device's procedure gave them
  std::vector<std::uint8_t> Expected;  // the device table's bytes
  // OtherDevice: the devices whose table bytes the bytes read are (several when the procedure
  // reads fewer bytes than they have); empty for a signature the table does not know.
  std::vector<int> FoundTypes;

  bool Passed() const { return Result == Kind::Matches; }
};

// The device table's signature bytes: three, or two for a device that has two only; none for a
// type outside the device table.
std::vector<std::uint8_t> ExpectedSignature(int deviceType);

// Judges the bytes read with the procedure of `deviceType`. Only the bytes both sides have are
// compared.
SignatureVerdict JudgeSignature(int deviceType, const std::vector<std::uint8_t>& read);

}  // namespace kaldo
