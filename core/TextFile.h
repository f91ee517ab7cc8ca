// 8-bit text files as the HEX and settings files use them.
//
// Reading: a line ends at a carriage return, a carriage return and line feed, or a lone line feed;
// a 0x1A character or the physical end ends the file; lines may be of any length.
// Writing: the whole file goes to a temporary file in the target's folder, which then replaces the
// target, so a failed write leaves the old file as it was.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kaldo {

class LineReader {
 public:
  // Reads from text held in memory; the text must outlive the reader.
  explicit LineReader(std::string_view text);
  // Opens a file; raises InOutError when it cannot be opened.
  static LineReader OpenFile(const std::string& fileName);

  LineReader(LineReader&& other) noexcept;
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  LineReader& operator=(LineReader&&) = delete;
  ~LineReader();

  // True at the physical end or at a 0x1A character. Raises InOutError when the file cannot be
  // read.
  bool Eof();
  // The next line without its ending; empty at the end of the file.
  void ReadLine(std::string& line);

 private:
  LineReader(int fd);
  bool Fill();  // false at the physical end

  int fd_ = -1;  // -1: reading from memory
  std::vector<char> buffer_;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  bool ended_ = false;
};

// Replaces `fileName` with `content`, through a temporary file in the same folder; a file that
// existed keeps its permissions. Raises InOutError on failure, leaving the old file untouched and
// no temporary file behind; a file that may not be written is "File access denied". A pipe or a
// device, and a writable file in a folder that takes no new files, are written where they stand.
void WriteFileReplacing(const std::string& fileName, std::string_view content);

// True when `fileName` names an existing regular file (after following links).
bool FileExists(const std::string& fileName);

// Creates a folder and the folders above it that are missing; raises InOutError on failure.
void CreateFolders(const std::string& folder);

}  // namespace kaldo
