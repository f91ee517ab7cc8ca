#!/usr/bin/env bash
# The kernel rig's timings as ratios: runs the vm label (or the scenarios named by a ctest -R
# pattern) in a build folder and prints each scenario's time and the label's over the time the
# label is allowed in all; for each write the rig timed, its wall time over its board time (with
# and without the time the host kept the emulated processor waiting); and for each wait the probe
# timed, its median and longest over its nominal time. Figures, not verdicts: measure on an
# otherwise idle machine and compare runs of one machine.
#
#   bash bench/vm-figures.sh [BUILD_DIR] [SCENARIO_PATTERN]
set -euo pipefail
build=${1:-build}
pattern=${2:-}
label_budget_s=180 # the whole vm label, every scenario booted one after the other
[ -d "$build/tests/vm" ] || { echo "no kernel rig in $build (build with the tests first)"; exit 2; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --test-dir "$build" -L vm ${pattern:+-R "$pattern"} --output-on-failure >"$log" || true
# "1/9 Test #42: vm_a-ppdev-root .......   Passed   29.48 sec" ("***Failed" for a failure)
awk -v budget="$label_budget_s" '
  / Test +#[0-9]+: vm_/ {
    status = $(NF - 2)
    sub(/.*\*\*\*/, "", status)
    status = status == "Passed" ? "" : " (" status ")"
    printf "%-44s time/allowed %.3f%s\n", $4, $(NF - 1) / budget, status
    total += $(NF - 1)
    n++
  }
  END {
    if (!n) exit
    printf "%-44s time/allowed %.3f (%.0f s of %d s)\n",
      n (n == 1 ? " scenario" : " scenarios") " in all", total / budget, total, budget
  }' "$log"
for figures in "$build"/tests/vm/*/figures.txt; do
  [ -e "$figures" ] || continue
  awk '
    / wall [0-9]+ ms, board [0-9]+ ms/ {
      for (i = 1; i <= NF; i++) {
        if ($i == "wall") w = $(i + 1)
        if ($i == "board") b = $(i + 1)
        if ($i == "waiting") h = $(i + 1)
      }
      label = $0
      sub(/: wall .*/, "", label)
      printf "%-44s wall/board %.3f   (wall - held off)/board %.3f\n", label, w / b, (w - h) / b
    }
    / waits Delay/ {
      for (i = 1; i <= NF; i++) {
        split($i, kv, "=")
        v[kv[1]] = kv[2]
      }
      label = $1 " " $3
      printf "%-44s median/nominal %.3f   max/nominal %.3f\n", label, v["median_us"] / v["nominal_us"],
        v["max_us"] / v["nominal_us"]
    }' "$figures"
done
