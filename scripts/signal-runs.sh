#!/bin/bash
# Stops kaldo-cli on the simulated PC with signals at random moments and checks what it leaves:
# the exit status 128 + the first signal, the board idle at the end of the trace (control register
# 0x07, mode bit 7 latched, data outputs released, the timer as it was found), no temporary file,
# a state file that loads and an output file that is whole or absent. A third of the runs send
# the signal while the file read is being saved (when its temporary file appears). SIGPIPE is not
# sent but comes as it does in a pipeline: the reader of the progress lines on stderr goes away.
#
#   bash scripts/signal-runs.sh build/cli/kaldo-cli [RUNS]
set -uo pipefail
CLI=$(realpath "$1")
RUNS=${2:-200}
WORK=$(mktemp -d)
# Only the script itself removes it: bash may run the EXIT trap in a subshell that a signal ends.
trap '[ "$BASHPID" = "$$" ] && rm -rf "$WORK"' EXIT
. "$(dirname "$0")/../tests/cli/trace-ends-idle.sh"
cd "$WORK"

# A whole AT89C2051 image, no byte of it blank.
awk 'BEGIN {
  for (a = 0; a < 2048; a += 16) {
    line = sprintf(":10%04X00", a); sum = 16 + int(a / 256) + a % 256
    for (i = 0; i < 16; i++) { b = (a + i * 7) % 255; line = line sprintf("%02X", b); sum += b }
    printf "%s%02X\r\n", line, (256 - sum % 256) % 256
  }
  printf ":00000001FF\r\n"
}' >image.hex

# The board idle at the end of the trace; a trace without a write: the board was never touched.
ends_idle() {
  [ -s trace ] && grep -q ' W ' <(head -c 100000 trace) || return 0
  trace_ends_idle trace >/dev/null
}

signals=(INT TERM HUP QUIT PIPE)
declare -A count
problems=0
problem() {
  echo "run $run ($kind, SIG${sent// /,SIG} at ${delay:-the save}): $*"
  problems=$((problems + 1))
}

for run in $(seq 1 "$RUNS"); do
  rm -f trace out.hex err.pipe
  delay=
  case $((run % 3)) in
    0) kind=write delay=$(awk -v r=$RANDOM 'BEGIN { printf "%.3f", r / 32768 * 4.3 }') ;;
    1) kind=read delay=$(awk -v r=$RANDOM 'BEGIN { printf "%.3f", r / 32768 * 0.9 }') ;;
    2) kind=save ;;
  esac
  # Nothing is written to stderr while the file is saved: no broken pipe then.
  choices=${#signals[@]}
  [ $kind = save ] && choices=4
  sent=${signals[RANDOM % choices]}
  if [ "$sent" != PIPE ] && ((RANDOM % 4 == 0)); then
    sent="$sent ${signals[RANDOM % 4]}"  # a second one right after
  fi
  stderr=err progress=none
  if [ "$sent" = PIPE ]; then
    # The progress lines go to a reader that goes away after the delay; what it read is kept.
    mkfifo err.pipe
    timeout "$delay" cat <err.pipe >err &
    reader=$!
    stderr=err.pipe progress=json
  fi
  if [ $kind = write ]; then
    env --default-signal=INT,QUIT "$CLI" --sim st --trace trace --device 89C2051 \
      --progress $progress write image.hex >out 2>$stderr &
  else
    env --default-signal=INT,QUIT "$CLI" --sim st --trace trace --device 89C2051 \
      --progress $progress read out.hex >out 2>$stderr &
  fi
  pid=$!
  if [ "$sent" = PIPE ]; then
    wait $reader  # gone after the delay
    kill -0 $pid 2>/dev/null && delivered=1 || delivered=0
  else
    if [ -n "$delay" ]; then
      sleep "$delay"
    else
      while kill -0 $pid 2>/dev/null && ! compgen -G '.out.hex.tmp*' >/dev/null; do :; done
    fi
    delivered=0
    for s in $sent; do kill -s "$s" $pid 2>/dev/null && delivered=1; done
  fi
  wait $pid
  rc=$?
  first=${sent%% *}
  # Two signals pending at once are taken lowest number first: then the second one sent may be the
  # first one the program takes.
  second=${sent#* }
  if [ "$second" != "$first" ] && [ $rc = $((128 + $(kill -l "$second"))) ] &&
    [ "$(kill -l "$second")" -lt "$(kill -l "$first")" ]; then
    count[two at once, the lower one taken first]=$((${count[two at once, the lower one taken first]:-0} + 1))
    first=$second
  fi
  if [ $delivered = 0 ]; then
    count[finished before the signal]=$((${count[finished before the signal]:-0} + 1))
    [ $rc = 0 ] || problem "finished before the signal with exit $rc"
  elif [ "$sent" = PIPE ] && [ $rc = 0 ]; then
    # Gone after the last progress line: nothing more was written to it.
    count[the reader went after the last line]=$((${count[the reader went after the last line]:-0} + 1))
  elif [ $rc = $((128 + $(kill -l "$first"))) ]; then
    # Stopped by a broken pipe: the message went where the progress lines went, to nobody.
    if [ "$sent" = PIPE ] && [ "$(grep -vc '^{"operation"' err)" = 0 ]; then
      count[stopped: the reader of stderr went away]=$((${count[stopped: the reader of stderr went away]:-0} + 1))
    elif [ "$(cat err)" = "Interrupted: the board was reset" ]; then
      count[stopped: 128+N and the message]=$((${count[stopped: 128+N and the message]:-0} + 1))
    elif [ ! -s err ] && [ ! -e st ]; then
      count[ended before the board was touched]=$((${count[ended before the board was touched]:-0} + 1))
    else
      problem "exit $rc, stderr: $(cat err)"
    fi
  elif [ $rc = 0 ]; then
    count[exited, not yet reaped, when signalled]=$((${count[exited, not yet reaped, when signalled]:-0} + 1))
  else
    problem "exit $rc, want $((128 + $(kill -l "$first"))); stderr: $(cat err)"
  fi
  ends_idle || problem "the trace does not end with the board idle"
  left=$(find . -name '*.tmp*' -o -name '*.new*')
  [ -z "$left" ] || problem "left behind: $left"
  if [ -e out.hex ] && [ "$(tail -1 out.hex | tr -d '\r')" != ":00000001FF" ]; then
    problem "out.hex is not whole"
  fi
  if [ -e st ] && ! "$CLI" --sim st --device 89C2051 signature >/dev/null 2>&1; then
    problem "the state file does not load"
    rm -f st
  fi
  [ $kind = save ] && [ $delivered = 1 ] && count[sent while saving]=$((${count[sent while saving]:-0} + 1))
done

echo "$RUNS runs:"
for k in "${!count[@]}"; do echo "  $k: ${count[$k]}"; done
echo "problems: $problems"
[ $problems = 0 ]
