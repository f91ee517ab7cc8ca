// The commands that tell about the program itself: the devices it knows.
#include <iomanip>
#include <sstream>

#include "cli/CliCommand.h"
#include "core/Convert.h"
#include "device/SignatureCheck.h"

namespace kaldo::cli {

namespace {

std::string LockBitList(const DeviceInfo& d) {
  return d.HasLockBit3 ? "1,2,3" : "1,2";
}

// "89S8252    10240 bytes  lock bits 1,2,3  ISP fuse yes  signature 1E 72"
std::string DeviceLine(int deviceType) {
  const DeviceInfo& d = *FindDevice(deviceType);
  std::ostringstream line;
  line << std::left << std::setw(9) << d.PartName << std::right << std::setw(6) << d.Size
       << " bytes  lock bits " << std::left << std::setw(5) << LockBitList(d) << "  ISP fuse "
       << std::setw(3) << (d.HasIspFuse ? "yes" : "no") << "  signature "
       << HexByteList(ExpectedSignature(deviceType));
  return line.str();
}

int RunDevices(CliContext& c, const std::vector<std::string>&) {
  for (int t = 0; t < kDeviceCount; ++t) c.Out << DeviceLine(t) << "\n";
  return kExitOK;
}

const CliCommand kInfoCommands[] = {
    {"devices", "", 0,
     "list the devices, one a line: name (for --device), bytes of code memory, lock bits, "
     "whether it has the ISP fuse, and the signature bytes it answers with",
     RunDevices},
};

}  // namespace

std::string HexByteList(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::uint8_t b : bytes) text += (text.empty() ? "" : " ") + IntToHex(b, 2);
  return text;
}

std::span<const CliCommand> InfoCommands() {
  return kInfoCommands;
}

}  // namespace kaldo::cli
