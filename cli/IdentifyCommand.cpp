// identify: which chip sits in the socket, whatever --device says.
#include <stdexcept>
#include <string>

#include "cli/BoardConnection.h"
#include "cli/CliCommand.h"
#include "cli/Json.h"
#include "core/system/StopFlag.h"

namespace kaldo::cli {

namespace {

void ThrowIfStopped(const StopFlag& stop) {
  if (stop.Requested()) throw StoppedError(stop.Signal());
}

// How identify ends, by what answered in the socket: the outcome --json names and the case that
// the help text's table of exit statuses lists under it.
struct IdentifyEnding {
  ChipIdentity::Kind Kind;
  Outcome Result;
  const char* Case;
};
constexpr IdentifyEnding kIdentifyEndings[] = {
    {ChipIdentity::Kind::Known, Outcome::Ok, "a known chip answered"},
    {ChipIdentity::Kind::NoAnswer, Outcome::NoChip, "no chip answered"},
    {ChipIdentity::Kind::Unknown, Outcome::WrongChip, "a chip with an unknown signature answered"},
};

const IdentifyEnding& EndingOf(ChipIdentity::Kind kind) {
  for (const IdentifyEnding& ending : kIdentifyEndings)
    if (ending.Kind == kind) return ending;
  throw std::logic_error("identify has no outcome for what the socket held");
}

// The identification; the board connection is finished (board reset, timer put back, trace
// completed, chips saved) whatever ends it.
ChipIdentity IdentifyOnDevice(CliContext& c, StopFlag& stop) {
  return OnBoard(c.Options, stop, c.Host,
                 [](Programmer& programmer) { return programmer.Identify(); });
}

}  // namespace

int RunIdentify(CliContext& c, const std::vector<std::string>&) {
  CheckDeviceOptions(c.Options);
  const ChipIdentity identity = IdentifyOnDevice(c, c.Stop);
  ThrowIfStopped(c.Stop);
  const DeviceInfo* found = identity.Found() ? FindDevice(identity.DeviceType) : nullptr;
  c.Report.Fields.Set("found", found ? Json(FullName(*found)) : Json())
      .Set("signature", JsonArray::Of(identity.Signature));
  const Outcome outcome = EndingOf(identity.Result).Result;
  c.Report.Result = outcome;
  if (c.Options.Cable && identity.Result == ChipIdentity::Kind::NoAnswer)
    PrintText(
        c.Out,
        "no chip answered through the cable: an AT89S51 or S52 gives its signature there (the "
        "AT89S53 and S8252 have none to give); is RST wired active high, the crystal running "
        "and the target powered?");
  else
    PrintText(c.Out, IdentityText(identity));
  return outcome == Outcome::Ok ? kExitOK : kExitFailed;
}

std::string IdentifyCases(Outcome outcome) {
  std::string cases;
  for (const IdentifyEnding& ending : kIdentifyEndings)
    if (ending.Result == outcome) cases += std::string(cases.empty() ? "" : ", or ") + ending.Case;
  return cases;
}

}  // namespace kaldo::cli
