// kaldo: the programmer on a real parallel port, through ppdev or direct port access.
#include <cstdlib>

#include "app/KaldoProgram.h"
#include "core/system/TextFile.h"
#include "link/Backend.h"
#include "link/PortCheck.h"

int main(int argc, char** argv) {
  kaldo::IgnoreFileSizeSignal();
  // A test tree of the system (KALDO_SYSTEM_ROOT) lists the ports instead of the kernel; a port
  // is then reached only through the tree's ppdev node, never by direct port access.
  const char* root = std::getenv("KALDO_SYSTEM_ROOT");
  const kaldo::HostSystem host(root ? root : "");
  return kaldo::RunKaldo(argc, argv, [&host](kaldo::ProgramState& state, const std::string&) {
    // The kernel's ports, read when the menu is made and each time the check is asked for.
    kaldo::MachinePorts ports{[&host] { return host.Parports(); },
                              [&host] { return kaldo::CheckPorts(host).Lines; }};
    return kaldo::MachineParts{
        std::make_unique<kaldo::HardwareIoSpace>(state.PortBase, host), std::move(ports), {}};
  });
}
