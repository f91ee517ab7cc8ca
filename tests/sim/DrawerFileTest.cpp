#include "sim/DrawerFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <atomic>
#include <thread>

#include "sim/Supply.h"
#include "tests/core/TempFolder.h"

namespace kaldo::test {
namespace {

using namespace std::chrono_literals;
using sim::DrawerFile;
using sim::DrawerFileOptions;

// What opening the file gives: "taken", or the error's message.
std::string Opening(const std::string& path, const DrawerFileOptions& options = {}) {
  try {
    DrawerFile file(path, options);
  } catch (const Error& e) {
    return e.what();
  }
  return "taken";
}

void WriteChip(const std::string& path, int type, std::uint8_t value) {
  DrawerFile file(path, {});
  file.drawer().chip(type).memory[0] = value;
  file.Save();
}

DrawerFileOptions Remedy(const std::string& remedy) {
  DrawerFileOptions options;
  options.remedy = remedy;
  return options;
}

DrawerFileOptions FreshChips() {
  DrawerFileOptions options;
  options.freshChips = true;
  return options;
}

DrawerFileOptions Counting(std::atomic<int>& longWaits,
                           std::optional<std::chrono::milliseconds> patience) {
  DrawerFileOptions options;
  options.patience = patience;
  options.onLongWait = [&longWaits] { ++longWaits; };
  return options;
}

std::uint8_t FirstByte(const std::string& path, int type) {
  DrawerFile file(path, {});
  return file.drawer().chip(type).memory[0];
}

TEST(DrawerFile, KeepsTheChipsAndMakesNoFileForNothing) {
  TempFolder folder;
  const std::string path = folder / "chips";
  EXPECT_EQ(Opening(path), "taken");
  EXPECT_TRUE(folder.Names().empty());  // made while held, gone when nothing was saved

  WriteChip(path, 3, 0x42);
  WriteChip(path, 8, 0x17);
  EXPECT_EQ(FirstByte(path, 3), 0x42);
  EXPECT_EQ(FirstByte(path, 8), 0x17);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"chips"});

