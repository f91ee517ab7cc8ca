// kaldo-sim: the same program on the simulated PC. The socket holds a chip of the selected type;
// the chips keep their contents across runs in a file beside the settings file.
#include "app/KaldoProgram.h"
#include "app/SimulatedMachine.h"
#include "core/TextFile.h"

int main(int argc, char** argv) {
  kaldo::IgnoreFileSizeSignal();
  return kaldo::RunKaldo(argc, argv, [](kaldo::ProgramState& state, const std::string& folder) {
    return std::make_unique<kaldo::SimulatedMachine>(state, folder);
  });
}
