// kaldo: the programmer on a real parallel port, through ppdev or direct port access.
#include "app/KaldoProgram.h"
#include "core/TextFile.h"
#include "link/Backend.h"

int main(int argc, char** argv) {
  kaldo::IgnoreFileSizeSignal();
  return kaldo::RunKaldo(argc, argv, [](kaldo::ProgramState& state, const std::string&) {
    return kaldo::MachineParts{std::make_unique<kaldo::HardwareIoSpace>(state.PortBase), {}};
  });
}
