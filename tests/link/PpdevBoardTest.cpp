// The board protocol over the ppdev backend: the requests the kernel sees.
#include <gtest/gtest.h>

#include "link/Board.h"
#include "link/Port.h"
#include "link/Ppdev.h"
#include "tests/link/PpdevFakes.h"

namespace kaldo {
namespace {

using Log = std::vector<std::string>;

class PpdevBoardTest : public ::testing::Test {
 protected:
  PpdevBoardTest() { tree.add("parport0", "888\t1912\n"); }

  // "PPWDATA 3 xx" for each of the bytes.
  static Log DataWrites(std::initializer_list<unsigned> bytes) {
    Log log;
    for (unsigned b : bytes) log.push_back("PPWDATA 3 " + test::FakePpdevSystem::Hex(b));
    return log;
  }

  test::FakeProcTree tree;
  test::FakePpdevSystem sys;
  test::FakeClock clock;
  PpdevIoSpace io{sys, kLpt1Base, clock, HostSystem(tree.root())};
  Port port{io};
};

TEST_F(PpdevBoardTest, ShiftOutLatchesIsTwentySevenDataWritesAfterTheClaim) {
  struct Case {
    int image, data, low, high, mode, modeBits;
    bool outputEnable;
    std::initializer_list<unsigned> writes;
  };
  const Case cases[] = {
      // at start-up
      {0, 0, 0, 0, 0, 0x81, false, {0x04, 0x44, 0x46, 0x44, 0x04, 0x06, 0x04, 0x04, 0x06,
                                    0x04, 0x04, 0x06, 0x04, 0x04, 0x06, 0x04, 0x04, 0x06,
                                    0x04, 0x04, 0x06, 0x04, 0x44, 0x46, 0x44, 0xC4, 0x44}},
      // an address, a byte and a read mode, data outputs driven
      {0x04, 0xA5, 0x34, 0x12, 0x66, 0x01, true, {0x04, 0x05, 0x07, 0x05, 0x44, 0x46, 0x44,
                                                  0x55, 0x57, 0x55, 0x34, 0x36, 0x34, 0x04,
                                                  0x06, 0x04, 0x55, 0x57, 0x55, 0x64, 0x66,
                                                  0x64, 0x45, 0x47, 0x45, 0xC1, 0x41}},
  };
  for (const Case& c : cases) {
    io.close();
    sys.log.clear();
    sys.nextFd = 3;
    Board board(port, {.DataPortImage = c.image, .ModeBits = c.modeBits});
    board.SetData(c.data);
    board.SetAddress(c.low, c.high);
    board.SetMode(c.mode);
    board.EnableDataOutputs(c.outputEnable);
    board.ShiftOutLatches();
    Log expected = {"open /dev/parport0", "PPCLAIM 3"};
    for (const std::string& line : DataWrites(c.writes)) expected.push_back(line);
    EXPECT_EQ(sys.log, expected);
  }
}

TEST_F(PpdevBoardTest, ShiftInDataReadsTheStatusRegisterThreeTimesABit) {
  Board board(port, {.DataPortImage = 0x04});
  // Bit 7 = 0, 1, 0, 1, 1, 0, 1, 0 on the third read of each bit gives 0xA5.
  for (unsigned bit7 : {0, 1, 0, 1, 1, 0, 1, 0}) {
    sys.statusReads.insert(sys.statusReads.end(),
                           {0x00, 0x00, static_cast<unsigned char>(bit7 ? 0xFF : 0x7F)});
  }
  board.ShiftInData();
  EXPECT_EQ(board.ReadBack(), 0xA5);

  Log expected = {"open /dev/parport0", "PPCLAIM 3"};
  const Log status(3, "PPRSTATUS 3");
  for (const std::string& line : DataWrites({0x0C, 0x0E, 0x0C, 0x04})) expected.push_back(line);
  expected.insert(expected.end(), status.begin(), status.end());
  for (int i = 0; i < 7; ++i) {
    for (const std::string& line : DataWrites({0x06, 0x04})) expected.push_back(line);
    expected.insert(expected.end(), status.begin(), status.end());
  }
  EXPECT_EQ(sys.log, expected);
}

TEST_F(PpdevBoardTest, ResetBoardWritesTheControlRegisterAndWaitsOnTheHostClock) {
  clock.step = std::chrono::microseconds(1);
  port.InitDelayTimer();
  const auto start = clock.time;
  Board board(port);
  board.ResetBoard();
  Log control;
  for (const std::string& line : sys.log)
    if (line.rfind("PPWCONTROL", 0) == 0) control.push_back(line);
  EXPECT_EQ(control, (Log{"PPWCONTROL 3 07", "PPWCONTROL 3 07"}));
  EXPECT_GE(clock.time - start, 4 * std::chrono::nanoseconds(54924564));  // four 65535 counts
}

}  // namespace
}  // namespace kaldo
