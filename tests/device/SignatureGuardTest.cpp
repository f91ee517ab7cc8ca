// The signature guard: the verdict on the bytes read, and the check on the simulated PC with the
// time it adds to a command.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/model/ProgramState.h"
#include "device/Programmer.h"
#include "device/SignatureCheck.h"
#include "sim/SimulatedPC.h"

namespace kaldo::test {
namespace {

using Kind = SignatureVerdict::Kind;
using Bytes = std::vector<std::uint8_t>;

constexpr int kC51 = 0, kC52 = 1, kC55 = 2, kS51 = 3, kS52 = 4, kS53 = 5, kS8252 = 6, kC55WD = 7,
              kC51RC = 8, kC1051 = 9, kC1051U = 10, kC2051 = 11;

TEST(JudgeSignature, Verdicts) {
  const struct {
    const char* name;
    int type;
    Bytes read;
    Kind kind;
    std::vector<int> found;
  } cases[] = {
      {"C51 itself, third byte FF", kC51, {0x1E, 0x51, 0xFF}, Kind::Matches, {}},
      {"S53 compares two bytes", kS53, {0x1E, 0x53}, Kind::Matches, {}},
      {"C1051U is not the C1051", kC1051U, {0x1E, 0x11}, Kind::OtherDevice, {kC1051}},
      {"no board: all FF", kC2051, {0xFF, 0xFF}, Kind::NoAnswer, {}},
      {"all 00", kS51, {0x00, 0x00, 0x00}, Kind::NoAnswer, {}},
      {"one byte answers", kS51, {0x1E, 0xFF, 0xFF}, Kind::OtherDevice, {}},
      {"an S52 for the S51", kS51, {0x1E, 0x52, 0x06}, Kind::OtherDevice, {kS52}},
      {"third byte tells S51 from C51", kC51, {0x1E, 0x51, 0x06}, Kind::OtherDevice, {kS51}},
      {"two bytes fit several", kS8252, {0x1E, 0x55}, Kind::OtherDevice, {kC55, kC55WD}},
      {"three bytes read, the table has two", kC52, {0x1E, 0x53, 0xFF}, Kind::OtherDevice, {kS53}},
      {"unknown signature", kC51RC, {0x12, 0x34, 0x56}, Kind::OtherDevice, {}},
      {"no device selected", kDeviceCount, {0x1E, 0x51, 0xFF}, Kind::NoDeviceSelected, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SignatureVerdict v = JudgeSignature(c.type, c.read);
    EXPECT_EQ(v.Result, c.kind);
    EXPECT_EQ(v.FoundTypes, c.found);
    if (c.kind != Kind::NoDeviceSelected) {
      EXPECT_EQ(v.Read, c.read);
    }
  }
  EXPECT_EQ(ExpectedSignature(kC51), (Bytes{0x1E, 0x51, 0xFF}));
  EXPECT_EQ(ExpectedSignature(kS8252), (Bytes{0x1E, 0x72}));
  EXPECT_TRUE(ExpectedSignature(-1).empty());
}

// An opened programmer on a simulated PC whose socket holds a chip of `chipType` (none: -1).
struct Bench {
  Bench(int deviceType, int chipType) {
    if (chipType >= 0) pc.InsertChip(chipType);
    state.DeviceType = deviceType;
    SetDeviceSize(state);
    programmer.Open();
  }
  // Runs the guard; returns the simulated time it took.
  double CheckSeconds(SignatureVerdict& verdict) {
    const std::uint64_t start = pc.NowNs();
    verdict = programmer.CheckSignature(state.DeviceType);
    return static_cast<double>(pc.NowNs() - start) / 1e9;
  }

  sim::SimulatedPC pc;
  ProgramState state;
  Programmer programmer{pc};
};

TEST(CheckSignature, TheRightChipOnEveryDeviceAndTheTimeItTakes) {
  for (int t = 0; t < kDeviceCount; ++t) {
    SCOPED_TRACE(t);
    Bench bench(t, t);
    SignatureVerdict v;
    const double seconds = bench.CheckSeconds(v);
    EXPECT_TRUE(v.Passed());
    EXPECT_EQ(v.Read, ExpectedSignature(t));
    // The signature read's waits: BeginOperation and ResetBoard, and on the AT89S53 and S8252
    // the mode-bit and AutoFeed waits on top.
    const bool slow = t == kS53 || t == kS8252;
    EXPECT_GT(seconds, slow ? 1.40 : 0.70);
    EXPECT_LT(seconds, slow ? 1.60 : 0.85);
    std::printf("guard on device %2d: %.3f s of simulated time\n", t, seconds);
  }
}

TEST(CheckSignature, FaultsOfTheBench) {
  const struct {
    const char* name;
    int deviceType;
    int chipType;  // -1: empty socket
    bool board;
    Kind kind;
    Bytes read;
  } cases[] = {
      {"no board", kC2051, kC2051, false, Kind::NoAnswer, {0xFF, 0xFF}},
      {"empty socket", kS52, -1, true, Kind::NoAnswer, {0xFF, 0xFF, 0xFF}},
      {"another chip", kS52, kS51, true, Kind::OtherDevice, {0x1E, 0x51, 0x06}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bench bench(c.deviceType, c.chipType);
    bench.pc.SetBoardPresent(c.board);
    const SignatureVerdict v = bench.programmer.CheckSignature(bench.state.DeviceType);
    EXPECT_EQ(v.Result, c.kind);
    EXPECT_EQ(v.Read, c.read);
    EXPECT_EQ(v.Expected, ExpectedSignature(c.deviceType));
  }
}

}  // namespace
}  // namespace kaldo::test
