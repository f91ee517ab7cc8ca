// The log of a production run: one CSV line a chip, in a file that several runs may share.
#pragma once

#include <mutex>
#include <string>

#include "core/system/FileCalls.h"
#include "core/system/StopFlag.h"

namespace kaldo {

inline constexpr char kProductionLogHeader[] =
    "time,port,device,chip,serial,signature,crc32,result,address,read,expected,seconds\n";

// The serial counter kept beside the log: beside the file the log's name leads to, so that one
// log reached by two names has one counter. Raises LinkNotFollowedError as FollowLinks does.
std::string CounterFileOf(const std::string& logFile);

// Each line is appended whole under the file's lock and synced to the disk, or not at all: a
// write that fails part way (a full disk, a file-size limit) or a sync that fails is cut back to
// where its line began. A new log gets the header first. Opened as OpenRegularFile opens it; a
// wait for the lock ends with StoppedError when a stop is requested on `stop`. Several threads
// may share one log. Its writes, syncs and close go through `calls`.
class ProductionLog {
 public:
  // No file when fileName is empty: then Append does nothing.
  explicit ProductionLog(const std::string& fileName, const StopFlag* stop = nullptr,
                         const FileCalls& calls = SystemFiles());
  // Closes the file if Close has not; a failure then goes unseen.
  ~ProductionLog();
  ProductionLog(const ProductionLog&) = delete;
  ProductionLog& operator=(const ProductionLog&) = delete;

  // Raises InOutError naming the log, or StoppedError.
  void Append(const std::string& line);
  // At the end of the run; raises InOutError naming the log when the close fails.
  void Close();

 private:
  void AppendLocked(const std::string& line);

  std::string fileName_;
  const StopFlag* stop_;
  const FileCalls& calls_;
  std::mutex mutex_;
  int fd_ = -1;
};

}  // namespace kaldo
