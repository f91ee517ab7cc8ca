#include "sim/Drawer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/sim/SimRig.h"

namespace kaldo::test {
namespace {

using sim::Drawer;

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

void ExpectSameChips(const Drawer& got, const Drawer& want, const std::string& what) {
  for (int t = 0; t < sim::kChipTypeCount; ++t) EXPECT_EQ(got.chip(t), want.chip(t)) << what << t;
}

// The same text as version 1 wrote it: no CRC on the end lines.
std::string Version1(std::string text) {
  text.replace(0, text.find('\n'), "kaldo-sim drawer 1");
  for (std::size_t end = text.find("\nend "); end != std::string::npos;
       end = text.find("\nend ", end + 1))
    text.erase(end + 9, 9);
  return text;
}

TEST(Drawer, TextKeepsEveryChipAndReadsVersion1) {
  const std::string text = Filled().ToText();
  EXPECT_EQ(text.substr(0, text.find('\n')), "kaldo-sim drawer 2");
  EXPECT_NE(text.find("\nchip 8 3 1\n4000 5A"), std::string::npos);
  ExpectSameChips(Drawer::FromText(text), Filled(), "version 2, chip ");
  const std::string old = Version1(text);
  EXPECT_EQ(old.size(), text.size() - sim::kChipTypeCount * std::string(" 0123ABCD").size());
  ExpectSameChips(Drawer::FromText(old), Filled(), "version 1, chip ");
  EXPECT_TRUE(Drawer::IsDrawerText(old));
  EXPECT_FALSE(Drawer::IsDrawerText(":00000001FF\r\n"));
}

// The line a damaged text is refused at, and why.
std::string Refusal(const std::string& text) {
  try {
    Drawer::FromText(text);
  } catch (const sim::DrawerTextError& e) {
    return e.what();
  }
  return "taken";
}

TEST(Drawer, ADamagedTextIsRefusedAtItsLine) {
  const std::string good = Filled().ToText();
  auto with = [&](const std::string& find, std::size_t offset, const std::string& put) {
    std::string t = good;
    return t.replace(t.find(find) + offset, put.size(), put);
  };
  auto insertBefore = [&](const std::string& find, const std::string& line) {
    return std::string(good).insert(good.find(find), line);
  };
  const std::size_t chip8 = good.find("chip 8 ");
  const std::string row = "0000 " + std::string(64, '0') + "\n";
  const std::string endLine = "the end line of the AT89C51RC's block does not match the block";
  const std::string badRow = "a row of the AT89C51's block is damaged";
  const std::string cut = "the file ends in the middle of this line";
  const struct {
    const char* what;
    std::string text;
    int line;
    std::string reason;
  } cases[] = {
      {"a data digit", with("4000 5A", 5, "6"), 22, endLine},
      {"a row moved", with("4000 5A", 0, "6"), 22, endLine},
      {"a lock bit", with("chip 8 3", 7, "1"), 22, endLine},
      {"a row out of order", with("4000 5A", 0, "7FE0"), 21,
       "a row of the AT89C51RC's block is damaged"},
      {"a row beyond the chip", insertBefore("end ", "1000" + row.substr(4)), 4, badRow},
      {"a row twice", insertBefore("end ", row + row), 4, badRow},
      {"a short row", insertBefore("end ", "0000 00\n"), 4, badRow},
      {"chips swapped", with("chip 8 3 1", 5, "9"), 19,
       "the block of the AT89C51RC should begin here"},
      {"a chip line", with("chip 3 0 1", 9, "2"), 9,
       "the first line of the AT89S51's block is damaged"},
      {"cut inside a row", good.substr(0, good.find("4000 5A") + 20), 20, cut},
      {"cut after a row", good.substr(0, good.find("\n", good.find("4000 5A")) + 1), 21,
       "the file ends inside the AT89C51RC's block"},
      {"cut between blocks", good.substr(0, chip8), 19, "the file ends before the AT89C51RC"},
      {"the last line end cut", good.substr(0, good.size() - 1), 31, cut},
      {"more after the last chip", good + "end 0000\n", 32, "more follows the last chip's block"},
      {"another header", "hello\n" + good.substr(good.find('\n') + 1), 1,
       "this is not the first line of a drawer"},
      {"version 1, a data digit", Version1(with("4000 5A", 5, "6")), 22, endLine},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Refusal(c.text), "line " + std::to_string(c.line) + ": " + c.reason) << c.what;
}

TEST(Drawer, SuppliedChipsFollowTheDrawerAndAreRefusedWhenDamaged) {
  Drawer withSupply = Filled();
  withSupply.Supplied() = {sim::Chip::Fresh(4), sim::Chip::Fresh(11)};
  withSupply.Supplied()[0].memory[0x0100] = 0x42;
  withSupply.Supplied()[1].lockBits = 7;
  const std::string text = withSupply.ToText();
  EXPECT_EQ(text.substr(0, Filled().ToText().size()), Filled().ToText());
  const Drawer back = Drawer::FromText(text);
  ExpectSameChips(back, withSupply, "with a supply, chip ");
  EXPECT_EQ(back.Supplied(), withSupply.Supplied());
  EXPECT_TRUE(Drawer::FromText(Filled().ToText()).Supplied().empty());

  const std::size_t section = text.find("supplied ");
  const std::string drawer = text.substr(0, section);
  const std::string first = text.substr(section + 11, text.rfind("chip 11") - section - 11);
  const std::string second = text.substr(text.rfind("chip 11"));
  const struct {
    const char* what;
    std::string text;
    std::string reason;
  } cases[] = {
      {"no chip", drawer + "supplied 0\n", "line 32: more follows the last chip's block"},
      {"a count in letters", drawer + "supplied two\n" + first + second,
       "line 32: more follows the last chip's block"},
      {"a chip missing", drawer + "supplied 3\n" + first + second,
       "line 38: the file ends before the supplied chip 3"},
      {"a type outside the table", drawer + "supplied 2\n" + first + "chip 13 7 1\n",
       "line 36: the block of the supplied chip 2 should begin here"},
      {"a changed byte", drawer + "supplied 1\n" + first.substr(0, 16) + "5" + first.substr(17),
       "line 35: the end line of the supplied chip 1's block does not match the block"},
      {"more after them", text + "end 0000\n",
       "line 38: more follows the last supplied chip's block"},
      {"more than a supply can have", drawer + "supplied 1001\n" + first + second,
       "line 32: more supplied chips than a supply can have (1000)"},
  };
  for (const auto& c : cases) EXPECT_EQ(Refusal(c.text), c.reason) << c.what;
}

TEST(Drawer, EveryChangedDigitIsCaught) {
  const std::string good = Filled().ToText();
  const std::string digits = "0123456789ABCDEF";
  int changed = 0;
  for (std::size_t i = 0; i < good.size(); ++i) {
    const std::size_t d = digits.find(good[i]);
    if (d == std::string::npos) continue;
    std::string text = good;
    text[i] = digits[(d + 1) % 16];
    EXPECT_NE(Refusal(text), "taken") << "digit " << i << " of " << good.substr(i / 80 * 80, 80);
    ++changed;
  }
  EXPECT_GT(changed, 300);
}

TEST(Drawer, TheSocketHoldsTheSelectedTypeFromEachOperationsStart) {
  Drawer drawer = Filled();
  int selected = 0;
  SimRig rig;
  rig.pc.UseDrawer(drawer, [&] { return selected; });
  EXPECT_EQ(rig.pc.Socket(), &drawer.chip(0));
  {
    PartOperation op(rig, Parts()[0]);
    EXPECT_EQ(op.ReadByte(0), 0x12);
    selected = 12;  // a change during an operation waits for the next one
    EXPECT_EQ(op.ReadByte(0), 0x12);
  }
  {
    PartOperation op(rig, Parts()[12]);
    EXPECT_EQ(rig.pc.Socket(), &drawer.chip(12));
    op.Program({{0, 0x42}});
  }
  EXPECT_EQ(drawer.chip(12).memory[0], 0x42);
  selected = sim::kChipTypeCount;
  {
    PartOperation op(rig, Parts()[12]);
    EXPECT_EQ(rig.pc.Socket(), nullptr);
    EXPECT_EQ(op.ReadByte(0), 0xFF);
  }
}

}  // namespace
}  // namespace kaldo::test
