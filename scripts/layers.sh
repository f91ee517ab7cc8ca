#!/usr/bin/env bash
# The layering rule: core <- link <- device <- production <- app, dialogs, cli; sim implements
# link's IoSpace and sees nothing else of link; device never includes the window's state
# (core/model/ProgramState.h); only app/SimulatedMachine and cli/BoardConnection.cpp include sim/;
# only app/ and dialogs/ include Qt; app/ and cli/ take from link/ only Backend.h, IoSpace.h and
# PortCheck.h. Prints every include that breaks it and fails; silent otherwise.
set -uo pipefail
cd "$(dirname "$0")/.."
found=$(
  grep -rnE '#include "(link|sim|device|production|app|dialogs|cli)/' core
  grep -rnE '#include "(sim|device|production|app|dialogs|cli)/' link
  grep -rnE '#include "(device|production|app|dialogs|cli|link)/' sim | grep -v 'link/IoSpace\.h'
  grep -rnE '#include "(sim|production|app|dialogs|cli)/' device
  grep -rnE '#include "core/model/ProgramState\.h"' device
  grep -rnE '#include "(sim|app|dialogs|cli)/' production
  grep -rnE '#include "(link|sim|device|production|app|cli)/' dialogs
  grep -rnE '#include "link/' app cli | grep -vE 'link/(Backend|IoSpace|PortCheck)\.h'
  grep -rnE '#include "(app|dialogs)/' cli
  grep -rnE '#include "sim/' cli | grep -v '^cli/BoardConnection\.cpp:'
  grep -rnE '#include "cli/' app
  grep -rnE '#include "sim/' app | grep -vE '^app/SimulatedMachine\.(h|cpp):'
  grep -rnE '#include <Q' core link sim device production cli
)
if [ -n "$found" ]; then
  echo "includes that break the layering rule (see HACKING.md):"
  echo "$found"
  exit 1
fi
