// The commands on the device in the programmer's socket: blank, read, write, verify, signature
// print the texts the window shows in its message boxes for the same commands; identify
// (IdentifyCommand.cpp) says which chip is there.
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>

#include "cli/BoardConnection.h"
#include "cli/CliCommand.h"
#include "core/Convert.h"
#include "core/HexFile.h"
#include "core/StopFlag.h"
#include "device/CommandOutcome.h"

namespace kaldo::cli {

namespace {

// The window's busy display as one line on a terminal: the command and the address readout.
class TerminalProgress : public ProgressDisplay {
 public:
  TerminalProgress(std::ostream& err, bool shown) : err_(err), shown_(shown) {}
  ~TerminalProgress() override {
    if (drawn_) err_ << "\n" << std::flush;
  }
  void ShowAddress(int address) override {
    address_ = address;
    Draw();
  }
  void ShowCommand(const std::string& text) override {
    command_ = text;
    Draw();
  }

 private:
  void Draw() {
    if (!shown_) return;
    // The readout shows the end of the 256-byte block, as the window does.
    err_ << "\r" << command_ << "  " << IntToHex(static_cast<std::uint32_t>(address_ | 0xFF), 4)
         << "   " << std::flush;
    drawn_ = true;
  }

  std::ostream& err_;
  bool shown_;
  bool drawn_ = false;
  std::string command_;
  int address_ = 0;
};

bool StderrIsTerminal(const CliContext& c) {
  return &c.Err == &std::cerr && isatty(STDERR_FILENO);
}

void ThrowIfStopped(const StopFlag& stop) {
  if (stop.Requested()) throw StoppedError(stop.Signal());
}

// Runs one device command on the buffer, showing the busy text of its window command. A command
// that reads or writes the chip runs only after the signature guard; nothing when the guard
// refused. Whatever ends it, the board is reset, the timer put back, the trace completed and the
// chips saved before it is reported. Raises StoppedError when a stop was requested, even one too
// late to stop anything.
std::optional<CommandOutcome> RunOnDevice(CliContext& c, DeviceCommand command, StopFlag& stop) {
  const std::optional<CommandOutcome> outcome =
      OnBoard(c.Options, stop, c.Host, [&](Programmer& programmer) {
        std::optional<CommandOutcome> ran;
        if (command == DeviceCommand::Signature || PassesSignatureGuard(c, programmer)) {
          TerminalProgress progress(c.Err, CommandInfo(command).BusyText && StderrIsTerminal(c));
          ran = programmer.Run(command, DeviceJob::Of(c.State), &progress);
        }
        return ran;
      });
  ThrowIfStopped(stop);
  return outcome;
}

// Runs `command` (the device part, the saving of its output and its report) while SIGINT, SIGTERM,
// SIGHUP and SIGQUIT only request a stop: the routines stop at their next byte or wait, a file
// being saved is completed or left as it was, and the first signal's status is the program's.
template <typename Command>
int UnderStopSignals(Command command) {
  StopFlag stop;
  int status;
  {
    const StopSignals signals(stop);
    status = command(stop);
  }
  ThrowIfStopped(stop);
  return status;
}

// Loads IN into a blank buffer as the window's Open does; prints the outcome only when it failed,
// so that a device command prints just the texts of its own window command.
bool LoadForDevice(CliContext& c, const std::string& fileName) {
  const LoadOutcome outcome = LoadImageFile(c, fileName);
  if (outcome.Loaded()) return true;
  PrintText(c.Out, std::string(outcome.Text));
  return false;
}

// True when the image fits the device, or --force leaves out what lies past its end (said on
// stderr). Otherwise prints where the data past the end lies.
bool FitsDevice(CliContext& c) {
  const std::optional<DataPastDevice> past = FindDataPastDevice(c.State);
  if (!past) return true;
  const std::string where = DataPastDeviceText(c.State, *past);
  if (c.Options.Force) {
    c.Err << "kaldo-cli: --force: " << where << " Its " << past->Bytes
          << " bytes there are left out.\n";
    return true;
  }
  PrintText(c.Out, where +
                       "\rGive the --device the program was built for, or --force to use "
                       "only its bytes 0000-" +
                       IntToHex(c.State.DeviceSize - 1u, 4) + ".");
  return false;
}

// The window's text for the outcome; exit 1 when the device failed the command, or the signature
// guard refused it (its text is printed).
int Verdict(CliContext& c, const std::optional<CommandOutcome>& outcome) {
  if (!outcome) return kExitFailed;
  PrintText(c.Out, OutcomeText(*outcome));
  return outcome->Succeeded() ? kExitOK : kExitFailed;
}

// The device command and the printing of its outcome.
int RunAndReport(CliContext& c, DeviceCommand command) {
  return UnderStopSignals(
      [&](StopFlag& stop) { return Verdict(c, RunOnDevice(c, command, stop)); });
}

int RunBlank(CliContext& c, const std::vector<std::string>&) {
  CheckDeviceOptions(c.Options);
  return RunAndReport(c, DeviceCommand::BlankCheck);
}

int RunRead(CliContext& c, const std::vector<std::string>& args) {
  CheckDeviceOptions(c.Options);
  return UnderStopSignals([&](StopFlag& stop) {
    const std::optional<CommandOutcome> outcome = RunOnDevice(c, DeviceCommand::Read, stop);
    if (!outcome || !outcome->Succeeded()) return Verdict(c, outcome);
    SaveImageFile(c, args[0]);
    ThrowIfStopped(stop);
    return Verdict(c, outcome);
  });
}

int RunWrite(CliContext& c, const std::vector<std::string>& args) {
  CheckDeviceOptions(c.Options);
  if (!LoadForDevice(c, args[0]) || !FitsDevice(c)) return kExitFailed;
  c.State.ProgBits = c.Options.ProgBits;
  return RunAndReport(c, DeviceCommand::Write);
}

int RunVerify(CliContext& c, const std::vector<std::string>& args) {
  CheckDeviceOptions(c.Options);
  if (!LoadForDevice(c, args[0]) || !FitsDevice(c)) return kExitFailed;
  return RunAndReport(c, DeviceCommand::Verify);
}

int RunSignature(CliContext& c, const std::vector<std::string>&) {
  CheckDeviceOptions(c.Options);
  return RunAndReport(c, DeviceCommand::Signature);
}

const CliCommand kDeviceCommands[] = {
    {"blank", "", 0, "check that the device's code memory is erased (every byte FF)", RunBlank},
    {"read", "OUT", 1,
     "read the device's code memory and save it to OUT (an Intel HEX file, an S-record file, or a "
     "raw binary image of exactly the device's size)",
     RunRead},
    {"write", "IN", 1,
     "load IN into a blank image, then erase, program and verify the device; after a verified "
     "write, program the lock bits and ISP fuse chosen with --lock and --isp",
     RunWrite},
    {"verify", "IN", 1, "load IN into a blank image and compare the device with it", RunVerify},
    {"signature", "", 0,
     "read the device's signature bytes (and on some devices its lock bits and ISP fuse)",
     RunSignature},
    {"identify", "", 0,
     "say which chip is in the socket, whatever --device names: reads its signature with each of "
     "the board's signature procedures (reads only; the one that puts the programming voltage "
     "on, the AT89S53's, last) and prints e.g. \"AT89S52 (signature 1E 52 06)\". Exit status 0 "
     "when a known chip answered, 1 for no answer or an unknown signature",
     RunIdentify},
};

}  // namespace

std::span<const CliCommand> DeviceCommands() {
  return kDeviceCommands;
}

}  // namespace kaldo::cli
