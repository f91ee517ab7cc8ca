// The simulated operator's supply, met by a program that waits for chip after chip: it polls the
// signature a few times a second (the pauses timed by the board's delay timer), programs each
// chip of its device with a signature check before every step, then waits for the socket to go
// empty.
#include "sim/Supply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/model/DeviceTable.h"
#include "core/model/ProgramState.h"
#include "device/Programmer.h"
#include "link/Port.h"
#include "sim/SimulatedPC.h"

namespace kaldo::test {
namespace {

constexpr int kS52 = 4;
constexpr std::uint16_t kImageSize = 64;

std::vector<sim::SupplyItem> Items(const std::string& list) {
  return sim::ParseSupply(list, [](std::string_view name) { return FindDeviceType(name); });
}

// What the program saw, poll by poll, in runs: "S52*3" (the chip of its device three polls in a
// row), "none*3", "other*3", "out*3" (none, and the operator says no chip will come), and
// "wrote N" / "failed N" for the chip programmed, counted from 1.
struct Producer {
  explicit Producer(const std::string& list)
      : items(Items(list)), chips(sim::SupplyChips(items, kS52)), supply(items, chips) {
    pc.UseSupplier([this](std::uint64_t nowNs, const sim::ChipActivity& last) {
      return supply.OnOperation(nowNs, last);
    });
    for (int a = 0; a < kImageSize; ++a) state.DataBuffer[a] = static_cast<std::uint8_t>(a + 1);
    programmer.Open();
  }

  std::string Poll() {
    for (int i = 0; i < 4; ++i) programmer.PortAccess().Delay55ms();
    switch (programmer.CheckSignature(kS52).Result) {
      case SignatureVerdict::Kind::Matches:
        return "S52";
      case SignatureVerdict::Kind::NoAnswer:
        return "none";
      default:
        return "other";
    }
  }

  void Log(const std::string& seen) {
    if (!log.empty() && log.back().starts_with(seen + "*")) {
      log.back() = seen + "*" + std::to_string(std::stoi(log.back().substr(seen.size() + 1)) + 1);
    } else {
      log.push_back(seen + "*1");
    }
  }

  // Each step after a check of the signature; the chip must stay in the socket throughout.
  void Program() {
    const sim::Chip* chip = pc.Socket();
    const DeviceJob job{kS52, &state.DataBuffer, kImageSize, 0};
    ASSERT_TRUE(programmer.CheckSignature(kS52).Passed());
    const bool wrote = programmer.Run(DeviceCommand::Write, job).Succeeded();
    ASSERT_TRUE(programmer.CheckSignature(kS52).Passed());
    const bool verified = programmer.Run(DeviceCommand::Verify, job).Succeeded();
    EXPECT_EQ(pc.Socket(), chip);
    ++programmed;
    log.push_back((wrote && verified ? "wrote " : "failed ") + std::to_string(programmed));
  }

  void Run(int polls) {
    bool waitingForEmpty = false;
    std::uint64_t emptySince = 0;
    for (int i = 0; i < polls; ++i) {
      const std::uint64_t now = pc.NowNs();
      const std::string seen = Poll();
      if (seen == "none" && (log.empty() || !log.back().starts_with("none"))) emptySince = now;
      if (seen != "none" && !log.empty() && log.back().starts_with("none")) {
        EXPECT_GE(now - emptySince, sim::SupplyOperator::kMomentNs) << "before poll " << i;
      }
      Log(seen == "none" && supply.Exhausted() ? "out" : seen);
      if (seen == "none") waitingForEmpty = false;
      if (seen == "S52" && !waitingForEmpty) {
        Program();
        waitingForEmpty = true;
      }
    }
  }

  sim::SimulatedPC pc{sim::SimOptions{.ioCycleNs = 5000}};
  std::vector<sim::SupplyItem> items;
  std::vector<sim::Chip> chips;
  sim::SupplyOperator supply;
  Programmer programmer{pc};
  ProgramState state;
  int programmed = 0;
  std::vector<std::string> log;
};

struct OperatorCase {
  const char* name;
  const char* list;
  std::vector<std::string> log;
};

class OperatorTest : public testing::TestWithParam<OperatorCase> {};

// A chip of the device: seen once, programmed, seen twice more (no step of the program between
// two checks sees it leave), then gone for ten polls of the moment; a chip of another device:
// twelve polls (no answer from a chip of another group), then the moment; an "empty" item: ten
// polls more; a locked chip is erased and written. Once the last chip is out, no chip will come,
// however many "empty" items are left.
TEST_P(OperatorTest, GivesEachChipOnceAndNeverTakesOneOutWhileItIsProgrammed) {
  const OperatorCase& c = GetParam();
  Producer producer(c.list);
  producer.Run(48);
  EXPECT_EQ(producer.log, c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Supply, OperatorTest,
    testing::Values(OperatorCase{"good_twice",
                                 "good*2",
                                 {"S52*1", "wrote 1", "S52*2", "none*10", "S52*1", "wrote 2",
                                  "S52*2", "out*32"}},
                    OperatorCase{"wrong_chip_then_empty",
                                 "89C2051,empty,good",
                                 {"none*32", "S52*1", "wrote 1", "S52*2", "out*13"}},
                    OperatorCase{"stuck_and_locked",
                                 "stuck:10,locked,good",
                                 {"S52*1", "failed 1", "S52*2", "none*10", "S52*1", "wrote 2",
                                  "S52*2", "none*10", "S52*1", "wrote 3", "S52*2", "out*19"}},
                    OperatorCase{"same_group_chip",
                                 "89S51,good",
                                 {"other*12", "none*10", "S52*1", "wrote 1", "S52*2", "out*23"}},
                    OperatorCase{"starts_empty", "empty,89S51", {"none*10", "other*12", "out*26"}},
                    OperatorCase{"empty_items_after_the_last_chip",
                                 "good,empty*3",
                                 {"S52*1", "wrote 1", "S52*2", "out*45"}},
                    OperatorCase{"nothing_but_empty", "empty*2", {"out*48"}}),
    [](const testing::TestParamInfo<OperatorCase>& param) {
      return std::string(param.param.name);
    });

TEST(SupplyChipsTest, KeepWhatTheProgramLeftInThem) {
  Producer producer("good,stuck:10,89C2051");
  producer.Run(16);
  ASSERT_EQ(producer.chips.size(), 3u);
  for (int a = 0; a < kImageSize; ++a) {
    EXPECT_EQ(producer.chips[0].memory[a], a + 1) << a;
    EXPECT_EQ(producer.chips[1].memory[a], a == 0x10 ? 0xFF : a + 1) << a;
  }
  EXPECT_EQ(producer.chips[2], sim::Chip::Fresh(FindDeviceType("89C2051")));
}

}  // namespace
}  // namespace kaldo::test
