#include "link/HostSystem.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kaldo {

namespace {

namespace fs = std::filesystem;

constexpr char kParportDir[] = "/proc/sys/dev/parport";

std::string FirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\t'))
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
  std::ifstream status(statusFile);
  std::string line;
  while (std::getline(status, line)) {
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
    std::ifstream file(it->path() / "base-addr");
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
  std::ifstream modules(Path("/proc/modules"));
  std::string line;
  while (std::getline(modules, line)) {
    if (line.compare(0, name.size() + 1, name + " ") == 0) return true;
  }
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
  std::ifstream passwd(Path("/etc/passwd"));
  std::string line;
  while (std::getline(passwd, line)) {
    const std::vector<std::string> f = Fields(line);
    if (f.size() > 2 && f[2] == std::to_string(user_.uid)) return f[0];
  }
  return {};
}

bool HostSystem::GroupId(const std::string& group, unsigned& gid) const {
  std::ifstream groups(Path("/etc/group"));
  std::string line;
  while (std::getline(groups, line)) {
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
  std::ifstream groups(Path("/etc/group"));
  std::string line;
  while (std::getline(groups, line)) {
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
