// identify: which chip sits in the socket, whatever --device says.
#include "cli/CliCommand.h"
#include "cli/DeviceSession.h"
#include "core/StopFlag.h"

namespace kaldo::cli {

namespace {

void ThrowIfStopped(const StopFlag& stop) {
  if (stop.Requested()) throw StoppedError(stop.Signal());
}

// The identification on an open session; the session is finished (board reset, timer put back,
// trace completed, chips saved) whatever ends it.
ChipIdentity IdentifyOnDevice(CliContext& c, StopFlag& stop) {
  std::unique_ptr<DeviceSession> session = OpenDeviceSession(c.Options, stop, c.Host);
  ChipIdentity identity;
  try {
    identity = session->Device().Identify();
  } catch (...) {
    try {
      session->Finish();
    } catch (...) {
      // The identification's own error is the one to report.
    }
    throw;
  }
  session->Finish();
  return identity;
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
  PrintText(c.Out, IdentityText(identity));
  return identity.Found() ? kExitOK : kExitFailed;
}

}  // namespace kaldo::cli
