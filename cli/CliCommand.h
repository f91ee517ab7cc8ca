// The pieces of the command-line program: its options, its commands and what a command runs with.
// Each group of commands (and of options) is a table; CliTables.cpp lists the tables.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Json.h"
#include "cli/Progress.h"
#include "core/Errors.h"
#include "core/formats/ImageFile.h"
#include "core/model/IspCables.h"
#include "core/model/ProgramState.h"
#include "core/system/StopFlag.h"
#include "device/DeviceJob.h"
#include "link/PortCheck.h"

namespace kaldo {
class Programmer;
struct SocketCheck;
}  // namespace kaldo

namespace kaldo::cli {

inline constexpr int kExitOK = 0;
inline constexpr int kExitFailed = 1;  // the file or the device said no: a format or device failure
inline constexpr int kExitError = 2;   // a usage error or a raised error
// A command stopped by a signal exits with 128 + the signal (StopSignals::ExitStatus).

// A device command's job: the selected device, the buffer and the program bits of the state.
inline DeviceJob JobOf(ProgramState& state) {
  return {state.DeviceType, &state.DataBuffer, state.DeviceSize, state.ProgBits};
}

// What a command ended with, as --json names it.
enum class Outcome { Ok, Failed, WrongChip, NoChip, UsageError, Error, Stopped };

struct OutcomeInfo {
  Outcome Kind;
  const char* Name;    // "wrong-chip"
  const char* Status;  // the exit status as the help text shows it: "1", "128+N"
  const char* Meaning;
};

// Every outcome, in the order of Outcome: the table of exit statuses.
std::span<const OutcomeInfo> Outcomes();
const OutcomeInfo& InfoOf(Outcome outcome);
// The outcome of a command that ended with `status` and named none itself.
Outcome OutcomeOfStatus(int status);

// What a command tells a script besides its texts (--json).
struct CommandReport {
  std::optional<Outcome> Result;  // set where the exit status does not tell it: a refused chip
  JsonObject Fields;              // the command's own: "checksum", "address", "signature", ...
};

// A command line that cannot be run as written.
class UsageError : public Error {
 public:
  using Error::Error;
};

struct CliOptions {
  int DeviceType = 0;  // --device, AT89C51 unless given
  bool Help = false;
  bool Version = false;
  bool Json = false;  // --json: one JSON object on stdout instead of the texts
  // How the files of the command are read and written (--format); when not given, each file's
  // name says (FormatOfFileName).
  std::optional<FileFormat> Format;
  ProgressStyle Progress = ProgressStyle::Auto;

  // Device commands: where the board is, and what a write programs after its verify.
  std::string SimState;        // --sim: the simulated PC's chips, kept in this file
  bool SimReset = false;       // --sim-reset: fresh chips instead of those in SimState
  bool RealPort = false;       // --port given
  std::uint16_t PortBase = 0;  // --port in the lpt and 0xBASE forms; the others are looked up
  std::string PortName;        // --port as given (the last, when given more than once)
  std::vector<std::string> PortNames;  // every --port, in order
  // One of several boards driven at once: its waits run on the host clock, never the PC's timer.
  bool HostClockTimer = false;
  bool Probe = false;     // ports --probe
  std::string TraceFile;  // --trace (simulated PC only)
  bool Force = false;     // --force: no signature check before the command
  int ProgBits = 0;       // --lock, --isp
  // Faults of the simulated PC.
  bool NoBoard = false;
  bool EmptySocket = false;
  int SocketType = -1;  // another device's chip in the socket; -1: the chip of --device
  std::vector<std::uint16_t> StuckCells;
  bool Locked = false;
  // In-system programming: the cable on the port instead of the board (--cable), the target's
  // crystal as the user states it (--crystal; 0: the slowest the chips allow), the S8252's data
  // EEPROM instead of its code memory, and byte mode instead of pages on the AT89S51/S52.
  std::optional<IspCable> Cable;
  std::uint32_t CrystalHz = 0;
  bool Eeprom = false;
  bool ByteMode = false;
  // Faults of the simulated target board at the cable's end: its crystal (0: the one stated with
  // --crystal), a reset line inverted once more, no crystal at all, MISO held at 0 or 1 (-1: not),
  // the serial programming fuse off, the cable on the PC's other port.
  std::uint32_t SimCrystalHz = 0;
  bool SimResetInverted = false;
  bool SimNoCrystal = false;
  int SimMisoStuck = -1;
  bool SimFuseOff = false;
  bool SimOtherPort = false;
  bool IspFaults() const {
    return SimCrystalHz != 0 || SimResetInverted || SimNoCrystal || SimMisoStuck >= 0 ||
           SimFuseOff || SimOtherPort;
  }

