// One programmer board's part of a production run, on an image of its own: it waits for an empty
// socket, then for a chip, writes it with its serial number and logs it, until the run is done
// for it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "core/model/CodeImage.h"
#include "device/CommandOutcome.h"
#include "device/DeviceJob.h"
#include "device/Identification.h"
#include "production/ProductionLine.h"
#include "production/ProductionRun.h"

namespace kaldo {

class BoardRun {
 public:
  BoardRun(const ProductionPlan& plan, const ProductionBoard& board, ProductionLine& line,
           SerialCounter* counter, ProductionLog& log);

  // Raises what ends the run for every board: a stop (but Ctrl-C while a run without a count
  // waits for the socket ends it quietly), an error of the board, the counter or the log.
  void Run();

  bool SerialsExhausted() const { return serialsExhausted_; }
  bool RanOutOfChips() const { return ranOutOfChips_; }

 private:
  struct ChipRecord;

  void Say(const std::string& text, const char* before = "");
  void Tell(ChipEvent::Step step, int chip, ChipEvent event = {});
  bool NoChipWillCome();
  bool WaitForEmptySocket();
  void RunOutOfSerials(std::uint64_t number);
  std::optional<ChipIdentity> WaitForChip();
  bool Program(int chip, const ChipIdentity& inside);
  void Finish(ChipRecord& record, std::chrono::steady_clock::time_point began);

  const ProductionPlan& plan_;
  const CodeImage image_;
  CodeImage chipImage_{};
  DeviceJob job_;
  const ProductionBoard& board_;
  Programmer& programmer_;
  ProductionLine& line_;
  SerialCounter* counter_;
  ProductionLog& log_;
  bool waiting_ = false;
  bool toldRemove_ = false;
  bool serialsExhausted_ = false;
  bool ranOutOfChips_ = false;
};

}  // namespace kaldo
