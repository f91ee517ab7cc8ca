// Serial numbers: their forms in the image, the --serial texts refused, where they may go, and
// the counter file that several runs share.
#include "production/SerialNumber.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <set>
#include <thread>

#include "production/SerialCounter.h"
#include "tests/core/TempFolder.h"

namespace kaldo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SerialSpec, FormsPutTheNumberIntoItsBytes) {
  const struct {
    const char* spec;
    std::uint64_t number;
    Bytes bytes;
  } cases[] = {
      {"10:bin-le:1", 0x12345678, {0x78, 0x56, 0x34, 0x12}},
      {"10:bin-le2:1", 0x1234, {0x34, 0x12}},
      {"10:bin-be3:1", 0x123456, {0x12, 0x34, 0x56}},
      {"10:bin-be8:1", UINT64_MAX, Bytes(8, 0xFF)},
      {"10:bcd2:1", 1234, {0x12, 0x34}},
      {"10:bcd:1", 7, {0x00, 0x00, 0x00, 0x07}},
      {"10:ascii8:1", 4711, {'0', '0', '0', '0', '4', '7', '1', '1'}},
      {"10:ascii1:1", 9, {'9'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.spec);
    const SerialSpec spec = ParseSerialSpec(c.spec);
    ASSERT_TRUE(spec.Fits(c.number));
    EXPECT_EQ(spec.Encode(c.number), c.bytes);
  }
}

TEST(SerialSpec, ReadsItsFieldsAndRefusesWhatDoesNotFit) {
  const SerialSpec s = ParseSerialSpec("0x7FF0:bcd3:999998:2");
  EXPECT_EQ(s.Address, 0x7FF0);
  EXPECT_EQ(s.Width, 3);
  EXPECT_EQ(s.Start, 999998u);
  EXPECT_EQ(s.Step, 2u);
  EXPECT_TRUE(s.Fits(999999));
  EXPECT_FALSE(s.Fits(1000000));
  EXPECT_EQ(ParseSerialSpec("0:bin-le1:255").Largest(), 255u);
  for (const char* bad :
       {"10:bin-le1:256", "10:ascii3:1000", "10:bcd1:100", "8000:bin-le:1", "10:ascii:1",
        "10:bin-le9:1", "10:bcd0:1", "10:hex4:1", "10:bin-le:1:0", "10:bin-le:-1", "10:bin-le",
        "10:bin-le:1:1:1", "xyz:bin-le:1", "10:bin-le:99999999999999999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseSerialSpec(bad), SerialSpecError);
  }
}

TEST(SerialSpec, GoesOnlyOnBlankBytesOfTheDevice) {
  ProgramState state;
  state.DeviceSize = 0x1000;
  state.DataBuffer[0x20] = 0x00;
  const struct {
    const char* spec;
    bool fits;
  } cases[] = {
      {"FFC:bin-le4:1", true}, {"FFD:bin-le4:1", false}, {"1D:bin-le4:1", false},
      {"1C:bin-le4:1", true},  {"21:ascii8:1", true},    {"20:bin-le1:1", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.spec);
    EXPECT_EQ(!SerialPlaceProblem(ParseSerialSpec(c.spec), state).has_value(), c.fits);
  }
}

TEST(SerialCounter, HandsBackFailedNumbersAndStepsBackFromTheLast) {
  TempFolder folder;
  SerialCounter counter(folder / "log.counter", 100, 10);
  EXPECT_EQ(counter.Peek(), 100u);
  EXPECT_EQ(counter.Take(), 100u);
  EXPECT_EQ(counter.Take(), 110u);
  EXPECT_EQ(counter.Take(), 120u);
  counter.GiveBack(110);  // not the last: kept for the next chip
  EXPECT_EQ(counter.Peek(), 110u);
  counter.GiveBack(120);  // the last: the next steps back, past 110 as well
  EXPECT_EQ(counter.Take(), 110u);
  EXPECT_EQ(counter.Take(), 120u);
  EXPECT_EQ(counter.Take(), 130u);
  std::ifstream in(folder / "log.counter");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "kaldo-cli serial counter\nstart 100\nstep 10\nnext 140\nreturned\n");
  EXPECT_EQ(CounterFromText(text), (SerialCounterState{100, 10, 140, {}}));
  // A counter made for another start or step is not taken over.
  EXPECT_THROW(SerialCounter(folder / "log.counter", 1, 10), SerialCounterError);
  EXPECT_THROW(SerialCounter(folder / "log.counter", 100, 1), SerialCounterError);
}

TEST(SerialCounter, NeverWrapsPastTheLargestNumber) {
  TempFolder folder;
  const std::uint64_t step = std::uint64_t{1} << 63;
  SerialCounter counter(folder / "c", 0, step);
  EXPECT_EQ(counter.Take(), 0u);
  EXPECT_THROW(counter.Take(), SerialCounterError);  // 2^63 has no number after it
  EXPECT_EQ(counter.Peek(), step);
  counter.GiveBack(0);
  EXPECT_EQ(counter.Take(), 0u);
}

TEST(SerialCounter, RefusesADamagedFile) {
  const std::string head = "kaldo-cli serial counter\n";
  const struct {
    std::string text;
    const char* error;  // after "The counter file F is damaged: "
  } cases[] = {
      {head + "start 1\nstep 1\nnext x\nreturned\n", "line 4: 'next x' is not 'next ...'"},
      // Another file altogether is not quoted.
      {"root:secret\n", "line 1 is not 'kaldo-cli serial counter'"},
      {head + "start 1\nstep 0\nnext 5\nreturned\n", "line 3: 'step 0' is not 'step ...'"},
      {head + "start 66666666666666666609\nstep 1\nnext 5\nreturned\n",
       "line 2: 'start 66666666666666666609' is not 'start ...'"},
      {head + "start 1\nstep 1\nnext 5\nreturned 7\n",
       "line 5: 'returned 7' holds 7, which is not below the next"},
      {head + "start 1\nstep 1\n", "line 4: '' is not 'next ...'"},
      {head + "start 1000\nstep 1\nnext 5\nreturned\n",
       "line 4: 'next 5' is not a number from 1000 in steps of 1"},
      {head + "start 1\nstep 2\nnext 8\nreturned\n",
       "line 4: 'next 8' is not a number from 1 in steps of 2"},
      {head + "start 1\nstep 2\nnext 9\nreturned 3 4\n",
       "line 5: 'returned 3 4' holds 4, which is not a number from 1 in steps of 2"},
      {head + "start 1\nstep 1\nnext 9\nreturned 3\n\nnext 2\n",
       "line 7: 'next 2' follows the returned numbers"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TempFolder folder;
    std::ofstream(folder / "c") << c.text;
    try {
      SerialCounter(folder / "c", 1, 1);
      ADD_FAILURE() << "taken";
    } catch (const SerialCounterError& e) {
      EXPECT_EQ(e.what(), "The counter file " + folder / "c" + " is damaged: " + c.error);
    }
  }
}

// A counter changed under a run that holds 100 and 101: one that would hand out either again, or
// is gone or empty, ends the run before another number; another run's numbers are no fault.
TEST(SerialCounter, StopsWhenTheFileWouldHandOutAHeldNumberAgain) {
  const std::string head = "kaldo-cli serial counter\nstart 100\nstep 1\n";
  const struct {
    const char* what;
    std::optional<std::string> text;  // none: removed
    const char* error;                // empty: the run goes on
  } cases[] = {
      {"removed", std::nullopt, "is gone"},
      {"emptied", "", "has been emptied"},
      {"next moved back", head + "next 101\nreturned\n",
       "has moved backwards: it would hand out 101"},
      {"a held number returned", head + "next 102\nreturned 100\n",
       "has moved backwards: it would hand out 100"},
      {"another run took more", head + "next 110\nreturned 105\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string file = folder / "c";
    SerialCounter counter(file, 100, 1);
    counter.Take();
    counter.Take();
    if (c.text)
      std::ofstream(file) << *c.text;
    else
      std::remove(file.c_str());
    if (*c.error == '\0') {
      EXPECT_EQ(counter.Take(), 105u);
      continue;
    }
    for (int call = 0; call < 2; ++call) {
      try {
        call == 0 ? counter.Peek() : counter.Take();
        ADD_FAILURE() << "went on";
      } catch (const SerialCounterError& e) {
        EXPECT_EQ(std::string(e.what()).find("The counter file " + file + " " + c.error), 0u)
            << e.what();
      }
    }
  }
}

// Runs at once, each with its own open file: no number is handed out twice, and none is lost.
TEST(SerialCounter, RunsAtOnceNeverShareANumber) {
  TempFolder folder;
  constexpr int kRuns = 4, kChips = 50;
  std::vector<std::vector<std::uint64_t>> kept(kRuns);
  std::vector<std::thread> runs;
  for (int r = 0; r < kRuns; ++r) {
    runs.emplace_back([&, r] {
      SerialCounter counter(folder / "c", 1, 1);
      for (int chip = 0; chip < kChips; ++chip) {
        const std::uint64_t n = counter.Take();
        if (chip % 5 == 4)
          counter.GiveBack(n);  // a failed chip
        else
          kept[r].push_back(n);
      }
    });
  }
  for (std::thread& t : runs) t.join();
  std::set<std::uint64_t> all;
  std::size_t total = 0;
  for (const auto& k : kept) {
    all.insert(k.begin(), k.end());
    total += k.size();
  }
  EXPECT_EQ(all.size(), total);
  // Every number below the next was either kept by a chip or is there to be taken again.
  std::ifstream in(folder / "c");
  const SerialCounterState end = CounterFromText(
      std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
  for (std::uint64_t n : end.Returned) EXPECT_EQ(all.count(n), 0u);
  EXPECT_EQ(total + end.Returned.size(), end.Next - 1);
}

}  // namespace
}  // namespace kaldo::test
