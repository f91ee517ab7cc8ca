#include "sim/Drawer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/sim/SimRig.h"

namespace kaldo::test {
namespace {

using sim::Drawer;

struct TempFile {
  TempFile() {
    path = (std::filesystem::temp_directory_path() /
            ("kaldo-drawer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name()))
               .string();
  }
  ~TempFile() {
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".tmp");
  }
  std::string path;
};

Drawer Filled() {
  Drawer d;
  d.chip(0).memory[0] = 0x12;
  d.chip(8).memory[0x7FFF] = 0x00;
  d.chip(8).memory[0x4000] = 0x5A;
  d.chip(8).lockBits = 3;
  d.chip(5).ispFuse = false;
  d.chip(12).memory[0x0FE0] = 0x01;
  return d;
}

TEST(Drawer, SavesAndLoadsEveryChip) {
  TempFile f;
  const Drawer d = Filled();
  ASSERT_TRUE(d.Save(f.path));
  const Drawer back = Drawer::Load(f.path);
  for (int t = 0; t < sim::kChipTypeCount; ++t) EXPECT_EQ(back.chip(t), d.chip(t)) << t;
}

TEST(Drawer, AMissingOrDamagedFileGivesFreshChips) {
  const std::string good = Filled().ToText();
  const Drawer fresh;
  struct Case {
    const char* what;
    std::string text;
    bool chip8Kept;
  };
  std::string flipped = good;
  flipped[flipped.find("4000 5A") + 5] = '6';  // a byte changed: the chip's sum no longer fits
  std::string chip7WithoutEnd = good;
  const std::size_t chip8 = chip7WithoutEnd.find("chip 8 ");
  const std::size_t end7 = chip7WithoutEnd.rfind("end ", chip8);
  chip7WithoutEnd.erase(end7, chip8 - end7);
  const Case cases[] = {
      {"empty", "", false},
      {"the block before it without its end line", chip7WithoutEnd, true},
      {"other header", "hello\n" + good.substr(good.find('\n') + 1), false},
      {"cut in the middle", good.substr(0, good.find("4000 5A") + 20), false},
      {"a changed byte", flipped, false},
      {"a row beyond the chip",
       std::string(good).insert(good.find("chip 1 "), "8000 " + std::string(64, '0') + "\n"), true},
  };
  for (const Case& c : cases) {
    const Drawer d = Drawer::FromText(c.text);
    EXPECT_EQ(d.chip(8) == Filled().chip(8), c.chip8Kept) << c.what;
    if (!c.chip8Kept) {
      EXPECT_EQ(d.chip(8), fresh.chip(8)) << c.what;
    }
    for (int t = 0; t < sim::kChipTypeCount; ++t) EXPECT_EQ(d.chip(t).Size(), fresh.chip(t).Size());
  }
  EXPECT_EQ(Drawer::Load("/nonexistent/kaldo/drawer").chip(0), fresh.chip(0));
}

TEST(Drawer, ASaveThatCannotBeWrittenFailsAndKeepsTheOldFile) {
  TempFile f;
  ASSERT_TRUE(Filled().Save(f.path));
  EXPECT_FALSE(Drawer().Save("/nonexistent-folder/kaldo.drawer"));
  EXPECT_EQ(Drawer::Load(f.path).chip(0).memory[0], 0x12);
}

TEST(Drawer, TheSocketHoldsTheSelectedTypeFromEachOperationsStart) {
  Drawer drawer = Filled();
  int selected = 0;
  SimRig rig;
  rig.pc.UseDrawer(drawer, [&] { return selected; });
  EXPECT_EQ(rig.pc.Socket(), &drawer.chip(0));
  {
    Session s(rig, Parts()[0]);
    EXPECT_EQ(s.ReadByte(0), 0x12);
    selected = 12;  // a change during an operation waits for the next one
    EXPECT_EQ(s.ReadByte(0), 0x12);
  }
  {
    Session s(rig, Parts()[12]);
    EXPECT_EQ(rig.pc.Socket(), &drawer.chip(12));
    s.Program({{0, 0x42}});
  }
  EXPECT_EQ(drawer.chip(12).memory[0], 0x42);
  selected = 13;
  {
    Session s(rig, Parts()[12]);
    EXPECT_EQ(rig.pc.Socket(), nullptr);
    EXPECT_EQ(s.ReadByte(0), 0xFF);
  }
}

}  // namespace
}  // namespace kaldo::test
