#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/Supply.h"

namespace kaldo::test {
namespace {

using sim::SupplyItem;
using Kind = SupplyItem::Kind;

int TypeOfName(std::string_view name) {
  if (name == "89C2051") return 11;
  if (name == "S51") return 3;
  return -1;
}

TEST(SupplyList, ItemsAndCounts) {
  const SupplyItem good{}, empty{.kind = Kind::Empty}, locked{.kind = Kind::Locked};
  const SupplyItem c2051{.kind = Kind::Device, .type = 11};
  const struct {
    const char* list;
    std::vector<SupplyItem> items;
  } cases[] = {
      {"good", {good}},
      {"GOOD,Empty,locked", {good, empty, locked}},
      {"89C2051*2,good", {c2051, c2051, good}},
      {"stuck:1F0", {{.kind = Kind::Stuck, .address = 0x1F0}}},
      {"stuck:0x7fff*1", {{.kind = Kind::Stuck, .address = 0x7FFF}}},
      {"S51", {{.kind = Kind::Device, .type = 3}}},
  };
  for (const auto& c : cases) EXPECT_EQ(sim::ParseSupply(c.list, TypeOfName), c.items) << c.list;
  EXPECT_EQ(sim::ParseSupply("empty*10000", TypeOfName).size(), sim::kMaxSupply);
}

TEST(SupplyList, ABadItemIsNamed) {
  const struct {
    const char* list;
    const char* message;
  } cases[] = {
      {"", "bad item '' in the supply list: neither good, empty, locked, stuck:ADDR nor a device"},
      {"good,,good",
       "bad item '' in the supply list: neither good, empty, locked, stuck:ADDR "
       "nor a device"},
      {"good,",
       "bad item '' in the supply list: neither good, empty, locked, stuck:ADDR nor a "
       "device"},
      {"good,bad",
       "bad item 'bad' in the supply list: neither good, empty, locked, stuck:ADDR "
       "nor a device"},
      {"stuck:8000",
       "bad item 'stuck:8000' in the supply list: the address is not hexadecimal "
       "from 0 to 7FFF"},
      {"stuck:",
       "bad item 'stuck:' in the supply list: the address is not hexadecimal from 0 to "
       "7FFF"},
      {"stuck:-1",
       "bad item 'stuck:-1' in the supply list: the address is not hexadecimal from "
       "0 to 7FFF"},
      {"good*0",
       "bad item 'good*0' in the supply list: the count after '*' is not a number from "
       "1 to 10000"},
      {"good*x",
       "bad item 'good*x' in the supply list: the count after '*' is not a number from "
       "1 to 10000"},
      {"good*99999999999999999999",
       "bad item 'good*99999999999999999999' in the supply list: "
       "the count after '*' is not a number from 1 to 10000"},
      {"good*2*2",
       "bad item 'good*2*2' in the supply list: neither good, empty, locked, "
       "stuck:ADDR nor a device"},
      {"good*9999,locked*2",
       "bad item 'locked*2' in the supply list: the list holds more than "
       "10000 items"},
  };
  for (const auto& c : cases) {
    try {
      sim::ParseSupply(c.list, TypeOfName);
      ADD_FAILURE() << c.list << " taken";
    } catch (const sim::SupplyListError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.list;
    }
  }
}

}  // namespace
}  // namespace kaldo::test
