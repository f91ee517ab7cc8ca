#include "link/HostSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sstream>

namespace kaldo {

namespace {

namespace fs = std::filesystem;

constexpr char kParportDir[] = "/proc/sys/dev/parport";

// Every file is read only up to a bound, so that a file without a line end, an endless one or a
// pipe that nobody writes costs no more than that. The kernel's one-line files are far shorter
// than kOneLineBound; the lists (/etc/passwd, /etc/group, /proc/modules, /proc/self/status) are
// read up to kListBound.
constexpr std::size_t kOneLineBound = 1024;
constexpr std::size_t kListBound = 4 << 20;

// The first `bound` bytes of the file at most, and whether it ended before them. A file that
// cannot be opened or read reads as empty.
struct FileStart {
  std::string Text;
  bool Whole = true;
};

FileStart ReadStart(const std::string& path, std::size_t bound) {
  FileStart start;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return start;
  char chunk[4096];
  while (true) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const std::size_t room = bound - start.Text.size();
    start.Text.append(chunk, std::min(room, static_cast<std::size_t>(n)));
    if (static_cast<std::size_t>(n) > room ||
        (start.Text.size() == bound && ::read(fd, chunk, 1) > 0)) {
      start.Whole = false;
      break;
    }
  }
  ::close(fd);
  return start;
}

// The file's lines, without their line ends. A line that the bound cuts is left out: a cut
// "ann:x:10" must not pass for user 10.
std::vector<std::string> Lines(const std::string& path, std::size_t bound = kListBound) {
  const FileStart start = ReadStart(path, bound);
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < start.Text.size()) {
    const std::size_t end = start.Text.find('\n', from);
    if (end == std::string::npos) {
      if (start.Whole) lines.push_back(start.Text.substr(from));
      break;
    }
    lines.push_back(start.Text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

// The first line without its trailing blanks; "" when the file has none or it is longer than any
// the kernel writes.
std::string FirstLine(const std::string& path) {
  const std::vector<std::string> lines = Lines(path, kOneLineBound);
  if (lines.empty()) return {};
  std::string line = lines.front();
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.pop_back();
  return line;
}

// The fields of a colon-separated line of /etc/passwd or /etc/group.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, ':')) fields.push_back(field);
  if (!line.empty() && line.back() == ':') fields.emplace_back();
  return fields;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() <= 6 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The "Uid:", "Gid:" (real, effective, saved, file system) and "Groups:" lines of
// /proc/PID/status.
UserIdentity ReadIdentity(const std::string& statusFile) {
  UserIdentity user;
  for (const std::string& line : Lines(statusFile)) {
    std::stringstream in(line);
    std::string key;
    in >> key;
    std::vector<unsigned> ids;
    unsigned id = 0;
    while (in >> id) ids.push_back(id);
    if (key == "Uid:" && ids.size() > 1) user.uid = ids[1];
    if (key == "Gid:" && ids.size() > 1) user.groups.insert(user.groups.begin(), ids[1]);
    if (key == "Groups:") user.groups.insert(user.groups.end(), ids.begin(), ids.end());
  }
  return user;
}

}  // namespace

HostSystem::HostSystem(std::string root)
    : root_(std::move(root)), user_(ReadIdentity(root_ + "/proc/self/status")) {}

bool HostSystem::HasParportDriver() const {
  std::error_code ec;
  return fs::is_directory(Path(kParportDir), ec);
}

std::vector<KernelPort> HostSystem::Parports() const {
  std::vector<KernelPort> ports;
  std::error_code ec;
  for (fs::directory_iterator it(Path(kParportDir), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= 7 || name.compare(0, 7, "parport") != 0 || !AllDigits(name.substr(7)))
      continue;
    std::stringstream file(FirstLine(it->path() / "base-addr"));
    unsigned long base = 0;
    if (!(file >> base)) continue;
    KernelPort port{std::stoi(name.substr(7)), base, FirstLine(it->path() / "modes"), {}, {}};
    port.holder = Holder(port.number);
    std::error_code dc;
    for (fs::directory_iterator d(it->path() / "devices", dc), e; !dc && d != e; d.increment(dc)) {
      if (d->is_directory(dc)) port.drivers.push_back(d->path().filename().string());
    }
    std::sort(port.drivers.begin(), port.drivers.end());
    ports.push_back(std::move(port));
  }
  std::sort(ports.begin(), ports.end(),
            [](const KernelPort& a, const KernelPort& b) { return a.number < b.number; });
  return ports;
}

std::string HostSystem::Holder(int number) const {
  const std::string active = FirstLine(
      Path(std::string(kParportDir) + "/parport" + std::to_string(number) + "/devices/active"));
  return active == "none" ? std::string() : active;
}

NodeAccess HostSystem::Access(const std::string& node) const {
  struct stat st {};
  if (stat(Path(node).c_str(), &st) != 0) return NodeAccess::Missing;
  if (IsRoot()) return NodeAccess::Allowed;
  mode_t wanted = S_IROTH | S_IWOTH;
  if (st.st_uid == user_.uid) {
    wanted = S_IRUSR | S_IWUSR;
  } else if (std::find(user_.groups.begin(), user_.groups.end(), st.st_gid) != user_.groups.end()) {
    wanted = S_IRGRP | S_IWGRP;
  }
  return (st.st_mode & wanted) == wanted ? NodeAccess::Allowed : NodeAccess::Denied;
}

std::vector<std::string> HostSystem::UsbPrinters() const {
  std::vector<std::string> printers;
  std::error_code ec;
  for (fs::directory_iterator it(Path("/dev/usb"), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 2 && name.compare(0, 2, "lp") == 0 && AllDigits(name.substr(2)))
      printers.push_back("/dev/usb/" + name);
  }
  std::sort(printers.begin(), printers.end());
  return printers;
}

bool HostSystem::ModuleLoaded(const std::string& name) const {
  for (const std::string& line : Lines(Path("/proc/modules")))
    if (line.compare(0, name.size() + 1, name + " ") == 0) return true;
  return false;
}

std::string HostSystem::Lockdown() const {
  // "none [integrity] confidentiality": the active mode stands in brackets.
  const std::string line = FirstLine(Path("/sys/kernel/security/lockdown"));
  const std::size_t open = line.find('[');
  const std::size_t close = line.find(']', open);
  if (open == std::string::npos || close == std::string::npos) return {};
  return line.substr(open + 1, close - open - 1);
}

std::string HostSystem::UserName() const {
  for (const std::string& line : Lines(Path("/etc/passwd"))) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() > 2 && f[2] == std::to_string(user_.uid)) return f[0];
  }
  return {};
}

bool HostSystem::GroupId(const std::string& group, unsigned& gid) const {
  for (const std::string& line : Lines(Path("/etc/group"))) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() > 2 && f[0] == group && AllDigits(f[2])) {
      gid = static_cast<unsigned>(std::stoul(f[2]));
      return true;
    }
  }
  return false;
}

bool HostSystem::ListedInGroup(const std::string& group) const {
  const std::string user = UserName();
  if (user.empty()) return false;
  for (const std::string& line : Lines(Path("/etc/group"))) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() < 4 || f[0] != group) continue;
    std::stringstream members(f[3]);
    std::string member;
    while (std::getline(members, member, ','))
      if (member == user) return true;
  }
  return false;
}

bool HostSystem::HasGroup(const std::string& group) const {
  unsigned gid = 0;
  return GroupId(group, gid) &&
         std::find(user_.groups.begin(), user_.groups.end(), gid) != user_.groups.end();
}

const KernelPort* FindPortAt(const std::vector<KernelPort>& ports, unsigned long base) {
  auto it = std::find_if(ports.begin(), ports.end(),
                         [base](const KernelPort& p) { return p.base == base; });
  return it == ports.end() ? nullptr : &*it;
}

}  // namespace kaldo
