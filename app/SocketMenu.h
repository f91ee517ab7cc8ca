// kaldo-sim's Socket menu: what the simulated socket holds, so that a user can see what the
// programmer makes of another device's chip, an empty socket, a missing board, a cell that will
// not program or a locked chip. The window's title names the choice while it is not the chip of
// the selected type.
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
