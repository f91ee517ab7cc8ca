// The production loop on the simulated PC, with an operator who puts chips in the socket and takes
// them out again on a schedule of simulated time: the good chips are written with their own serial
// numbers, a wrong chip and a failing one are logged as such, and the counter ends right.
#include "production/ProductionRun.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "core/Convert.h"
#include "core/model/DeviceTable.h"
#include "sim/SimulatedPC.h"
#include "sim/Supply.h"
#include "tests/core/TempFolder.h"
#include "tests/production/LogLines.h"

namespace kaldo::test {
namespace {

constexpr int kC2051 = 11, kS51 = 3;
constexpr std::uint64_t kSecond = 1'000'000'000;

struct Insertion {
  int type;  // -1: the socket stays empty
  std::uint16_t stuckCell = 0xFFFF;
};

// The operator: the socket is empty for 2 s, then holds each chip of the list for 15 s, with 5 s
// of empty socket between two chips. Every chip taken out is kept.
class Operator : public IoSpace {
 public:
  explicit Operator(std::vector<Insertion> chips) : chips_(std::move(chips)) {}
  void write(std::uint16_t port, std::uint8_t value) override {
    Follow();
    pc_.write(port, value);
  }
  std::uint8_t read(std::uint16_t port) override {
    Follow();
    return pc_.read(port);
  }
  std::vector<sim::Chip> TakenOut;
  // Called as the chip of the list's slot goes into the socket.
  std::function<void(std::size_t slot)> OnInsert;

 private:
  void Follow() {
    const std::uint64_t t = pc_.NowNs();
    const std::size_t slot = t < 2 * kSecond ? SIZE_MAX : (t - 2 * kSecond) / (20 * kSecond);
    const bool present = slot != SIZE_MAX && slot < chips_.size() &&
                         (t - 2 * kSecond) % (20 * kSecond) < 15 * kSecond &&
                         chips_[slot].type >= 0;
    if (present && slot != inSocket_) {
      sim::Chip chip = sim::Chip::Fresh(chips_[slot].type);
      if (chips_[slot].stuckCell != 0xFFFF) chip.wontProgram.insert(chips_[slot].stuckCell);
      pc_.InsertChip(chip);
      inSocket_ = slot;
      if (OnInsert) OnInsert(slot);
    } else if (!present && inSocket_ != SIZE_MAX) {
      TakenOut.push_back(*pc_.Socket());
      pc_.RemoveChip();
      inSocket_ = SIZE_MAX;
    }
  }

  sim::SimulatedPC pc_;
  std::vector<Insertion> chips_;
  std::size_t inSocket_ = SIZE_MAX;
};

// Notes each chip's steps as "I1" (insert), "W1" (writing), "G1:7" (good, its serial), "F1:0001"
// (failed, where), "X1" (wrong chip), "S1" (stopped), "R1" (remove), "E" (the socket must be
// emptied first), and the counts the last step gave.
struct StepRecorder : ProductionEvents {
  void OnChip(const ChipEvent& e) override {
    using Step = ChipEvent::Step;
    const std::string chip = std::to_string(e.Chip);
    switch (e.What) {
      case Step::RemoveFirst:
        steps += "E ";
        break;
      case Step::Insert:
        steps += "I" + chip + " ";
        break;
      case Step::Writing:
        steps += "W" + chip + " ";
        break;
      case Step::Good:
        steps += "G" + chip + (e.Serial ? ":" + std::to_string(*e.Serial) : "") + " ";
        break;
      case Step::Failed:
        steps += "F" + chip + ":" + IntToHex(e.Outcome.Failure.Address, 4) + " ";
        break;
      case Step::WrongChip:
        steps += "X" + chip + " ";
        break;
      case Step::Stopped:
        steps += "S" + chip + " ";
        break;
      case Step::Remove:
        steps += "R" + chip + " ";
        break;
    }
    good = e.Good;
    failed = e.Failed;
  }
  std::string steps;
  int good = 0, failed = 0;
};

// A run of `count` AT89C2051 chips with serial numbers from 7 on at 0010, four ASCII digits,
// unless another serial is given.
struct RunSetup {
  explicit RunSetup(int count, const std::string& serialSpec = "10:ascii4:7")
      : counter(folder / "log.counter", ParseSerialSpec(serialSpec).Start,
                ParseSerialSpec(serialSpec).Step) {
    plan.Chip = {kC2051, &image, FindDevice(kC2051)->Size, 0};
    plan.Count = count;
    plan.Serial = ParseSerialSpec(serialSpec);
    image.fill(kBlank);
  }
  // The exit status of kaldo-cli produce: 0 when the run passed, 1 when not, 2 when it ended with
  // an I/O error (kept in `error`). The log's file calls are logCalls.
  int Run(const std::vector<ProductionBoard>& boards, const FileCalls& logCalls = SystemFiles()) {
    try {
      ProductionLog log(folder / "log", nullptr, logCalls);
      const ProductionResult result = RunProduction(plan, boards, &counter, log, out);
      if (result.Error) std::rethrow_exception(result.Error);
      log.Close();
      return result.Passed ? 0 : 1;
    } catch (const InOutError& e) {
      error = e.FullText();
      return 2;
    }
  }

