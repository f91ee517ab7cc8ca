// kaldo: the programmer on a real parallel port, through ppdev or direct port access.
#include "app/KaldoProgram.h"
#include "core/TextFile.h"
#include "link/Backend.h"
#include "link/PortCheck.h"

int main(int argc, char** argv) {
  kaldo::IgnoreFileSizeSignal();
  return kaldo::RunKaldo(argc, argv, [](kaldo::ProgramState& state, const std::string&) {
    // The kernel's ports, read when the menu is made and each time the check is asked for.
    kaldo::MachinePorts ports{[] { return kaldo::HostSystem().Parports(); },
                              [] { return kaldo::CheckPorts(kaldo::HostSystem()).Lines; }};
    return kaldo::MachineParts{
        std::make_unique<kaldo::HardwareIoSpace>(state.PortBase), std::move(ports), {}};
  });
}
