#include "core/Errors.h"

#include <cerrno>

namespace kaldo {

ConvertError::ConvertError(const std::string& text)
    : Error("'" + text + "' is not a valid integer value"), text_(text) {}

InOutError InOutErrorFromErrno(int err) {
  if (err == ENOENT) return InOutError(kFileNotFound, "File not found");
  if (err == EACCES) return InOutError(kFileAccessDenied, "File access denied");
  return InOutError(err, "I/O error " + std::to_string(err));
}

std::string ErrorReportText(const std::exception& e) {
  std::string text = e.what();
  if (text.empty() || text.back() != '.') text += '.';
  return text;
}

}  // namespace kaldo
