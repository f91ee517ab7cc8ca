#include "link/Backend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Board.h"
#include "link/Port.h"
#include "tests/link/PpdevFakes.h"

namespace kaldo {
namespace {

// An I/O space that notes every access under its name.
class NamedIo : public IoSpace {
 public:
  NamedIo(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  void selectLpt(std::uint16_t base) override {
    log_.push_back(name_ + " select " + std::to_string(base));
  }
  void write(std::uint16_t port, std::uint8_t) override {
    log_.push_back(name_ + " write " + std::to_string(port));
  }
  std::uint8_t read(std::uint16_t port) override {
    log_.push_back(name_ + " read " + std::to_string(port));
    return 0;
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

struct Chooser {
  explicit Chooser(TimerSource timer = TimerSource::Picked)
      : io{0x0378, opener("ppdev", &ppdevFailure), opener("direct", &directFailure), clock, timer} {
  }
  // An opener that notes its call and then opens, or fails with the given message.
  HardwareIoSpace::Opener opener(std::string name, const std::string* failure) {
    return [this, name, failure](std::uint16_t base) -> std::unique_ptr<IoSpace> {
      log.push_back("open " + name + " " + std::to_string(base));
      if (!failure->empty()) throw Error(*failure);
      return std::make_unique<NamedIo>(name, log);
    };
  }
  std::string ppdevFailure, directFailure;
  std::vector<std::string> log;
  test::FakeClock clock;
  HardwareIoSpace io;
};

TEST(HardwareIoSpace, PicksAtTheFirstAccessAndKeepsThePick) {
  struct Case {
    const char* ppdevFailure;
    const char* picked;
    std::vector<std::string> opened;
  };
  for (const Case& c : {Case{"", "ppdev", {"open ppdev 888"}},
                        Case{"no permission", "direct", {"open ppdev 888", "open direct 888"}}}) {
    SCOPED_TRACE(c.picked);
    Chooser t;
    t.ppdevFailure = c.ppdevFailure;
    EXPECT_TRUE(t.log.empty());  // nothing is opened before the first access
    t.io.read(0x61);
    t.io.selectLpt(0x0278);  // a later port change moves the pick, and does not bring it back
    t.ppdevFailure = "";
    t.io.write(0x0278, 1);
    std::vector<std::string> expected = c.opened;
    expected.push_back(std::string(c.picked) + " read 97");
    expected.push_back(std::string(c.picked) + " select 632");
    expected.push_back(std::string(c.picked) + " write 632");
    EXPECT_EQ(t.log, expected);
  }
}

// One of several boards driven at once: its waits never reach the PC's timer, whichever way its
// port is reached.
TEST(HardwareIoSpace, OnTheHostClockTheTimerIsNeverTouched) {
  for (const char* ppdevFailure : {"", "no permission"}) {
    SCOPED_TRACE(ppdevFailure);
    Chooser t(TimerSource::HostClock);
    t.clock.step = std::chrono::microseconds(1);
    t.ppdevFailure = ppdevFailure;
    Port port(t.io);
    port.InitDelayTimer();
    port.Delay50us();
    port.RestoreDelayTimer();
    EXPECT_TRUE(t.log.empty());
    t.io.write(0x0378, 1);
    ASSERT_FALSE(t.log.empty());
    EXPECT_EQ(t.log.back(), std::string(*ppdevFailure ? "direct" : "ppdev") + " write 888");
  }
}

TEST(HardwareIoSpace, OpensThePortChosenBeforeTheFirstAccess) {
  Chooser t;
  t.ppdevFailure = "no permission";
  t.io.selectLpt(0x0278);
  t.io.write(0x027A, 7);
  EXPECT_EQ(t.log,
            (std::vector<std::string>{"open ppdev 632", "open direct 632", "direct write 634"}));
}

TEST(HardwareIoSpace, NeitherWayExplainsBothAndTriesAgainNextTime) {
  Chooser t;
  t.ppdevFailure = "No permission to open /dev/parport0 (the port at 0x0378)";
  t.directFailure = "No permission for ports 0x0378-0x037A.";
  try {
    t.io.write(0x0378, 0);
    ADD_FAILURE() << "no error";
  } catch (const BackendError& e) {
    EXPECT_STREQ(e.what(),
                 "The parallel port at 0x0378 cannot be reached.\n"
                 "Through ppdev: No permission to open /dev/parport0 (the port at 0x0378).\n"
                 "By direct port access: No permission for ports 0x0378-0x037A.");
  }
  t.directFailure = "";
  t.log.clear();
  t.io.write(0x0378, 0);
  EXPECT_EQ(t.log,
            (std::vector<std::string>{"open ppdev 888", "open direct 888", "direct write 888"}));
}

TEST(HardwareIoSpace, WithoutAReachablePortOnlyTheBoardReportsIt) {
  Chooser t;
  t.clock.step = std::chrono::microseconds(1);
  t.ppdevFailure = "No parallel port is known to the kernel";
  t.directFailure = "No permission to use the I/O ports";
  Port port(t.io);
  Board board(port);
  const std::vector<std::string> oneTry{"open ppdev 888", "open direct 888"};

  // Start-up: the timer set-up is quiet, the board reset says why the port cannot be reached.
  EXPECT_NO_THROW(port.InitDelayTimer());
  EXPECT_EQ(port.SavedTimer2Mode, 0xB6);
  EXPECT_EQ(t.log, oneTry);
  t.log.clear();
  try {
    board.ResetBoard();
    ADD_FAILURE() << "no error";
  } catch (const BackendError& e) {
    EXPECT_NE(std::string(e.what()).find("0x0378 cannot be reached"), std::string::npos);
  }
  EXPECT_EQ(t.log, oneTry);

  // Waits and the exit clean-up run on the host clock without asking again.
  t.log.clear();
  EXPECT_NO_THROW(port.Delay50us());
  EXPECT_NO_THROW(port.RestoreDelayTimer());
  EXPECT_TRUE(t.log.empty());

  // A port that becomes reachable later is picked; the timer stays where the start-up saved it.
  t.directFailure = "";
  EXPECT_NO_THROW(board.ResetBoard());
  const std::vector<std::string> expectedStart{"open ppdev 888", "open direct 888",
                                               "direct write 888"};
  ASSERT_GE(t.log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(t.log.begin(), t.log.begin() + 3), expectedStart);
  for (const std::string& entry : t.log) {
    const int address = std::stoi(entry.substr(entry.rfind(' ') + 1));
    EXPECT_TRUE(address != 0x42 && address != 0x43 && address != 0x61) << entry;
  }
}

}  // namespace
}  // namespace kaldo
