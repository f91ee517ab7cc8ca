// produce in one process: production runs on two simulated boards, one after another.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/core/TempFolder.h"
#include "tests/production/LogLines.h"

namespace kaldo::test {
namespace {

// Production run after production run in one process, each of 20 chips on two boards that hold
// ten each: every run ends, and each board writes its own ten. KALDO_BOARD_RUNS sets how many
// (scripts/boards-soak.sh runs 200).
TEST(ProductionRun, TwoBoardRunsInOneProcessEachEndWithTheirChips) {
  const char* given = std::getenv("KALDO_BOARD_RUNS");
  const int runs = given != nullptr ? std::atoi(given) : 2;
  for (int i = 0; i < runs; ++i) {
    SCOPED_TRACE("run " + std::to_string(i + 1));
    TempFolder folder;
    std::ofstream(folder / "a.hex") << ":0400000012345678E8\n:00000001FF\n";
    std::ostringstream out, err;
    ASSERT_EQ(
        cli::RunCli({"--sim", folder / "st", "--device", "89C2051", "--port", "lpt1", "--port",
                     "0xd010", "--sim-supply", "empty,good*10", "--count", "20", "--serial",
                     "7FE:bin-le2:1", "--log", folder / "log", "produce", folder / "a.hex"},
                    out, err),
        0)
        << out.str() << err.str();
    std::map<std::string, int> written;
    for (const std::string& line : Lines(folder / "log"))
      if (Field(line, 7) == "OK") written[Field(line, 1)]++;
    ASSERT_EQ(written, (std::map<std::string, int>{{"0xd010", 10}, {"lpt1", 10}})) << out.str();
  }
}

}  // namespace
}  // namespace kaldo::test
