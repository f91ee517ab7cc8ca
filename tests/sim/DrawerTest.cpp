#include "sim/Drawer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/Convert.h"
#include "core/Crc32.h"

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

// The same text as version 2 wrote it (the thirteen chip types there were, no count of chips, no
// names; the CRCs of the blocks without them), or version 1 (no CRC on the end lines either).
std::string OlderVersion(const std::string& text, int version) {
  constexpr int kChipsOfVersion2 = 13;
  std::string out = "kaldo-sim drawer " + std::to_string(version) + "\n";
  std::size_t pos = text.find('\n', text.find('\n') + 1) + 1;  // past "chips N"
  std::uint32_t crc = 0;
  int chips = 0;
  bool supplied = false;
  while (pos < text.size()) {
    const std::size_t end = text.find('\n', pos) + 1;
    std::string line = text.substr(pos, end - pos);
    pos = end;
    supplied = supplied || line.rfind("supplied ", 0) == 0;
    if (!supplied && line.rfind("chip ", 0) == 0 && ++chips > kChipsOfVersion2) {
      pos = text.find('\n', text.find("\nend ", pos - 1) + 1) + 1;  // a type added since
      continue;
    }
    if (line.rfind("chip ", 0) == 0) {
      line.erase(line.rfind(' '), line.size() - 1 - line.rfind(' '));
      crc = 0;
    }
    if (line.rfind("end ", 0) == 0) {
      line.resize(8);
      if (version >= 2) line += " " + IntToHex(crc, 8);
      line += "\n";
    }
    crc = Crc32(line, crc);
    out += line;
  }
  return out;
}

// The line at which `find` stands in `text`, counted from 1.
int LineOf(const std::string& text, const std::string& find) {
  const std::size_t pos = text.find(find);
  return 1 +
         static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(pos), '\n'));
}

