// The settings reader on arbitrary text: values or a conversion error, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Errors.h"
#include "core/formats/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kaldo::ProgramState s;
  kaldo::LineReader in(std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    kaldo::ReadSettingsLines(s, in);
    (void)kaldo::SettingsText(s);
  } catch (const kaldo::Error&) {
  }
  return 0;
}
