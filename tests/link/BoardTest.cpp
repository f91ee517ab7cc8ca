#include "link/Board.h"

#include <gtest/gtest.h>

#include "tests/link/FakeIo.h"

namespace kaldo {
namespace {

using test::FakeIo;
using Bytes = std::vector<std::uint8_t>;

// A board on a fake port whose timer ends every wait at once, from the given shadow registers.
struct Rig {
  explicit Rig(const BoardRegisters& start = {}) : board{port, start} { io.constant[0x61] = 0x20; }
  Bytes Data() const { return io.Writes(0x378); }
  Bytes Control() const { return io.Writes(0x37A); }
  // The counts loaded into counter 2, in order.
  std::vector<int> Waits() const {
    std::vector<int> counts;
    const Bytes w = io.Writes(0x42);
    for (std::size_t i = 0; i + 1 < w.size(); i += 2) counts.push_back(w[i] | w[i + 1] << 8);
    return counts;
  }
  const BoardRegisters& Registers() const { return board.Registers(); }
  FakeIo io;
  Port port{io};
  Board board;
};

Bytes Repeat(const Bytes& part, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(ShiftOutLatches, AtStartUp) {
  Rig r;
  r.board.ShiftOutLatches();
  EXPECT_EQ(r.Data(), Concat({{0x04, 0x44, 0x46, 0x44},
                              Repeat({0x04, 0x06, 0x04}, 6),
                              {0x44, 0x46, 0x44, 0xC4, 0x44}}));
  EXPECT_EQ(r.Registers().ModeLatch, 0x81);
}

TEST(ShiftOutLatches, FirstWriteStopsClockAndLoadAndKeepsTheSerialLines) {
  struct Case {
    int image, first;
  };
  for (const Case c : {Case{0x00, 0x04}, Case{0x0A, 0x04}, Case{0x71, 0x75}, Case{0x7B, 0x75}}) {
    Rig r({.DataPortImage = c.image});
    r.board.ShiftOutLatches();
    ASSERT_EQ(r.Data().size(), 27u);
    EXPECT_EQ(r.Data()[0], c.first) << std::hex << c.image;
  }
}

TEST(ShiftOutLatches, SendsTheFourLatchesMostSignificantBitFirst) {
  for (const bool enable : {false, true}) {
    Rig r({.DataPortImage = 0x04, .ModeBits = 0x01});
    r.board.SetData(0xA5);
    r.board.SetAddress(0x1234, 0x12);  // only the low byte goes out
    r.board.SetMode(0x66);
    r.board.EnableDataOutputs(enable);
    r.board.ShiftOutLatches();
    const Bytes tail = enable ? Bytes{0xC1, 0x41} : Bytes{0xC5, 0x45};
    EXPECT_EQ(r.Data(),
              Concat({{0x04, 0x05, 0x07, 0x05, 0x44, 0x46, 0x44, 0x55, 0x57, 0x55, 0x34, 0x36, 0x34,
                       0x04, 0x06, 0x04, 0x55, 0x57, 0x55, 0x64, 0x66, 0x64, 0x45, 0x47, 0x45},
                      tail}))
        << "DataOutputEnable " << enable;
    EXPECT_EQ(r.Registers().ModeLatch, 0x67);
    EXPECT_EQ(r.Registers().DataPortImage, tail.back());
  }
}

TEST(ShiftInData, ReadsTheInvertedStatusLineMostSignificantBitFirst) {
  // From the image of a shift-out with the data outputs released, and of one that drives them
  // with every serial line at 1: the serial lines keep their values, the outputs are released.
  struct Case {
    int image;
    Bytes writes;
  };
  const Case cases[] = {
      {0x04, Concat({{0x0C, 0x0E, 0x0C, 0x04}, Repeat({0x06, 0x04}, 7)})},
      {0x71, Concat({{0x7D, 0x7F, 0x7D, 0x75}, Repeat({0x77, 0x75}, 7)})},
  };
  for (const Case& c : cases) {
    Rig r({.DataPortImage = c.image});
    // Status bit 7 = 0, 1, 0, 1, 1, 0, 1, 0 on the third read of each triple read.
    for (const bool high : {false, true, false, true, true, false, true, false}) {
      const std::uint8_t v = high ? 0xFF : 0x7F;
      for (int i = 0; i < 3; ++i) r.io.scripted[0x379].push_back(v);
    }
    r.board.ShiftInData();
    EXPECT_EQ(r.board.ReadBack(), 0xA5);
    EXPECT_EQ(r.Data(), c.writes) << std::hex << c.image;
    EXPECT_EQ(r.io.Reads(0x379), 24);
  }
}

TEST(ReverseDataBits, MirrorsTheLowByte) {
  struct Case {
    int in, out;
  };
  for (const Case c : {Case{0x01, 0x80}, Case{0x12, 0x48}, Case{0xA5, 0xA5}, Case{0x3C, 0x3C},
                       Case{0x1F0, 0x0F}}) {
    Rig r;
    r.board.SetData(c.in);
    r.board.ReverseDataBits();
    EXPECT_EQ(r.Registers().DataLatch, c.out) << std::hex << c.in;
  }
}

TEST(DataBytes, TwentyPinBytesTravelReversed) {
  Rig r;
  r.board.SetData(0x01);
  r.board.WriteDataByte();
  EXPECT_EQ(r.Registers().DataLatch, 0x80);
  // 0x80 goes out on data bit 0: set in the first bit's three writes only.
  EXPECT_EQ(r.Data()[1] & 0x01, 0x01);
  EXPECT_EQ(r.Data()[4] & 0x01, 0x00);

  Rig in;
  for (int i = 0; i < 24; ++i) in.io.scripted[0x379].push_back(i < 3 ? 0x7F : 0xFF);
  in.board.ReadDataByte();
  EXPECT_EQ(in.board.ReadBack(), 0x01);
}

TEST(PulseAddressHighBit0, ShiftsOutFFThenFE) {
  Rig r;
  r.board.SetAddressHigh(0xFE);
  r.board.PulseAddressHighBit0();
  const Bytes d = r.Data();
  ASSERT_EQ(d.size(), 54u);
  // Data bit 5 carries the address-high byte; the eighth bit is the last before the strobe.
  EXPECT_EQ(d[22] & 0x20, 0x20);
  EXPECT_EQ(d[27 + 22] & 0x20, 0x00);
  EXPECT_EQ(r.Registers().AddressHighLatch, 0xFE);
}

TEST(ResetBoard, ClearsLatchesWritesSevenTwiceAndWaitsFourTimes55ms) {
  Rig r({.ControlPortImage = 0x08,
         .DataLatch = 0x12,
         .AddressLowLatch = 0x345,
         .AddressHighLatch = 0x67,
         .ModeLatch = 0x6E,
         .ModeBits = 0x01,
         .DataOutputEnable = true});
  r.board.ResetBoard();
  EXPECT_EQ(r.Control(), (Bytes{0x07, 0x07}));
  EXPECT_EQ(r.Waits(), (std::vector<int>{65535, 65535, 65535, 65535}));
  EXPECT_EQ(r.Data().size(), 54u);
  const BoardRegisters& after = r.Registers();
  EXPECT_EQ(after.ModeBits, 0x81);
  EXPECT_EQ(after.ModeLatch, 0x81);
  EXPECT_EQ(after.ControlPortImage, 0x07);
  EXPECT_TRUE(after.DataOutputEnable);
  EXPECT_EQ(after.DataLatch | after.AddressLowLatch | after.AddressHighLatch, 0);
  // The first shift-out still carries mode bit 7 = 0, the second sets it.
  EXPECT_EQ(r.Data()[1] & 0x40, 0x00);
  EXPECT_EQ(r.Data()[27 + 1] & 0x40, 0x40);
}

TEST(BeginOperation, ClearsBit7AndStrobeThenWaits500ms) {
  Rig r;
  r.board.ResetBoard();
  r.io.log.clear();
  r.board.EnableDataOutputs(true);
  r.board.BeginOperation();
  EXPECT_FALSE(r.Registers().DataOutputEnable);
  EXPECT_EQ(r.Registers().ModeBits, 0x01);
  EXPECT_EQ(r.Registers().ModeLatch, 0x01);
  EXPECT_EQ(r.Control(), (Bytes{0x06}));
  EXPECT_EQ(r.Waits(), std::vector<int>(50, 11932));
  EXPECT_EQ(r.Data().size(), 27u);
}

TEST(ControlPrimitives, EachChangesOnlyItsOwnBitAndWaitsItsTime) {
  struct Case {
    const char* name;
    void (Board::*primitive)();
    int start;
    Bytes writes;
    std::vector<int> waits;
  };
  const std::vector<int> none;
  const std::vector<int> twice55{65535, 65535};
  const std::vector<int> fifty10(50, 11932);
  const Case cases[] = {
      {"SetStrobe", &Board::SetStrobe, 0x0A, {0x0B}, none},
      {"ClearStrobe", &Board::ClearStrobe, 0x0F, {0x0E}, none},
      {"PulseStrobe", &Board::PulseStrobe, 0x06, {0x07, 0x06}, none},
      {"PulseSelectIn", &Board::PulseSelectIn, 0x06, {0x0E, 0x06}, none},
      {"ClearAutoFeed", &Board::ClearAutoFeed, 0x07, {0x05}, fifty10},
      {"SetAutoFeed", &Board::SetAutoFeed, 0x05, {0x07}, twice55},
      {"ClearInit", &Board::ClearInit, 0x07, {0x03}, twice55},
      {"SetInit", &Board::SetInit, 0x03, {0x07}, twice55},
  };
  for (const Case& c : cases) {
    Rig r({.ControlPortImage = c.start});
    (r.board.*c.primitive)();
    EXPECT_EQ(r.Control(), c.writes) << c.name;
    EXPECT_EQ(r.Waits(), c.waits) << c.name;
    EXPECT_TRUE(r.Data().empty()) << c.name;
  }
}

TEST(ModeBits, SetModeBitShiftsOutThenWaitsTwice55ms) {
  struct Case {
    const char* name;
    void (Board::*primitive)();
    int before, after;
  };
  for (const Case& c : {Case{"SetModeBit7", &Board::SetModeBit7, 0x01, 0x81},
                        Case{"SetModeBit0", &Board::SetModeBit0, 0x80, 0x81}}) {
    Rig r({.ModeBits = c.before});
    (r.board.*c.primitive)();
    EXPECT_EQ(r.Registers().ModeBits, c.after) << c.name;
    EXPECT_EQ(r.Registers().ModeLatch, c.after) << c.name;
    EXPECT_EQ(r.Data().size(), 27u) << c.name;
    EXPECT_EQ(r.Waits(), (std::vector<int>{65535, 65535})) << c.name;
    // The shift-out comes before the waits.
    EXPECT_TRUE(r.io.log.front().write && r.io.log.front().port == 0x378) << c.name;
  }
}

TEST(ModeBits, Bit0StaysSetThroughOperations) {
  Rig r;
  r.board.ResetBoard();
  r.board.BeginOperation();
  r.board.SetModeBit0();
  r.board.LatchMode(0x00);
  EXPECT_EQ(r.Registers().ModeLatch, 0x01);
  r.board.ResetBoard();
  EXPECT_EQ(r.Registers().ModeBits, 0x81);
}

TEST(Board, VerbsSetTheShadowRegistersAndOnlyShiftOutSendsThem) {
  Rig r;
  r.board.SetData(0x5A);
  r.board.SetAddress(0x1234, 0x12);
  r.board.SetAddressHigh(0xFE);
  r.board.SetMode(0x66);
  r.board.EnableDataOutputs(true);
  EXPECT_TRUE(r.io.log.empty());
  const BoardRegisters& set = r.Registers();
  EXPECT_EQ(set.DataLatch, 0x5A);
  EXPECT_EQ(set.AddressLowLatch, 0x1234);
  EXPECT_EQ(set.AddressHighLatch, 0xFE);
  EXPECT_EQ(set.ModeLatch, 0x66);
  EXPECT_TRUE(set.DataOutputEnable);

  // LatchMode sends at once, with ModeBits merged in; the other latches go out as they were set.
  r.board.LatchMode(0x14);
  ASSERT_EQ(r.Data().size(), 27u);
  EXPECT_EQ(r.Registers().ModeLatch, 0x95);
  EXPECT_EQ(r.Data()[25] & 0x04, 0x00);          // the strobe with the data outputs driving
  EXPECT_EQ(r.Data()[1] & (0x01 | 0x20), 0x20);  // first bit: data 0x5A bit 7, address-high bit 7
}

TEST(Board, FollowsPortBaseAtEveryAccess) {
  Rig r;
  r.port.SetPortBase(0x278);
  r.board.SetStrobe();
  r.board.ShiftInData();
  EXPECT_EQ(r.io.Writes(0x27A), (Bytes{0x01}));
  EXPECT_EQ(r.io.Writes(0x278).size(), 18u);
  EXPECT_EQ(r.io.Reads(0x279), 24);
  EXPECT_TRUE(r.Data().empty());
}

}  // namespace
}  // namespace kaldo
