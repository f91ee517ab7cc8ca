#!/bin/bash
# Stops production runs of ten chips on the simulated PC with a signal at a random moment (while
# the run waits for a chip, writes one or waits for the socket to empty, or as it ends) and checks
# what they leave: the exit status 128 + the signal (or 1, this supply having faulty chips, when
# the run ended first), a log that parses (the header, twelve fields on every line, a known
# result, a serial number only on an OK line, each one once and held by its chip), a counter at
# the start plus a step for each OK line with nothing handed back, a summary that counts as the
# log does, the board idle at the end of the trace and no temporary file. SIGPIPE is not sent but
# comes as it does in a pipeline: the reader of the run's stdout goes away.
#
#   bash scripts/produce-signal-runs.sh build/cli/kaldo-cli [RUNS] [LATEST]
#
# RUNS: 20 unless given. LATEST: the last chip (1 to 10) the signal may come at, 10 unless given;
# a traced run takes some seconds a chip.
set -uo pipefail
CLI=$(realpath "$1")
RUNS=${2:-20}
LATEST=${3:-10}
WORK=$(mktemp -d)
# Only the script itself removes it: bash may run the EXIT trap in a subshell that a signal ends.
trap '[ "$BASHPID" = "$$" ] && rm -rf "$WORK"' EXIT
. "$(dirname "$0")/../tests/cli/trace-ends-idle.sh"
cd "$WORK"

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
device=89C1051
# Ten chips: two of them fail, one is another device's.
supply='empty,good*2,stuck:1,good,89C2051,empty,good,locked,good*3'
chips=10
header="time,port,device,chip,serial,signature,crc32,result,address,read,expected,seconds"

# Where the signal may come: after the text the run printed, then a random while more.
moments=()
for ((k = 1; k <= LATEST; k++)); do moments+=("insert chip $k of $chips" "remove chip $k"); done
((LATEST == chips)) && moments+=("chips done")

signals=(INT TERM HUP QUIT PIPE)
declare -A count
problems=0
problem() {
  echo "run $run (SIG$signal after '$moment' and ${delay}s): $*"
  problems=$((problems + 1))
}

