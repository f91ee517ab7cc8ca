// Upper-case hexadecimal, zero-padded to a digit count (a longer value keeps all its digits).
#pragma once

#include <cstdio>
#include <string>

namespace kaldo::device_text {

inline std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace kaldo::device_text
