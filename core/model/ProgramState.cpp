#include "ProgramState.h"

#include "core/Convert.h"

namespace kaldo {

void SetDeviceSize(ProgramState& s) {
  if (const DeviceInfo* d = FindDevice(s.DeviceType)) s.DeviceSize = d->Size;
}

void BlankBuffer(ProgramState& s) {
  s.DataBuffer.fill(kBlank);
}

std::uint16_t BufferChecksum(const ProgramState& s) {
  std::uint16_t sum = 0;
  for (std::uint32_t a = 0; a != s.DeviceSize; ++a)
    sum = static_cast<std::uint16_t>(sum + s.DataBuffer[a]);
  return sum;
}

std::optional<DataPastDevice> FindDataPastDevice(const ProgramState& s) {
  std::optional<DataPastDevice> past;
  if (!FindDevice(s.DeviceType)) return past;
  for (std::uint32_t a = s.DeviceSize; a < kBufferSize; ++a) {
    if (s.DataBuffer[a] == kBlank) continue;
    if (!past) past = DataPastDevice{a, a, 0};
    past->Last = a;
    ++past->Bytes;
  }
  return past;
}

std::string DataPastDeviceText(const ProgramState& s, const DataPastDevice& past) {
  const DeviceInfo* device = FindDevice(s.DeviceType);
  const std::string name = device ? FullName(*device) + "'s" : "device's";
  return "The image holds data at " + IntToHex(past.First, 4) + "-" + IntToHex(past.Last, 4) +
         ", past the " + name + " last address " + IntToHex(s.DeviceSize - 1u, 4) + ".";
}

void KeepFolderOfHexFile(ProgramState& s) {
  if (s.HexFileName.empty()) return;
  const std::size_t slash = s.HexFileName.rfind('/');
  s.FilePath = slash == std::string::npos ? std::string() : s.HexFileName.substr(0, slash + 1);
}

}  // namespace kaldo
