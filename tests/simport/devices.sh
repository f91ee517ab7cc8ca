# kaldo-cli as built for hardware (--port, the ppdev backend, the host's clock) on the simulated PC
# behind /dev/parportN: every device of `kaldo-cli devices` written, verified, read and identified
# live, with the same outcomes and the same chips afterwards as kaldo-cli --sim; the fault choices
# (empty socket, no board, another chip) with the same texts. The runs keep the chips' real times,
# so the devices run all at once (their waits mostly sleep).
#
# devices.sh KALDO-CLI SIMPORT.SH LIBRARY
. "$(dirname "$0")/lib.sh"

# 16 bytes at 0000.
printf ':10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n' >x.hex

# same_run NAME SIMPORT-OPTIONS -- KALDO-CLI-ARGS...: the command through the library on lib.state
# and with --sim on sim.state (the simulator faults as the library's options), exit status, stdout
# and stderr alike. The command's files are named with "@", which becomes lib or sim.
same_run() {
  local name=$1 opts=() sim=() args=() a
  shift
  while [ "$1" != -- ]; do
    opts+=("$1")
    case $1 in --socket) sim+=(--socket "$2") ;; --empty-socket | --no-board) sim+=("$1") ;; esac
    shift
  done
  shift
  for a in "$@"; do args+=("${a//@/lib}"); done
  bash "$SIMPORT" lib.state "${opts[@]}" -- "$CLI" "${args[@]}" >lib.out 2>lib.err
  echo "exit $?" >>lib.out
  args=()
  for a in "$@"; do args+=("${a//@/sim}"); done
  "$CLI" --sim sim.state "${sim[@]}" "${args[@]}" >sim.out 2>sim.err
  echo "exit $?" >>sim.out
  cmp -s lib.out sim.out && cmp -s lib.err sim.err ||
    fail "$name: through ppdev: $(cat lib.out lib.err) -- with --sim: $(cat sim.out sim.err)"
}

# device INDEX NAME: the four commands on one device, then the chips of the two state files.
device() {
  local ports=(/dev/parport0 lpt1 /dev/parport1) port d=$2
  port=${ports[$(($1 % 3))]}
  mkdir "$d" && cd "$d" || return
  same_run "$d write" -- --port "$port" --device "$d" write ../x.hex
  grep -q '^Programming/Verify OK$' lib.out || fail "$d write: $(cat lib.out lib.err)"
  same_run "$d verify" -- --port "$port" --device "$d" verify ../x.hex
  same_run "$d read" -- --port "$port" --device "$d" read @.hex
  cmp -s lib.hex sim.hex || fail "$d read: the files differ"
  same_run "$d identify" -- --port "$port" --device "$d" identify
  cmp -s lib.state sim.state || fail "$d: the chips differ: $(diff lib.state sim.state | head -5)"
  "$CLI" --sim lib.state --device "$d" verify ../x.hex >/dev/null ||
    fail "$d: kaldo-cli --sim does not verify what was written through ppdev"
}

mapfile -t names < <("$CLI" devices | awk '{ print $1 }')
[ "${#names[@]}" -gt 0 ] || fail "kaldo-cli devices lists none"
for i in "${!names[@]}"; do
  (
    failures=0
    device "$i" "${names[$i]}"
    exit $((failures > 0))
  ) >"${names[$i]}.log" 2>&1 &
done
wait
for i in "${!names[@]}"; do
  grep FAIL "${names[$i]}.log" && failures=$((failures + 1))
done

# The fault choices, on the 89C2051 (the same texts as kaldo-sim's through kaldo-cli --sim).
mkdir faults && cd faults || exit 1
same_run "empty socket" --empty-socket -- --port /dev/parport0 --device 89C2051 write ../x.hex
same_run "no board" --no-board -- --port /dev/parport0 --device 89C2051 verify ../x.hex
same_run "another chip" --socket 89C4051 -- --port /dev/parport0 --device 89C2051 write ../x.hex
grep -q 'AT89C4051' lib.out lib.err || fail "another chip is not named: $(cat lib.out lib.err)"
same_run "another chip identified" --socket 89S52 -- --port /dev/parport0 identify
cd ..

finish
