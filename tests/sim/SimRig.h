// A program's-eye view of the simulated PC for the tests: the link's Port and Board on top of it,
// and one operation at a time that drives the chip in the socket through the board primitives.
#pragma once

#include <cstdint>
#include <vector>

#include "link/Board.h"
#include "link/Port.h"
#include "sim/SimulatedPC.h"

namespace kaldo::test {

enum class Family { C51, S51, S53, C55WD, C1051 };

// The parts as their data sheets give them (independent of the simulator's own table).
struct Part {
  const char* name;
  int type;
  Family family;
  int size;
  std::vector<std::uint8_t> signature;
};

inline const std::vector<Part>& Parts() {
  static const std::vector<Part> parts = {
      {"AT89C51", 0, Family::C51, 0x1000, {0x1E, 0x51, 0xFF}},
      {"AT89C52", 1, Family::C51, 0x2000, {0x1E, 0x52, 0xFF}},
      {"AT89C55", 2, Family::C51, 0x5000, {0x1E, 0x55, 0xFF}},
      {"AT89S51", 3, Family::S51, 0x1000, {0x1E, 0x51, 0x06}},
      {"AT89S52", 4, Family::S51, 0x2000, {0x1E, 0x52, 0x06}},
      {"AT89S53", 5, Family::S53, 0x3000, {0x1E, 0x53}},
      {"AT89S8252", 6, Family::S53, 0x2800, {0x1E, 0x72}},
      {"AT89C55WD", 7, Family::C55WD, 0x5000, {0x1E, 0x55, 0x06}},
      {"AT89C51RC", 8, Family::C55WD, 0x8000, {0x1E, 0x51, 0x07}},
      {"AT89C1051", 9, Family::C1051, 0x0400, {0x1E, 0x11}},
      {"AT89C1051U", 10, Family::C1051, 0x0400, {0x1E, 0x12}},
      {"AT89C2051", 11, Family::C1051, 0x0800, {0x1E, 0x21}},
      {"AT89C4051", 12, Family::C1051, 0x1000, {0x1E, 0x41}},
  };
  return parts;
}

struct SimRig {
  explicit SimRig(sim::SimOptions options = {}) : pc(options) {
    port.SetPortBase(options.lptBase);
    port.InitDelayTimer();
    board.ResetBoard();
  }
  sim::SimulatedPC pc;
  Port port{pc};
  Board board{port};
};

// One operation on the part in the socket, from BeginOperation to ResetBoard.
class PartOperation {
 public:
  PartOperation(SimRig& rig, const Part& part) : r_(rig), b_(rig.board), p_(part) {
    b_.EnableDataOutputs(false);
    if (Pin20()) b_.SetAddressHigh(0xFE);
    b_.BeginOperation();
    if (p_.family == Family::S53) {
      b_.SetModeBit0();
      b_.ClearAutoFeed();
    }
  }
  ~PartOperation() { b_.ResetBoard(); }

  bool Pin20() const { return p_.family == Family::C1051; }
  bool SelectInPulses() const { return p_.family == Family::S51 || p_.family == Family::C55WD; }

  int ReadCode() const {
    switch (p_.family) {
      case Family::S51:
      case Family::C55WD:
        return 0x62;
      case Family::C1051:
        return 0x14;
      default:
        return 0x66;
    }
  }
  int WriteCode() const { return Pin20() ? 0x1C : 0x6E; }
  int EraseCode() const { return Pin20() ? 0x02 : 0x16; }
  void (Port::*ByteWait() const)() {
    if (p_.family == Family::S51) return &Port::Delay50us;
    if (p_.family == Family::C55WD) return &Port::Delay100us;
    return &Port::Delay2ms;
  }

  void Mode(int code) { b_.LatchMode(code); }
  void VoltageOn() {
    if (p_.family != Family::S53) b_.ClearAutoFeed();
  }
  void VoltageOff() {
    if (p_.family != Family::S53) b_.SetAutoFeed();
  }

  // Address a as each part's wiring wants it; 20-pin parts step their counter up to a.
  void At(int a) {
    if (Pin20()) {
      while (counter_ < a) Step();
      return;
    }
    int high = a >> 8;
    if (p_.type == 0) high |= 0x10;
    if (p_.family == Family::C55WD && (high & 0x40)) high = (high & ~0x40) | 0x80;
    b_.SetAddress(a, high);
  }
  void Step() {
    b_.PulseAddressHighBit0();
    ++counter_;
  }

  void Erase() {
    if (p_.family == Family::C55WD) b_.ClearInit();
    Mode(EraseCode());
    VoltageOn();
    if (SelectInPulses()) {
      b_.PulseSelectIn();
      for (int i = 0; i < 15; ++i) r_.port.Delay10ms();
    } else {
      b_.SetStrobe();
      r_.port.Delay10ms();
      b_.ClearStrobe();
    }
    VoltageOff();
    if (p_.family == Family::C55WD) b_.SetInit();
  }

  // Programs a byte with the part's own pulse, under the voltage the caller switched on.
  void WriteByte(int a, int value, void (Port::*wait)() = nullptr) {
    At(a);
    b_.SetMode(WriteCode());
    b_.SetData(value);
    b_.EnableDataOutputs(true);
    if (Pin20()) {
      b_.WriteDataByte();
    } else {
      b_.ShiftOutLatches();
    }
    if (SelectInPulses()) {
      b_.PulseSelectIn();
    } else {
      b_.PulseStrobe();
    }
    if (wait == nullptr) wait = ByteWait();
    (r_.port.*wait)();
    b_.EnableDataOutputs(false);
  }

  void Program(const std::vector<std::pair<int, int>>& bytes) {
    VoltageOn();
    for (const auto& [a, v] : bytes) WriteByte(a, v);
    VoltageOff();
  }

  int ReadByte(int a, int mode = -1) {
    At(a);
    b_.EnableDataOutputs(false);
    b_.LatchMode(mode < 0 ? ReadCode() : mode);
    if (Pin20()) {
      b_.ReadDataByte();
    } else {
      b_.ShiftInData();
    }
    return b_.ReadBack();
  }

 private:
  SimRig& r_;
  Board& b_;
  const Part& p_;
  int counter_ = 0;
};

}  // namespace kaldo::test
