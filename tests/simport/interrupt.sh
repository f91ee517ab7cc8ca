# kaldo-cli as built for hardware, stopped by SIGINT in the programming pass of a write through
# the simulated PC behind /dev/parport0: exit status 130, the board idle at the end of the port's
# trace, the chips saved. And a ppdev client that is not KALDO (Python's fcntl.ioctl) claims the
# port and reads the board's status.
#
# interrupt.sh KALDO-CLI SIMPORT.SH LIBRARY
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/lib.sh"
. "$HERE/../cli/trace-ends-idle.sh"

# 1 KB for the AT89C2051: a programming pass of two seconds.
awk 'BEGIN {
  for (a = 0; a < 1024; a += 16) {
    line = sprintf(":10%04X00", a); sum = 16 + int(a / 256) + a % 256
    for (i = 0; i < 16; i++) { b = (a + i * 7) % 255; line = line sprintf("%02X", b); sum += b }
    printf "%s%02X\r\n", line, (256 - sum % 256) % 256
  }
  printf ":00000001FF\r\n"
}' >k.hex

env --default-signal=INT bash "$SIMPORT" st --trace t.txt -- \
  "$CLI" --port /dev/parport0 --device 89C2051 --progress json write k.hex >out.txt 2>err.txt &
pid=$!
for _ in $(seq 1200); do  # a minute at most: a hang, not a verdict
  grep -q '"operation": "Programming"' err.txt && break
  sleep 0.05
done
kill -INT "$pid"
wait "$pid"
rc=$?
[ "$rc" = 130 ] || fail "exit status $rc after SIGINT, want 130: $(cat out.txt err.txt)"
grep -q '"operation": "Programming"' err.txt || fail "the write never reached its programming pass"
why=$(trace_ends_idle t.txt 0378 no) || fail "the board is not idle at the end: $why"
"$CLI" --sim st --device 89C2051 read r.hex >/dev/null || fail "the chips were not saved"

if command -v python3 >/dev/null; then
  for row in "FF" "7F --no-board"; do
    read -r status opts <<<"$row"
    # shellcheck disable=SC2086
    got=$(bash "$SIMPORT" py.state $opts -- python3 "$HERE/ppdev_client.py" "$status" 2>&1) ||
      fail "python ppdev client ${opts:-with the board}: $got"
    [ "$got" = "status $status" ] || fail "python ppdev client ${opts:-with the board}: $got"
  done
fi

finish
