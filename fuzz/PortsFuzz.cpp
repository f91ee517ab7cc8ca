// The port doctor on a system tree of arbitrary files: the input, cut at each 0 byte, gives
// /proc/self/status, /etc/passwd, /etc/group, /proc/modules, the lockdown file, and parport0's
// base-addr, modes, devices/active and the names of its devices/ folders (one a line). It reports
// without a crash, and no line it shows holds a control character.
#include <stdlib.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "link/PortCheck.h"

namespace {

void WriteAll(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string_view> Split(std::string_view text, char at) {
  std::vector<std::string_view> parts;
  for (std::size_t from = 0;;) {
    const std::size_t end = text.find(at, from);
    parts.push_back(text.substr(from, end == std::string_view::npos ? end : end - from));
    if (end == std::string_view::npos) return parts;
    from = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  char folder[] = "/tmp/kaldo-fuzz-ports-XXXXXX";
  if (::mkdtemp(folder) == nullptr) std::abort();
  const std::filesystem::path root(folder);
  const std::filesystem::path port = root / "proc/sys/dev/parport/parport0";
  const std::filesystem::path files[] = {root / "proc/self/status",
                                         root / "etc/passwd",
                                         root / "etc/group",
                                         root / "proc/modules",
                                         root / "sys/kernel/security/lockdown",
                                         port / "base-addr",
                                         port / "modes",
                                         port / "devices/active"};
  const std::vector<std::string_view> parts =
      Split(std::string_view(reinterpret_cast<const char*>(data), size), '\0');
  for (std::size_t i = 0; i < parts.size() && i < std::size(files); ++i)
    WriteAll(files[i], parts[i]);
  if (parts.size() > std::size(files)) {
    for (std::string_view name : Split(parts[std::size(files)], '\n')) {
      if (name.empty() || name == "." || name == ".." || name.find('/') != name.npos) continue;
      std::error_code ec;
      std::filesystem::create_directories(port / "devices" / name, ec);
    }
  }
  WriteAll(root / "dev/parport0", "");
  const kaldo::PortCheckReport report = kaldo::CheckPorts(kaldo::HostSystem(folder));
  for (const std::string& line : report.Lines)
    for (char c : line)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
  std::filesystem::remove_all(folder);
  return 0;
}
