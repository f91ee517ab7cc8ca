// What every line reader's outcome must be, whatever the input: one of the four texts, stopped at
// a line and with a reason exactly when it did not load.
#pragma once

#include <cstdlib>
#include <string_view>

#include "core/formats/LoadOutcome.h"

namespace kaldo::fuzz {

inline void CheckLoadOutcome(const LoadOutcome& outcome) {
  const std::string_view r = outcome.Text;
  if (outcome.Loaded() != (outcome.Line == 0)) std::abort();
  if (outcome.Loaded() != outcome.Detail.empty()) std::abort();
  if (r != kResultOK && r != kInvalidHexFormat && r != kDataChecksumError &&
      r != kAddressOutOfRange)
    std::abort();
}

}  // namespace kaldo::fuzz
