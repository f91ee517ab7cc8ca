#include "sim/SimulatedSetup.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>
#include <utility>

#include "core/Errors.h"
#include "core/system/TextFile.h"

namespace kaldo::sim {

// The trace written as the accesses happen, so that a whole-chip write needs no memory for its
// millions of accesses: one FormatAccess line each.
class SimulatedSetup::TraceFile {
 public:
  explicit TraceFile(const std::string& fileName) : fileName_(fileName), fd_(Open(fileName)) {}
  ~TraceFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  void Log(const Access& access) {
    pending_ += FormatAccess(access);
    pending_ += '\n';
    if (pending_.size() >= kChunk) Flush();
  }
  // Writes what is left and closes the file; raises the first failure of the whole trace.
  void Close() {
    Flush();
    if (::close(fd_) != 0 && failure_ == 0) failure_ = errno;
    fd_ = -1;
    if (failure_ != 0) throw InOutErrorFromErrno(failure_).About(fileName_, "writing");
  }

 private:
  static constexpr std::size_t kChunk = 1 << 20;

  static int Open(const std::string& fileName) {
    try {
      return OpenForWriting(fileName);
    } catch (const InOutError& e) {
      throw e.About(fileName, "writing");
    }
  }

  // After a failure the rest of the trace is dropped; the program goes on.
  void Flush() {
    std::size_t done = 0;
    while (failure_ == 0 && done < pending_.size()) {
      const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
      if (n < 0 && errno != EINTR) failure_ = errno;
      if (n > 0) done += static_cast<std::size_t>(n);
    }
    pending_.clear();
  }

  std::string fileName_;
  int fd_;
  std::string pending_;
  int failure_ = 0;
};

SimulatedSetup::SimulatedSetup(const std::string& drawerFile, const DrawerFileOptions& options,
                               SelectedType selectedType, const std::string& traceFile)
    : chips_(drawerFile, options),
      drawer_(chips_.drawer()),
      selectedType_(std::move(selectedType)) {
  if (!traceFile.empty()) trace_ = std::make_unique<TraceFile>(traceFile);
  PutInSocket({});
}

SimulatedSetup::~SimulatedSetup() = default;

void SimulatedSetup::write(std::uint16_t port, std::uint8_t value) {
  pc_.write(port, value);
  if (trace_) trace_->Log({pc_.LastAccessNs(), port, value, true});
}

std::uint8_t SimulatedSetup::read(std::uint16_t port) {
  const std::uint8_t value = pc_.read(port);
  if (trace_) trace_->Log({pc_.LastAccessNs(), port, value, false});
  return value;
}

void SimulatedSetup::selectLpt(std::uint16_t base) {
  for (std::uint16_t own : kSimulatedLpts)
    if (own == base) pc_.MoveBoard(base);
}

void SimulatedSetup::PutInSocket(const SocketContents& contents) {
  if (!contents.supply.empty() || contents.supplied > 0) {
    PutSupplyInSocket(contents);
    return;
  }
  supply_.reset();
  Drawer* chips = &drawer_;
  if (contents.spare) {
    spares_ = drawer_;
    chips = &spares_;
  }
  const bool followsSelection = contents.chipType == SocketContents::kSelectedType;
  for (int type = 0; type < kChipTypeCount && !contents.empty; ++type) {
    if (!followsSelection && type != contents.chipType) continue;
    Chip& chip = chips->chip(type);
    chip.wontProgram.insert(contents.stuckCells.begin(), contents.stuckCells.end());
    if (contents.locked) chip.lockBits = kChipLock1 | kChipLock2 | kChipLock3;
    if (contents.isp && contents.isp->faults.fuseOff) chip.ispFuse = false;
  }
  std::function<int()> typeInSocket = selectedType_;
  if (contents.empty)
    typeInSocket = [] { return -1; };
  else if (!followsSelection)
    typeInSocket = [type = contents.chipType] { return type; };
  pc_.UseDrawer(*chips, std::move(typeInSocket));
  ConnectPort(contents);
}

void SimulatedSetup::ConnectPort(const SocketContents& contents) {
  pc_.SetBoardPresent(contents.boardPresent);
  if (contents.isp && contents.boardPresent)
    pc_.AttachIspCable(*contents.isp);
  else
    pc_.DetachIspCable();
  inSocket_ = contents;
}

void SimulatedSetup::PutSupplyInSocket(const SocketContents& contents) {
  std::vector<Chip>& supplied = drawer_.Supplied();
  if (contents.supplied > 0) {
    if (static_cast<std::size_t>(contents.supplied) > supplied.size()) {
      throw Error("there is no supplied chip " + std::to_string(contents.supplied) +
                  ": the state file keeps " +
                  (supplied.empty() ? std::string("none") : std::to_string(supplied.size())));
    }
    supply_.reset();
    Chip* chip = &supplied[static_cast<std::size_t>(contents.supplied) - 1];
    pc_.UseSupplier([chip](std::uint64_t, const ChipActivity&) { return chip; });
  } else {
    const int type =
        contents.chipType == SocketContents::kSelectedType ? selectedType_() : contents.chipType;
    if (type < 0 || type >= kChipTypeCount) throw Error("a supply of chips needs a device");
    supply_.reset();
    supplied = SupplyChips(contents.supply, type);
    if (contents.isp && contents.isp->faults.fuseOff)
      for (Chip& chip : supplied) chip.ispFuse = false;
    supply_ = std::make_unique<SupplyOperator>(contents.supply, supplied);
    pc_.UseSupplier([op = supply_.get()](std::uint64_t nowNs, const ChipActivity& last) {
      return op->OnOperation(nowNs, last);
    });
  }
  ConnectPort(contents);
}

void SimulatedSetup::PutAway() {
  std::exception_ptr saveFailed;
  try {
    chips_.Save();
  } catch (...) {
    saveFailed = std::current_exception();
  }
  if (trace_) std::exchange(trace_, nullptr)->Close();
  if (saveFailed) std::rethrow_exception(saveFailed);
}

}  // namespace kaldo::sim
