// kaldo-sim's Socket menu: what the simulated socket holds, so that a user can see what the
// programmer makes of another device's chip, an empty socket, a missing board, a cell that will
// not program or a locked chip; and what is on the port, the programmer board or an ISP cable's
// target board (following the programmer the Port menu chooses), with the target's faults. The
// window's title names the choice while it is not the chip of the selected type, and what is on
// the port while it is not what the window uses.
#pragma once

#include <QString>

#include "app/SimulatedMachine.h"
#include "app/UnitFormMain.h"

namespace kaldo {

// Puts the menu on the window's menu bar; the machine outlives the window.
void AddSocketMenu(TfrmMain& window, SimulatedMachine& machine);

// What the title says of the choice; empty for the chip of the selected type.
QString SocketCondition(const SocketChoice& choice);

}  // namespace kaldo
