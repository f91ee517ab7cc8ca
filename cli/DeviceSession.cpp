#include "cli/DeviceSession.h"

#include <unistd.h>

#include <cerrno>
#include <exception>
#include <iostream>

#include "core/Convert.h"
#include "core/LptPorts.h"
#include "core/TextFile.h"
#include "link/Backend.h"
#include "sim/DrawerFile.h"
#include "sim/SimulatedPC.h"

namespace kaldo::cli {

namespace {

// Passes every access on to the simulated PC and writes it to the trace file as it happens, so a
// whole-chip write needs no memory for its millions of accesses.
class TraceWriter : public IoSpace {
 public:
  TraceWriter(sim::SimulatedPC& pc, const std::string& fileName)
      : pc_(pc), fileName_(fileName), fd_(Open(fileName)) {}
  ~TraceWriter() override {
    if (fd_ >= 0) ::close(fd_);
  }
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;

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
  // Writes what is left and closes the file; raises the first failure of the whole trace.
  void Close() {
    Flush();
    if (::close(fd_) != 0 && failure_ == 0) failure_ = errno;
    fd_ = -1;
    if (failure_ != 0) throw InOutErrorFromErrno(failure_).About(fileName_, "writing");
  }

 private:
  static constexpr std::size_t kChunk = 1 << 20;

  void Log(const sim::Access& access) {
    pending_ += sim::FormatAccess(access);
    pending_ += '\n';
    if (pending_.size() >= kChunk) Flush();
  }
  static int Open(const std::string& fileName) {
    try {
      return OpenForWriting(fileName);
    } catch (const InOutError& e) {
      throw e.About(fileName, "writing");
    }
  }

  // After a failure the rest of the trace is dropped; the command goes on.
  void Flush() {
    std::size_t done = 0;
    while (failure_ == 0 && done < pending_.size()) {
      const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
      if (n < 0 && errno != EINTR) failure_ = errno;
      if (n > 0) done += static_cast<std::size_t>(n);
    }
    pending_.clear();
  }

  sim::SimulatedPC& pc_;
  std::string fileName_;
  int fd_;
  std::string pending_;
  int failure_ = 0;
};

// The state file is held from loading the chips to saving them; another kaldo-cli on the same
// file waits its turn, or until a signal stops it. One that cannot be taken as it is stays as it
// is until the user decides.
sim::DrawerFileOptions StateFileOptions(const CliOptions& o, const StopFlag& stop) {
  sim::DrawerFileOptions options;
  options.stop = &stop;
  options.freshChips = o.SimReset;
  options.remedy = "Run again with --sim-reset to start from fresh chips, or delete the file";
  options.onLongWait = [path = PrintableText(o.SimState)] {
    std::cerr << "kaldo-cli: waiting for '" << path << "', which another program is using\n";
  };
  return options;
}

// The simulated PC with the chips of the state file, as the I/O space of one command; the accesses
// pass through the trace writer when there is one.
class SimulatedBench : public IoSpace {
 public:
  SimulatedBench(const CliOptions& o, const StopFlag& stop, std::uint16_t base)
      : stateFile_(o.SimState, StateFileOptions(o, stop)), drawer_(stateFile_.drawer()) {
    pc_.MoveBoard(base);
    const int inSocket = o.SocketType >= 0 ? o.SocketType : o.DeviceType;
    sim::Chip& chip = drawer_.chip(inSocket);
    for (std::uint16_t cell : o.StuckCells) chip.wontProgram.insert(cell);
    if (o.Locked) chip.lockBits = sim::kChipLock1 | sim::kChipLock2 | sim::kChipLock3;
    if (!o.EmptySocket) pc_.UseDrawer(drawer_, [inSocket] { return inSocket; });
    pc_.SetBoardPresent(!o.NoBoard);
    if (!o.TraceFile.empty()) trace_ = std::make_unique<TraceWriter>(pc_, o.TraceFile);
  }
  void write(std::uint16_t port, std::uint8_t value) override { io().write(port, value); }
  std::uint8_t read(std::uint16_t port) override { return io().read(port); }
  // Saves the chips to the state file and completes the trace file; a trace that cannot be
  // written costs the chips nothing.
  void PutAway() {
    std::exception_ptr saveFailed;
    try {
      stateFile_.Save();
    } catch (...) {
      saveFailed = std::current_exception();
    }
    if (trace_) trace_->Close();
    if (saveFailed) std::rethrow_exception(saveFailed);
  }

