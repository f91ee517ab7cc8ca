// The program's title and version, as its windows and the command-line program show them.
#pragma once

namespace kaldo {

inline constexpr char kProgramTitle[] = "ATMEL 89 Series Flash Programmer";
inline constexpr char kProgramVersion[] = "Version 3.0";

}  // namespace kaldo
