// The check before a command that reads or writes the chip: it must answer with the signature of
// the device the command is for, or the command would erase, program or judge the wrong part.
// When it does not, the chip is identified, so that the refusal names the chip that is there.
#include "cli/CliCommand.h"
#include "device/Programmer.h"

namespace kaldo::cli {

std::string SignatureGuardText(const SocketCheck& check) {
  std::string text = SocketCheckText(check);
  if (check.WrongChip()) {
    const DeviceInfo* d = FindDevice(check.DeviceType);
    text += "\rPut an " + (d ? FullName(*d) : std::string()) +
            " in the socket, or give the --device of the chip that is there; --force skips this "
            "check.";
  }
  return text;
}

bool PassesSignatureGuard(CliContext& c, Programmer& device) {
  if (c.Options.Force) {
    c.Err << "kaldo-cli: --force: the chip's signature is not checked\n";
    return true;
  }
  const SocketCheck check = device.CheckSocket(c.State.DeviceType);
  if (check.Verdict.Result == SignatureVerdict::Kind::NotReadable) {
    const DeviceInfo* d = FindDevice(check.DeviceType);
    c.Err << "kaldo-cli: the " << (d ? FullName(*d) : std::string()) << " "
          << (check.Note.empty() ? "has no signature a cable can read" : check.Note)
          << ": the chip is not checked\n";
  }
  if (check.Passed()) return true;
  PrintText(c.Out, SignatureGuardText(check));
  return false;
}

}  // namespace kaldo::cli
