# kaldo-cli produce with several boards on the simulated PC: what it refuses, a run on two boards
# at once (one log, one counter, each chip its own number), and the end by a signal.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/trace-ends-idle.sh"
cd "$WORK"

fail() { echo "FAIL $1"; failures=$((failures + 1)); }

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
S="--sim st --device 89C2051"
TWO="--port lpt1 --port 0xd010"
usage="\nTry 'kaldo-cli --help'."

#     name                     exit stdout  stderr  arguments
check "one port twice"         2 '' "kaldo-cli: --port names the port at 0x0378 twice: each board needs a port of its own$usage" $S --port lpt1 --port 0x378 produce a.hex
check "a port the PC lacks"    2 '' "kaldo-cli: the simulated PC has no port at 0x0278 (it has /dev/parport0 (0x0378), /dev/parport1 (0xD010))$usage" $S --port lpt1 --port lpt2 produce a.hex
check "several for write"      2 '' "kaldo-cli: --port is given 2 times: only produce drives several boards at once$usage" $S $TWO write a.hex
[ -e st ] || [ -e st.parport0 ] && fail "a refused run made a state file"

# Two boards, each fed from the list by an operator of its own: 8 chips in all, taken by each board
# at its own pace (either may write most of them: each list has enough for the whole run); the
# third chip of each list will not program.
"$CLI" $S $TWO --sim-supply 'empty,good*2,stuck:2,good*5' --count 8 --serial 100:bin-be2:500 \
  --log log produce a.hex >out 2>err
rc=$?
failed=$(grep -c ',failed,' log)
[ "$rc" = $((failed > 0)) ] || fail "two boards: exit $rc with $failed failed, $(cat out err)"
grep -qF "chips done: $(grep -c ',OK,' log), failed: $failed, " out || fail "two boards: summary $(tail -1 out)"
tr -d '\a' <out | grep -v '^chips done' | grep -v '^\(lpt1\|0xd010\): ' && fail "two boards: a line without its port"
[ "$(tail -n +2 log | wc -l)" = 8 ] || fail "two boards: log $(cat log)"
[ "$(cut -d, -f4 log | tail -n +2 | sort -n | tr '\n' ' ')" = "1 2 3 4 5 6 7 8 " ] || fail "two boards: chip numbers"
grep -q "^next $((500 + $(grep -c ',OK,' log)))$" log.counter && grep -q '^returned$' log.counter || fail "two boards: counter $(cat log.counter)"
# Each board's good chips, in the order it wrote them, hold the image and their own numbers.
for board in lpt1:parport0 0xd010:parport1; do
  port=${board%:*}
  file=${board#*:}
  # Each board takes chips as its pace allows; each follows its own list.
  results=$(grep ",$port,AT89C2051," log | cut -d, -f8,9,10,11 | tr '\n' ' ')
  case "OK,,, OK,,, failed,0002,FF,56 OK,,, OK,,, OK,,, OK,,, OK,,, " in
    "$results"*) ;;
    *) fail "two boards: $port logged $results" ;;
  esac
  supplied=1
  for serial in $(grep ",$port,.*,OK," log | cut -d, -f5); do
    supplied=$((supplied + 1))
    [ $supplied = 4 ] && supplied=5  # the third chip of each list will not program
    printf ':0400000012345678E8\r\n:02010000%04X' "$serial" >want.hex
    printf '%02X\r\n:00000001FF\r\n' $(((0x100 - (2 + 1 + (serial >> 8) + (serial & 255))) & 255)) >>want.hex
    "$CLI" --sim st.$file --device 89C2051 --sim-supplied $((supplied - 1)) verify want.hex >/dev/null 2>&1 ||
      fail "two boards: $port chip $((supplied - 1)) does not hold serial $serial"
  done
done

# Ctrl-C while both boards wait for the socket ends a run without --count; with --count it is a
# stop (130). The boards end idle either way.
for run in ":0" "--count 4:130"; do
  count=${run%:*}
  want=${run#*:}
  rm -f t.* out  # the wait below must see this run's own lines
  env --default-signal=INT "$CLI" $S $TWO --empty-socket --trace t produce a.hex $count >out 2>err &
  pid=$!
  for _ in $(seq 2400); do
    [ "$(grep -c 'insert chip' out 2>/dev/null)" = 2 ] && break
    sleep 0.05
  done
  kill -INT $pid
  wait $pid
  rc=$?
  [ "$rc" = "$want" ] || fail "Ctrl-C $count: exit $rc, want $want: $(cat out err)"
  for board in parport0:0378 parport1:D010; do
    msg=$(trace_ends_idle t.${board%:*} ${board#*:}) || fail "Ctrl-C $count: ${board%:*} trace: $msg"
  done
done

finish
