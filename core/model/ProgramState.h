// The program's model of its target: the buffer image of a device's code memory, the selected
// device and the program-wide variables that the windows, the file code and the device operations
// share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/model/CodeImage.h"
#include "core/model/DeviceTable.h"
#include "core/model/LptPorts.h"

namespace kaldo {

struct ProgramState {
  CodeImage DataBuffer;
  // A Device as its index; a value from the settings file may lie outside the device table and
  // selects none.
  std::int32_t DeviceType = 0;
  std::uint16_t DeviceSize = 0;
  std::int32_t ProgBits = 0;
  std::string HexFileName;
  std::string FilePath;
  std::string ResultText;
  std::uint16_t PortBase = kLpt1Base;
  bool BufferChanged = false;

  ProgramState() { DataBuffer.fill(kBlank); }
};

// DeviceSize := the table's size for DeviceType; unchanged for a type outside the device table.
void SetDeviceSize(ProgramState& s);
void BlankBuffer(ProgramState& s);
// 16-bit wrap-around sum of DataBuffer[0 .. DeviceSize-1].
std::uint16_t BufferChecksum(const ProgramState& s);

// The bytes of the buffer that are not blank past the device's last address (DeviceSize-1): a
// program built for a larger device. A write or verify leaves them out. None without a device.
struct DataPastDevice {
  std::uint32_t First = 0;  // the first and last such address
  std::uint32_t Last = 0;
  std::size_t Bytes = 0;  // how many such bytes
};
std::optional<DataPastDevice> FindDataPastDevice(const ProgramState& s);
// "The image holds data at 2000-3376, past the AT89C2051's last address 07FF."
std::string DataPastDeviceText(const ProgramState& s, const DataPastDevice& past);

// FilePath := HexFileName up to and including its last "/" (empty when it has none); FilePath keeps
// its value when HexFileName is empty.
void KeepFolderOfHexFile(ProgramState& s);

}  // namespace kaldo
