// The check before a command that reads or writes the chip: it must answer with the signature of
// the device the command is for, or the command would erase, program or judge the wrong part.
#include "cli/CliCommand.h"
#include "core/Convert.h"
#include "device/Programmer.h"

namespace kaldo::cli {

namespace {

// "AT89C51"
std::string DeviceName(int deviceType) {
  const DeviceInfo* d = FindDevice(deviceType);
  return d ? FullName(*d) : std::string();
}

// "AT89C51, AT89S51 or AT89C51RC"
std::string DeviceNames(const std::vector<int>& types) {
  std::string text;
  for (std::size_t i = 0; i < types.size(); ++i) {
    if (i > 0) text += i + 1 == types.size() ? " or " : ", ";
    text += DeviceName(types[i]);
  }
  return text;
}

}  // namespace

std::string SignatureGuardText(const SignatureVerdict& v, int deviceType) {
  const std::string read = HexByteList(v.Read);
  if (v.Result == SignatureVerdict::Kind::NoAnswer)
    return "No chip answered (signature " + read + "): is the board connected and the chip seated?";
  const std::string found = v.FoundTypes.empty() ? "no device known" : DeviceNames(v.FoundTypes);
  const std::string name = DeviceName(deviceType);
  return "Wrong chip: signature " + read + " (" + found + ") where the " + name + " has " +
         HexByteList(v.Expected) + ".\rPut an " + name +
         " in the socket, or give the --device of the chip that is there; --force skips this "
         "check.";
}

bool PassesSignatureGuard(CliContext& c, Programmer& device) {
  if (c.Options.Force) {
    c.Err << "kaldo-cli: --force: the chip's signature is not checked\n";
    return true;
  }
  const SignatureVerdict v = device.CheckSignature(c.State.DeviceType);
  if (v.Passed() || v.Result == SignatureVerdict::Kind::NoDeviceSelected) return true;
  PrintText(c.Out, SignatureGuardText(v, c.State.DeviceType));
  return false;
}

}  // namespace kaldo::cli
