#include "cli/HelpTexts.h"

#include <string>

#include "cli/CliCommand.h"
#include "cli/CliTables.h"
#include "core/ProgramInfo.h"
#include "core/model/DeviceTable.h"

namespace kaldo::cli {

namespace {

#ifdef KALDO_GIT_DESCRIPTION
constexpr char kBuildDescription[] = KALDO_GIT_DESCRIPTION;
#else
constexpr char kBuildDescription[] = "";
#endif

// "  head" and then the help text on lines of its own, indented and wrapped at 80 columns.
void PrintEntry(std::ostream& out, const std::string& head, const std::string& help) {
  out << "  " << head << "\n";
  const std::string indent = "      ";
  std::string line = indent;
  std::size_t pos = 0;
  while (pos < help.size()) {
    std::size_t end = help.find(' ', pos);
    if (end == std::string::npos) end = help.size();
    const std::string word = help.substr(pos, end - pos);
    if (line.size() > indent.size() && line.size() + 1 + word.size() > 80) {
      out << line << "\n";
      line = indent;
    }
    if (line.size() > indent.size()) line += ' ';
    line += word;
    pos = end + 1;
  }
  out << line << "\n";
}

}  // namespace

void PrintHelp(std::ostream& out) {
  out << "Usage: kaldo-cli [OPTIONS] COMMAND [ARGUMENTS]\n"
         "\n"
         "Works on an image of a device's code memory (32 KiB, blank bytes read FF), with the\n"
         "same files and texts as the KALDO window. The device commands (blank, read, write,\n"
         "verify, signature, identify) work on the chip in the programmer's socket, on the\n"
         "simulated PC (--sim STATE) or on a real parallel port (--port PORT).\n"
         "\n"
         "Before blank, read, verify and write, the chip's signature is read and compared\n"
         "with the device's (see 'devices'). A chip that answers with another device's\n"
         "signature, or with none (all FF or all 00: no board, no power or no chip), is\n"
         "refused with exit status 1 and left untouched; --force goes on without the\n"
         "check. The check takes 0.72 s (1.44 s on the AT89S53 and AT89S8252); a refusal\n"
         "names the chip that is there, found as 'identify' finds it (up to 4.3 s more).\n"
         "\n"
         "write and verify refuse, with exit status 1, an image that holds data past the\n"
         "device's last address (a program built for a larger device); --force goes on\n"
         "with the part that fits and says how many bytes it leaves out.\n"
         "\n"
         "Files are Intel HEX unless their name ends (in any case) in .s19, .s28, .s37,\n"
         ".srec or .mot, which are Motorola S-records, or in .bin, which is a raw binary\n"
         "image; --format names the format of every file of the command instead. A binary\n"
         "image holds byte i of the code memory at offset i; one longer than the device's\n"
         "code memory is \"Address out of range . . .\", a shorter one leaves the rest\n"
         "blank, and one that is written has exactly the device's size. S-records are\n"
         "written as an S0 header, 16-byte S1 records, an S5 count and an S9 start;\n"
         "S2 and S3 records, and S6, S7 and S8, are read too.\n"
         "\n"
         "Commands:\n";
  for (auto table : CommandTables()) {
    for (const CliCommand& c : table) PrintEntry(out, CommandLine(c), c.Help);
  }
  out << "\nOptions (before or after the command; a command refuses those it has no use for):\n";
  for (auto table : OptionTables()) {
    for (const CliOption& o : table)
      PrintEntry(out, std::string(o.Name) + (o.ValueName ? std::string(" ") + o.ValueName : ""),
                 o.Help);
  }
  out << "\nDevices (NAME for --device, any case, with or without a leading AT):\n ";
  for (const DeviceInfo& d : DeviceTable) out << " " << d.PartName;
  out << "\n\nExit status (and the \"outcome\" that --json reports):\n";
  for (const OutcomeInfo& o : Outcomes()) {
    const std::string identify = IdentifyCases(o.Kind);
    PrintEntry(out, std::string(o.Status) + "  " + o.Name,
               o.Meaning + (identify.empty() ? "" : "; identify: " + identify));
  }
}

void PrintVersion(std::ostream& out) {
  out << "KALDO " << kProgramVersion;
  if (*kBuildDescription) out << " (git " << kBuildDescription << ")";
  out << "\n";
}

const char* BuildDescription() {
  return kBuildDescription;
}

}  // namespace kaldo::cli
