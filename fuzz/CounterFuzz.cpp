// The serial counter's reader on arbitrary text: a counter whose numbers all lie in its series,
// the returned ones below the next, that reads back as it was written; or the line where the
// text goes wrong; never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "production/SerialCounter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const kaldo::SerialCounterState s = kaldo::CounterFromText(text);
    const auto inSeries = [&](std::uint64_t n) {
      return n >= s.Start && (n - s.Start) % s.Step == 0;
    };
    if (s.Step == 0 || !inSeries(s.Next)) std::abort();
    for (std::uint64_t n : s.Returned)
      if (!inSeries(n) || n >= s.Next) std::abort();
    if (!(kaldo::CounterFromText(kaldo::CounterText(s)) == s)) std::abort();
  } catch (const kaldo::SerialCounterError& e) {
    if (std::string(e.what()).rfind("line ", 0) != 0) std::abort();
  }
  return 0;
}
