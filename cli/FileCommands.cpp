// The commands on files: load and convert, working on the buffer as the window's Open and Save do.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "cli/CliCommand.h"
#include "core/BinFile.h"
#include "core/Convert.h"
#include "core/HexFile.h"
#include "core/StopFlag.h"

namespace kaldo::cli {

namespace {

bool IsBinaryImage(const CliOptions& o, const std::string& fileName) {
  if (o.Format != ImageFormat::ByName) return o.Format == ImageFormat::Binary;
  constexpr std::string_view kBinExtension = ".bin";
  if (fileName.size() < kBinExtension.size()) return false;
  const std::string_view end =
      std::string_view(fileName).substr(fileName.size() - kBinExtension.size());
  return std::equal(end.begin(), end.end(), kBinExtension.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
}

int RunLoad(CliContext& c, const std::vector<std::string>& args) {
  return LoadImage(c, args[0]) ? kExitOK : kExitFailed;
}

int RunConvert(CliContext& c, const std::vector<std::string>& args) {
  if (!LoadImage(c, args[0])) return kExitFailed;
  // A signal waits for the file to be whole, then ends the program with its status.
  StopFlag stop;
  {
    const StopSignals signals(stop);
    SaveImageFile(c, args[1]);
  }
  return stop.Signal() > 0 ? StopSignals::ExitStatus(stop.Signal()) : kExitOK;
}

const CliCommand kFileCommands[] = {
    {"load", "FILE", 1,
     "load an Intel HEX file or a raw binary image into a blank image; print the outcome and the "
     "checksum of the device's code memory",
     RunLoad},
    {"convert", "IN OUT", 2,
     "load IN as 'load' does and, when it loaded, write the device's code memory to OUT (in.hex "
     "out.bin makes a binary image of exactly the device's size, in.bin out.hex the reverse)",
     RunConvert},
};

}  // namespace

void LoadImageFile(CliContext& c, const std::string& fileName) {
  BlankBuffer(c.State);
  c.State.HexFileName = fileName;
  HexLoadStop stop;
  try {
    if (IsBinaryImage(c.Options, fileName))
      LoadBinFile(c.State);
    else
      stop = LoadHexFile(c.State);
  } catch (const InOutError& e) {
    throw e.About(fileName, "reading");
  }
  if (stop.TextAfterChecksum)
    c.Err << "kaldo-cli: '" << PrintableText(fileName) << "' line " << stop.Line
          << ": a data record goes on after its checksum\n";
}

void SaveImageFile(CliContext& c, const std::string& fileName) {
  c.State.HexFileName = fileName;
  try {
    if (IsBinaryImage(c.Options, fileName))
      SaveBinFile(c.State);
    else
      SaveHexFile(c.State);
  } catch (const InOutError& e) {
    throw e.About(fileName, "writing");
  }
}

bool LoadImage(CliContext& c, const std::string& fileName) {
  LoadImageFile(c, fileName);
  PrintText(c.Out, c.State.ResultText);
  c.Out << "Checksum " << IntToHex(BufferChecksum(c.State), 4) << "\n";
  return c.State.ResultText == kResultOK;
}

std::span<const CliCommand> FileCommands() {
  return kFileCommands;
}

}  // namespace kaldo::cli
