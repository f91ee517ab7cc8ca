#include "cli/Progress.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "cli/Json.h"
#include "core/Convert.h"

namespace kaldo::cli {

namespace {

constexpr int kBarCells = 20;
constexpr int kBlockEnd = 0xFF;  // the readout shows the end of the 256-byte block, as the window
constexpr std::size_t kLineWidth = 64;  // a shorter line blanks what a longer one left

// "0:07", "12:30", "1:02:03"
std::string Duration(double seconds) {
  const long total = std::lround(seconds);
  const long hours = total / 3600, minutes = total / 60 % 60, rest = total % 60;
  const auto two = [](long n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
  return hours > 0 ? std::to_string(hours) + ":" + two(minutes) + ":" + two(rest)
                   : std::to_string(minutes) + ":" + two(rest);
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int ReadoutAddress(int address) {
  return address | kBlockEnd;
}

int ProgressPercent(int address, int deviceSize) {
  if (deviceSize <= 0) return 0;
  const long percent = (static_cast<long>(ReadoutAddress(address)) + 1) * 100 / deviceSize;
  return static_cast<int>(std::min(percent, 100L));
}

ProgressBar::ProgressBar(std::ostream& out, int deviceSize, ProgressClock clock)
    : out_(out), size_(deviceSize), clock_(std::move(clock)), passStarted_(clock_()) {}

ProgressBar::~ProgressBar() {
  if (drawn_) out_ << "\n" << std::flush;
}

void ProgressBar::ShowAddress(int address) {
  // A pass begins at address 0; its pace counts from there.
  if (address == 0) passStarted_ = clock_();
  address_ = address;
  Draw();
}

void ProgressBar::ShowCommand(const std::string& text) {
  operation_ = text;
  address_ = 0;
  passStarted_ = clock_();
  Draw();
}

std::string ProgressBar::Line() const {
  const int percent = ProgressPercent(address_, size_);
  const int cells = percent * kBarCells / 100;
  std::string line = operation_ + "  " +
                     IntToHex(static_cast<std::uint32_t>(ReadoutAddress(address_)), 4) + "  [" +
                     std::string(static_cast<std::size_t>(cells), '#') +
                     std::string(static_cast<std::size_t>(kBarCells - cells), '.') + "] ";
  const std::string number = std::to_string(percent);
  line += std::string(3 - number.size(), ' ') + number + "%";
  const double elapsed = clock_() - passStarted_;
  if (address_ > 0 && address_ < size_ && elapsed > 0)
    line += "  " + Duration(elapsed * (size_ - address_) / address_) + " left";
  return line;
}

void ProgressBar::Draw() {
  std::string line = Line();
  if (line.size() < kLineWidth) line.append(kLineWidth - line.size(), ' ');
  out_ << "\r" << line << std::flush;
  drawn_ = true;
}

void ProgressLines::ShowAddress(int address) {
  JsonObject line;
  line.Set("operation", operation_)
      .Set("address", ReadoutAddress(address))
      .Set("percent", ProgressPercent(address, size_));
  out_ << line.Text() << "\n" << std::flush;
}

std::unique_ptr<ProgressDisplay> MakeProgress(ProgressStyle style, bool terminal, std::ostream& out,
                                              int deviceSize) {
  switch (style) {
    case ProgressStyle::Auto:
      if (!terminal) return nullptr;
      [[fallthrough]];
    case ProgressStyle::Bar:
      return std::make_unique<ProgressBar>(out, deviceSize, SteadySeconds);
    case ProgressStyle::Json:
      return std::make_unique<ProgressLines>(out, deviceSize);
    case ProgressStyle::None:
      break;
  }
  return nullptr;
}

}  // namespace kaldo::cli
