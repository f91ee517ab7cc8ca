// Counter 2 of the PC's 8254 interval timer, on the simulated clock.
//
// Port 0x43 takes control words: bits 7-6 select the counter (10 = counter 2, 11 = read-back),
// bits 5-4 the access (00 latch count, 01 LSB, 10 MSB, 11 LSB then MSB), bits 3-1 the mode,
// bit 0 BCD. A read-back word (11xxxxxx) latches the count when bit 5 is 0 and the status when
// bit 4 is 0, for counter 2 when bit 3 is 1. Port 0x42 reads a latched status once, then latched
// count bytes, then the running count.
// Status byte: bit 7 OUT, bit 6 null count, bits 5-0 as in the control word.
//
// The counter runs at 1,193,182 Hz. Modes 0 (one-shot: OUT low until the count has run out,
// then high until a new count or control word) and 3 (square wave, OUT high while the gate is
// low) are modelled; in the other modes OUT stays high. Counting is binary.
#pragma once

#include <cstdint>

namespace kaldo::sim {

inline constexpr std::uint64_t kTimerHz = 1'193'182;

// Whole timer ticks that have elapsed at a simulated time.
std::uint64_t TicksAt(std::uint64_t ns);
// The first simulated time at which `ticks` ticks have elapsed.
std::uint64_t NsAtTick(std::uint64_t ticks);

class Timer2 {
 public:
  // The state the BIOS left: the read-back status (its OUT and null-count bits hold until the
  // first control word) and the count last loaded.
  Timer2(std::uint8_t status, std::uint16_t count);

  void WriteControl(std::uint8_t word, std::uint64_t ns);
  // True when this byte completed a count, which is then loaded on the next tick.
  bool WriteData(std::uint8_t value, std::uint64_t ns);
  std::uint8_t ReadData(std::uint64_t ns);
  void SetGate(bool gate, std::uint64_t ns);
  bool Gate() const { return gate_; }
  bool Output(std::uint64_t ns) const;

  // Count of the last load, 1..65536.
  std::uint32_t Reload() const { return reload_; }
  int Mode() const { return mode_; }

 private:
  std::uint64_t Counted(std::uint64_t tick) const;
  std::uint16_t CountAt(std::uint64_t ns) const;
  std::uint8_t Status(std::uint64_t ns) const;
  void Arm(std::uint64_t ns);
  void UpdateOutputTime();

  std::uint8_t control_;  // bits 5-0 of the last control word
  int access_;            // 1 LSB, 2 MSB, 3 LSB then MSB
  int mode_;              // 0..5
  bool initial_ = true;   // no control word since power-on: OUT and null count as the BIOS left
  bool initialOut_;
  bool initialNull_;

  std::uint32_t reload_;
  bool msbNext_ = false;
  std::uint8_t lsb_ = 0;
  bool readMsbNext_ = false;

  bool armed_ = false;          // a count has been written and counting may proceed
  std::uint64_t loadTick_ = 0;  // tick at which the written count enters the counter
  bool nullCount_ = false;
  bool gate_ = false;
  std::uint64_t countedBefore_ = 0;  // ticks counted before the current gate-high stretch
  std::uint64_t stretchStart_ = 0;   // first tick of the current gate-high stretch
  bool terminal_ = false;            // mode 0: the count has run out while the gate was high
  std::uint64_t outHighNs_ = 0;      // mode 0, gate high: time at which OUT goes high

  bool statusLatched_ = false;
  std::uint8_t latchedStatus_ = 0;
  int countLatchBytes_ = 0;
  std::uint16_t latchedCount_ = 0;
};

}  // namespace kaldo::sim
