// What every reader's outcome must be, whatever the input: one of the four texts, stopped at a
// line exactly when it did not load, and with a reason only for a format error.
#pragma once

#include <cstdlib>
#include <string_view>

#include "core/LoadOutcome.h"

namespace kaldo::fuzz {

inline void CheckLoadOutcome(const LoadOutcome& outcome) {
  const std::string_view r = outcome.Text;
  if (outcome.Loaded() != (outcome.Line == 0)) std::abort();
  if (!outcome.Detail.empty() && r != kInvalidHexFormat) std::abort();
  if (r != kResultOK && r != kInvalidHexFormat && r != kDataChecksumError &&
      r != kAddressOutOfRange)
    std::abort();
}

}  // namespace kaldo::fuzz
