#include "cli/Json.h"

#include <gtest/gtest.h>

#include <string>

namespace kaldo::cli {
namespace {

struct EscapeCase {
  const char* name;
  std::string text;
  std::string json;
};

class JsonStringTest : public testing::TestWithParam<EscapeCase> {};

TEST_P(JsonStringTest, Escapes) {
  EXPECT_EQ(JsonString(GetParam().text), GetParam().json);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Texts, JsonStringTest, testing::Values(
    EscapeCase{"Plain", "Verify OK", "\"Verify OK\""},
    EscapeCase{"Empty", "", "\"\""},
    EscapeCase{"QuoteAndBackslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
    EscapeCase{"LineBreaks", "Data\rRead\n\t", "\"Data\\rRead\\n\\t\""},
    EscapeCase{"BackspaceFormFeed", "\b\f", "\"\\b\\f\""},
    EscapeCase{"ControlAndDel", std::string("\x00\x1B[2J\x7F", 6), "\"\\u0000\\u001B[2J\\u007F\""},
    EscapeCase{"Utf8KeptAsItIs", "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
    EscapeCase{"Latin1Byte", "caf\xE9.hex", "\"caf\\u00E9.hex\""},
    EscapeCase{"LoneContinuation", "\x80", "\"\\u0080\""},
    EscapeCase{"Overlong", "\xC0\xAF", "\"\\u00C0\\u00AF\""},
    EscapeCase{"OverlongThree", "\xE0\x80\xAF", "\"\\u00E0\\u0080\\u00AF\""},
    EscapeCase{"Surrogate", "\xED\xA0\x80", "\"\\u00ED\\u00A0\\u0080\""},
    EscapeCase{"AboveUnicode", "\xF4\x90\x80\x80", "\"\\u00F4\\u0090\\u0080\\u0080\""},
    EscapeCase{"LeadF5", "\xF5\x80\x80\x80", "\"\\u00F5\\u0080\\u0080\\u0080\""},
    EscapeCase{"CutAtTheEnd", "x\xE2\x82", "\"x\\u00E2\\u0082\""},
    EscapeCase{"CutByAscii", "\xE2\x82z", "\"\\u00E2\\u0082z\""}),
    [](const testing::TestParamInfo<EscapeCase>& c) { return std::string(c.param.name); });
// clang-format on

TEST(JsonObjectTest, KeepsOrderAndReplacesInPlace) {
  JsonObject o;
  o.Set("command", "verify").Set("address", 3).Set("ok", false).Set("port", Json());
  o.Set("address", std::uint16_t{0x7FFF});
  JsonObject more;
  more.Set("ok", true).Set("signature", JsonArray::Of(std::vector<std::uint8_t>{0x1E, 0x51}));
  o.Merge(more).Set("seconds", Json::Fixed(1.0 / 8, 3)).Set("empty", JsonArray());
  EXPECT_EQ(o.Text(),
            "{\"command\": \"verify\", \"address\": 32767, \"ok\": true, \"port\": null, "
            "\"signature\": [30, 81], \"seconds\": 0.125, \"empty\": []}");
  EXPECT_TRUE(o.Has("signature"));
  EXPECT_FALSE(o.Has("read"));
  EXPECT_EQ(Json(static_cast<const char*>(nullptr)).Text(), "null");
  EXPECT_EQ(JsonObject().Set("a\"", JsonObject()).Text(), "{\"a\\\"\": {}}");
}

}  // namespace
}  // namespace kaldo::cli
