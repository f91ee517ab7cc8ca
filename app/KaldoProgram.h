// The program: application title, the program-wide objects, the main window and the other windows,
// then the message loop. The two programs differ only in the I/O space they hand in.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/ProgramState.h"
#include "link/IoSpace.h"

namespace kaldo {

// Makes the I/O space the program works on. It may keep the state (the simulated socket follows
// the selected device) and the settings folder (other files that belong with the settings).
using IoSpaceFactory =
    std::function<std::unique_ptr<IoSpace>(ProgramState& state, const std::string& settingsFolder)>;

int RunKaldo(int argc, char** argv, const IoSpaceFactory& makeIoSpace);

}  // namespace kaldo
