// The simulated PC's state file as it is read from the disk: the input is the file. It loads and
// saves back a file that loads to the same chips, or is refused and left byte for byte as it was;
// never a crash.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "core/Errors.h"
#include "sim/DrawerFile.h"

namespace {

std::string ReadAll(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  char folder[] = "/tmp/kaldo-fuzz-drawer-XXXXXX";
  if (::mkdtemp(folder) == nullptr) std::abort();
  const std::string file = std::string(folder) + "/chips.state";
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(file, std::ios::binary);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
  }
  kaldo::sim::DrawerFileOptions options;
  options.remedy = "remedy";
  try {
    std::string saved;
    {
      kaldo::sim::DrawerFile state(file, options);
      saved = state.drawer().ToText();
      state.Save();
    }
    kaldo::sim::DrawerFile again(file, options);
    if (again.drawer().ToText() != saved) std::abort();
  } catch (const kaldo::Error&) {
    if (ReadAll(file) != input) std::abort();
  }
  std::filesystem::remove_all(folder);
  return 0;
}