  TempFolder folder;
  CodeImage image;
  ProductionPlan plan;
  std::ostringstream out;
  std::string error;
  SerialCounter counter;
};

TEST(ProductionRun, WritesGoodChipsWithTheirSerialsAndLogsTheOthers) {
  RunSetup run(5);
  Operator op({{kC2051}, {kC2051}, {kS51}, {kC2051, 0x0001}, {kC2051}});
  Programmer programmer(op);
  programmer.Open();
  run.image[0] = 0x12;
  run.image[1] = 0x34;
  StepRecorder heard;
  run.plan.Events = &heard;
  EXPECT_EQ(run.Run({{&programmer, "simulator", "", {}}}), 1);
  programmer.Close();
  EXPECT_EQ(heard.steps, "I1 W1 G1:7 R1 I2 W2 G2:8 R2 I3 X3 R3 I4 W4 F4:0001 R4 I5 W5 G5:9 R5 ");
  EXPECT_EQ(heard.good, 3);
  EXPECT_EQ(heard.failed, 2);

  const std::vector<std::string> lines = Lines(run.folder / "log");
  ASSERT_EQ(lines.size(), 6u) << run.out.str();
  EXPECT_EQ(lines[0] + "\n", kProductionLogHeader);
  const struct {
    const char* serial;
    const char* result;
    const char* failure;  // address,read,expected
  } chips[] = {
      {"7", "OK", ",,"}, {"8", "OK", ",,"}, {"", "wrong chip", ",,"}, {"", "failed", "0001,FF,34"},
      {"9", "OK", ",,"},
  };
  for (std::size_t i = 0; i < std::size(chips); ++i) {
    SCOPED_TRACE(lines[i + 1]);
    EXPECT_EQ(Field(lines[i + 1], 1), "simulator");
    EXPECT_EQ(Field(lines[i + 1], 3), std::to_string(i + 1));
    EXPECT_EQ(Field(lines[i + 1], 4), chips[i].serial);
    EXPECT_EQ(Field(lines[i + 1], 7), chips[i].result);
    EXPECT_EQ(Field(lines[i + 1], 8) + "," + Field(lines[i + 1], 9) + "," + Field(lines[i + 1], 10),
              chips[i].failure);
  }
  EXPECT_EQ(Field(lines[3], 5), "1E 51 06");  // the wrong chip's signature

  // Each good chip holds the image with its own number.
  ASSERT_GE(op.TakenOut.size(), 4u);
  const std::size_t good[] = {0, 1, 4};
  const char* numbers[] = {"0007", "0008", "0009"};
  for (std::size_t i = 0; i < 3; ++i) {
    if (good[i] >= op.TakenOut.size()) break;  // the last may still sit in the socket
    const sim::Chip& chip = op.TakenOut[good[i]];
    EXPECT_EQ(chip.memory[0], 0x12);
    EXPECT_EQ(std::string(chip.memory.begin() + 0x10, chip.memory.begin() + 0x14), numbers[i]);
  }
  EXPECT_EQ(run.counter.Peek(), 10u);
  EXPECT_NE(run.out.str().find("insert chip 5 of 5\n"), std::string::npos) << run.out.str();
  EXPECT_NE(run.out.str().find("chips done: 3, failed: 2"), std::string::npos) << run.out.str();
}

// A disk error on the log (its write, its sync or its close) ends the run with an error that names
// the log, and the lines already in it stay whole: a line not known to be on the disk is taken
// back, for the operator to add by hand as the run says.
TEST(ProductionRun, ALogTheDiskFailsEndsTheRunAndKeepsItsLines) {
  for (const std::string call : {"write", "fsync", "close"}) {
    SCOPED_TRACE(call);
    RunSetup run(1);
    const std::string earlier = std::string(kProductionLogHeader) + "an earlier run's line\n";
    WriteBytes(run.folder / "log", earlier);
    Operator op(std::vector<Insertion>{{kC2051}});
    Programmer programmer(op);
    programmer.Open();
    const FailingFileCall failing(call, EIO);
    EXPECT_EQ(run.Run({{&programmer, "simulator", "", {}}}, failing), 2) << run.out.str();
    programmer.Close();
    EXPECT_EQ(run.error, "I/O error 5 writing " + run.folder / "log" + ": Input/output error");
    const std::vector<std::string> lines = Lines(run.folder / "log");
    ASSERT_EQ(lines.size(), call == "close" ? 3u : 2u);
    EXPECT_EQ(lines[1], "an earlier run's line");
    if (call == "close") {
      EXPECT_EQ(Field(lines[2], 7), "OK");
    } else {
      EXPECT_NE(run.out.str().find("chip 1: its line could not be written to the log; add it by "
                                   "hand: "),
                std::string::npos)
          << run.out.str();
    }
  }
}

// Two boards at once share the chip numbers, the serial numbers and the log, each line naming its
// board, and every good chip holds the number its line gives. Each board takes chips at its own
// pace: either may write most of them, so each operator has enough for the whole run.
TEST(ProductionRun, SeveralBoardsShareNumbersAndLog) {
  RunSetup run(6);
  Operator first(std::vector<Insertion>(6, {kC2051}));
  std::vector<Insertion> secondChips(6, {kC2051});
  secondChips[0].stuckCell = 0x0011;
  Operator second(secondChips);
  Programmer one(first), two(second);
  one.Open();
  two.Open();
  EXPECT_EQ(run.Run({{&one, "lpt1", "lpt1: ", {}}, {&two, "lpt2", "lpt2: ", {}}}), 1);
  one.Close();
  two.Close();

  const std::vector<std::string> lines = Lines(run.folder / "log");
  ASSERT_EQ(lines.size(), 7u) << run.out.str();
  std::set<std::string> chipNumbers;
  std::set<int> serials;
  std::map<std::string, std::vector<std::string>> resultsOf;  // by port, in the board's order
  std::map<std::string, std::vector<int>> serialsOf;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string port = Field(lines[i], 1);
    chipNumbers.insert(Field(lines[i], 3));
    resultsOf[port].push_back(Field(lines[i], 7) + " " + Field(lines[i], 8));
    if (Field(lines[i], 7) != "OK") continue;
    const int number = std::stoi(Field(lines[i], 4));
    EXPECT_TRUE(serials.insert(number).second) << "twice: " << lines[i];
    serialsOf[port].push_back(number);
  }
  EXPECT_EQ(chipNumbers, (std::set<std::string>{"1", "2", "3", "4", "5", "6"}));
  // The second board's first chip fails; every other chip passes.
  EXPECT_EQ(resultsOf["lpt2"].at(0), "failed 0011");
  for (const auto& [port, results] : resultsOf) {
    for (std::size_t i = port == "lpt2" ? 1 : 0; i < results.size(); ++i)
      EXPECT_EQ(results[i], "OK ") << port << " " << i;
  }
  // The numbers handed out are 7 on, none missing, none twice.
  ASSERT_EQ(serials.size(), 5u);
  EXPECT_EQ(*serials.begin(), 7);
  EXPECT_EQ(*serials.rbegin(), 11);
  EXPECT_EQ(run.counter.Peek(), 12u);
  for (const auto& [port, op, firstGood] :
       {std::tuple{"lpt1", &first, 0}, std::tuple{"lpt2", &second, 1}}) {
    SCOPED_TRACE(port);
    const std::vector<int>& numbers = serialsOf[port];
    for (std::size_t i = 0; i < numbers.size() && firstGood + i < op->TakenOut.size(); ++i) {
      const std::vector<std::uint8_t>& memory = op->TakenOut[firstGood + i].memory;
      EXPECT_EQ(std::stoi(std::string(memory.begin() + 0x10, memory.begin() + 0x14)), numbers[i]);
    }
  }
  std::istringstream printed(run.out.str());
  for (std::string line; std::getline(printed, line);) {
    if (line.starts_with("\a")) line.erase(0, 1);
    if (!line.starts_with("chips done")) {
      EXPECT_TRUE(line.starts_with("lpt1: ") || line.starts_with("lpt2: ")) << line;
    }
  }
  EXPECT_NE(run.out.str().find("chips done: 5, failed: 1"), std::string::npos) << run.out.str();
}

// Another run on the same counter takes the last number that fits while this one waits for its
// second chip: the chip is left unwritten, its number goes back, and the run ends as one whose
// numbers ran out.
TEST(ProductionRun, EndsWhenAnotherRunTookTheLastNumber) {
  RunSetup run(2, "10:ascii2:98");
  Operator op({{kC2051}, {kC2051}});
  SerialCounter other(run.folder / "log.counter", 98, 1);
  op.OnInsert = [&other](std::size_t slot) {
    if (slot == 1) {
      EXPECT_EQ(other.Take(), 99u);
    }
  };
  Programmer programmer(op);
  programmer.Open();
  EXPECT_EQ(run.Run({{&programmer, "simulator", "", {}}}), 1);
  programmer.Close();

  const std::vector<std::string> lines = Lines(run.folder / "log");
  ASSERT_EQ(lines.size(), 2u) << run.out.str();
  EXPECT_EQ(Field(lines[1], 4), "98");
  EXPECT_NE(run.out.str().find("The serial numbers have run out: 100 does not fit.\n"
                               "chips done: 1, failed: 0"),
            std::string::npos)
      << run.out.str();
  EXPECT_EQ(run.counter.Peek(), 100u);
  ASSERT_GE(op.TakenOut.size(), 1u);
  EXPECT_EQ(std::string(op.TakenOut[0].memory.begin() + 0x10, op.TakenOut[0].memory.begin() + 0x12),
            "98");
}

// A board on a simulated PC whose operator feeds the socket from a supply list, and tells the run
// when it has no chip left; a list that starts with '?' is fed by someone who never tells.
struct SuppliedBoard {
  explicit SuppliedBoard(std::string list)
      : tells(!list.starts_with("?")),
        items(sim::ParseSupply(list.substr(tells ? 0 : 1),
                               [](std::string_view name) { return FindDeviceType(name); })),
        chips(sim::SupplyChips(items, kC2051)),
        supply(items, chips) {
    pc.UseSupplier([this](std::uint64_t nowNs, const sim::ChipActivity& last) {
      return supply.OnOperation(nowNs, last);
    });
    programmer.Open();
  }
  ProductionBoard Board(const std::string& port) {
    ProductionBoard board{&programmer, port, port + ": ", {}};
    if (tells) board.NoChipWillCome = [this] { return supply.Exhausted(); };
    return board;
  }

