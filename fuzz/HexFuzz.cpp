// The HEX reader on arbitrary text: it ends with one of its outcome texts or a raised error, never
// a crash, a hang or a write outside the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/Errors.h"
#include "core/formats/HexFile.h"
#include "fuzz/LoadOutcomeCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kaldo::ProgramState s;
  kaldo::LineReader in(std::string_view(reinterpret_cast<const char*>(data), size));
  kaldo::LoadOutcome outcome;
  try {
    outcome = kaldo::LoadHexLines(s, in);
  } catch (const kaldo::HexFieldError& e) {
    if (e.Line() < 1) std::abort();
    return 0;
  } catch (const kaldo::Error&) {
    return 0;
  }
  kaldo::fuzz::CheckLoadOutcome(outcome);
  return 0;
}
