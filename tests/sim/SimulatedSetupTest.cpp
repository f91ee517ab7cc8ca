#include "sim/SimulatedSetup.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "link/Board.h"
#include "link/Port.h"
#include "tests/core/TempFolder.h"

namespace kaldo::test {
namespace {

using sim::SimulatedSetup;
using sim::SocketContents;

constexpr int kC2051 = 11;
constexpr int kC4051 = 12;
constexpr int kS52 = 4;
constexpr int kAllLocked = sim::kChipLock1 | sim::kChipLock2 | sim::kChipLock3;

// One operation's start and end on the setup, as a program's routine brackets it.
void RunOperation(SimulatedSetup& setup, std::uint16_t base = sim::kMainBoardLpt) {
  Port port(setup);
  port.SetPortBase(base);
  Board board(port);
  board.ResetBoard();
  board.BeginOperation();
  board.ResetBoard();
}

struct SocketCase {
  const char* name;
  std::function<void(SocketContents&)> contents;  // from the default contents
  int typeInSocket;                               // with the 89C2051 selected; -1: none
  bool spare;                                     // the socket holds a copy, not the drawer's chip
  bool followsSelection;  // at the next operation's start (none begins without a board)
  bool locked;
  std::set<std::uint16_t> stuck;
  bool lockKept;  // the drawer's file keeps the 89C2051's lock bits
};

class SocketContentsTest : public testing::TestWithParam<SocketCase> {};

TEST_P(SocketContentsTest, DecideTheChipItsFaultsAndWhatTheDrawerKeeps) {
  const SocketCase& c = GetParam();
  TempFolder folder;
  const std::string file = folder / "chips";
  int selected = kC2051;
  {
    SimulatedSetup setup(file, {}, [&] { return selected; });
    SocketContents contents;
    if (c.contents) c.contents(contents);
    setup.PutInSocket(contents);
    EXPECT_EQ(setup.Pc().BoardPresent(), contents.boardPresent);
    sim::Chip* chip = setup.Pc().Socket();
    if (c.typeInSocket < 0) {
      EXPECT_EQ(chip, nullptr);
    } else {
      ASSERT_NE(chip, nullptr);
      EXPECT_EQ(chip->type, c.typeInSocket);
      EXPECT_EQ(chip == &setup.ChipDrawer().chip(c.typeInSocket), !c.spare);
      EXPECT_EQ(chip->lockBits, c.locked ? kAllLocked : 0);
      EXPECT_EQ(chip->wontProgram, c.stuck);
      chip->memory[0] = 0x00;  // what the program leaves in it
    }
    selected = kC4051;
    RunOperation(setup);
    chip = setup.Pc().Socket();
    if (c.followsSelection) {
      ASSERT_NE(chip, nullptr);
      EXPECT_EQ(chip->type, kC4051);
      EXPECT_EQ(chip->lockBits, c.locked ? kAllLocked : 0);
      EXPECT_EQ(chip->wontProgram, c.stuck);
    } else {
      EXPECT_EQ(chip ? chip->type : -1, c.typeInSocket);
    }
    setup.PutAway();
  }
  sim::DrawerFile kept(file, {});
  for (int type : {kC2051, kC4051, kS52}) {
    SCOPED_TRACE(type);
    const sim::Chip& chip = kept.drawer().chip(type);
    const bool wasInSocket = type == c.typeInSocket && !c.spare;
    EXPECT_EQ(chip.memory[0], wasInSocket ? 0x00 : 0xFF);
    EXPECT_EQ(chip.lockBits, type == kC2051 && c.lockKept ? kAllLocked : 0);
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Setup, SocketContentsTest,
    testing::Values(
        //         name                 contents                                                 type    spare  follows locked stuck   kept
        SocketCase{"SelectedChip",      {},                                                      kC2051, false, true,  false, {},     false},
        SocketCase{"OtherChip",         [](SocketContents& s) { s.chipType = kS52; },            kS52,   false, false, false, {},     false},
        SocketCase{"NoBoard",           [](SocketContents& s) { s.boardPresent = false; },       kC2051, false, false, false, {},     false},
        SocketCase{"EmptyLocksNoChip",  [](SocketContents& s) { s.empty = s.locked = true; },    -1,     false, false, false, {},     false},
        SocketCase{"StuckSpare",        [](SocketContents& s) { s.stuckCells = {0x10}; s.spare = true; },
                                                                                                 kC2051, true,  true,  false, {0x10}, false},
        SocketCase{"LockedSpare",       [](SocketContents& s) { s.locked = s.spare = true; },    kC2051, true,  true,  true,  {},     false},
        SocketCase{"LockedDrawerChip",  [](SocketContents& s) { s.chipType = kC2051; s.locked = true; },
                                                                                                 kC2051, false, false, true,  {},     true},
        SocketCase{"StuckDrawerChip",   [](SocketContents& s) { s.chipType = kC2051; s.stuckCells = {2, 3}; },
                                                                                                 kC2051, false, false, false, {2, 3}, false}),
    [](const testing::TestParamInfo<SocketCase>& param) { return std::string(param.param.name); });
// clang-format on

TEST(SimulatedSetup, TracesEveryAccessToItsFileAndFollowsThePortsItHas) {
  TempFolder folder;
  SimulatedSetup setup(
      folder / "chips", {}, [] { return kC2051; }, folder / "trace");
  setup.Pc().SetTracing(true);
  RunOperation(setup, sim::kCardLpt);
  EXPECT_EQ(setup.Pc().BoardBase(), sim::kCardLpt);
  setup.selectLpt(0x278);  // none of the PC's: the board stays
  EXPECT_EQ(setup.Pc().BoardBase(), sim::kCardLpt);
  std::ostringstream expected;
  setup.Pc().WriteTrace(expected);
  ASSERT_FALSE(expected.str().empty());
  setup.PutAway();
  EXPECT_EQ(ReadBytes(folder / "trace"), expected.str());
}

// The supply's chips go to the drawer file as the program left them, replace an earlier supply's
// and come back one by one by their number.
TEST(SimulatedSetup, KeepsTheSuppliedChipsAndPutsOneBack) {
  TempFolder folder;
  const std::string file = folder / "chips";
  const auto supply = [&](const std::string& list) {
    SimulatedSetup setup(file, {}, [] { return kS52; });
    SocketContents contents;
    contents.supply = sim::ParseSupply(
        list, [](std::string_view name) { return name == "89C2051" ? kC2051 : -1; });
    setup.PutInSocket(contents);
    EXPECT_EQ(setup.Pc().Socket(), nullptr) << "before the first operation";
    RunOperation(setup);
    ASSERT_NE(setup.Pc().Socket(), nullptr);
    setup.Pc().Socket()->memory[5] = 0x00;
    setup.PutAway();
  };
  supply("good,89C2051,good,good");
  supply("locked,89C2051");
  const auto supplied = [&](int number) {
    SimulatedSetup setup(file, {}, [] { return kC4051; });
    SocketContents contents;
    contents.supplied = number;
    setup.PutInSocket(contents);
    RunOperation(setup);
    const sim::Chip* chip = setup.Pc().Socket();
    EXPECT_EQ(chip, &setup.ChipDrawer().Supplied().at(static_cast<std::size_t>(number - 1)));
    sim::Chip copy = *chip;
    setup.PutAway();
    return copy;
  };
  sim::Chip first = sim::Chip::Fresh(kS52);
  first.memory[5] = 0x00;
  first.lockBits = kAllLocked;
  EXPECT_EQ(supplied(1), first);
  EXPECT_EQ(supplied(2), sim::Chip::Fresh(kC2051));
  SimulatedSetup setup(file, {}, [] { return kC4051; });
  SocketContents third;
  third.supplied = 3;
  try {
    setup.PutInSocket(third);
    ADD_FAILURE() << "a third chip taken";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "there is no supplied chip 3: the state file keeps 2");
  }
}

}  // namespace
}  // namespace kaldo::test
