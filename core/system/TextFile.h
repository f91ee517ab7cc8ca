// 8-bit text files as the HEX and settings files use them.
//
// Reading: a line ends at a carriage return, a carriage return and line feed, or a lone line feed;
// a 0x1A character or the physical end ends the file; lines may be of any length, and a reader may
// keep only the first characters of each, so that endless input needs no more memory.
// Writing: the whole file goes to a temporary file in the target's folder, which then replaces the
// target, so a failed write leaves the old file as it was.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/Errors.h"
#include "core/system/FileCalls.h"

namespace kaldo {

inline constexpr std::size_t kWholeLines = std::numeric_limits<std::size_t>::max();

class LineReader {
 public:
  // Reads from text held in memory; the text must outlive the reader. Each line read gives at most
  // its first `keep` characters; the rest of it is passed over when the next line is asked for.
  explicit LineReader(std::string_view text, std::size_t keep = kWholeLines);
  // Opens a file; raises InOutError when it cannot be opened.
  static LineReader OpenFile(const std::string& fileName, std::size_t keep = kWholeLines);

  LineReader(LineReader&& other) noexcept;
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  LineReader& operator=(LineReader&&) = delete;
  ~LineReader();

  // True at the physical end or at a 0x1A character. Raises InOutError when the file cannot be
  // read.
  bool Eof();
  // The next line without its ending (its first `keep` characters); empty at the end of the file.
  void ReadLine(std::string& line);

 private:
  LineReader(int fd, std::size_t keep);
  bool Fill();  // false at the physical end
  // Reads on to the end of the current line, appending to `line` (when given) until it is full.
  void Scan(std::string* line);
  void SkipRestOfLine();

  int fd_ = -1;  // -1: reading from memory
  std::vector<char> buffer_;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  std::size_t keep_;
  bool ended_ = false;
  bool restOfLine_ =
      false;  // the last line read was cut short: its rest is still to be passed over
};

// Replaces `fileName` with `content`, through a temporary file in the same folder; a file that
// existed keeps its owner, group and permissions (one whose owner or group this user cannot give
// is rewritten where it stands). Raises InOutError on failure, leaving the old file untouched and
// no temporary file behind; a file that may not be written is "File access denied". A pipe or a
// device, and a writable file in a folder that takes no new files, are written where they stand;
// such a file gets its old bytes back when the new ones cannot all be written. Links are followed
// as FollowLinks follows them. The error names `fileName`. Every write, fsync, close and rename
// goes through `calls`.
void WriteFileReplacing(const std::string& fileName, std::string_view content,
                        const FileCalls& calls = SystemFiles());

// Opens `fileName` for writing from its start, creating it when missing; its links are followed
// as FollowLinks follows them. Raises InOutError or LinkNotFollowedError.
int OpenForWriting(const std::string& fileName);

// A link that the program does not follow: one in a sticky folder that everyone may write to
// (/tmp) that belongs neither to the user the program runs as nor to the folder's owner.
class LinkNotFollowedError : public Error {
 public:
  explicit LinkNotFollowedError(const std::string& link);
  const std::string& Link() const { return link_; }

 private:
  std::string link_;
};

// The file at the end of `fileName`'s chain of links (the name itself when it is no link); a link
// whose file does not exist yet names the file to create. Raises LinkNotFollowedError for a link
// on the way that may not be followed.
std::string FollowLinks(std::string fileName);

// A file-size limit then fails the write that passes it ("I/O error 27") instead of ending the
// program. The programs call it once at start.
void IgnoreFileSizeSignal();

// True when `fileName` names an existing regular file (after following links).
bool FileExists(const std::string& fileName);

// Creates a folder and the folders above it that are missing; raises InOutError on failure.
void CreateFolders(const std::string& folder);

}  // namespace kaldo
