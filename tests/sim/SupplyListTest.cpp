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
  EXPECT_EQ(sim::ParseSupply("empty*1000", TypeOfName).size(), sim::kMaxSupply);
}

TEST(SupplyList, ABadItemIsNamed) {
  const std::string notAnItem = "neither good, empty, locked, stuck:ADDR nor a device";
  const std::string address = "the address is not hexadecimal from 0 to 7FFF";
  const std::string count = "the count after '*' is not a number from 1 to 1000";
  const struct {
    const char* list;
    const char* item;
    std::string why;
  } cases[] = {
      {"", "", notAnItem},
      {"good,,good", "", notAnItem},
      {"good,", "", notAnItem},
      {"good,bad", "bad", notAnItem},
      {"good*2*2", "good*2*2", notAnItem},
      {"stuck:8000", "stuck:8000", address},
      {"stuck:", "stuck:", address},
      {"stuck:-1", "stuck:-1", address},
      {"good*0", "good*0", count},
      {"good*x", "good*x", count},
      {"good*99999999999999999999", "good*99999999999999999999", count},
      {"good*999,locked*2", "locked*2", "the list holds more than 1000 items"},
  };
  for (const auto& c : cases) {
    try {
      sim::ParseSupply(c.list, TypeOfName);
      ADD_FAILURE() << c.list << " taken";
    } catch (const sim::SupplyListError& e) {
      EXPECT_EQ(e.what(), "bad item '" + std::string(c.item) + "' in the supply list: " + c.why)
          << c.list;
    }
  }
}

}  // namespace
}  // namespace kaldo::test
