// The device commands, what each one ends with, and the texts the program shows for them. The
// window, the command line and the programmer take their texts from the command table here; the
// window adds its icons.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/model/CodeImage.h"

namespace kaldo {

enum class DeviceCommand { BlankCheck, Read, Verify, Write, Signature };

class RoutineContext;
struct RoutineSet;
struct CommandOutcome;

// Shown when the selected device type names no device; the board and the buffer are not touched.
inline constexpr const char* kNoDeviceText = "No Device Selected";

struct DeviceCommandInfo {
  DeviceCommand Command;
  const char* Name;         // the command line's name: "blank"
  const char* Title;        // the window's message box title: "  BLANK CHECK"
  const char* BusyText;     // shown while it runs; null for Signature, which shows none
  const char* SuccessText;  // null for Signature, which shows its report
  // The first line of a failure ("... @ Address  0123"), followed by the byte read and, where the
  // command compares with the buffer, the byte expected; null where the command cannot fail.
  const char* FailureHeading;
  bool FailureShowsExpected;
  // Blank check and read, whose locked chip reads FF at every address: the first line when the
  // chip's lock bits say it is locked (the bits follow), the line after it, and the line that
  // follows the success text when every byte read FF but the lock bits could not be read.
  const char* LockedHeading;
  const char* LockedReason;
  const char* LockUnknownNote;
  // What stopping the command leaves of the chip, said after the question whether to stop it;
  // null when a stop leaves the chip as it was.
  const char* StopLeaves;
  // Runs the command on a device family's routines; false at the first failing byte.
  bool (*Operation)(RoutineContext& c, const RoutineSet& p, CommandOutcome& outcome);
};

// Every device command, in the order of DeviceCommand.
const std::vector<DeviceCommandInfo>& DeviceCommandTable();
const DeviceCommandInfo& CommandInfo(DeviceCommand command);

// The first byte that failed a blank check, a verify or the verify pass of a write.
struct DeviceFailure {
  std::uint16_t Address = 0;
  std::uint8_t DataRead = 0;
  std::uint8_t DataExpected = kBlank;  // the buffer byte; 0xFF for a blank check
};

// What a signature read found, as read: nothing is compared with the device table here.
struct SignatureReading {
  std::vector<std::uint8_t> Bytes;       // three or two signature bytes, by the device's procedure
  std::optional<std::uint8_t> LockByte;  // the AT89S51 and AT89S53 groups
  std::optional<std::uint8_t> FuseByte;  // AT89S53 and S8252
  // The lock bits (and the ISP fuse) these bytes say are programmed, as ProgBits; only where the
  // device reports them.
  std::optional<int> ProgrammedBits;
  std::string Report;  // the report the Signature command shows
};

struct CommandOutcome {
  // NoAnswer and CableFailed come from a cable only: nothing answered it, or a step failed that
  // no byte shows (an erase that never ends, lock bits not taken, a signature the chip has not);
  // the note says which and what to do.
  enum class Kind { Success, DeviceFailed, DeviceLocked, NoDeviceSelected, NoAnswer, CableFailed };

  DeviceCommand Command = DeviceCommand::BlankCheck;
  Kind Result = Kind::Success;
  DeviceFailure Failure;          // when DeviceFailed
  SignatureReading Signature;     // after a Signature command that ran
  bool LockBitsSelected = false;  // a successful Write ran with lock bits or fuse to program
  // Blank check and read, after every byte read FF: the lock bits the chip reported (kLockBit1..3)
  // when it is locked; or, on a success, that its lock bits could not be read (the device does
  // not report them, or no chip of its type answered).
  int LockBitsFound = 0;
  bool LockUnknown = false;
  std::string Note;  // NoAnswer, CableFailed: the text shown

  bool Succeeded() const { return Result == Kind::Success; }
};

// The question asked when the user stops the command, naming the step that runs: `step` is the
// one the progress showed last ("Programming", "Verifying"), empty before the command's first
// one, while the chip in the socket is checked. "Verifying is still running.\rStop it and close
// the program?", and what a stop leaves of the chip.
std::string StopQuestionText(DeviceCommand command, const std::string& step);

// The text a front end shows for the outcome: the command's success text (a write adds
// "\rLock Bits Programmed" when lock bits were selected), the signature report, the failure text
// ("Blank Check Error @ Address  0123\rData Read  =  5A", and "\rProg Data   =  3C" for verify and
// write), the locked chip's text, or the no-device text. A blank check or read whose chip may be
// locked adds a line that says so.
std::string OutcomeText(const CommandOutcome& outcome);

}  // namespace kaldo
