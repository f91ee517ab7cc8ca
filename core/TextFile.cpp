#include "core/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#include "core/Errors.h"

namespace kaldo {

namespace {

constexpr char kEndOfFile = 0x1A;
constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

LineReader::LineReader(std::string_view text) : data_(text.data()), size_(text.size()) {}

LineReader::LineReader(int fd) : fd_(fd), buffer_(kReadChunk) {
  data_ = buffer_.data();
}

LineReader LineReader::OpenFile(const std::string& fileName) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw InOutErrorFromErrno(errno);
  return LineReader(fd);
}

LineReader::LineReader(LineReader&& other) noexcept
    : fd_(other.fd_),
      buffer_(std::move(other.buffer_)),
      data_(other.data_),
      size_(other.size_),
      pos_(other.pos_),
      ended_(other.ended_) {
  other.fd_ = -1;
  other.data_ = nullptr;
  other.size_ = other.pos_ = 0;
}

LineReader::~LineReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool LineReader::Fill() {
  if (ended_) return false;
  if (pos_ < size_) return true;
  if (fd_ < 0) {
    ended_ = true;
    return false;
  }
  ssize_t n;
  do {
    n = ::read(fd_, buffer_.data(), buffer_.size());
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw InOutErrorFromErrno(errno);
  data_ = buffer_.data();
  size_ = static_cast<std::size_t>(n);
  pos_ = 0;
  if (n == 0) ended_ = true;
  return n > 0;
}

bool LineReader::Eof() {
  if (!Fill()) return true;
  if (data_[pos_] == kEndOfFile) ended_ = true;
  return ended_;
}

void LineReader::ReadLine(std::string& line) {
  line.clear();
  while (Fill()) {
    std::size_t start = pos_;
    while (pos_ < size_) {
      char c = data_[pos_];
      if (c == '\r' || c == '\n' || c == kEndOfFile) break;
      ++pos_;
    }
    line.append(data_ + start, pos_ - start);
    if (pos_ == size_) continue;  // the line goes on in the next chunk
    char c = data_[pos_];
    if (c == kEndOfFile) {
      ended_ = true;
      return;
    }
    ++pos_;
    if (c == '\r' && Fill() && data_[pos_] == '\n') ++pos_;
    return;
  }
}

namespace {

std::string FolderOf(const std::string& fileName) {
  std::size_t slash = fileName.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return fileName.substr(0, slash);
}

// Writing through a link replaces the file it points to, not the link; a link whose file does
// not exist yet names the file to create.
std::string ResolveLink(std::string fileName) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st;
    if (::lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(fileName.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof target) break;
    std::string next(target, static_cast<std::size_t>(n));
    fileName = next[0] == '/' ? next : FolderOf(fileName) + "/" + next;
  }
  return fileName;
}

int CreateTempFile(const std::string& folder, const std::string& base, std::string& tempName) {
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0;; ++attempt) {
    // Short enough for the folder's name limit, whatever the length of the target's name.
    tempName = folder + "/." + base.substr(0, 200) + ".tmp" + std::to_string(::getpid()) + "_" +
               std::to_string(serial++);
    int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST || attempt > 100) throw InOutErrorFromErrno(errno);
  }
}

// Writes everything and closes the file; the errno of the first failure, or 0.
int WriteAndClose(int fd, std::string_view content, const struct stat* keepMode) {
  int err = 0;
  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0 && err == 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno != EINTR) err = errno;
      continue;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (err == 0 && keepMode != nullptr && ::fchmod(fd, keepMode->st_mode & 07777) != 0) err = errno;
  // Pipes and terminals cannot be synchronised, and need not be.
  if (err == 0 && ::fsync(fd) != 0 && errno != EINVAL) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  return err;
}

void WriteInPlace(const std::string& fileName, std::string_view content) {
  int fd = ::open(fileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) throw InOutErrorFromErrno(errno);
  if (int err = WriteAndClose(fd, content, nullptr)) throw InOutErrorFromErrno(err);
}

}  // namespace

void WriteFileReplacing(const std::string& fileName, std::string_view content) {
  struct stat old;
  const bool existed = ::stat(fileName.c_str(), &old) == 0;
  // A pipe or a device is written as it stands; renaming over it would replace it.
  if (existed && !S_ISREG(old.st_mode)) return WriteInPlace(fileName, content);
  // A file that may not be written is not replaced either.
  if (existed && ::access(fileName.c_str(), W_OK) != 0) throw InOutErrorFromErrno(errno);

  const std::string target = ResolveLink(fileName);
  const std::size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

  std::string tempName;
  int fd;
  try {
    fd = CreateTempFile(FolderOf(target), base, tempName);
  } catch (const InOutError& e) {
    // A writable file in a folder that takes no new files is rewritten where it stands.
    if (!existed || e.Code() != kFileAccessDenied) throw;
    return WriteInPlace(target, content);
  }
  int err = WriteAndClose(fd, content, existed ? &old : nullptr);
  if (err == 0 && ::rename(tempName.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(tempName.c_str());
    throw InOutErrorFromErrno(err);
  }
}

bool FileExists(const std::string& fileName) {
  struct stat st;
  return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void CreateFolders(const std::string& folder) {
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = folder.find('/', pos + 1);
    std::string part = folder.substr(0, pos);
    if (part.empty()) continue;
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) throw InOutErrorFromErrno(errno);
  }
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) throw InOutErrorFromErrno(errno);
  if (!S_ISDIR(st.st_mode)) throw InOutErrorFromErrno(ENOTDIR);
}

}  // namespace kaldo
