// kaldo: the programmer on the PC's own parallel port, through direct port access.
#include "app/KaldoProgram.h"
#include "link/DirectIo.h"

int main(int argc, char** argv) {
  return kaldo::RunKaldo(argc, argv, [](kaldo::ProgramState& state, const std::string&) {
    return std::make_unique<kaldo::DirectIo>(state.PortBase);
  });
}
