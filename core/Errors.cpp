#include "core/Errors.h"

#include <cerrno>
#include <cstring>

#include "core/Convert.h"

namespace kaldo {

ConvertError::ConvertError(const std::string& text)
    : Error("'" + PrintableText(text) + "' is not a valid integer value"), text_(text) {}

InOutError InOutError::About(const std::string& fileName, const char* doing) const {
  InOutError named = *this;
  if (named.fileName_.empty()) {
    named.fileName_ = fileName;
    named.doing_ = doing;
  }
  return named;
}

std::string InOutError::FullText() const {
  std::string text = what();
  if (!fileName_.empty()) text += " " + doing_ + " " + PrintableText(fileName_);
  if (!fileName_.empty() && systemError_ != 0)
    text += std::string(": ") + std::strerror(systemError_);
  return text;
}

InOutError InOutErrorFromErrno(int err) {
  if (err == ENOENT) return InOutError(kFileNotFound, "File not found", err);
  if (err == EACCES) return InOutError(kFileAccessDenied, "File access denied", err);
  return InOutError(err, "I/O error " + std::to_string(err), err);
}

namespace {

std::string WithFullStop(std::string text) {
  if (text.empty() || text.back() != '.') text += '.';
  return text;
}

}  // namespace

std::string ErrorReportText(const std::exception& e) {
  return WithFullStop(e.what());
}

std::string DetailedReportText(const std::exception& e) {
  if (const auto* io = dynamic_cast<const InOutError*>(&e)) return WithFullStop(io->FullText());
  return ErrorReportText(e);
}

}  // namespace kaldo