  ::symlink("chips", (folder / "link").c_str());
  WriteChip(folder / "link", 4, 0x99);
  struct stat st;
  ASSERT_EQ(::lstat((folder / "link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(FirstByte(path, 4), 0x99);
}

TEST(DrawerFile, AFileItCannotTakeStaysAsItWas) {
  TempFolder folder;
  const std::string path = folder / "chips";
  WriteChip(path, 8, 0x5A);
  const std::string good = ReadBytes(path);
  std::string flipped = good;
  flipped[flipped.find("\n0000 5A") + 6] = 'B';
  const std::string remedy = "Start afresh";
  // The line of chip 8's row, and the same chips with a type past the table after them.
  const int row =
      2 + static_cast<int>(std::count(
              good.begin(), good.begin() + static_cast<long>(good.find("\n0000 5A")), '\n'));
  const std::string count = std::to_string(sim::kChipTypeCount);
  std::string newer = good + "chip " + count + " 0 1 AT89XYZ\nend 0000 00000000\n";
  newer.replace(newer.find("\nchips ") + 7, count.size(), std::to_string(sim::kChipTypeCount + 1));
  const struct {
    const char* what;
    std::string bytes;
    std::string refusal;
  } cases[] = {
      {"a flipped digit", flipped,
       "line " + std::to_string(row + 1) +
           ": the end line of the AT89C51RC's block does not match the block; it was left "
           "unchanged. Start afresh"},
      {"cut short", good.substr(0, good.find("\n0000 5A") + 10),
       "line " + std::to_string(row) +
           ": the file ends in the middle of this line; it was left unchanged. Start afresh"},
      {"written by a newer program", newer,
       "holds chips for AT89XYZ, which this KALDO does not know; it was left unchanged. Use it "
       "with the newer KALDO that wrote it. Start afresh"},
      {"a HEX file", ":00000001FF\r\n",
       "is not a state file of the simulated PC; it was left unchanged"},
      {"empty", "", "is empty: its chips are lost; it was left unchanged. Start afresh"},
  };
  for (const auto& c : cases) {
    WriteBytes(path, c.bytes);
    EXPECT_EQ(Opening(path, Remedy(remedy)), "'" + path + "' " + c.refusal) << c.what;
    EXPECT_EQ(ReadBytes(path), c.bytes) << c.what;
  }

  // Fresh chips on the user's word, for a damaged or empty file but not for another kind of file.
  for (const std::string& bytes : {flipped, std::string()}) {
    WriteBytes(path, bytes);
    {
      DrawerFile file(path, FreshChips());
      EXPECT_EQ(file.drawer().chip(8).memory[0], 0xFF);
      file.Save();
    }
    EXPECT_EQ(FirstByte(path, 8), 0xFF);
  }
  WriteBytes(path, ":00000001FF\r\n");
  EXPECT_NE(Opening(path, FreshChips()), "taken");

  const std::string notRegular =
      "' is not a regular file: the simulated chips can only be kept in one";
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0666), 0);
  for (const std::string& other : {folder / "fifo", folder.path(), std::string("/dev/null")})
    EXPECT_EQ(Opening(other), "'" + other + notRegular);
  struct stat st;
  ASSERT_EQ(::stat((folder / "fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  WriteBytes(path, good);
  ::chmod(path.c_str(), 0444);
  ::chmod(folder.path().c_str(), 0777);
  {
    WithoutRoot user;
    ASSERT_TRUE(user.ok());
    EXPECT_EQ(Opening(path), "File access denied");
    EXPECT_EQ(Opening(folder / "missing/chips"), "File not found");
  }
  EXPECT_EQ(ReadBytes(path), good);
}

// A drawer of full chips with a supply of them (as a run of 24 AT89C51RC leaves it) is loaded
// again, and so would be a full supply; a byte more than the largest drawer, or a huge file, is
// refused without being read.
TEST(DrawerFile, WhatItSavesItLoadsAndNothingLarger) {
  TempFolder folder;
  const std::string path = folder / "chips";
  sim::Drawer full;
  for (int type = 0; type < sim::kChipTypeCount; ++type)
    std::fill(full.chip(type).memory.begin(), full.chip(type).memory.end(), 0x00);
  const std::size_t noSupply = full.ToText().size();
  sim::Chip largestChip = sim::Chip::Fresh(8);
  std::fill(largestChip.memory.begin(), largestChip.memory.end(), 0x00);
  largestChip.lockBits = 7;
  full.Supplied().assign(1, largestChip);
  const std::size_t block = full.ToText().size() - noSupply - std::string("supplied 1\n").size();
  EXPECT_GE(sim::Drawer::LargestText(),
            noSupply + std::string("supplied 1000\n").size() + sim::kMaxSupply * block);

  full.Supplied().assign(24, largestChip);
  {
    DrawerFile file(path, {});
    file.drawer() = full;
    file.Save();
  }
  {
    DrawerFile file(path, {});
    EXPECT_EQ(file.drawer().Supplied(), full.Supplied());
    EXPECT_EQ(file.drawer().chip(8), full.chip(8));
  }

  const std::string tooLarge =
      "'" + path + "' is larger than any drawer of chips; it was left unchanged";
  for (const off_t size : {static_cast<off_t>(sim::Drawer::LargestText() + 1), off_t{1} << 34}) {
    ASSERT_EQ(::truncate(path.c_str(), size), 0);  // a hole: no space taken
    EXPECT_EQ(Opening(path), tooLarge);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, size);
  }
}

// A disk error at the end of a save: the old file stays whole, and held.
TEST(DrawerFile, ASaveThatFailsAtTheEndKeepsTheOldFile) {
  TempFolder folder;
  const std::string path = folder / "chips";
  WriteChip(path, 8, 0x5A);
  const std::string good = ReadBytes(path);
  DrawerFileOptions impatient;
  impatient.patience = 0ms;
  for (const char* call : {"fsync", "close", "rename"}) {
    const FailingFileCall failing(call, EIO);
    DrawerFileOptions options;
    options.files = &failing;
    DrawerFile file(path, options);
    file.drawer().chip(8).memory[0] = 0x00;
    try {
      file.Save();
      ADD_FAILURE() << call << ": saved";
    } catch (const InOutError& e) {
      EXPECT_EQ(e.FullText(), "I/O error 5 writing " + path + ": Input/output error") << call;
    }
    EXPECT_EQ(ReadBytes(path), good) << call;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"chips"}) << call;
    EXPECT_NE(Opening(path, impatient), "taken") << call;
  }
}

// Another user's link in a shared sticky folder is not followed to the chips of whoever comes next.
TEST(DrawerFile, ALinkPlantedInASharedFolderIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a link an owner needs root";
  TempFolder folder;
  ::chmod(folder.path().c_str(), 01777);
  WriteChip(folder / "mine", 3, 0x42);
  const std::string mine = ReadBytes(folder / "mine");
  const std::string planted = folder / "planted";
  ::symlink("mine", planted.c_str());
  ::lchown(planted.c_str(), 65534, 65534);
  EXPECT_EQ(Opening(planted), "'" + planted +
                                  "' is not followed: it is a link owned by another user in a "
                                  "folder that everyone may write to");
  EXPECT_EQ(ReadBytes(folder / "mine"), mine);
}

// Programs that find no file make one at the same moment: neither sees the other's new file as
// one whose chips were lost.
TEST(DrawerFile, ProgramsThatMakeTheFileAtOnceBothTakeIt) {
  TempFolder folder;
  const std::string path = folder / "chips";
  for (int round = 0; round < 200; ++round) {
    std::string first, second;
    std::thread other([&] { second = Opening(path); });
    first = Opening(path);
    other.join();
    ASSERT_EQ(first, "taken") << round;
    ASSERT_EQ(second, "taken") << round;
  }
  EXPECT_TRUE(folder.Names().empty());
}

TEST(DrawerFile, OneHolderAtATime) {
  TempFolder folder;
  const std::string path = folder / "chips";
  std::atomic<int> longWaits = 0;
  const DrawerFileOptions impatient = Counting(longWaits, 50ms);
  {
    DrawerFile first(path, {});
    EXPECT_EQ(Opening(path, impatient), "'" + path + "' is in use by another program");
    first.drawer().chip(0).memory[0] = 0x01;
    first.Save();  // lets the file go
    EXPECT_EQ(Opening(path, impatient), "taken");
  }
  EXPECT_EQ(longWaits, 0);

  // A signal ends the wait.
  StopFlag stop;
  stop.Request(SIGINT);
  DrawerFileOptions stoppable;
  stoppable.stop = &stop;
  int stoppedBy = 0;
  {
    DrawerFile first(path, {});
    try {
      DrawerFile second(path, stoppable);
    } catch (const StoppedError& e) {
      stoppedBy = e.Signal();
    }
  }
  EXPECT_EQ(stoppedBy, SIGINT);

  // A waiter is told after a second, and takes the file the holder saved, not the one it replaced.
  std::uint8_t seen = 0;
  {
    DrawerFile first(path, {});
    std::thread second([&] {
      DrawerFile file(path, Counting(longWaits, std::nullopt));
      seen = file.drawer().chip(0).memory[0];
    });
    for (int i = 0; i < 60000 && longWaits == 0; ++i) std::this_thread::sleep_for(1ms);
    first.drawer().chip(0).memory[0] = 0x02;
    first.Save();
    second.join();
  }
  EXPECT_EQ(seen, 0x02);
  EXPECT_EQ(longWaits, 1);
}

}  // namespace
}  // namespace kaldo::test