for run in $(seq 1 "$RUNS"); do
  rm -f st log log.counter out err trace trace.head trace.tail trace.pipe back.bin out.pipe
  signal=${signals[RANDOM % ${#signals[@]}]}
  moment=${moments[RANDOM % ${#moments[@]}]}
  delay=$(awk -v r=$RANDOM 'BEGIN { printf "%.2f", r / 32768 * 3 }')
  start=$((RANDOM * 1000)) step=$((RANDOM % 5 + 1))
  # The trace of a run is some 17 MB a simulated second: only its start and its end are kept.
  mkfifo trace.pipe
  { head -c 1000000 >trace.head && tail -c 30000000 >trace.tail; } <trace.pipe &
  reader=$!
  stdout=out
  if [ $signal = PIPE ]; then
    # A reader of stdout that keeps the lines up to the moment, and goes the delay after it.
    mkfifo out.pipe
    { while IFS= read -r line; do
        printf '%s\n' "$line" >>out
        [[ $line =~ $moment([ :]|$) ]] && break
      done
      sleep "$delay"; } <out.pipe &
    lines_reader=$!
    stdout=out.pipe
  fi
  env --default-signal=INT,QUIT "$CLI" --sim st --trace trace.pipe --device $device \
    --sim-supply "$supply" --count $chips --serial "200:bin-be4:$start:$step" --log log \
    produce a.hex >$stdout 2>err &
  pid=$!
  if [ $signal = PIPE ]; then
    wait $lines_reader
  else
    end=$((SECONDS + 300))  # a hang, not a verdict
    until grep -qE "$moment([ :]|\$)" out 2>/dev/null || ! kill -0 $pid 2>/dev/null; do
      [ $SECONDS -ge $end ] && problem "'$moment' not seen in five minutes" && break
      sleep 0.05
    done
    sleep "$delay"
    kill -s "$signal" $pid 2>/dev/null
  fi
  wait $pid
  rc=$?
  wait $reader
  cat trace.head trace.tail >trace

  oks=$(awk -F, 'NR > 1 && $8 == "OK"' log | wc -l)
  lines=$(($(wc -l <log) - 1))
  ended=$(awk -F, 'NR > 1 && $8 != "stopped"' log | wc -l)
  if [ "$rc" = $((128 + $(kill -l "$signal"))) ]; then
    [ "$(cat err)" = "Interrupted: the board was reset" ] || problem "exit $rc, stderr: $(cat err)"
    last=$(tail -1 log | cut -d, -f8)
    if [ $lines -gt 0 ] && [ "$last" = stopped ]; then
      count[stopped writing a chip, logged as stopped]=$((${count[stopped writing a chip, logged as stopped]:-0} + 1))
    elif [ "$ended" = $chips ]; then
      count[stopped after the last chip]=$((${count[stopped after the last chip]:-0} + 1))
    else
      count[stopped between chips]=$((${count[stopped between chips]:-0} + 1))
    fi
  elif [ "$rc" = 1 ] && [ "$ended" = $chips ] && [ ! -s err ]; then
    count[ended before the signal]=$((${count[ended before the signal]:-0} + 1))
  else
    problem "exit $rc after $ended chips; stderr: $(cat err)"
  fi

  [ "$(head -1 log)" = "$header" ] || problem "the log's first line: $(head -1 log)"
  awk -F, -v chips=$chips 'NR > 1 && (NF != 12 || $4 != NR - 1 || NR - 1 > chips ||
      $8 !~ /^(OK|failed|wrong chip|stopped)$/ || ($5 != "") != ($8 == "OK")) { exit 1 }' log ||
    problem "the log does not parse: $(cat log)"
  [ -z "$(awk -F, '$8 == "OK" { print $5 }' log | sort | uniq -d)" ] || problem "a number twice: $(cat log)"
  [ "$(awk -F, 'NR > 1 && $8 == "stopped"' log | wc -l)" -le 1 ] || problem "more than one chip stopped: $(cat log)"
  # A counter file that is still empty: no number was ever taken.
  [ -s log.counter ] || printf 'next %s\nreturned\n' $start >log.counter
  [ "$(sed -n 's/^next //p' log.counter)" = $((start + step * oks)) ] &&
    [ "$(sed -n '/^returned/p' log.counter)" = returned ] ||
    problem "the counter, after $oks OK lines from $start in steps of $step: $(cat log.counter)"
  summary=$(tail -1 out)
  # The lines after the moment went to no one.
  [ $signal = PIPE ] && [ "$moment" != "chips done" ] ||
  [[ $summary =~ ^chips\ done:\ $oks,\ failed:\ $((ended - oks)),\ chips\ per\ hour:\ [0-9]+\.[0-9]$ ]] ||
    problem "summary '$summary' for $oks OK of $ended"
  trace_ends_idle trace >/dev/null || problem "the trace does not end with the board idle: $(trace_ends_idle trace)"
  left=$(find . -name '*.tmp*' -o -name '*.new*')
  [ -z "$left" ] || problem "left behind: $left"
  while IFS=, read -r chip serial; do
    "$CLI" --sim st --device $device --sim-supplied "$chip" read back.bin >/dev/null 2>&1 &&
      [ "$(od -An -tx1 -j 512 -N 4 back.bin | tr -d ' \n')" = "$(printf %08x "$serial")" ] ||
      problem "chip $chip does not hold its number $serial"
  done < <(awk -F, '$8 == "OK" { print $4 "," $5 }' log)
done

echo "$RUNS runs:"
for k in "${!count[@]}"; do echo "  $k: ${count[$k]}"; done
echo "problems: $problems"
[ $problems = 0 ]
