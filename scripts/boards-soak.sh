#!/bin/bash
# Production runs of 20 chips on two simulated boards, each board's supply holding ten: every run
# must end (exit 0) with 20 good chips logged, ten on each board, whatever the threads' pace.
# RUNS of them as separate kaldo-cli processes, and, when the command-line test program is given,
# RUNS more one after another in its one process (no state of a run may reach the next).
#
#   bash scripts/boards-soak.sh build/cli/kaldo-cli [RUNS] [build/tests/cli/cli_tests]
#
# RUNS: 200 unless given. A run that has not ended after HANG seconds (600 unless set) is stopped
# and counted as hung: a bound for a hang, not a verdict on speed. The seconds per run are printed
# as figures.
set -uo pipefail
CLI=$(realpath "$1")
RUNS=${2:-200}
TESTS=${3:+$(realpath "$3")}
HANG=${HANG:-600}
WORK=$(mktemp -d)
# Only the script itself removes it: bash may run the EXIT trap in a subshell that a signal ends.
trap '[ "$BASHPID" = "$$" ] && rm -rf "$WORK"' EXIT
cd "$WORK"

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
failures=0
began=$(date +%s.%N)
for ((run = 1; run <= RUNS; run++)); do
  rm -f st* log*
  "$CLI" --sim st --device 89C2051 --port lpt1 --port 0xd010 --sim-supply 'empty,good*10' \
    --count 20 --serial 7FE:bin-le2:1 --log log produce a.hex >out 2>err &
  pid=$!
  for ((waited = 0; waited < HANG * 10; waited++)); do
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 $pid 2>/dev/null; then
    # The processor time it has had tells a spin from a process the machine starves.
    read -r -a stat </proc/$pid/stat
    echo "process run $run still running after ${HANG} s, $(((stat[13] + stat[14]) / $(getconf CLK_TCK))) s of processor time:"
    command -v gdb >/dev/null && gdb -p $pid -batch -ex 'thread apply all bt' 2>/dev/null | grep '^#\|^Thread'
    kill -TERM $pid
    tail -n 4 out log
  fi
  wait $pid
  rc=$?
  per_board=$(grep ',OK,' log 2>/dev/null | cut -d, -f2 | sort | uniq -c | awk '{print $2 "=" $1}' | tr '\n' ' ')
  if [ "$rc" != 0 ] || [ "$per_board" != "0xd010=10 lpt1=10 " ]; then
    echo "FAIL process run $run: exit $rc, good chips by board: $per_board$(tail -n 3 out err)"
    failures=$((failures + 1))
  fi
  ((run % 20 == 0)) && echo "separate processes: $run runs, $failures failed"
done
ended=$(date +%s.%N)
echo "separate processes: $RUNS runs, $failures failed, $(echo "($ended - $began) / $RUNS" | bc -l | cut -c1-5) s a run"

if [ -n "$TESTS" ]; then
  began=$(date +%s.%N)
  # One run a repetition, so that the runs done show as they end.
  if KALDO_BOARD_RUNS=1 timeout -s TERM $((HANG * RUNS)) "$TESTS" --gtest_repeat="$RUNS" \
    --gtest_filter='ProductionRun.TwoBoardRunsInOneProcess*' >inprocess 2>&1; then
    ended=$(date +%s.%N)
    echo "one process: $RUNS runs ended, $(echo "($ended - $began) / $RUNS" | bc -l | cut -c1-5) s a run"
  else
    echo "FAIL one process: $(grep -m3 -A3 'Failure\|FAILED' inprocess || tail -5 inprocess)"
    failures=$((failures + 1))
  fi
fi
[ "$failures" = 0 ] && echo "all runs ended with their chips"
exit $((failures > 0))