 private:
  IoSpace& io() { return trace_ ? static_cast<IoSpace&>(*trace_) : pc_; }

  sim::DrawerFile stateFile_;
  sim::Drawer& drawer_;
  sim::SimulatedPC pc_;
  std::unique_ptr<TraceWriter> trace_;
};

// The simulated PC's ports as a kernel would list them.
std::vector<KernelPort> SimulatedPorts() {
  std::vector<KernelPort> ports;
  for (std::uint16_t base : sim::kSimulatedLpts)
    ports.push_back({static_cast<int>(ports.size()), base, "PCSPP", {}, {}});
  return ports;
}

// The base of --port: on the simulated PC one of its own ports (LPT1 unless given), on the real
// one whichever the kernel's list names. A test tree is only read: its ports are never touched.
std::uint16_t ChosenBase(const CliOptions& o, const HostSystem& host) {
  if (!o.SimState.empty()) {
    if (o.PortName.empty()) return sim::kMainBoardLpt;
    const std::vector<KernelPort> ports = SimulatedPorts();
    const std::uint16_t base = ResolvePort(o.PortName, ports);
    if (FindPortAt(ports, base) == nullptr) {
      std::string known;
      for (const KernelPort& p : ports)
        known += (known.empty() ? "" : ", ") + PortLabel(p.base, ports);
      throw UsageError("the simulated PC has no port at " + IoAddressText(base) + " (it has " +
                       known + ")");
    }
    return base;
  }
  const std::uint16_t base = ResolvePort(o.PortName, host.Parports());
  if (!host.Root().empty())
    throw Error("The ports are read from the test tree " + host.Root() +
                " (KALDO_SYSTEM_ROOT): no real port is touched");
  return base;
}

}  // namespace

void CheckDeviceOptions(const CliOptions& o) {
  const bool simulated = !o.SimState.empty();
  if (!simulated && !o.RealPort)
    throw UsageError("a device command needs --sim STATE or --port PORT");
  if (!simulated && (!o.TraceFile.empty() || o.NoBoard || o.EmptySocket || o.SocketType >= 0 ||
                     !o.StuckCells.empty() || o.Locked))
    throw UsageError("--trace and the simulator faults need --sim");
  if (!simulated && o.SimReset) throw UsageError("--sim-reset needs --sim");
  CheckProgramBits(o);
}

DeviceSession::DeviceSession(std::unique_ptr<IoSpace> io, std::function<void()> putAway)
    : programmer_(std::move(io)), putAway_(std::move(putAway)) {}

void DeviceSession::Finish() {
  std::exception_ptr closeFailed;
  try {
    programmer_.Close();
  } catch (...) {
    closeFailed = std::current_exception();
  }
  if (putAway_) putAway_();
  if (closeFailed) std::rethrow_exception(closeFailed);
}

std::unique_ptr<DeviceSession> OpenDeviceSession(const CliOptions& o, StopFlag& stop,
                                                 const HostSystem& host) {
  CheckDeviceOptions(o);
  std::unique_ptr<DeviceSession> session;
  const std::uint16_t base = ChosenBase(o, host);
  if (!o.SimState.empty()) {
    std::unique_ptr<SimulatedBench> bench;
    try {
      bench = std::make_unique<SimulatedBench>(o, stop, base);
    } catch (const InOutError& e) {
      throw e.About(o.SimState, "opening");
    }
    SimulatedBench* putAway = bench.get();
    session = std::make_unique<DeviceSession>(std::move(bench), [putAway, name = o.SimState] {
      try {
        putAway->PutAway();
      } catch (const InOutError& e) {
        throw e.About(name, "writing");
      }
    });
  } else {
    session = std::make_unique<DeviceSession>(std::make_unique<HardwareIoSpace>(base));
  }
  session->Device().SetPort(base);
  session->Device().UseStopFlag(stop);
  session->Device().Open();
  return session;
}

}  // namespace kaldo::cli
