#include <gtest/gtest.h>

#include <cerrno>

#include "core/Convert.h"
#include "core/Errors.h"

namespace kaldo {
namespace {

TEST(StrToInt, AcceptedTexts) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"0", 0},
      {"6", 6},
      {"  5", 5},
      {"-12", -12},
      {"+7", 7},
      {" -3", -3},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"00000000002147483647", 2147483647},
      {"$FF", 255},
      {"$ff", 255},
      {"$aB", 0xAB},
      {"$7", 7},
      {"$0000", 0},
      {"-$10", -16},
      {"$7FFFFFFF", 0x7FFFFFFF},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
  }
}

TEST(StrToInt, RejectedTextsRaiseTheConversionError) {
  for (const char* text :
       {"", " ", "5 ", "$", "-", "+", "$G0", "12a", "1 2", "0x10", "$-1", "\t5", "2147483648",
        "-2147483649", "$80000000", "99999999999999999999", "- 5", "$ 1"}) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const ConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
      EXPECT_EQ(e.Text(), text);
    }
    EXPECT_FALSE(TryStrToInt(text).has_value()) << text;
  }
}

TEST(IntToHex, PadsAndKeepsExtraDigits) {
  EXPECT_EQ(IntToHex(0, 2), "00");
  EXPECT_EQ(IntToHex(0xAB, 2), "AB");
  EXPECT_EQ(IntToHex(0xF000, 4), "F000");
  EXPECT_EQ(IntToHex(0x3F0, 4), "03F0");
  EXPECT_EQ(IntToHex(0x12345, 4), "12345");
  EXPECT_EQ(IntToHex(0xFFFFFFFF, 1), "FFFFFFFF");
  EXPECT_EQ(IntToHex(5, 0), "5");
  EXPECT_EQ(IoAddressText(0x378), "0x0378");
  EXPECT_EQ(IoAddressText(0x61, 2), "0x61");
  EXPECT_EQ(IoAddressText(0x1D010), "0x1D010");
}

TEST(Errors, MessagesAndReportText) {
  const struct {
    int err;
    int code;
    const char* message;
  } cases[] = {
      {ENOENT, 2, "File not found"},
      {EACCES, 5, "File access denied"},
      {EIO, EIO, "I/O error 5"},  // EIO's number is 5, but it is not an access error
      {ENOSPC, ENOSPC, "I/O error 28"},
  };
  for (const auto& c : cases) {
    InOutError e = InOutErrorFromErrno(c.err);
    EXPECT_EQ(e.Code(), c.code);
    EXPECT_STREQ(e.what(), c.message);
    EXPECT_EQ(ErrorReportText(e), std::string(c.message) + ".");
  }
  EXPECT_EQ(ErrorReportText(ConvertError("$G0")), "'$G0' is not a valid integer value.");
  EXPECT_EQ(ErrorReportText(Error("Stopped.")), "Stopped.");
}

}  // namespace
}  // namespace kaldo
