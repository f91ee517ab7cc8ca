#include "link/IspLink.h"

#include <gtest/gtest.h>

#include "tests/link/FakeIo.h"

namespace kaldo {
namespace {

using test::FakeIo;

// The DB-25 pins as a printer port's data sheet gives them, written out here again: register
// offset, bit, and whether the port inverts the pin.
struct PinFact {
  int offset;
  int bit;
  bool inverted;
};
PinFact FactOf(int pin) {
  if (pin >= 2 && pin <= 9) return {0, pin - 2, false};
  switch (pin) {
    case 1:
      return {2, 0, true};
    case 14:
      return {2, 1, true};
    case 16:
      return {2, 2, false};
    case 17:
      return {2, 3, true};
    case 10:
      return {1, 6, false};
    case 11:
      return {1, 7, true};
    case 12:
      return {1, 5, false};
    case 13:
      return {1, 4, false};
    case 15:
      return {1, 3, false};
  }
  ADD_FAILURE() << "no pin " << pin;
  return {};
}

// The level the target sees on a line, from the data and control registers.
struct Lines {
  int reg[3] = {0, 0, 0};
  bool Level(const CableLine& line) const {
    const PinFact f = FactOf(line.Pin);
    return ((((reg[f.offset] >> f.bit) & 1) != 0) != f.inverted) != line.Inverted;
  }
};

constexpr std::uint16_t kBase = 0x378;
constexpr int kHalf = 3;

const char* const kCables[] = {
    "89isp", "stk200", "dt006",
    "rst=~16,sck=~14,mosi=~9,miso=~11,en=~3,vcc=4",  // every line inverted, MISO on BUSY
};

// One byte each way through every cable: the bits the target sampled at SCK's rises, whether
// MOSI ever changed with a rise, and whether each phase was timed.
TEST(IspLink, ShiftsMsbFirstMosiBeforeSckAndEachPhaseTimed) {
  for (const char* name : kCables) {
    SCOPED_TRACE(name);
    const IspCable cable = ParseCable(name);
    FakeIo io;
    Port port(io);
    IspLink link(port, cable);
    link.SetHalfPeriod(kHalf);
    link.Connect();
    Lines lines;
    lines.reg[0] = link.DataImage();
    lines.reg[2] = link.ControlImage();
    ASSERT_FALSE(lines.Level(cable.Sck));
    io.log.clear();
    int rises = 0;
    const std::uint8_t fromTarget = 0x6C;  // neither byte reads the same backwards
    io.reader = [&](std::uint16_t p) -> std::uint8_t {
      if (p == kSystemControl) return kTimer2Output;
      const bool bit = (fromTarget >> (8 - rises)) & 1;
      const PinFact f = FactOf(cable.Miso.Pin);
      const bool registerBit = (bit != cable.Miso.Inverted) != f.inverted;
      return static_cast<std::uint8_t>(registerBit ? 1 << f.bit : 0);
    };
    // Each write is judged as it happens, so that the reader answers the rise it follows.
    std::uint8_t sampled = 0;
    // An SCK edge must follow the end of a wait that started before the edge before it.
    std::size_t seen = 0, started = 0, lastEdge = 0;
    bool phaseTimed = false, firstEdge = true;
    const auto follow = [&] {
      for (; seen < io.log.size(); ++seen) {
        const test::IoAccess& a = io.log[seen];
        if (a.write && a.port == kTimer2Data) {
          EXPECT_EQ(a.value, kHalf);
          started = seen;
        }
        if (!a.write && a.port == kSystemControl && started < lastEdge) phaseTimed = true;
        if (!a.write || (a.port != kBase && a.port != kBase + 2)) continue;
        Lines next = lines;
        next.reg[a.port - kBase] = a.value;
        const bool sckChanged = next.Level(cable.Sck) != lines.Level(cable.Sck);
        if (sckChanged) {
          EXPECT_TRUE(phaseTimed || firstEdge) << "an SCK phase ended before its wait";
          lastEdge = seen;
          phaseTimed = firstEdge = false;
        }
        if (sckChanged && next.Level(cable.Sck)) {
          EXPECT_EQ(next.Level(cable.Mosi), lines.Level(cable.Mosi)) << "MOSI moved with SCK";
          sampled = static_cast<std::uint8_t>(sampled << 1 | next.Level(cable.Mosi));
          ++rises;
        }
        EXPECT_TRUE(next.Level(cable.Reset) == lines.Level(cable.Reset));
        lines = next;
      }
    };
    io.reader = [&, answer = io.reader](std::uint16_t p) {
      follow();
      return answer(p);
    };
    const std::uint8_t got = link.Transfer(0x35);
    link.EndFrame();
    follow();
    EXPECT_EQ(rises, 8);
    EXPECT_EQ(sampled, 0x35);
    EXPECT_EQ(got, fromTarget);
    EXPECT_FALSE(lines.Level(cable.Sck));
  }
}

TEST(IspLink, IdleDropsEveryLineAndDisablesTheBuffer) {
  for (const char* name : kCables) {
    SCOPED_TRACE(name);
    const IspCable cable = ParseCable(name);
    FakeIo io;
    Port port(io);
    IspLink link(port, cable);
    link.Connect();
    link.SetReset(true);
    link.Send(0xFF);
    link.Idle();
    Lines lines;
    for (const test::IoAccess& a : io.log)
      if (a.write && (a.port == kBase || a.port == kBase + 2)) lines.reg[a.port - kBase] = a.value;
    EXPECT_FALSE(lines.Level(cable.Reset));
    EXPECT_FALSE(lines.Level(cable.Sck));
    EXPECT_FALSE(lines.Level(cable.Mosi));
    for (const CableLine& e : cable.Enables) EXPECT_TRUE(lines.Level(e));
    for (const CableLine& v : cable.Supplies) EXPECT_FALSE(lines.Level(v));
  }
}

TEST(IspLink, ShortWaitsSetTheCounterOnceAndCloseTheGateAtIdle) {
  FakeIo io;
  io.constant[kSystemControl] = kTimer2Output;
  Port port(io);
  port.Port61Image = 0x0C;
  IspLink link(port, ParseCable("stk200"));
  link.SetHalfPeriod(200);
  link.Send(0x00);
  link.Idle();
  const std::vector<std::uint8_t> command = io.Writes(kTimerCommand);
  EXPECT_EQ(command, (std::vector<std::uint8_t>{kTimer2ShortOneShot}));
  EXPECT_EQ(io.Writes(kTimer2Data), std::vector<std::uint8_t>(16, 200));
  EXPECT_EQ(io.Writes(kSystemControl), (std::vector<std::uint8_t>{0x0D, 0x0C}));
}

}  // namespace
}  // namespace kaldo
