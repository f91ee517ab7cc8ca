#include "app/RealTimePace.h"

#include <chrono>
#include <thread>

namespace kaldo {

RealTimePace::RealTimePace()
    : RealTimePace(
          [] {
            return static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count());
          },
          [](std::uint64_t ns) { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); }) {}

RealTimePace::RealTimePace(WallClock wallClock, Sleep sleep)
    : wallClock_(std::move(wallClock)), sleep_(std::move(sleep)) {}

void RealTimePace::LineUp(std::uint64_t simulatedNs, std::uint64_t wallNs) {
  simulatedStart_ = simulatedNs;
  wallStart_ = wallNs;
  linedUp_ = true;
}

void RealTimePace::Keep(std::uint64_t simulatedNs) {
  const std::uint64_t wallNs = wallClock_();
  if (!linedUp_) return LineUp(simulatedNs, wallNs);
  const std::uint64_t simulated = simulatedNs - simulatedStart_;
  const std::uint64_t real = wallNs - wallStart_;
  if (simulated > real + kLeadNs)
    sleep_(simulated - real);
  else if (real > simulated + kLagNs)
    LineUp(simulatedNs, wallNs);
}

}  // namespace kaldo
