#include "cli/DeviceSession.h"

#include <cerrno>
#include <fstream>
#include <sstream>

#include "link/Backend.h"
#include "sim/Drawer.h"
#include "sim/SimulatedPC.h"

namespace kaldo::cli {

namespace {

// Passes every access on to the simulated PC and writes it to the trace file as it happens, so a
// whole-chip write needs no memory for its millions of accesses.
class TraceWriter : public IoSpace {
 public:
  TraceWriter(sim::SimulatedPC& pc, const std::string& fileName) : pc_(pc), out_(fileName) {
    if (!out_) throw InOutErrorFromErrno(errno);
  }
  void write(std::uint16_t port, std::uint8_t value) override {
    const std::uint64_t began = pc_.NowNs();
    pc_.write(port, value);
    Log({began, port, value, true});
  }
  std::uint8_t read(std::uint16_t port) override {
    const std::uint64_t began = pc_.NowNs();
    const std::uint8_t value = pc_.read(port);
    Log({began, port, value, false});
    return value;
  }
  void Close() {
    out_.close();
    if (!out_) throw InOutErrorFromErrno(errno ? errno : EIO);
  }

 private:
  void Log(const sim::Access& access) { out_ << sim::FormatAccess(access) << '\n'; }

  sim::SimulatedPC& pc_;
  std::ofstream out_;
};

// The chips kept in the state file; a missing or empty file gives fresh chips. The file is written
// back after the command, so one that is there but holds no chips (a HEX file given by mistake) is
// refused and left as it is.
sim::Drawer LoadState(const std::string& path) {
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (errno == ENOENT) return sim::Drawer();
    throw InOutErrorFromErrno(errno ? errno : EIO);
  }
  std::ostringstream text;
  text << file.rdbuf();
  const std::string content = text.str();
  if (content.empty()) return sim::Drawer();
  const std::string fresh = sim::Drawer().ToText();
  const std::size_t headerEnd = fresh.find('\n') + 1;
  if (content.compare(0, headerEnd, fresh, 0, headerEnd) != 0)
    throw Error("'" + path + "' is not a state file of the simulated PC; it was left unchanged");
  return sim::Drawer::FromText(content);
}

class SimulatedSession : public DeviceSession {
 public:
  SimulatedSession(const CliOptions& o, ProgramState& state)
      : path_(o.SimState), drawer_(LoadState(o.SimState)) {
    const int inSocket = o.SocketType >= 0 ? o.SocketType : o.DeviceType;
    sim::Chip& chip = drawer_.chip(inSocket);
    for (std::uint16_t cell : o.StuckCells) chip.wontProgram.insert(cell);
    if (o.Locked) chip.lockBits = sim::kChipLock1 | sim::kChipLock2 | sim::kChipLock3;
    if (!o.EmptySocket) pc_.UseDrawer(drawer_, [inSocket] { return inSocket; });
    pc_.SetBoardPresent(!o.NoBoard);
    if (!o.TraceFile.empty()) trace_ = std::make_unique<TraceWriter>(pc_, o.TraceFile);
    state.PortBase = kSimulatedLpt;
    port_ = std::make_unique<Port>(trace_ ? static_cast<IoSpace&>(*trace_) : pc_);
    board_ = std::make_unique<Board>(state, *port_);
    port_->InitDelayTimer();
    board_->ResetBoard();
  }
  Port& port() override { return *port_; }
  Board& board() override { return *board_; }
  void Finish() override {
    if (trace_) trace_->Close();
    errno = 0;
    if (!drawer_.Save(path_)) throw InOutErrorFromErrno(errno ? errno : EIO);
  }

 private:
  static constexpr std::uint16_t kSimulatedLpt = 0x378;  // the board sits on LPT1

  std::string path_;
  sim::Drawer drawer_;
  sim::SimulatedPC pc_{kSimulatedLpt};
  std::unique_ptr<TraceWriter> trace_;
  std::unique_ptr<Port> port_;
  std::unique_ptr<Board> board_;
};

class HardwareSession : public DeviceSession {
 public:
  HardwareSession(const CliOptions& o, ProgramState& state)
      : io_(state.PortBase), board_(state, port_) {
    state.PortBase = o.PortBase;
    port_.InitDelayTimer();
    board_.ResetBoard();
  }
  Port& port() override { return port_; }
  Board& board() override { return board_; }

 private:
  HardwareIoSpace io_;
  Port port_{io_};
  Board board_;
};

}  // namespace

void CheckDeviceOptions(const CliOptions& o) {
  const bool simulated = !o.SimState.empty();
  if (simulated == o.RealPort)
    throw UsageError(simulated ? "give --sim or --port, not both"
                               : "a device command needs --sim STATE or --port PORT");
  if (!simulated && (!o.TraceFile.empty() || o.NoBoard || o.EmptySocket || o.SocketType >= 0 ||
                     !o.StuckCells.empty() || o.Locked))
    throw UsageError("--trace and the simulator faults need --sim");
}

std::unique_ptr<DeviceSession> OpenDeviceSession(const CliOptions& o, ProgramState& state) {
  CheckDeviceOptions(o);
  if (!o.SimState.empty()) return std::make_unique<SimulatedSession>(o, state);
  return std::make_unique<HardwareSession>(o, state);
}

}  // namespace kaldo::cli
