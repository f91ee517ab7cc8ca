#include "core/formats/Settings.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "core/Convert.h"
#include "core/Errors.h"
#include "core/formats/ImageFile.h"

namespace kaldo {

std::string ExecutableFolder() {
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, static_cast<std::size_t>(n));
  std::size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return exe.substr(0, slash);
}

SettingsEnvironment CurrentSettingsEnvironment() {
  SettingsEnvironment env;
  env.ExecutableFolder = ExecutableFolder();
  if (const char* v = std::getenv("XDG_CONFIG_HOME")) env.XdgConfigHome = v;
  if (const char* v = std::getenv("HOME")) env.Home = v;
  return env;
}

bool FolderIsWritable(const std::string& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string ChooseSettingsFolder(const SettingsEnvironment& env,
                                 bool (*isWritable)(const std::string&)) {
  const std::string& exe = env.ExecutableFolder;
  // An installed program's folder (/usr/bin, /usr/local/bin, /bin) is writable for root but holds
  // no user's files: a package must remove everything it put there.
  const bool systemFolder = exe.rfind("/usr/", 0) == 0 || exe == "/bin" || exe == "/sbin";
  if (FileExists(exe + "/" + kSettingsFileName) || (!systemFolder && isWritable(exe))) return exe;
  // A relative XDG_CONFIG_HOME is invalid and is passed over.
  if (!env.XdgConfigHome.empty() && env.XdgConfigHome[0] == '/')
    return env.XdgConfigHome + "/kaldo";
  if (!env.Home.empty()) return env.Home + "/.config/kaldo";
  return exe;
}

Settings::Settings(ProgramState& state, std::string folder, const FileCalls& files)
    : state_(state), folder_(std::move(folder)), files_(files) {}

std::string Settings::FileName() const {
  if (!folder_.empty() && folder_.back() == '/') return folder_ + kSettingsFileName;
  return folder_ + "/" + kSettingsFileName;
}

SettingsLineError::SettingsLineError(const ConvertError& cause, const std::string& fileName,
                                     int line)
    : ConvertError(cause), line_(line) {
  message_ = (fileName.empty() ? std::string("The settings")
                               : "The settings file " + PrintableText(fileName)) +
             ", line " + IntToStr(line) + ": " + cause.what() +
             "\rThe settings from that line on keep the values they had, and the file is written "
             "anew when the program ends";
}

namespace {

// A line cut short is never taken for the number its first part spells.
std::int32_t NumberLine(LineReader& in, int number, const std::string& fileName) {
  std::string line;
  in.ReadLine(line);
  try {
    if (line.size() > kLongestSettingsLine) throw ConvertError(line);
    return StrToInt(line);
  } catch (const ConvertError& e) {
    throw SettingsLineError(e, fileName, number);
  }
}

}  // namespace

void ReadSettingsLines(ProgramState& s, LineReader& in, const std::string& fileName) {
  s.DeviceType = NumberLine(in, 1, fileName);
  s.ProgBits = NumberLine(in, 2, fileName);
  s.PortBase = static_cast<std::uint16_t>(NumberLine(in, 3, fileName));
  std::string line;
  in.ReadLine(line);
  s.HexFileName = line.size() > kLongestSettingsLine ? std::string() : line;
}

SettingsKeys ReadSettingsKeys(LineReader& in) {
  SettingsKeys keys;
  while (!in.Eof()) {
    std::string line;
    in.ReadLine(line);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos && equals > 0 && line.size() <= kLongestSettingsLine)
      keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return keys;
}

std::optional<LoadOutcome> Settings::LoadSettings() {
  const std::string fileName = FileName();
  if (!FileExists(fileName)) return std::nullopt;
  {
    LineReader in = LineReader::OpenFile(fileName, kLongestSettingsLine + 1);
    ReadSettingsLines(state_, in, fileName);
    keys_ = ReadSettingsKeys(in);
  }
  if (!state_.HexFileName.empty() && FileExists(state_.HexFileName)) {
    // A raw binary image is read as far as the device of the settings reaches.
    SetDeviceSize(state_);
    return LoadFileInFormat(state_, FormatOfFileName(state_.HexFileName));
  }
  state_.HexFileName.clear();
  return std::nullopt;
}

std::string SettingsText(const ProgramState& s, const SettingsKeys& keys) {
  std::string text = IntToStr(s.DeviceType) + "\r\n" + IntToStr(s.ProgBits) + "\r\n" +
                     IntToStr(s.PortBase) + "\r\n" + s.HexFileName + "\r\n";
  // A name or value that would break its line, or end the file (0x1A), is not written: the
  // setting is lost, never the lines after it.
  const auto fits = [](const std::string& t) { return t.find_first_of("\r\n\x1A") == t.npos; };
  for (const auto& [name, value] : keys)
    if (fits(name) && name.find('=') == name.npos && fits(value))
      text += name + "=" + value + "\r\n";
  return text;
}

void Settings::SaveSettings() {
  CreateFolders(folder_);
  WriteFileReplacing(FileName(), SettingsText(state_, keys_), files_);
}

}  // namespace kaldo
