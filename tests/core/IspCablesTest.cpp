#include "core/model/IspCables.h"

#include <gtest/gtest.h>

#include <string>

namespace kaldo {
namespace {

// A good cable, and its wiring written back in the text form.
struct GoodCable {
  const char* text;
  const char* wiring;
};

const GoodCable kGood[] = {
    {"89isp", "rst=17,sck=1,mosi=2,miso=10"},
    {"STK200", "rst=9,sck=6,mosi=7,miso=10,en=4+5"},
    {"dt006", "rst=4,sck=5,mosi=2,miso=11"},
    {"miso=15,mosi=16,sck=14,rst=~1", "rst=~1,sck=14,mosi=16,miso=15"},
    {"rst=9,sck=6,mosi=7,miso=~10,en=~4,vcc=2+3", "rst=9,sck=6,mosi=7,miso=~10,en=~4,vcc=2+3"},
    {"RST=17,SCK=1,MOSI=2,MISO=13", "rst=17,sck=1,mosi=2,miso=13"},
};

TEST(IspCable, GoodOnesParseAndSpellTheirWiring) {
  for (const GoodCable& c : kGood) {
    SCOPED_TRACE(c.text);
    const IspCable cable = ParseCable(c.text);
    EXPECT_EQ(CableWiringText(cable), c.wiring);
    EXPECT_EQ(ParseCable(CableWiringText(cable)).Reset, cable.Reset);
  }
}

TEST(IspCable, TheTableHoldsTheNamedCablesAndEachParses) {
  ASSERT_GE(IspCableTable().size(), 3u);
  for (const IspCableRow& row : IspCableTable()) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(ParseCable(row.Name).Name, row.Name);
  }
  const IspCable stk = ParseCable("stk200");
  EXPECT_EQ(stk.Enables, (std::vector<CableLine>{{4, false}, {5, false}}));
  EXPECT_EQ(stk.Miso, (CableLine{10, false}));
}

// A bad cable, and words its message must hold: what is wrong and what to write.
struct BadCable {
  const char* text;
  std::vector<const char*> says;
};

const BadCable kBad[] = {
    {"avrisp", {"unknown cable 'avrisp'", "89isp, stk200, dt006", "rst=17,sck=1"}},
    {"", {"unknown cable", "rst=17"}},
    {"rst=17,sck=1,mosi=2", {"names no miso", "all four"}},
    {"rst=17,sck=1,mosi=2,miso=10,rst=16", {"rst is given twice"}},
    {"rst=17,sck=2,mosi=2,miso=10", {"pin 2 carries both sck and mosi"}},
    {"rst=17,sck=1,mosi=2,miso=3", {"status pin", "10, 11, 12, 13 or 15", "D1"}},
    {"rst=10,sck=1,mosi=2,miso=11", {"'rst=10'", "status pin", "2-9 (data)"}},
    {"rst=20,sck=1,mosi=2,miso=10", {"pin 20 is a ground pin", "1 to 17"}},
    {"rst=26,sck=1,mosi=2,miso=10", {"no pin 26"}},
    {"rst=x,sck=1,mosi=2,miso=10", {"'rst=x'", "a number from 1 to 17", "~"}},
    {"rst=17,sck=1+3,mosi=2,miso=10", {"sck is one pin"}},
    {"rst=17,sck=1,mosi=2,miso=10,en=4+", {"'en=4+'", "a number"}},
    {"rst=17,sck=1,mosi=2,miso=10,led=5", {"'led=5' is not a line", "en and vcc"}},
    {"rst=17,sck=1,mosi=2,miso=10,vcc=10", {"status pin"}},
    {"rst=17,,sck=1,mosi=2,miso=10", {"'' is not a line"}},
};

TEST(IspCable, BadOnesSayWhatIsWrongAndWhatToWrite) {
  for (const BadCable& c : kBad) {
    SCOPED_TRACE(c.text);
    try {
      ParseCable(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const CableSpecError& e) {
      for (const char* words : c.says)
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace kaldo
