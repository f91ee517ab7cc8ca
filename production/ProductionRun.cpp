#include "production/ProductionRun.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "core/Errors.h"
#include "production/BoardRun.h"
#include "production/ProductionLine.h"

namespace kaldo {

namespace {

// A stop is the one to report; a board's own error otherwise.
std::exception_ptr ErrorToReport(const std::vector<std::exception_ptr>& errors) {
  for (const bool stops : {true, false}) {
    for (const std::exception_ptr& error : errors) {
      if (!error) continue;
      try {
        std::rethrow_exception(error);
      } catch (const StoppedError&) {
        if (stops) return error;
      } catch (...) {
        if (!stops) return error;
      }
    }
  }
  return nullptr;
}

}  // namespace

std::string ProductionCountsText(int good, int failed, double seconds) {
  const double hours = seconds / 3600;
  char perHour[32];
  std::snprintf(perHour, sizeof perHour, "%.1f", hours > 0 ? good / hours : 0.0);
  return "chips done: " + std::to_string(good) + ", failed: " + std::to_string(failed) +
         ", chips per hour: " + perHour;
}

ProductionResult RunProduction(const ProductionPlan& plan,
                               const std::vector<ProductionBoard>& boards, SerialCounter* counter,
                               ProductionLog& log, std::ostream& out) {
  const auto began = std::chrono::steady_clock::now();
  ProductionLine line(out, plan.Count, plan.Events);
  std::vector<std::unique_ptr<BoardRun>> runs;
  for (const ProductionBoard& board : boards)
    runs.push_back(std::make_unique<BoardRun>(plan, board, line, counter, log));
  std::vector<std::exception_ptr> errors(runs.size());
  const auto run = [&](std::size_t i) {
    try {
      runs[i]->Run();
    } catch (...) {
      errors[i] = std::current_exception();
      line.End();
    }
  };
  {
    std::vector<std::jthread> others;
    for (std::size_t i = 1; i < runs.size(); ++i) others.emplace_back(run, i);
    if (!runs.empty()) run(0);
  }
  // The supplies ran out before the count, or, without one, on every board.
  bool allRanOut = !runs.empty();
  for (const std::unique_ptr<BoardRun>& r : runs) allRanOut = allRanOut && r->RanOutOfChips();
  const bool shortOfChips = !line.Ending() && line.Count() > 0 && line.HandedOut() < line.Count();
  if (shortOfChips || (allRanOut && !line.Ending() && line.Count() == 0)) {
    std::string text = "The supply of chips ran out after " + std::to_string(line.HandedOut());
    if (line.Count() > 0)
      text += " of " + std::to_string(line.Count()) + " chips: no more will come." +
              (plan.ShortOfChipsAdvice.empty() ? "" : " " + plan.ShortOfChipsAdvice);
    else
      text += " chips: no more will come.";
    line.Say(text + "\n");
  }
  line.Say(ProductionCountsText(
               line.Good(), line.Failed(),
               std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count()) +
           "\n");
  bool exhausted = false;
  for (const std::unique_ptr<BoardRun>& r : runs) exhausted = exhausted || r->SerialsExhausted();
  return {line.Good(), line.Failed(), line.Failed() == 0 && !exhausted && !shortOfChips,
          ErrorToReport(errors)};
}

}  // namespace kaldo
