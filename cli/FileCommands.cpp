// The commands on files: load and convert, working on the buffer as the window's Open and Save do.
#include "cli/CliCommand.h"
#include "core/Convert.h"
#include "core/formats/HexFile.h"
#include "core/system/StopFlag.h"

namespace kaldo::cli {

namespace {

FileFormat FormatOf(const CliOptions& o, const std::string& fileName) {
  return o.Format ? *o.Format : FormatOfFileName(fileName);
}

int RunLoad(CliContext& c, const std::vector<std::string>& args) {
  return LoadImage(c, args[0]) ? kExitOK : kExitFailed;
}

int RunConvert(CliContext& c, const std::vector<std::string>& args) {
  if (!LoadImage(c, args[0])) return kExitFailed;
  // A signal waits for the file to be whole, then ends the program with its status.
  SaveImageFile(c, args[1]);
  return c.Stop.Signal() > 0 ? StopSignals::ExitStatus(c.Stop.Signal()) : kExitOK;
}

const CliCommand kFileCommands[] = {
    {"load", "FILE", 1,
     "load an Intel HEX file, an S-record file or a raw binary image into a blank image; print the "
     "outcome and the checksum of the device's code memory",
     RunLoad},
    {"convert", "IN OUT", 2,
     "load IN as 'load' does and, when it loaded, write the device's code memory to OUT (in.hex "
     "out.bin makes a binary image of exactly the device's size, in.bin out.hex the reverse, "
     "in.hex out.s19 S-records)",
     RunConvert},
};

}  // namespace

LoadOutcome LoadImageFile(CliContext& c, const std::string& fileName) {
  BlankBuffer(c.State);
  c.State.HexFileName = fileName;
  LoadOutcome outcome;
  try {
    outcome = LoadFileInFormat(c.State, FormatOf(c.Options, fileName));
  } catch (const InOutError& e) {
    throw e.About(fileName, "reading");
  } catch (const HexFieldError& e) {
    outcome = LoadOutcome{kInvalidHexFormat, e.Line(), e.what()};
  }
  // A signal while the file was read: nothing else is done.
  if (c.Stop.Signal() > 0) throw StoppedError(c.Stop.Signal(), kInterruptedEarlyText);
  const auto where = [&](std::size_t line) {
    return "kaldo-cli: '" + PrintableText(fileName) + "'" +
           (line > 0 ? " line " + std::to_string(line) : std::string()) + ": ";
  };
  if (outcome.DataAfterEnd > 0 && outcome.DataAfterEnd != outcome.Line)
    c.Err << where(outcome.DataAfterEnd)
          << "a data record after the end-of-file record, loaded as the records before it\n";
  if (!outcome.Loaded()) {
    c.Err << where(outcome.Line) << outcome.Detail << "\n";
    if (outcome.Line > 0) c.Report.Fields.Set("line", static_cast<std::int64_t>(outcome.Line));
  }
  return outcome;
}

void SaveImageFile(CliContext& c, const std::string& fileName) {
  c.State.HexFileName = fileName;
  try {
    SaveFileInFormat(c.State, FormatOf(c.Options, fileName));
  } catch (const InOutError& e) {
    throw e.About(fileName, "writing");
  }
}

bool LoadImage(CliContext& c, const std::string& fileName) {
  const LoadOutcome outcome = LoadImageFile(c, fileName);
  PrintText(c.Out, std::string(outcome.Text));
  c.Out << "Checksum " << IntToHex(BufferChecksum(c.State), 4) << "\n";
  c.Report.Fields.Set("checksum", BufferChecksum(c.State));
  return outcome.Loaded();
}

std::span<const CliCommand> FileCommands() {
  return kFileCommands;
}

}  // namespace kaldo::cli
