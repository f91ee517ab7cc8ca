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
#include "core/formats/HexFile.h"
#include "core/system/StopFlag.h"
#include "device/CommandOutcome.h"
#include "device/Identification.h"

namespace kaldo::cli {

namespace {

bool StderrIsTerminal(const CliContext& c) {
  return &c.Err == &std::cerr && isatty(STDERR_FILENO);
}

void ThrowIfStopped(const StopFlag& stop) {
  if (stop.Requested()) throw StoppedError(stop.Signal());
}

// For --json: what the signature guard found when it refused the chip: the bytes the device's own
// procedure read, and the chip identified in the socket, if one was.
void ReportRefusal(CommandReport& report, const SocketCheck& check) {
  report.Result = check.WrongChip() ? Outcome::WrongChip : Outcome::NoChip;
  const std::optional<ChipIdentity>& inside = check.Inside;
  const DeviceInfo* found = inside && inside->Found() ? FindDevice(inside->DeviceType) : nullptr;
  report.Fields.Set("signature", JsonArray::Of(check.Verdict.Read))
      .Set("expected_signature", JsonArray::Of(check.Verdict.Expected))
      .Set("found", found ? Json(FullName(*found)) : Json());
}

// The numbers of the lock bits among `programBits`.
JsonArray LockBitNumbers(int programBits) {
  JsonArray lockBits;
  for (int bit = 1; bit <= 3; ++bit)
    if (programBits & (kLockBit1 << (bit - 1))) lockBits.Add(bit);
  return lockBits;
}

// For --json: the failing byte, the lock bits of a locked chip, or what a signature read found.
void ReportOutcome(CommandReport& report, const CommandOutcome& outcome) {
  if (outcome.Result == CommandOutcome::Kind::DeviceFailed) {
    const DeviceFailure& f = outcome.Failure;
    report.Fields.Set("address", f.Address).Set("read", f.DataRead).Set("expected", f.DataExpected);
  }
  if (outcome.Result == CommandOutcome::Kind::DeviceLocked)
    report.Fields.Set("lock_bits", LockBitNumbers(outcome.LockBitsFound));
  if (outcome.Result == CommandOutcome::Kind::NoAnswer) report.Result = Outcome::NoChip;
  const SignatureReading& s = outcome.Signature;
  if (outcome.Command != DeviceCommand::Signature || !outcome.Succeeded()) return;
  report.Fields.Set("signature", JsonArray::Of(s.Bytes));
  if (!s.ProgrammedBits) return;
  report.Fields.Set("lock_bits", LockBitNumbers(*s.ProgrammedBits));
  if (s.FuseByte) report.Fields.Set("fuse", (*s.ProgrammedBits & kIspFuse) != 0);
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
          const ProgressStyle style =
              CommandInfo(command).BusyText ? c.Options.Progress : ProgressStyle::None;
          const std::unique_ptr<ProgressDisplay> progress =
              MakeProgress(style, StderrIsTerminal(c), c.Err, c.State.DeviceSize);
          DeviceJob job = JobOf(c.State);
          if (c.Options.Eeprom) job.Memory = DeviceMemory::DataEeprom;
          ran = programmer.Run(command, job, progress.get());
        } else {
          ReportRefusal(c.Report, programmer.LastSocketCheck());
        }
        return ran;
      });
  ThrowIfStopped(stop);
  return outcome;
}

// Runs `command` (the device part, the saving of its output and its report); the stop signals
// only request a stop: the routines stop at their next byte or wait, a file being saved is
// completed or left as it was, and the first signal's status is the program's.
template <typename Command>
int UnderStopSignals(CliContext& c, Command command) {
  const int status = command(c.Stop);
  ThrowIfStopped(c.Stop);
  return status;
}

// Loads IN into a blank buffer as the window's Open does; prints the outcome only when it failed,
// so that a device command prints just the texts of its own window command.
bool LoadForDevice(CliContext& c, const std::string& fileName) {
  const LoadOutcome outcome = LoadImageFile(c, fileName);
  if (outcome.Loaded()) {
    c.Report.Fields.Set("checksum", BufferChecksum(c.State));
    return true;
  }
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
  ReportOutcome(c.Report, *outcome);
  PrintText(c.Out, OutcomeText(*outcome));
  return outcome->Succeeded() ? kExitOK : kExitFailed;
}

// The device command and the printing of its outcome.
int RunAndReport(CliContext& c, DeviceCommand command) {
  return UnderStopSignals(
      c, [&](StopFlag& stop) { return Verdict(c, RunOnDevice(c, command, stop)); });
}

int RunBlank(CliContext& c, const std::vector<std::string>&) {
  CheckDeviceOptions(c.Options);
  return RunAndReport(c, DeviceCommand::BlankCheck);
}

int RunRead(CliContext& c, const std::vector<std::string>& args) {
  CheckDeviceOptions(c.Options);
  return UnderStopSignals(c, [&](StopFlag& stop) {
    const std::optional<CommandOutcome> outcome = RunOnDevice(c, DeviceCommand::Read, stop);
    if (!outcome || !outcome->Succeeded()) return Verdict(c, outcome);
    SaveImageFile(c, args[0]);
    c.Report.Fields.Set("checksum", BufferChecksum(c.State));
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
    {"blank", "", 0,
     "check that the device's code memory is erased (every byte FF). A chip locked with lock bit "
     "2 or 3 reads FF too: blank and read then fail on the devices that report their lock bits "
     "(89S51, 89S52, 89S53, 89S8252, 89C55WD, 89C51RC), and say that it may be locked on the "
     "others. Through --cable, an 89S53 or 89S8252 that reads FF everywhere has its last byte "
     "written FF again, which leaves it as it is, to see that it hears at all",
     RunBlank},
    {"read", "OUT", 1,
     "read the device's code memory and save it to OUT (an Intel HEX file, an S-record file, or a "
     "raw binary image of exactly the device's size); nothing is saved from a locked chip",
     RunRead},
    {"write", "IN", 1,
     "load IN into a blank image, then erase, program and verify the device; after a verified "
     "write, program the lock bits and ISP fuse chosen with --lock and --isp",
     RunWrite},
    {"verify", "IN", 1, "load IN into a blank image and compare the device with it", RunVerify},
    {"signature", "", 0,
     "read the device's signature bytes (and on some devices its lock bits and ISP fuse). "
     "Through --cable only the 89S51 and 89S52 have a signature to read",
     RunSignature},
    {"identify", "", 0,
     "say which chip is in the socket, whatever --device names: reads its signature with each of "
     "the board's signature procedures (reads only; the one that puts the programming voltage "
     "on, the AT89S53's, last) and prints e.g. \"AT89S52 (signature 1E 52 06)\"; through "
     "--cable it sees only the AT89S51 and S52. Exit status 0 when a known chip answered, 1 for "
     "no answer or an unknown signature",
     RunIdentify},
};

}  // namespace

std::span<const CliCommand> DeviceCommands() {
  return kDeviceCommands;
}

}  // namespace kaldo::cli
