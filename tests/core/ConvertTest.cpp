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
      EXPECT_EQ(std::string(e.what()),
                "'" + PrintableText(text) + "' is not a valid integer value");
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

TEST(PrintableText, EscapesControlsAndBrokenUtf8) {
  const struct {
    const char* name;
    std::string text;
    const char* shown;
  } cases[] = {
      {"plain", "a.hex $G0 ~", "a.hex $G0 ~"},
      {"escape sequence", "$\x1b[2J", "$\\x1B[2J"},
      {"line ends and tab", "a\r\n\tb", "a\\x0D\\x0A\\x09b"},
      {"NUL and DEL", std::string("a\0b\x7F", 4), "a\\x00b\\x7F"},
      {"UTF-8 kept", "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80",
       "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"C1 control CSI",
       "\xC2\x9B"
       "2J",
       "\\xC2\\x9B2J"},
      {"no-break space kept",
       "a\xC2\xA0"
       "b",
       "a\xC2\xA0"
       "b"},
      {"lone high byte",
       "\x9B"
       "2J",
       "\\x9B2J"},
      {"cut sequence", "\xE2\x82", "\\xE2\\x82"},
      {"overlong slash", "\xC0\xAF", "\\xC0\\xAF"},
      {"surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"backslash stays", "\\x1B", "\\x1B"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrintableText(c.text), c.shown) << c.name;
    EXPECT_EQ(PrintableText(PrintableText(c.text)), c.shown) << c.name << " twice";
  }
  EXPECT_EQ(ConvertError("$\x1b[2J").what(),
            std::string("'$\\x1B[2J' is not a valid integer value"));
  EXPECT_EQ(ConvertError("$\x1b[2J").Text(), "$\x1b[2J");
}

TEST(Errors, FileErrorsNameTheFileAndTheReason) {
  const struct {
    InOutError error;
    const char* window;    // ErrorReportText
    const char* detailed;  // DetailedReportText
  } cases[] = {
      {InOutErrorFromErrno(ENOSPC).About("out.hex", "writing"), "I/O error 28.",
       "I/O error 28 writing out.hex: No space left on device."},
      {InOutErrorFromErrno(ENOENT).About("no/in.hex", "reading"), "File not found.",
       "File not found reading no/in.hex: No such file or directory."},
      {InOutErrorFromErrno(EACCES).About("a\x1b]0;x\x07.hex", "writing"), "File access denied.",
       "File access denied writing a\\x1B]0;x\\x07.hex: Permission denied."},
      {InOutErrorFromErrno(EISDIR).About("first", "reading").About("second", "writing"),
       "I/O error 21.", "I/O error 21 reading first: Is a directory."},
      {InOutErrorFromErrno(EIO), "I/O error 5.", "I/O error 5."},
      {InOutError(27, "I/O error 27").About("x", "writing"), "I/O error 27.",
       "I/O error 27 writing x."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorReportText(c.error), c.window);
    EXPECT_EQ(DetailedReportText(c.error), c.detailed);
  }
  EXPECT_EQ(DetailedReportText(ConvertError("$G0")), "'$G0' is not a valid integer value.");
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