  // The simulated operator's supply of chips, as given (checked when given), and the supplied
  // chip put back in the socket (from 1; 0: none).
  std::string SimSupply;
  int SimSupplied = 0;

  // produce: how many chips (0: until stopped), the serial numbers, the log, and whether the
  // first failing chip ends the run.
  int Count = 0;
  std::string Serial;
  std::string LogFile;
  bool StopOnFailure = false;
};

struct CliOption {
  const char* Name;       // "--device"
  const char* ValueName;  // "NAME"; null for an option without a value
  const char* Help;
  // Stores the option; raises UsageError for a value it cannot take.
  void (*Apply)(CliOptions& options, const std::string& value);
};

struct CliContext {
  const CliOptions& Options;
  ProgramState& State;
  std::ostream& Out;
  std::ostream& Err;
  const HostSystem& Host;  // where the kernel's ports are looked up
  CommandReport& Report;
  // Raised by the stop signals from the program's start: a command looks at it where it can
  // stop, and the board's routines at every byte.
  StopFlag& Stop;
};

struct CliCommand {
  const char* Name;
  const char* Arguments;  // "IN OUT", for the help text
  int ArgumentCount;
  const char* Help;
  // Returns the exit code; raised errors are reported by the caller.
  int (*Run)(CliContext& context, const std::vector<std::string>& arguments);
};

std::span<const CliOption> GeneralOptions();
std::span<const CliCommand> FileCommands();
std::span<const CliOption> DeviceOptions();
// A device of the simulator's supply list: a part name as --device takes it, or its short form
// without the family's "89" ("S51", "C2051"); -1 for none.
int SupplyDeviceType(std::string_view name);

// Raises UsageError for --lock or --isp bits that the device of --device does not have.
void CheckProgramBits(const CliOptions& options);
std::span<const CliCommand> DeviceCommands();
std::span<const CliCommand> InfoCommands();
std::span<const CliOption> ProduceOptions();
std::span<const CliCommand> ProduceCommands();

// Blanks the buffer and loads a file into it as the window's Open command does, in the format of
// --format or of its name, and returns the reader's outcome. A refused file is named on stderr
// with its line and the reason; a field that does not convert is refused as "Invalid Hex File
// Format . . .", as every other fault of the file's text is. Raises the reader's other errors,
// and StoppedError when a signal came while it read.
LoadOutcome LoadImageFile(CliContext& context, const std::string& fileName);
// Saves the device's code memory to a file in its format, replacing it only when all is written.
void SaveImageFile(CliContext& context, const std::string& fileName);

// LoadImageFile, then prints the outcome text and "Checksum XXXX" for the device. True when the
// outcome is "OK".
bool LoadImage(CliContext& context, const std::string& fileName);

// Writes an outcome text, each carriage return in it starting a new line.
void PrintText(std::ostream& out, const std::string& text);

// Before a command that reads or writes the chip: true when the chip answers with the signature
// of --device, or --force was given (which is said on stderr). Otherwise prints why not.
bool PassesSignatureGuard(CliContext& context, Programmer& device);
// The text for a chip the guard refuses: why, and for a wrong chip what to do.
std::string SignatureGuardText(const SocketCheck& check);

// identify: which chip the socket holds.
int RunIdentify(CliContext& context, const std::vector<std::string>& arguments);
// What in the socket ends identify with `outcome` ("no chip answered"); empty for none.
std::string IdentifyCases(Outcome outcome);

}  // namespace kaldo::cli
