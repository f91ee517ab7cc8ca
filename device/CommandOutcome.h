// What a device command ends with, and the texts the program shows for it. Both front ends take
// their texts from here; the window adds its titles and icons.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ProgramState.h"

namespace kaldo {

enum class DeviceCommand { BlankCheck, Read, Verify, Write, Signature };

// Left in ResultText by every dispatcher when DeviceType names no device; the board and the
// buffer are not touched.
inline constexpr const char* kNoDeviceText = "No Device Selected";

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
  std::string Report;                    // the report the Signature command shows
};

struct CommandOutcome {
  enum class Kind { Success, DeviceFailed, NoDeviceSelected };

  DeviceCommand Command = DeviceCommand::BlankCheck;
  Kind Result = Kind::Success;
  DeviceFailure Failure;          // when DeviceFailed
  SignatureReading Signature;     // after a Signature command that ran
  bool LockBitsSelected = false;  // a successful Write ran with ProgBits not 0

  bool Succeeded() const { return Result == Kind::Success; }
};

// What the dispatchers leave in the program state: ResultText ("OK", the three-line failure text,
// the no-device text or the signature report; a read leaves it as it was) and, after a failure,
// FailAddress, FailDataRead and (verify and write) FailDataExpected.
void RecordOutcome(ProgramState& state, const CommandOutcome& outcome);

// The text a front end shows for the outcome: "Blank Check O.K", "Data Reading Complete",
// "Programming/Verify OK" (with "\rLock Bits Programmed" when lock bits were selected),
// "Verify OK", the signature report, or the failure or no-device text.
std::string OutcomeText(const CommandOutcome& outcome);

// The busy text shown while the command runs; null for Signature, which shows none.
const char* BusyText(DeviceCommand command);

}  // namespace kaldo
