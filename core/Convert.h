// Number conversions used throughout the program: text to integer, and integers to the upper-case
// hexadecimal shown to the user; and outside text made safe to quote in a message.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kaldo {

// Optional leading blanks, an optional sign, then either decimal digits or "$" followed by
// hexadecimal digits of either case. The value must fit a signed 32-bit integer. Anything else
// (empty text, trailing blanks, other characters, overflow) raises ConvertError naming the text.
std::int32_t StrToInt(std::string_view text);

// As StrToInt, but empty instead of raising.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// The value of a hexadecimal digit of either case, or -1.
int HexDigitValue(char c);

// Upper-case hexadecimal, zero-padded to at least `digits` digits; longer values keep every digit
// (IntToHex(0x12345, 4) is "12345").
std::string IntToHex(std::uint32_t value, int digits);

// Bytes as two digits each, separated by blanks: "1E 51 FF" (a signature as the messages show it).
std::string HexByteList(std::span<const std::uint8_t> bytes);

// An I/O address as the messages show it: "0x" and IntToHex(address, digits), as in "0x0378".
std::string IoAddressText(std::uint32_t address, int digits = 4);

// Decimal text of a value, with a "-" for negative values.
std::string IntToStr(std::int64_t value);

// A text from outside (a file's content, a file name, an argument) as a message may quote it:
// control characters (0x00-0x1F, 0x7F, and the C1 controls U+0080-U+009F) and bytes that are not
// part of valid UTF-8 become "\x1B"-style escapes, so that a quoted text cannot drive the user's
// terminal. Everything else, printable UTF-8 included, stays as it is.
std::string PrintableText(std::string_view text);

}  // namespace kaldo
