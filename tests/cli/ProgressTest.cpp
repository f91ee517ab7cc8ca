#include "cli/Progress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace kaldo::cli {
namespace {

// The bar's line after each step of a write on a 4 KiB device, on a clock the test moves.
TEST(ProgressBarTest, ShowsPassPercentAndTimeLeft) {
  double now = 100;
  std::ostringstream out;
  struct Step {
    double at;
    const char* command;  // null: an address report
    int address;
    std::string line;
  };
  // clang-format off
  const Step steps[] = {
      {100, "Programming", 0, "Programming  00FF  [#...................]   6%"},
      {100.5, nullptr, 0,     "Programming  00FF  [#...................]   6%"},
      {102.5, nullptr, 1024,  "Programming  04FF  [######..............]  31%  0:06 left"},
      {108.5, nullptr, 3840,  "Programming  0FFF  [####################] 100%  0:01 left"},
      {109, "Verifying", 0,   "Verifying  00FF  [#...................]   6%"},
      {109, nullptr, 2048,    "Verifying  08FF  [###########.........]  56%"},
      {110, nullptr, 2048,    "Verifying  08FF  [###########.........]  56%  0:01 left"},
  };
  // clang-format on
  {
    ProgressBar bar(out, 4096, [&] { return now; });
    for (const Step& s : steps) {
      now = s.at;
      if (s.command)
        bar.ShowCommand(s.command);
      else
        bar.ShowAddress(s.address);
      EXPECT_EQ(bar.Line(), s.line) << "at " << s.at;
    }
    // Drawn in place: a carriage return, the line, blanks to cover a longer line before it.
    const std::string drawn = out.str();
    const std::string first = steps[0].line;
    EXPECT_EQ(drawn.substr(0, 66), "\r" + first + std::string(64 - first.size(), ' ') + "\r");
    EXPECT_EQ(drawn.find('\n'), std::string::npos);
  }
  EXPECT_EQ(out.str().back(), '\n');  // the line is ended when the command is done
}

TEST(ProgressBarTest, LongPassesAndQuietEnds) {
  double now = 0;
  std::ostringstream out;
  {
    ProgressBar bar(out, 32768, [&] { return now; });
    bar.ShowCommand("Reading");
    now = 3;
    bar.ShowAddress(256);  // 127 blocks left at 3 s a block
    EXPECT_EQ(bar.Line(), "Reading  01FF  [....................]   1%  6:21 left");
    now = 5;
    bar.ShowAddress(0);  // a pass that starts over counts from here
    now = 6;
    bar.ShowAddress(8);
    EXPECT_EQ(bar.Line(), "Reading  00FF  [....................]   0%  1:08:15 left");
  }
  std::ostringstream quiet;
  {
    ProgressBar unused(quiet, 4096, [] { return 0.0; });
  }
  EXPECT_EQ(quiet.str(), "");  // nothing drawn, no line to end
}

TEST(ProgressLinesTest, OneObjectPerAddressReport) {
  std::ostringstream out;
  ProgressLines lines(out, 1024);
  lines.ShowCommand("Programming");
  lines.ShowAddress(0);
  lines.ShowAddress(768);
  lines.ShowCommand("Verifying");
  lines.ShowAddress(256);
  EXPECT_EQ(out.str(),
            "{\"operation\": \"Programming\", \"address\": 255, \"percent\": 25}\n"
            "{\"operation\": \"Programming\", \"address\": 1023, \"percent\": 100}\n"
            "{\"operation\": \"Verifying\", \"address\": 511, \"percent\": 50}\n");
}

TEST(MakeProgressTest, StyleAndTerminalChooseTheDisplay) {
  std::ostringstream out;
  EXPECT_NE(dynamic_cast<ProgressBar*>(MakeProgress(ProgressStyle::Auto, true, out, 4096).get()),
            nullptr);
  EXPECT_EQ(MakeProgress(ProgressStyle::Auto, false, out, 4096), nullptr);
  EXPECT_NE(dynamic_cast<ProgressBar*>(MakeProgress(ProgressStyle::Bar, false, out, 4096).get()),
            nullptr);
  EXPECT_NE(dynamic_cast<ProgressLines*>(MakeProgress(ProgressStyle::Json, true, out, 4096).get()),
            nullptr);
  EXPECT_EQ(MakeProgress(ProgressStyle::None, true, out, 4096), nullptr);
}

}  // namespace
}  // namespace kaldo::cli
