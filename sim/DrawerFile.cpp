#include "sim/DrawerFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <random>
#include <thread>

#include "core/Convert.h"
#include "core/system/TextFile.h"

namespace kaldo::sim {

namespace {

// Enough of a file too large for any drawer to tell from its first line whether it is one.
constexpr std::size_t kFirstLineRead = 64;

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

constexpr int kOpenFlags = O_RDWR | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;

// A missing file is made under another name, held, and only then given its own: so no other
// program finds it empty and not held, which would look like a file that lost its chips. -1 when
// another program gave the name a file first.
int CreateHeld(const std::string& file) {
  std::random_device random;
  std::string made;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    made = file + ".new" + std::to_string(::getpid()) + "_" + std::to_string(random());
    fd = ::open(made.c_str(), kOpenFlags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && (errno != EEXIST || attempt > 100)) throw InOutErrorFromErrno(errno);
  }
  ::flock(fd, LOCK_EX);
  int err = ::link(made.c_str(), file.c_str()) == 0 ? 0 : errno;
  ::unlink(made.c_str());
  if (err == EPERM || err == EOPNOTSUPP || err == ENOSYS) {
    // A file system without hard links: the file is made where it stands, and held at once.
    ::close(fd);
    fd = ::open(file.c_str(), kOpenFlags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) return fd;
    err = errno;
  }
  if (err == 0) return fd;
  ::close(fd);
  if (err == EEXIST) return -1;
  throw InOutErrorFromErrno(err);
}

}  // namespace

DrawerFile::DrawerFile(const std::string& path, const DrawerFileOptions& options)
    : name_(PrintableText(path)), file_(FollowLinks(path)), files_(*options.files) {
  Take(options);
  try {
    Load(options);
  } catch (...) {
    LetGo();
    throw;
  }
}

DrawerFile::~DrawerFile() {
  LetGo();
}

void DrawerFile::Take(const DrawerFileOptions& options) {
  const std::string notRegular =
      "'" + name_ + "' is not a regular file: the simulated chips can only be kept in one";
  for (;;) {
    struct stat st;
    const bool exists = ::stat(file_.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) throw InOutErrorFromErrno(errno);
    if (exists && !S_ISREG(st.st_mode)) throw Error(notRegular);
    if (exists) {
      // Non-blocking, so that a FIFO put there meanwhile cannot hold the open up.
      fd_ = ::open(file_.c_str(), kOpenFlags | O_NONBLOCK);
      if (fd_ < 0 && errno == ENOENT) continue;  // removed since: take the next one
      if (fd_ < 0) throw InOutErrorFromErrno(errno);
    } else {
      fd_ = CreateHeld(file_);
      if (fd_ < 0) continue;
    }
    created_ = !exists;
    struct stat held;
    if (::fstat(fd_, &held) != 0) {
      const int err = errno;
      LetGo();
      throw InOutErrorFromErrno(err);
    }
    if (!S_ISREG(held.st_mode)) {
      created_ = false;
      LetGo();
      throw Error(notRegular);
    }
    try {
      WaitForHold(options);
    } catch (...) {
      LetGo();
      throw;
    }
    // The program that held it may have replaced or removed it: then the name is taken again.
    if (::stat(file_.c_str(), &st) == 0 && SameFile(st, held)) return;
    created_ = false;
    LetGo();
  }
}

void DrawerFile::WaitForHold(const DrawerFileOptions& options) {
  using namespace std::chrono_literals;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
  if (errno != EWOULDBLOCK) throw InOutErrorFromErrno(errno);
  const auto start = std::chrono::steady_clock::now();
  bool told = false;
  for (;;) {
    std::this_thread::sleep_for(10ms);
    if (options.stop != nullptr && options.stop->Requested())
      throw StoppedError(options.stop->Signal());
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK && errno != EINTR) throw InOutErrorFromErrno(errno);
    const auto waited = std::chrono::steady_clock::now() - start;
    if (!told && waited >= 1s) {
      told = true;
      if (options.onLongWait) options.onLongWait();
    }
    if (options.patience && waited >= *options.patience)
      throw Error("'" + name_ + "' is in use by another program");
  }
}

void DrawerFile::Load(const DrawerFileOptions& options) {
  // Whatever the simulator saves it loads again; anything larger is no drawer, and is not read.
  const std::size_t largest = Drawer::LargestText();
  struct stat st;
  if (::fstat(fd_, &st) != 0) throw InOutErrorFromErrno(errno);
  const bool oversized = static_cast<std::uintmax_t>(st.st_size) > largest;
  const std::size_t most = oversized ? kFirstLineRead : largest + 1;
  std::string text;
  text.reserve(std::min(most, static_cast<std::size_t>(st.st_size)));
  char chunk[64 * 1024];
  while (text.size() < most) {
    const std::size_t want = std::min(sizeof chunk, most - text.size());
    const ssize_t n = ::pread(fd_, chunk, want, static_cast<off_t>(text.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw InOutErrorFromErrno(errno);
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  const std::string unchanged = "; it was left unchanged";
  auto damaged = [&](const std::string& what) {
    return Error("'" + name_ + "' " + what + unchanged +
                 (options.remedy.empty() ? "" : ". " + options.remedy));
  };
  // Only a file made just now is empty on purpose; any other has lost its chips.
  if (text.empty() && (created_ || options.freshChips)) return;
  if (text.empty()) throw damaged("is empty: its chips are lost");
  if (!Drawer::IsDrawerText(text))
    throw Error("'" + name_ + "' is not a state file of the simulated PC" + unchanged);
  if (options.freshChips) return;
  if (oversized || text.size() > largest) throw damaged("is larger than any drawer of chips");
  try {
    drawer_ = Drawer::FromText(text);
  } catch (const UnknownChipError& e) {
    throw Error("'" + name_ + "' holds chips for " + e.ChipName() +
                ", which this KALDO does not know" + unchanged +
                ". Use it with the newer KALDO that wrote it" +
                (options.remedy.empty() ? "" : ". " + options.remedy));
  } catch (const DrawerTextError& e) {
    throw damaged(e.what());
  }
}

void DrawerFile::Save() {
  WriteFileReplacing(file_, drawer_.ToText(), files_);
  created_ = false;
  LetGo();
}

void DrawerFile::LetGo() {
  if (fd_ < 0) return;
  // A file made for chips that were never saved goes again, unless it is no longer this one.
  struct stat held, named;
  if (created_ && ::fstat(fd_, &held) == 0 && held.st_size == 0 &&
      ::stat(file_.c_str(), &named) == 0 && SameFile(held, named)) {
    ::unlink(file_.c_str());
  }
  ::close(fd_);
  fd_ = -1;
}

}  // namespace kaldo::sim
