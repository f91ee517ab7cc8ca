// The commands that tell about the program itself: the devices it knows.
#include <iomanip>
#include <sstream>

#include "cli/CliCommand.h"
#include "core/Convert.h"

namespace kaldo::cli {

namespace {

std::string LockBitList(const DeviceInfo& d) {
  return d.HasLockBit3 ? "1,2,3" : "1,2";
}

std::string SignatureList(const DeviceInfo& d) {
  const int count = d.HasSignature3 ? 3 : 2;
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? " " : "") + IntToHex(d.Signature[i], 2);
  return text;
}

// "89S8252    10240 bytes  lock bits 1,2,3  ISP fuse yes  signature 1E 72"
std::string DeviceLine(const DeviceInfo& d) {
  std::ostringstream line;
  line << std::left << std::setw(9) << d.PartName << std::right << std::setw(6) << d.Size
       << " bytes  lock bits " << std::left << std::setw(5) << LockBitList(d) << "  ISP fuse "
       << std::setw(3) << (d.HasIspFuse ? "yes" : "no") << "  signature " << SignatureList(d);
  return line.str();
}

int RunDevices(CliContext& c, const std::vector<std::string>&) {
  for (const DeviceInfo& d : DeviceTable) c.Out << DeviceLine(d) << "\n";
  return kExitOK;
}

const CliCommand kInfoCommands[] = {
    {"devices", "", 0,
     "list the devices, one a line: name (for --device), bytes of code memory, lock bits, "
     "whether it has the ISP fuse, and the signature bytes it answers with",
     RunDevices},
};

}  // namespace

std::span<const CliCommand> InfoCommands() {
  return kInfoCommands;
}

}  // namespace kaldo::cli
