// Test helper: a fresh program (state, port, board, device operations) on a simulated PC with a
// chip of the given type in the socket, started as the program starts (timer set-up, board reset).
// Port accesses pass through BoardEvents; the progress calls are recorded as "A 0100" (address
// readout) and "T Verifying" (command text).
#pragma once

#include <string>
#include <vector>

#include "core/Convert.h"
#include "core/model/ProgramState.h"
#include "device/DeviceOperations.h"
#include "link/Board.h"
#include "link/Port.h"
#include "sim/SimulatedPC.h"
#include "tests/device/BoardEvents.h"

namespace kaldo::test {

// A device command's job on the state's device, buffer and program bits.
inline DeviceJob JobOf(ProgramState& state) {
  return {state.DeviceType, &state.DataBuffer, state.DeviceSize, state.ProgBits};
}

class RecordingDisplay : public ProgressDisplay {
 public:
  void ShowAddress(int address) override {
    calls.push_back("A " + IntToHex(static_cast<std::uint32_t>(address), 4));
  }
  void ShowCommand(const std::string& text) override { calls.push_back("T " + text); }
  std::vector<std::string> calls;
};

struct DeviceRig {
  // A type outside the device table leaves the socket empty. The tests run on a slow bus (5 us per
  // port access instead of a PC's 1 us): the waits then cost fewer timer polls, and nothing else
  // the routines do changes. Timing tests give the PC's own.
  static constexpr std::uint32_t kSlowBusNs = 5000;
  static constexpr std::uint32_t kPcBusNs = 1000;
  explicit DeviceRig(int deviceType, std::uint32_t ioCycleNs = kSlowBusNs)
      : pc(Options(ioCycleNs)) {
    if (deviceType >= 0 && deviceType < kDeviceCount) pc.InsertChip(deviceType);
    state.DeviceType = deviceType;
    SetDeviceSize(state);
    port.InitDelayTimer();
    board.ResetBoard();
    events.Clear();
  }
  explicit DeviceRig(Device device, std::uint32_t ioCycleNs = kSlowBusNs)
      : DeviceRig(DeviceTypeOf(device), ioCycleNs) {}
  sim::Chip& chip() { return *pc.Socket(); }

  static sim::SimOptions Options(std::uint32_t ioCycleNs) {
    sim::SimOptions o;
    o.ioCycleNs = ioCycleNs;
    return o;
  }

  sim::SimulatedPC pc;
  BoardEvents events{pc, 0x378};
  Port port{events};
  ProgramState state;
  Board board{port};
  RecordingDisplay display;
  DeviceOperations ops{board, display};
  CommandOutcome last;  // of the last Run

  DeviceJob job() { return JobOf(state); }
  // The command on the rig's buffer, device and program bits.
  CommandOutcome Run(DeviceCommand command) { return last = ops.Run(command, job()); }
};

}  // namespace kaldo::test
