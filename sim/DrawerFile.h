// The drawer's file, treated as the small database it is: one program at a time holds it, from
// loading the chips to saving them back (an exclusive flock; the others wait their turn), and a
// save replaces it whole or not at all. A file it cannot take as it is stays byte for byte as it
// was: the user decides what becomes of it.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "core/system/FileCalls.h"
#include "core/system/StopFlag.h"
#include "sim/Drawer.h"

namespace kaldo::sim {

struct DrawerFileOptions {
  // Start from fresh chips whatever the file holds; it must still be a drawer's file, or empty.
  bool freshChips = false;
  // What the user can do about a damaged file; it ends the error's message.
  std::string remedy;
  // How long to wait while another program holds the file; none: as long as it takes.
  std::optional<std::chrono::milliseconds> patience;
  // Called once when the wait has lasted a second.
  std::function<void()> onLongWait;
  // A stop requested while waiting ends the wait with StoppedError.
  const StopFlag* stop = nullptr;
  // What a save writes the file through.
  const FileCalls* files = &SystemFiles();
};

class DrawerFile {
 public:
  // Takes the file and loads its chips. A missing file is created empty, giving fresh chips (and
  // removed again when nothing is saved to it); a link is followed as FollowLinks follows it.
  // Raises Error for a path that is no regular file, a file that is not a drawer's, is empty or is
  // damaged (naming the line), and a file still held by another program after the patience;
  // InOutError for a file that cannot be opened or read ("File access denied": it may not be
  // written); LinkNotFollowedError; StoppedError.
  DrawerFile(const std::string& path, const DrawerFileOptions& options);
  ~DrawerFile();
  DrawerFile(const DrawerFile&) = delete;
  DrawerFile& operator=(const DrawerFile&) = delete;

  Drawer& drawer() { return drawer_; }

  // Replaces the file with the chips as they are now, through a temporary file in its folder, and
  // lets it go. Raises InOutError when it cannot, keeping the old file and the hold on it.
  void Save();

 private:
  void Take(const DrawerFileOptions& options);
  void WaitForHold(const DrawerFileOptions& options);
  void Load(const DrawerFileOptions& options);
  void LetGo();

  std::string name_;  // as given, control characters escaped, for the messages
  std::string file_;  // at the end of its links
  int fd_ = -1;       // open while the file is held
  bool created_ = false;
  const FileCalls& files_;
  Drawer drawer_;
};

}  // namespace kaldo::sim
