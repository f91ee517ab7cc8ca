// The commands that tell about the program and the machine: the devices it knows, the ports it can
// reach.
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

// For --json: what a line of `devices` says.
JsonObject DeviceObject(int deviceType) {
  const DeviceInfo& d = *FindDevice(deviceType);
  JsonObject device;
  device.Set("name", FullName(d))
      .Set("part", d.PartName)
      .Set("size", d.Size)
      .Set("lock_bits",
           d.HasLockBit3 ? JsonArray().Add(1).Add(2).Add(3) : JsonArray().Add(1).Add(2))
      .Set("isp_fuse", d.HasIspFuse)
      .Set("signature", JsonArray::Of(ExpectedSignature(deviceType)));
  return device;
}

int RunDevices(CliContext& c, const std::vector<std::string>&) {
  JsonArray devices;
  for (int t = 0; t < kDeviceCount; ++t) {
    c.Out << DeviceLine(t) << "\n";
    devices.Add(DeviceObject(t));
  }
  c.Report.Fields.Set("devices", devices);
  return kExitOK;
}

// The port doctor's report; exit 0 when a port can be reached. --probe reads each usable port's
// status register; a test tree's ports are never read.
int RunPorts(CliContext& c, const std::vector<std::string>&) {
  if (c.Options.Probe && !c.Host.Root().empty())
    throw Error("The ports are read from the test tree " + PrintableText(c.Host.Root()) +
                " (KALDO_SYSTEM_ROOT): --probe touches no real port");
  const PortCheckReport report =
      CheckPorts(c.Host, c.Options.Probe ? StatusProbe(ProbeThroughPpdev) : StatusProbe());
  for (const std::string& line : report.Lines) c.Out << line << "\n";
  c.Report.Fields.Set("usable", report.Usable);
  return report.Usable ? kExitOK : kExitFailed;
}

const CliCommand kInfoCommands[] = {
    {"devices", "", 0,
     "list the devices, one a line: name (for --device), bytes of code memory, lock bits, "
     "whether it has the ISP fuse, and the signature bytes it answers with",
     RunDevices},
    {"ports", "", 0,
     "check the parallel ports: one line per port the kernel lists (node, base, modes), then "
     "whether you can open it, whether another driver or program holds it, whether direct port "
     "access would be allowed, each refusal with its remedy; and a line for each USB printer "
     "adapter, which cannot drive a board. With --probe, also whether a board seems to answer "
     "(reads only). Exit status 0 when a port can be reached, 1 otherwise",
     RunPorts},
};

}  // namespace

std::span<const CliCommand> InfoCommands() {
  return kInfoCommands;
}

}  // namespace kaldo::cli
