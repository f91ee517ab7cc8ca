// The device commands through an in-system programming cable: the cable's counterpart of
// DeviceOperations. Each command enters programming mode, runs its family's routine
// (device/IspSession.h) and leaves the cable idle; an error raised on the way goes on after the
// caller has made the cable idle (Idle).
#pragma once

#include <cstdint>
#include <memory>

#include "core/model/IspCables.h"
#include "device/CommandOutcome.h"
#include "device/DeviceJob.h"
#include "device/IspSession.h"
#include "link/IspLink.h"

namespace kaldo {

// The cable the commands go through instead of the programmer board, and the target's crystal:
// the SCK never runs faster than the chip allows at that frequency.
struct CableUse {
  IspCable Cable;
  std::uint32_t CrystalHz = kSlowestCrystalHz;
  bool PageMode = true;  // AT89S51, S52: whole pages; false: byte by byte

  // The slowest crystal the data sheets allow (3 MHz): SCK timed for it is within the limits at
  // every crystal they allow.
  static constexpr std::uint32_t kSlowestCrystalHz = 3'000'000;
};

class IspOperations {
 public:
  IspOperations(Port& port, const CableUse& use, ProgressDisplay& display);

  // The command on the job's device; NoDeviceSelected for a type outside the device table,
  // CableFailed for a device that cannot be programmed in the circuit.
  CommandOutcome Run(DeviceCommand command, const DeviceJob& job);
  void Idle() { link_.Idle(); }

  const CableUse& Use() const { return use_; }
  IspLink& Link() { return link_; }

 private:
  // After a pass that read FF everywhere: locked, silent, or blank indeed.
  void JudgeBlankChip(CommandOutcome& outcome);
  // After a pass that failed at a byte: one that read FF may be silence.
  void JudgeFailedByte();

  CableUse use_;
  IspLink link_;
  IspSession session_;
};

}  // namespace kaldo
