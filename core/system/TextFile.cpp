#include "core/system/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <random>

#include "core/Convert.h"
#include "core/Errors.h"

namespace kaldo {

namespace {

constexpr char kEndOfFile = 0x1A;
constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

LineReader::LineReader(std::string_view text, std::size_t keep)
    : data_(text.data()), size_(text.size()), keep_(keep) {}

LineReader::LineReader(int fd, std::size_t keep) : fd_(fd), buffer_(kReadChunk), keep_(keep) {
  data_ = buffer_.data();
}

LineReader LineReader::OpenFile(const std::string& fileName, std::size_t keep) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw InOutErrorFromErrno(errno);
  return LineReader(fd, keep);
}

LineReader::LineReader(LineReader&& other) noexcept
    : fd_(other.fd_),
      buffer_(std::move(other.buffer_)),
      data_(other.data_),
      size_(other.size_),
      pos_(other.pos_),
      keep_(other.keep_),
      ended_(other.ended_),
      restOfLine_(other.restOfLine_) {
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
  SkipRestOfLine();
  if (!Fill()) return true;
  if (data_[pos_] == kEndOfFile) ended_ = true;
  return ended_;
}

void LineReader::ReadLine(std::string& line) {
  SkipRestOfLine();
  line.clear();
  Scan(&line);
}

void LineReader::SkipRestOfLine() {
  if (!restOfLine_) return;
  restOfLine_ = false;
  Scan(nullptr);
}

void LineReader::Scan(std::string* line) {
  auto isLineEnd = [](char c) { return c == '\r' || c == '\n' || c == kEndOfFile; };
  while (Fill()) {
    const std::size_t start = pos_;
    std::size_t stop = size_;
    if (line != nullptr) stop = pos_ + std::min(size_ - pos_, keep_ - line->size());
    while (pos_ < stop && !isLineEnd(data_[pos_])) ++pos_;
    if (line != nullptr) line->append(data_ + start, pos_ - start);
    if (pos_ == size_) continue;  // the line goes on in the next chunk
    const char c = data_[pos_];
    if (!isLineEnd(c)) {  // `line` is full
      restOfLine_ = true;
      return;
    }
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

int CreateTempFile(const FileCalls& calls, const std::string& folder, const std::string& base,
                   std::string& tempName) {
  std::random_device random;
  for (int attempt = 0;; ++attempt) {
    // Short enough for the folder's name limit, whatever the length of the target's name.
    tempName = folder + "/." + base.substr(0, 200) + ".tmp" + std::to_string(::getpid()) + "_" +
               std::to_string(random());
    const int fd = calls.open(tempName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (fd != -EEXIST || attempt > 100) throw InOutErrorFromErrno(-fd);
  }
}

// Writes all of `bytes` from the start of the file; the errno of a failure, or 0. `written` counts
// the bytes that reached the file.
int WriteFromStart(const FileCalls& calls, int fd, std::string_view bytes, std::size_t& written) {
  written = 0;
  while (written < bytes.size()) {
    const ssize_t n = calls.pwrite(fd, bytes.data() + written, bytes.size() - written,
                                   static_cast<off_t>(written));
    if (n == -EINTR) continue;
    if (n < 0) return static_cast<int>(-n);
    written += static_cast<std::size_t>(n);
  }
  return 0;
}

// The errno of a failure, or 0.
int ReadWhole(int fd, std::string& bytes) {
  bytes.clear();
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t n = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(bytes.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

// Writes everything and closes the file; the errno of the first failure, or 0.
int WriteAndClose(const FileCalls& calls, int fd, std::string_view content,
                  const struct stat* keepMode) {
  int err = 0;
  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0 && err == 0) {
    const ssize_t n = calls.write(fd, p, left);
    if (n < 0) {
      if (n != -EINTR) err = static_cast<int>(-n);
      continue;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (err == 0 && keepMode != nullptr && ::fchmod(fd, keepMode->st_mode & 07777) != 0) err = errno;
  // Pipes and terminals cannot be synchronised, and need not be.
  if (err == 0) {
    const int synced = calls.fsync(fd);
    if (synced != 0 && synced != -EINVAL) err = -synced;
  }
  const int closed = calls.close(fd);
  if (closed != 0 && err == 0) err = -closed;
  return err;
}

// A pipe or a device takes the content as it comes.
void WriteToDevice(const FileCalls& calls, const std::string& fileName, std::string_view content) {
  const int fd = calls.open(fileName, O_WRONLY | O_TRUNC | O_CLOEXEC, 0);
  if (fd < 0) throw InOutErrorFromErrno(-fd);
  if (int err = WriteAndClose(calls, fd, content, nullptr)) throw InOutErrorFromErrno(err);
}

// A regular file rewritten where it stands keeps its old bytes in memory until the new ones are on
// the disk, and gets them back when they are not: a full disk or a file-size limit costs nothing.
void RewriteInPlace(const FileCalls& calls, const std::string& fileName, std::string_view content) {
  const int fd = calls.open(fileName, O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0);
  if (fd < 0) throw InOutErrorFromErrno(-fd);
  std::string old;
  if (int err = ReadWhole(fd, old)) {
    calls.close(fd);
    throw InOutErrorFromErrno(err);
  }
  std::size_t written = 0;
  bool shortened = false;  // bytes past the new end are gone
  int err = WriteFromStart(calls, fd, content, written);
  if (err == 0) {
    shortened = content.size() < old.size();
    err = -calls.ftruncate(fd, static_cast<off_t>(content.size()));
    if (err != 0) shortened = false;
  }
  if (err == 0) err = -calls.fsync(fd);
  if (err == 0) {
    if (const int closed = calls.close(fd)) throw InOutErrorFromErrno(-closed);
    return;
  }
  const std::size_t changed = shortened ? old.size() : std::min(written, old.size());
  std::size_t restored = 0;
  int restoreErr = WriteFromStart(calls, fd, std::string_view(old).substr(0, changed), restored);
  if (restoreErr == 0) restoreErr = -calls.ftruncate(fd, static_cast<off_t>(old.size()));
  if (restoreErr == 0) restoreErr = -calls.fsync(fd);
  calls.close(fd);
  const InOutError failure = InOutErrorFromErrno(err);
  if (restoreErr == 0) throw failure;
  throw InOutError(failure.Code(),
                   std::string(failure.what()) + "; putting the old contents back failed too (" +
                       InOutErrorFromErrno(restoreErr).what() + "), so '" +
                       PrintableText(fileName) + "' is left incomplete",
                   err);
}

// After a rename the folder holds the new name; on the disk too once this has run.
void SyncFolder(const FileCalls& calls, const std::string& folder) {
  const int fd = calls.open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return;
  calls.fsync(fd);
  calls.close(fd);
}

}  // namespace

LinkNotFollowedError::LinkNotFollowedError(const std::string& link)
    : Error("'" + PrintableText(link) +
            "' is not followed: it is a link owned by another user in a folder that everyone may "
            "write to"),
      link_(link) {}

std::string FollowLinks(std::string fileName) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st;
    if (::lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    // Anyone may put a link into a sticky folder that everyone may write to (/tmp), aimed at a
    // file of whoever comes next: such a link is followed only when it belongs to the follower or
    // to the folder's owner. The kernel has the same rule (fs.protected_symlinks), but not every
    // system turns it on, and it does not see the links followed here by name.
    struct stat folder;
    if (::stat(FolderOf(fileName).c_str(), &folder) == 0 &&
        (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH) && st.st_uid != ::geteuid() &&
        st.st_uid != folder.st_uid) {
      throw LinkNotFollowedError(fileName);
    }
    char target[PATH_MAX];
    const ssize_t n = ::readlink(fileName.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof target) break;
    std::string next(target, static_cast<std::size_t>(n));
    fileName = next[0] == '/' ? next : FolderOf(fileName) + "/" + next;
  }
  return fileName;
}

namespace {

void ReplaceFile(const FileCalls& calls, const std::string& fileName, std::string_view content) {
  // Writing through a link replaces the file it points to, not the link.
  const std::string target = FollowLinks(fileName);
  struct stat old;
  const bool existed = ::stat(fileName.c_str(), &old) == 0;
  // A pipe or a device is written as it stands; renaming over it would replace it.
  if (existed && !S_ISREG(old.st_mode)) return WriteToDevice(calls, fileName, content);
  // A file that may not be written is not replaced either.
  if (existed && ::access(fileName.c_str(), W_OK) != 0) throw InOutErrorFromErrno(errno);

  const std::size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

  std::string tempName;
  int fd;
  try {
    fd = CreateTempFile(calls, FolderOf(target), base, tempName);
  } catch (const InOutError& e) {
    // A writable file in a folder that takes no new files is rewritten where it stands.
    if (!existed || e.Code() != kFileAccessDenied) throw;
    return RewriteInPlace(calls, target, content);
  }
  // The new file takes the old one's owner and group; one that cannot have them (another user's
  // file that this user may write) is rewritten where it stands, and so keeps them.
  struct stat made;
  if (existed && ::fstat(fd, &made) == 0 &&
      (made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    calls.close(fd);
    ::unlink(tempName.c_str());
    return RewriteInPlace(calls, target, content);
  }
  int err = WriteAndClose(calls, fd, content, existed ? &old : nullptr);
  if (err == 0) err = -calls.rename(tempName, target);
  if (err != 0) {
    ::unlink(tempName.c_str());
    throw InOutErrorFromErrno(err);
  }
  SyncFolder(calls, FolderOf(target));
}

}  // namespace

void WriteFileReplacing(const std::string& fileName, std::string_view content,
                        const FileCalls& calls) {
  try {
    ReplaceFile(calls, fileName, content);
  } catch (const InOutError& e) {
    throw e.About(fileName, "writing");
  }
}

int OpenForWriting(const std::string& fileName) {
  const std::string target = FollowLinks(fileName);
  struct stat st;
  const bool existed = ::stat(fileName.c_str(), &st) == 0;
  const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY;
  // A pipe or a device is opened by its name; a file at the end of its links, and no link that
  // has appeared there since.
  const int fd = existed && !S_ISREG(st.st_mode) ? ::open(fileName.c_str(), flags, 0666)
                                                 : ::open(target.c_str(), flags | O_NOFOLLOW, 0666);
  if (fd < 0) throw InOutErrorFromErrno(errno);
  return fd;
}

void IgnoreFileSizeSignal() {
  ::signal(SIGXFSZ, SIG_IGN);
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
