// The production run of kaldo-cli produce, on an opened programmer: the loop over the chips, its
// log and its summary.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/SerialCounter.h"
#include "core/SerialNumber.h"
#include "device/Programmer.h"

namespace kaldo::cli {

inline constexpr char kProductionLogHeader[] =
    "time,port,device,chip,serial,signature,crc32,result,address,read,expected,seconds\n";

// One line a chip, appended whole with one write as soon as the chip is done.
class ProductionLog {
 public:
  explicit ProductionLog(const std::string& fileName) : fileName_(fileName) {
    if (fileName.empty()) return;
    fd_ = ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) throw InOutErrorFromErrno(errno).About(fileName, "opening");
    // Two runs that start at once on a new log: only the one that finds it empty under the lock
    // writes the header.
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && st.st_size == 0) Append(kProductionLogHeader);
    ::flock(fd_, LOCK_UN);
  }
  ~ProductionLog() {
    if (fd_ >= 0) ::close(fd_);
  }
  ProductionLog(const ProductionLog&) = delete;
  ProductionLog& operator=(const ProductionLog&) = delete;

  // Whole lines from several boards at once: one write each, which O_APPEND keeps together.
  void Append(const std::string& line) {
    if (fd_ < 0) return;
    std::size_t done = 0;
    while (done < line.size()) {
      const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw InOutErrorFromErrno(errno).About(fileName_, "writing");
      done += static_cast<std::size_t>(n);
    }
  }

 private:
  std::string fileName_;
  int fd_ = -1;
};

// A board of the run: its programmer, opened, and how its lines name it.
struct ProductionBoard {
  Programmer* Board = nullptr;
  std::string PortText;  // the log's port column
  std::string Prefix;    // before each line it prints: empty for a run of one board, else "lpt2: "
  // True once no chip will come to its socket any more (none: one may always come).
  std::function<bool()> NoChipWillCome;
};

// For each chip, on every board at once (the first in the calling thread, each other in one of
// its own): waits for an empty socket, then for a chip; writes it (with its serial number, taken
// from counter, when serial is given) and logs it. --count counts the chips of all boards; a chip
// takes its number once it is seated, so a board that gets no chip takes none, and each board
// stops as soon as the others reach the count or no chip will come to it. Returns the exit
// status: 0 when every chip passed, 1 otherwise, or when no chip will come to any board before
// --count is reached. A stop raises StoppedError, except Ctrl-C while boards of a run without
// --count wait for the socket, which ends the run; an error of one board ends the run for the
// others after their chip, and is raised.
int RunProduction(CliContext& c, const std::vector<ProductionBoard>& boards,
                  const std::optional<SerialSpec>& serial, SerialCounter* counter,
                  ProductionLog& log);

}  // namespace kaldo::cli
