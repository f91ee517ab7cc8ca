// The settings loader on a settings file from the disk, with the HEX file it may name. The input
// is the settings file; whatever follows its first 0x1A (where the settings reader stops) is also
// the content of "in.hex" beside it, which a fourth line "in.hex" names. It loads values and
// perhaps the file, or raises a program error; never a crash.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "core/Errors.h"
#include "core/formats/Settings.h"

namespace {

void WriteAll(const std::string& fileName, std::string_view bytes) {
  std::ofstream out(fileName, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  char folder[] = "/tmp/kaldo-fuzz-settings-XXXXXX";
  if (::mkdtemp(folder) == nullptr) std::abort();
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  WriteAll(std::string(folder) + "/" + kaldo::kSettingsFileName, input);
  const std::size_t end = input.find('\x1A');
  WriteAll(std::string(folder) + "/in.hex",
           end == std::string_view::npos ? std::string_view() : input.substr(end + 1));
  // A relative file name on the fourth line is taken from the working folder; the fuzzer's own
  // folder is given back before it reads its next input.
  const int workingFolder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (workingFolder < 0 || ::chdir(folder) != 0) std::abort();
  kaldo::ProgramState s;
  kaldo::BlankBuffer(s);
  try {
    const std::optional<kaldo::LoadOutcome> outcome = kaldo::Settings(s, folder).LoadSettings();
    if (!s.HexFileName.empty() && !kaldo::FileExists(s.HexFileName)) std::abort();
    if (s.HexFileName.size() > kaldo::kLongestSettingsLine) std::abort();
    if (outcome.has_value() == s.HexFileName.empty()) std::abort();
    const std::string_view r = outcome ? outcome->Text : kaldo::kResultOK;
    if (r != kaldo::kResultOK && r != kaldo::kInvalidHexFormat && r != kaldo::kDataChecksumError &&
        r != kaldo::kAddressOutOfRange)
      std::abort();
  } catch (const kaldo::Error&) {
  }
  if (::fchdir(workingFolder) != 0) std::abort();
  ::close(workingFolder);
  std::filesystem::remove_all(folder);
  return 0;
}
