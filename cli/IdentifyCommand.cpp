// identify: which chip sits in the socket, whatever --device says.
#include "cli/BoardConnection.h"
#include "cli/CliCommand.h"
#include "cli/Json.h"
#include "core/StopFlag.h"

namespace kaldo::cli {

namespace {

void ThrowIfStopped(const StopFlag& stop) {
  if (stop.Requested()) throw StoppedError(stop.Signal());
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
  StopFlag stop;
  ChipIdentity identity;
  {
    const StopSignals signals(stop);
    identity = IdentifyOnDevice(c, stop);
  }
  ThrowIfStopped(stop);
  const DeviceInfo* found = identity.Found() ? FindDevice(identity.DeviceType) : nullptr;
  c.Report.Fields.Set("found", found ? Json(FullName(*found)) : Json())
      .Set("signature", JsonArray::Of(identity.Signature));
  if (identity.Result == ChipIdentity::Kind::NoAnswer) c.Report.Result = Outcome::NoChip;
  if (identity.Result == ChipIdentity::Kind::Unknown) c.Report.Result = Outcome::WrongChip;
  PrintText(c.Out, IdentityText(identity));
  return identity.Found() ? kExitOK : kExitFailed;
}

}  // namespace kaldo::cli
