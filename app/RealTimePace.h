// Holds a simulated clock to the wall clock, so that the simulated PC takes the time a real one
// would: Keep sleeps whenever the simulated time has run more than kLeadNs ahead of the time that
// really passed. When the simulated time falls behind by more than kLagNs (the program waited
// for the user, or the host is slow), the two clocks are lined up again, so the simulation never
// races to catch up.
#pragma once

#include <cstdint>
#include <functional>

namespace kaldo {

class RealTimePace {
 public:
  static constexpr std::uint64_t kLeadNs = 2'000'000;
  static constexpr std::uint64_t kLagNs = 20'000'000;

  using WallClock = std::function<std::uint64_t()>;  // nanoseconds, never going back
  using Sleep = std::function<void(std::uint64_t ns)>;

  // The steady clock and a real sleep.
  RealTimePace();
  RealTimePace(WallClock wallClock, Sleep sleep);

  // Called with the simulated time after each step of the simulation.
  void Keep(std::uint64_t simulatedNs);

 private:
  void LineUp(std::uint64_t simulatedNs, std::uint64_t wallNs);

  WallClock wallClock_;
  Sleep sleep_;
  bool linedUp_ = false;
  std::uint64_t simulatedStart_ = 0;
  std::uint64_t wallStart_ = 0;
};

}  // namespace kaldo
