#!/usr/bin/env bash
# Installs what is needed, builds, and starts KALDO on the simulated programmer board.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/app/kaldo-sim ]; then
  exec build/app/kaldo-sim
else
  exec build/cli/kaldo-cli --help
fi
