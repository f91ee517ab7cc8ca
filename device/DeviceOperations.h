// The six device operations. Each dispatcher runs the routine for state.DeviceType and leaves its
// verdict in state.ResultText ("OK" on success).
#pragma once

#include "core/ProgramState.h"
#include "device/ProgressDisplay.h"
#include "link/Board.h"

namespace kaldo {

class DeviceOperations {
 public:
  DeviceOperations(ProgramState& state, Board& board, ProgressDisplay& display);

  void BlankCheckDevice();
  void ReadDevice();
  void VerifyDevice();
  void ProgramDevice();
  void ProgramLockBits();
  void ReadSignature();

 private:
  ProgramState& state_;
  Board& board_;
  ProgressDisplay& display_;
};

}  // namespace kaldo
