// Errors raised by the link to the board; they reach the general error report like any other.
#pragma once

#include <string>

#include "core/Errors.h"

namespace kaldo {

// A wait on counter 2 whose end of count never showed on port 0x61 within the host-time bound.
class TimerWaitError : public Error {
 public:
  using Error::Error;
};

// The direct-I/O backend may not, or will not, touch a port.
class PortAccessError : public Error {
 public:
  using Error::Error;
};

}  // namespace kaldo
