# kaldo-cli stopped by a signal in the middle of a write: the routine stops, the board is reset,
# the timer put back, the trace completed and the chips saved; exit status 128 + the signal.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/trace-ends-idle.sh"
cd "$WORK"

fail() { echo "FAIL $1"; failures=$((failures + 1)); }

# A whole AT89C51 image: 4096 bytes, none of them blank.
awk 'BEGIN {
  for (a = 0; a < 4096; a += 16) {
    line = sprintf(":10%04X00", a); sum = 16 + int(a / 256) + a % 256
    for (i = 0; i < 16; i++) { b = (a + i * 7) % 255; line = line sprintf("%02X", b); sum += b }
    printf "%s%02X\r\n", line, (256 - sum % 256) % 256
  }
  printf ":00000001FF\r\n"
}' >big.hex

# Starts kaldo-cli in the background as a user's shell would: a background job of a script starts
# with SIGINT and SIGQUIT ignored, and the program leaves a signal ignored that was ignored when it
# started (nohup). IGNORED: the signals to start it with ignored.
start() {
  local ignored=$1
  shift
  env --default-signal=INT,QUIT ${ignored:+--ignore-signal=$ignored} "$CLI" "$@" >out.txt 2>err.txt &
  pid=$!
}

# Waits until the write is in the programming pass: start-up, the signature check, the 500 ms
# settles and the erase make about 36 MB of trace (some 17 MB a simulated second); the pass then
# writes a byte every 2 ms for 8 s.
in_programming_pass() {
  for _ in $(seq 2400); do  # two minutes at most: a hang, not a verdict
    [ "$(stat -c %s t.txt 2>/dev/null || echo 0)" -gt 45000000 ] && break
    sleep 0.05
  done
}

# SIGNALS: sent one right after the other (two that are pending at once are taken lowest number
# first, so the first one sent is the lower); IGNORED: as for start. The first one that is not
# ignored stops the write.
for run in INT: TERM: HUP: QUIT: HUP,TERM:HUP INT,TERM:; do
  signals=${run%:*}
  ignored=${run#*:}
  signal=${signals%%,*}
  [ "$signal" = "$ignored" ] && signal=${signals#*,}
  rm -f st t.txt
  start "$ignored" --sim st --trace t.txt --device 89C51 write big.hex
  in_programming_pass
  for s in ${signals//,/ }; do kill -s "$s" "$pid"; done
  wait "$pid"
  rc=$?
  want=$((128 + $(kill -l "$signal")))
  [ "$rc" = "$want" ] || fail "SIG$signal: exit $rc, want $want"
  [ "$(cat err.txt)" = "Interrupted: the board was reset" ] || fail "SIG$signal: stderr $(cat err.txt)"
  [ -s out.txt ] && fail "SIG$signal: stdout $(cat out.txt)"
  trace_ends_idle t.txt || fail "SIG$signal: the trace does not end idle"
  # The state file loads, and holds the chip as far as it was written.
  "$CLI" --sim st --device 89C51 read part.hex >/dev/null || fail "SIG$signal: the state file does not load"
  [ "$(head -1 part.hex)" = "$(head -1 big.hex)" ] || fail "SIG$signal: the first bytes were not kept"
  [ "$(sed -n 256p part.hex)" != "$(sed -n 256p big.hex)" ] || fail "SIG$signal: the write was not cut short"
done

# identify stopped in its second signature read (an empty socket: every procedure runs, some
# 17 MB of trace a simulated second): the board is reset all the same, and nothing is printed.
rm -f st t.txt
start "" --sim st --trace t.txt --empty-socket identify
for _ in $(seq 2400); do
  [ "$(stat -c %s t.txt 2>/dev/null || echo 0)" -gt 20000000 ] && break
  sleep 0.05
done
kill -s INT "$pid"
wait "$pid"
rc=$?
[ "$rc" = 130 ] || fail "identify, SIGINT: exit $rc, want 130"
[ "$(cat err.txt)" = "Interrupted: the board was reset" ] || fail "identify, SIGINT: stderr $(cat err.txt)"
[ -s out.txt ] && fail "identify, SIGINT: stdout $(cat out.txt)"
trace_ends_idle t.txt || fail "identify, SIGINT: the trace does not end idle"

# A reader that goes away (| head): the write to the broken pipe stops the command as a signal
# does, with the board idle, the chips saved and SIGPIPE's status, 141. The write's message goes
# to the pipe with its progress lines; produce's lines go there alone.
printf ':0400000012345678E8\r\n:00000001FF\r\n' >small.hex
for name in write produce; do
  rm -f st t.txt
  if [ $name = write ]; then
    device=89C51
    "$CLI" --sim st --trace t.txt --progress json --device $device write big.hex 2>&1 | head -3 >/dev/null
  else
    device=89C1051
    "$CLI" --sim st --trace t.txt --device $device --sim-supply 'good*3' --count 3 produce small.hex \
      2>err.txt | head -2 >/dev/null
  fi
  rc=${PIPESTATUS[0]}
  [ "$rc" = 141 ] || fail "$name | head: exit $rc, want 141"
  [ $name = write ] || [ "$(cat err.txt)" = "Interrupted: the board was reset" ] ||
    fail "$name | head: stderr $(cat err.txt)"
  trace_ends_idle t.txt || fail "$name | head: the trace does not end idle"
  "$CLI" --sim st --device $device signature >/dev/null || fail "$name | head: the state file does not load"
done

# A signal while a file is saved (the one read, or the one converted to): the file is completed,
# then the program ends with the first signal's status; nothing is left behind. The file is a pipe
# whose reader comes only after the signals, so they arrive while the save waits for it.
mkfifo out.pipe
for command in read convert; do
  rm -f st
  if [ $command = read ]; then
    start "" --sim st --device 89C2051 read out.pipe
    said="Interrupted: the board was reset"
  else
    start "" convert big.hex out.pipe
    said=""
  fi
  for _ in $(seq 600); do
    [ "$(cat /proc/$pid/wchan 2>/dev/null)" = wait_for_partner ] && break
    sleep 0.05
  done
  # Two signals at once are taken lowest number first, so the first one sent is the lower.
  kill -s INT "$pid"
  kill -s TERM "$pid"
  timeout 60 cat out.pipe >saved.hex
  wait "$pid"
  rc=$?
  [ "$rc" = 130 ] || fail "$command, signal while saving: exit $rc, want 130"
  [ "$(cat err.txt)" = "$said" ] || fail "$command, signal while saving: stderr $(cat err.txt)"
  [ $command = read ] && [ -s out.txt ] && fail "read, signal while saving: stdout $(cat out.txt)"
  [ "$(tail -1 saved.hex | tr -d '\r')" = ":00000001FF" ] || fail "$command, signal while saving: the file was not completed"
  [ -z "$(find . -name '*.tmp*')" ] || fail "$command, signal while saving: temporary files left"
done
[ "$(head -1 saved.hex)" = "$(head -1 big.hex)" ] || fail "convert, signal while saving: not the image"

finish