TEST(Drawer, TextKeepsEveryChipAndReadsOlderVersions) {
  const std::string text = Filled().ToText();
  EXPECT_EQ(text.substr(0, text.find('\n')), "kaldo-sim drawer 3");
  EXPECT_NE(text.find("\nchips " + std::to_string(sim::kChipTypeCount) + "\n"), std::string::npos);
  EXPECT_NE(text.find("\nchip 8 3 1 AT89C51RC\n4000 5A"), std::string::npos);
  ExpectSameChips(Drawer::FromText(text), Filled(), "version 3, chip ");
  for (int version : {1, 2}) {
    const std::string old = OlderVersion(text, version);
    ExpectSameChips(Drawer::FromText(old), Filled(), "version " + std::to_string(version));
    EXPECT_TRUE(Drawer::IsDrawerText(old));
  }
  EXPECT_FALSE(Drawer::IsDrawerText(":00000001FF\r\n"));

  // Written before the last chip type was added: it starts fresh, the others are kept.
  const std::size_t lastBlock = text.rfind("chip " + std::to_string(sim::kChipTypeCount - 1) + " ");
  std::string before = text.substr(0, lastBlock);
  before.replace(before.find("\nchips ") + 7, std::to_string(sim::kChipTypeCount).size(),
                 std::to_string(sim::kChipTypeCount - 1));
  Drawer expected = Filled();
  expected.chip(sim::kChipTypeCount - 1) = sim::Chip::Fresh(sim::kChipTypeCount - 1);
  ExpectSameChips(Drawer::FromText(before), expected, "one type fewer, chip ");
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
  const int row4000 = LineOf(good, "4000 5A");
  const int endOf8 = LineOf(good.substr(good.find("4000 5A")), "end ") + row4000 - 1;
  const int lines = LineOf(good + "x", "x") - 1;
  const std::string count = std::to_string(sim::kChipTypeCount);
  // A type past the table, as a newer program writes it.
  const std::string newer = "chip " + count + " 0 1 AT89XYZ\nend 0000 00000000\n";
  std::string withNewer = good + newer;
  withNewer.replace(withNewer.find("\nchips ") + 7, count.size(),
                    std::to_string(sim::kChipTypeCount + 1));
  const struct {
    const char* what;
    std::string text;
    int line;
    std::string reason;
  } cases[] = {
      {"a data digit", with("4000 5A", 5, "6"), endOf8, endLine},
      {"a row moved", with("4000 5A", 0, "6"), endOf8, endLine},
      {"a lock bit", with("chip 8 3", 7, "1"), endOf8, endLine},
      {"a row out of order", with("4000 5A", 0, "7FE0"), row4000 + 1,
       "a row of the AT89C51RC's block is damaged"},
      {"a row beyond the chip", insertBefore("end ", "1000" + row.substr(4)), LineOf(good, "end "),
       badRow},
      {"a row twice", insertBefore("end ", row + row), LineOf(good, "end "), badRow},
      {"a short row", insertBefore("end ", "0000 00\n"), LineOf(good, "end "), badRow},
      {"chips swapped", with("chip 8 3 1", 5, "9"), LineOf(good, "chip 8 "),
       "the block of the AT89C51RC should begin here"},
      {"a chip line", with("chip 3 0 1", 9, "2"), LineOf(good, "chip 3 "),
       "the first line of the AT89S51's block is damaged"},
      {"a chip's name", with("chip 3 0 1 AT89S51", 17, "2"), LineOf(good, "chip 3 "),
       "the first line of the AT89S51's block is damaged"},
      {"the count of chips", with("\nchips ", 1, "chip "), 2,
       "the count of the file's chips is damaged"},
      {"a chip more than counted",
       std::string(good).replace(good.find("\nchips ") + 7, count.size(), "1"),
       LineOf(good, "chip 1 "), "more follows the last chip's block"},
      {"a chip fewer than counted", withNewer.substr(0, withNewer.size() - newer.size()), lines + 1,
       "the file ends before the chip of type " + count},
      {"a chip a newer program knows", withNewer, lines + 1,
       "the file holds chips for AT89XYZ, which this KALDO does not know: a newer KALDO wrote it"},
      {"cut inside a row", good.substr(0, good.find("4000 5A") + 20), row4000, cut},
      {"cut after a row", good.substr(0, good.find("\n", good.find("4000 5A")) + 1), row4000 + 1,
       "the file ends inside the AT89C51RC's block"},
      {"cut between blocks", good.substr(0, chip8), LineOf(good, "chip 8 "),
       "the file ends before the AT89C51RC"},
      {"the last line end cut", good.substr(0, good.size() - 1), lines, cut},
      {"more after the last chip", good + "end 0000\n", lines + 1,
       "more follows the last chip's block"},
      {"another header", "hello\n" + good.substr(good.find('\n') + 1), 1,
       "this is not the first line of a drawer"},
      {"version 2, a data digit", OlderVersion(with("4000 5A", 5, "6"), 2), endOf8 - 1, endLine},
      {"version 1, a data digit", OlderVersion(with("4000 5A", 5, "6"), 1), endOf8 - 1, endLine},
      {"version 2, cut between blocks",
       OlderVersion(good, 2).substr(0, OlderVersion(good, 2).find("chip 8 ")),
       LineOf(good, "chip 8 ") - 1, "the file ends before the AT89C51RC"},
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
  const int after = LineOf(drawer + "x", "x");
  const std::size_t firstData = first.find('\n') + 6;
  auto at = [&](int line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
  };
  const struct {
    const char* what;
    std::string text;
    std::string reason;
  } cases[] = {
      {"no chip", drawer + "supplied 0\n", at(after, "more follows the last chip's block")},
      {"a count in letters", drawer + "supplied two\n" + first + second,
       at(after, "more follows the last chip's block")},
      {"a chip missing", drawer + "supplied 3\n" + first + second,
       at(after + 6, "the file ends before the supplied chip 3")},
      {"a type outside the table",
       drawer + "supplied 2\n" + first + "chip " + std::to_string(sim::kChipTypeCount) + " 7 1\n",
       at(after + 4, "the block of the supplied chip 2 should begin here")},
      {"a type a newer program knows",
       drawer + "supplied 2\n" + first + "chip " + std::to_string(sim::kChipTypeCount) +
           " 0 1 AT89XYZ\nend 0000 00000000\n",
       at(after + 4,
          "the file holds chips for AT89XYZ, which this KALDO does not know: a newer KALDO wrote "
          "it")},
      {"a changed byte",
       drawer + "supplied 1\n" + first.substr(0, firstData) + "5" + first.substr(firstData + 1),
       at(after + 3, "the end line of the supplied chip 1's block does not match the block")},
      {"more after them", text + "end 0000\n",
       at(after + 6, "more follows the last supplied chip's block")},
      {"more than a supply can have", drawer + "supplied 1001\n" + first + second,
       at(after, "more supplied chips than a supply can have (1000)")},
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
