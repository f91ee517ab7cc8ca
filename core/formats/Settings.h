// The settings file Kaldo.set: four lines holding DeviceType, ProgBits and PortBase in decimal and
// HexFileName verbatim, then a line "Name=Value" for each later setting (a program that reads only
// the four lines passes them over). It lives beside the executable when that folder is writable or
// already holds the file, otherwise in the per-user configuration folder ($XDG_CONFIG_HOME/kaldo or
// ~/.config/kaldo). Other files that belong with the settings live in the same folder.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "core/formats/LoadOutcome.h"
#include "core/model/ProgramState.h"
#include "core/system/TextFile.h"

namespace kaldo {

inline constexpr char kSettingsFileName[] = "Kaldo.set";

// The settings after the fourth line, by name. Names this program does not know are kept and
// written back as they were.
using SettingsKeys = std::map<std::string, std::string>;
// The value of the named setting, or null when the file has none.
inline const std::string* FindSetting(const SettingsKeys& keys, const char* name) {
  const auto found = keys.find(name);
  return found == keys.end() ? nullptr : &found->second;
}

struct SettingsEnvironment {
  std::string ExecutableFolder;  // folder of the running executable, no trailing "/"
  std::string XdgConfigHome;     // empty when unset
  std::string Home;              // empty when unset
};

// The folder of the running executable (from /proc/self/exe), and the environment of this process.
std::string ExecutableFolder();
SettingsEnvironment CurrentSettingsEnvironment();

bool FolderIsWritable(const std::string& folder);

// The folder that holds (or will hold) the settings file: beside the executable when it already
// holds one, or is writable and no system folder (/usr/..., /bin); else the per-user folder.
std::string ChooseSettingsFolder(const SettingsEnvironment& env,
                                 bool (*isWritable)(const std::string&) = FolderIsWritable);

// A number line of the settings file that does not convert: what() names the file and the line
// and says that the settings from that line on keep the values they had.
class SettingsLineError : public ConvertError {
 public:
  SettingsLineError(const ConvertError& cause, const std::string& fileName, int line);
  const char* what() const noexcept override { return message_.c_str(); }
  int Line() const { return line_; }

 private:
  std::string message_;
  int line_;
};

class Settings {
 public:
  // The file is saved through `files`.
  Settings(ProgramState& state, std::string folder, const FileCalls& files = SystemFiles());

  const std::string& Folder() const { return folder_; }
  std::string FileName() const;

  // No file: every variable keeps its value. Otherwise lines 1 to 3 and 4 are read (a line that
  // does not convert raises SettingsLineError, the lines before it taken), then the remembered file
  // is loaded into the buffer in the format its name says, and its outcome returned, when it
  // exists; HexFileName is emptied when it does not.
  std::optional<LoadOutcome> LoadSettings();
  // The named settings that LoadSettings read and SaveSettings writes.
  SettingsKeys& Keys() { return keys_; }
  const SettingsKeys& Keys() const { return keys_; }
  // Creates the folder when it is missing, then replaces the file whole.
  void SaveSettings();

 private:
  ProgramState& state_;
  SettingsKeys keys_;
  std::string folder_;
  const FileCalls& files_;
};

// The reader keeps this much of each line and one character more: a number line that long is a
// conversion error, and a file name that long names no file (it passes the system's own limit).
inline constexpr std::size_t kLongestSettingsLine = 4096;

// Reading and writing of the four lines alone. A bad number line raises SettingsLineError naming
// fileName.
void ReadSettingsLines(ProgramState& s, LineReader& in, const std::string& fileName = {});
// The lines after the fourth: each "Name=Value" (Name not empty) is taken, any other passed over.
SettingsKeys ReadSettingsKeys(LineReader& in);
std::string SettingsText(const ProgramState& s, const SettingsKeys& keys = {});

}  // namespace kaldo
