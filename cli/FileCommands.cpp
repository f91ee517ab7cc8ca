// The commands on files: load and convert, working on the buffer as the window's Open and Save do.
#include "cli/CliCommand.h"
#include "core/Convert.h"
#include "core/HexFile.h"

namespace kaldo::cli {

namespace {

int RunLoad(CliContext& c, const std::vector<std::string>& args) {
  return LoadImage(c, args[0]) ? kExitOK : kExitFailed;
}

int RunConvert(CliContext& c, const std::vector<std::string>& args) {
  if (!LoadImage(c, args[0])) return kExitFailed;
  c.State.HexFileName = args[1];
  SaveHexFile(c.State);
  return kExitOK;
}

const CliCommand kFileCommands[] = {
    {"load", "FILE", 1,
     "load an Intel HEX file into a blank image; print the outcome and the checksum of the "
     "device's code memory",
     RunLoad},
    {"convert", "IN OUT", 2,
     "load IN as 'load' does and, when it loaded, write the device's code memory to OUT as an "
     "Intel HEX file",
     RunConvert},
};

}  // namespace

bool LoadImage(CliContext& c, const std::string& fileName) {
  BlankBuffer(c.State);
  c.State.HexFileName = fileName;
  LoadHexFile(c.State);
  PrintText(c.Out, c.State.ResultText);
  c.Out << "Checksum " << IntToHex(BufferChecksum(c.State), 4) << "\n";
  return c.State.ResultText == kResultOK;
}

std::span<const CliCommand> FileCommands() {
  return kFileCommands;
}

}  // namespace kaldo::cli
