#include "core/formats/BinFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "core/system/TextFile.h"

namespace kaldo {

namespace {

// Up to `limit` bytes from the start of the file.
std::vector<std::uint8_t> ReadFileStart(const std::string& fileName, std::size_t limit) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw InOutErrorFromErrno(errno);
  std::vector<std::uint8_t> bytes(limit);
  std::size_t size = 0;
  while (size < limit) {
    const ssize_t n = ::read(fd, bytes.data() + size, limit - size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      throw InOutErrorFromErrno(err);
    }
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes.resize(size);
  return bytes;
}

}  // namespace

LoadOutcome LoadBinFile(ProgramState& s) {
  // One byte past the device's end is enough to tell that the file does not fit.
  return LoadBinBytes(s, ReadFileStart(s.HexFileName, s.DeviceSize + 1u));
}

LoadOutcome LoadBinBytes(ProgramState& s, std::span<const std::uint8_t> bytes) {
  const std::size_t stored = std::min<std::size_t>(bytes.size(), s.DeviceSize);
  std::copy_n(bytes.begin(), stored, s.DataBuffer.begin());
  if (bytes.size() <= s.DeviceSize) return {};
  return LoadOutcome{kAddressOutOfRange, 0,
                     "the file is longer than the device's " + std::to_string(s.DeviceSize) +
                         " bytes of code memory"};
}

std::string BinFileBytes(const ProgramState& s) {
  return std::string(s.DataBuffer.begin(), s.DataBuffer.begin() + s.DeviceSize);
}

void SaveBinFile(const ProgramState& s, const FileCalls& files) {
  WriteFileReplacing(s.HexFileName, BinFileBytes(s), files);
}

}  // namespace kaldo
