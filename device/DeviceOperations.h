// The six device operations. Each dispatcher runs the routine for state.DeviceType, returns its
// outcome and leaves it in the program state (ResultText, "OK" on success, and the fail values).
// A stop asked for on the port's flag raises StoppedError at the routine's next byte or wait.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/ProgramState.h"
#include "device/CommandOutcome.h"
#include "device/DeviceProfiles.h"
#include "device/ProgressDisplay.h"
#include "link/Board.h"

namespace kaldo {

class DeviceOperations {
 public:
  DeviceOperations(ProgramState& state, Board& board, ProgressDisplay& display);

  CommandOutcome BlankCheckDevice();
  CommandOutcome ReadDevice();
  CommandOutcome VerifyDevice();
  // Programs the lock bits after a verified write.
  CommandOutcome ProgramDevice();
  void ProgramLockBits();
  CommandOutcome ReadSignature();

  // The waits the routines add after their own pulses (see RoutineWaits).
  RoutineWaits Waits;
  // Bytes of the last signature report: entries 1 to 4 at indexes 0 to 3.
  std::array<int, 4> SignatureBytes{};

 private:
  // Runs routine(profile, outcome) for DeviceType, which returns false at a failing byte; then the
  // outcome goes into the program state.
  template <typename Routine>
  CommandOutcome Dispatch(DeviceCommand command, Routine routine);

  // What a pass over the code memory does with each byte it reads.
  enum class PassUse { Store, BlankTest, Compare };

  // Read, blank check and verify: the operation frame around one reading pass.
  bool ReadRoutine(const RoutineProfile& p, PassUse use);
  // Before each byte of a pass: a stop raises StoppedError, and the address readout moves at the
  // start of every 256-byte block but the first.
  void AtByte(std::uint32_t address);
  // Reads addresses 0 .. DeviceSize-1 through the latched mode; false at the first failing byte
  // (kept in failure_). 20-pin devices step their address counter after every byte that passes.
  bool ReadingPass(const RoutineProfile& p, PassUse use);
  // Writes every byte of the buffer that is not blank, with the device's pulse and wait.
  void ProgrammingPass(const RoutineProfile& p);
  // Latches the read mode, shows "Verifying" and compares the device with the buffer.
  bool VerifyPass(const RoutineProfile& p);
  void LoadAddress(const RoutineProfile& p, std::uint32_t address);
  void Wait(RoutineWaits::Wait RoutineWaits::*which);

  bool ProgramFamilyA(const RoutineProfile& p);
  bool ProgramFamilyB(const RoutineProfile& p);
  bool ProgramFamilyC(const RoutineProfile& p);

  void LockBitsL1(bool selectIn);
  void LockBitsL2();
  void LockBitsL3();
  void LockBitsL4();

  // Reads `count` signature bytes from address 0x30 upward into SignatureBytes.
  void ReadSignatureBytes(const RoutineProfile& p, int count);
  std::string SignatureC51(const RoutineProfile& p);
  std::string SignatureS51(const RoutineProfile& p);
  std::string SignatureS53(const RoutineProfile& p);
  std::string SignaturePin20(const RoutineProfile& p);

  ProgramState& state_;
  Board& board_;
  ProgressDisplay& display_;
  DeviceFailure failure_;  // the failing byte of the last pass that found one
};

}  // namespace kaldo