  const bool tells;
  sim::SimulatedPC pc;
  std::vector<sim::SupplyItem> items;
  std::vector<sim::Chip> chips;
  sim::SupplyOperator supply;
  Programmer programmer{pc};
};

struct SupplyCase {
  const char* name;
  std::vector<const char*> supplies;  // one a board
  int count;
  std::vector<int> written;  // by each board, whatever the threads' pace
  int status;
  const char* said;
};

class SuppliedRunTest : public testing::TestWithParam<SupplyCase> {};

// Each board ends as soon as it can get no more chips: its supply has none left, or the others
// reached the count. Supplies that hold the count between them give each board all of its own.
TEST_P(SuppliedRunTest, EachBoardEndsWhenItCanGetNoMoreChips) {
  const SupplyCase& c = GetParam();
  RunSetup run(c.count);
  std::vector<std::unique_ptr<SuppliedBoard>> boards;
  std::vector<ProductionBoard> production;
  for (std::size_t i = 0; i < c.supplies.size(); ++i) {
    boards.push_back(std::make_unique<SuppliedBoard>(c.supplies[i]));
    production.push_back(boards.back()->Board("lpt" + std::to_string(i + 1)));
  }
  EXPECT_EQ(run.Run(production), c.status) << run.out.str();
  std::map<std::string, int> written;
  for (const std::string& line : Lines(run.folder / "log")) written[Field(line, 1)]++;
  for (std::size_t i = 0; i < c.written.size(); ++i)
    EXPECT_EQ(written["lpt" + std::to_string(i + 1)], c.written[i]) << i << run.out.str();
  EXPECT_NE(run.out.str().find(c.said), std::string::npos) << run.out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Supplies, SuppliedRunTest,
    testing::Values(
        SupplyCase{"two_boards_exact",
                   {"empty,good*2", "empty,good*3"},
                   5,
                   {2, 3},
                   0,
                   "chips done: 5, failed: 0"},
        SupplyCase{"one_of_two_runs_out",
                   {"empty,good", "empty,good*3"},
                   4,
                   {1, 3},
                   0,
                   "lpt1: no chip will come to this board any more\n"},
        SupplyCase{"two_boards_short",
                   {"empty,good", "empty,good*2"},
                   5,
                   {1, 2},
                   1,
                   "ran out after 3 of 5 chips"},
        // The other board's socket stays empty, and nobody says so: the count ends its wait.
        SupplyCase{"count_reached_by_the_other",
                   {"empty,good*2", "?empty"},
                   2,
                   {2, 0},
                   0,
                   "chips done: 2, failed: 0"}),
    [](const testing::TestParamInfo<SupplyCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kaldo::test
