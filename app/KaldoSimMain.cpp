// kaldo-sim: the same program on the simulated PC. The socket holds a chip of the selected type;
// the chips keep their contents across runs in a file beside the settings file. The Socket menu
// puts something else in the socket, and KALDO_SIM_REALTIME=1 makes the simulated PC take the
// time a real one would.
#include <cstdlib>
#include <string_view>

#include "app/KaldoProgram.h"
#include "app/Seams.h"
#include "app/SimulatedMachine.h"
#include "app/SocketMenu.h"
#include "core/system/TextFile.h"

namespace {

kaldo::SimSpeed SpeedFromEnvironment() {
  const char* value = std::getenv("KALDO_SIM_REALTIME");
  const bool realTime = value && *value && std::string_view(value) != "0";
  return realTime ? kaldo::SimSpeed::RealTime : kaldo::SimSpeed::Fast;
}

}  // namespace

int main(int argc, char** argv) {
  kaldo::IgnoreFileSizeSignal();
  return kaldo::RunKaldo(argc, argv, [](kaldo::ProgramState& state, const std::string& folder) {
    kaldo::QtMessageSeam messages;
    auto machine = kaldo::OpenSimulatedMachine(state, folder, SpeedFromEnvironment(), messages);
    if (!machine) return kaldo::MachineParts{};
    kaldo::SimulatedMachine& simulated = *machine;
    kaldo::MachinePorts ports{[] { return kaldo::SimulatedMachine::Ports(); },
                              [&simulated] { return simulated.PortCheck(); }, "simulator",
                              [&simulated] { return simulated.NoChipWillCome(); }};
    return kaldo::MachineParts{
        std::move(machine), std::move(ports),
        [&simulated](kaldo::TfrmMain& window) { kaldo::AddSocketMenu(window, simulated); }};
  });
}
