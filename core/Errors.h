// The errors that abandon a command and reach the general error report: a message box (or, in the
// command-line program, a line on stderr) showing the message followed by ".".
#pragma once

#include <stdexcept>
#include <string>

namespace kaldo {

// Base of every error the program raises; what() is the message text, without the final ".".
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A text that does not convert to a number; the message quotes it through PrintableText.
class ConvertError : public Error {
 public:
  explicit ConvertError(const std::string& text);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// A file that cannot be opened, read, created or written: "File not found" (code 2), "File access
// denied" (code 5) or "I/O error <code>" with the system's error number. The message is the
// window's text; the command line adds the file and the system's reason (FullText).
class InOutError : public Error {
 public:
  InOutError(int code, const std::string& message, int systemError = 0)
      : Error(message), code_(code), systemError_(systemError) {}
  int Code() const { return code_; }
  int SystemError() const { return systemError_; }  // the errno, 0 when there is none
  const std::string& FileName() const { return fileName_; }

  // The same error, met while `doing` ("reading", "writing") the file `fileName`; one that already
  // names its file keeps it.
  InOutError About(const std::string& fileName, const char* doing) const;
  // "I/O error 28 writing out.hex: No space left on device", the file name through PrintableText;
  // the message alone when no file is named.
  std::string FullText() const;

 private:
  int code_;
  int systemError_;
  std::string fileName_;
  std::string doing_;
};

inline constexpr int kFileNotFound = 2;
inline constexpr int kFileAccessDenied = 5;

// The error for a failed system call: ENOENT gives "File not found", EACCES "File access denied",
// anything else "I/O error <errno>" (so EIO, whose number is 5, still reads "I/O error 5").
InOutError InOutErrorFromErrno(int err);

// The text of the general error report: the message followed by ".", unless it already ends in one.
std::string ErrorReportText(const std::exception& e);
// As ErrorReportText, with an InOutError's FullText: the command line's report.
std::string DetailedReportText(const std::exception& e);

}  // namespace kaldo
