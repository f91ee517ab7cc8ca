# Production runs to the end on the simulated PC, the operator feeding good chips and faulty ones:
# which chips pass, what the log says of each, what the good ones hold, where the counter ends;
# two runs at once on one log and one counter, and one log under two names or past its limit.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

fail() { echo "FAIL $1"; failures=$((failures + 1)); }

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
header="time,port,device,chip,serial,signature,crc32,result,address,read,expected,seconds"

# hex_of FILE [OFFSET [LENGTH]]: its bytes (from OFFSET, LENGTH of them) as hex digits.
hex_of() { od -An -tx1 -v -j "${2:-0}" ${3:+-N "$3"} "$1" | tr -d ' \n'; }

# serial_hex FORM WIDTH NUMBER: the number's bytes as they go into the image, as hex digits.
serial_hex() {
  case $1 in
    ascii) printf "%0$2d" "$3" | hex_of - ;;
    bcd) printf "%0$(($2 * 2))d" "$3" ;;
    bin-be) printf "%0$(($2 * 2))x" "$3" ;;
    bin-le) printf "%0$(($2 * 2))x" "$3" | fold -w2 | tac | tr -d '\n' ;;
  esac
}

# crc32 FILE: as the log gives it (gzip ends with the CRC-32 of what it packed, low byte first).
crc32() { gzip -c "$1" | tail -c8 | head -c4 | od -An -tx4 | tr -d ' ' | tr a-f A-F; }

# byte_at FILE ADDR: the byte at hexadecimal ADDR, as the log gives it.
byte_at() { hex_of "$1" $((16#$2)) 1 | tr a-f A-F; }

# split_spec ADDR:FORM:START[:STEP] sets addr, form, width, start and step.
split_spec() {
  local rest formw
  addr=${1%%:*} rest=${1#*:}
  formw=${rest%%:*} rest=${rest#*:}
  start=${rest%%:*} step=1
  [[ $rest == *:* ]] && step=${rest#*:}
  form=${formw%%[0-9]*} width=${formw#"$form"}
  width=${width:-4}
}

# chip_image DEVICE NUMBER OUT: the image with its serial number, as a good chip must hold it.
chip_image() {
  "$CLI" --device "$1" convert a.hex "$3" >/dev/null
  printf %b "$(serial_hex "$form" "$width" "$2" | sed 's/../\\x&/g')" |
    dd of="$3" bs=1 seek=$((16#$addr)) conv=notrunc status=none
}

# lines_are_whole LOG: the header once, at the top, and twelve fields on every line.
lines_are_whole() {
  [ "$(head -1 "$1")" = "$header" ] && [ "$(grep -c "^time," "$1")" = 1 ] &&
    awk -F, 'NF != 12 { exit 1 }' "$1"
}

# produce_case NAME DEVICE SERIAL SUPPLY: runs produce over every chip of SUPPLY and checks the
# outcome against what the supply's chips must give: good and locked chips pass (the erase
# clears the locks), another device's chip is the wrong chip, a stuck cell fails where the image
# (serial number included) is not blank there, and a failed chip's number goes to the next.
produce_case() {
  local name=$1 device=$2 spec=$3 supply=$4 addr form width start step
  split_spec "$spec"
  local items=() item n i
  IFS=, read -ra list <<<"$supply"
  for item in "${list[@]}"; do
    n=1
    [[ $item == *\** ]] && n=${item#*\*} item=${item%\**}
    for ((i = 0; i < n; i++)); do items+=("$item"); done
  done
  local chip=0 next=$start pending="" good=0 failed=0 serial oks=() byte
  rm -f st log log.counter
  for item in "${items[@]}"; do
    [ "$item" = empty ] && continue
    chip=$((chip + 1))
    case $item in
      good | locked | stuck:*)
        serial=${pending:-$next}
        [ -z "$pending" ] && next=$((next + step))
        pending=""
        chip_image "$device" "$serial" "want$chip.bin"
        byte=FF
        [[ $item == stuck:* ]] && byte=$(byte_at "want$chip.bin" "${item#stuck:}")
        if [ "$byte" != FF ]; then
          printf '%d,,failed,%04X,FF,%s\n' "$chip" "0x${item#stuck:}" "$byte"
          pending=$serial failed=$((failed + 1))
        else
          echo "$chip,$serial,OK,,,"
          oks+=("$chip") good=$((good + 1))
        fi
        ;;
      *)
        echo "$chip,,wrong chip,,,"
        failed=$((failed + 1))
        ;;
    esac
  done >want.txt
  "$CLI" --sim st --device "$device" --sim-supply "$supply" --count "$chip" --serial "$spec" \
    --log log produce a.hex >out 2>err
  local rc=$?
  [ "$rc" = $((failed > 0)) ] || fail "$name: exit $rc"
  [ -s err ] && fail "$name: stderr $(cat err)"
  lines_are_whole log || fail "$name: the log is not whole: $(cat log)"
  tail -n +2 log | cut -d, -f4,5,8-11 >got.txt
  cmp -s want.txt got.txt || fail "$name: the log says $(cat got.txt), want $(cat want.txt)"
  tail -1 out | grep -qE "^chips done: $good, failed: $failed, chips per hour: [0-9]+\.[0-9]\$" ||
    fail "$name: summary $(tail -1 out)"
  [ "$(sed -n 's/^next //p' log.counter)" = $((start + step * good)) ] &&
    [ "$(sed -n '/^returned/p' log.counter)" = returned ] || fail "$name: counter $(cat log.counter)"
  for chip in "${oks[@]}"; do
    "$CLI" --sim st --device "$device" --sim-supplied "$chip" read back.bin >/dev/null
    same "$name: chip $chip" "want$chip.bin" back.bin
    [ "$(awk -F, -v c="$chip" '$4 == c { print $7 }' log)" = "$(crc32 back.bin)" ] ||
      fail "$name: chip $chip: crc32 in the log is not that of the chip"
  done
}

#            name                   device   serial                 supply
produce_case "20 chips, ascii"      89S52    100:ascii6:1000:5      'empty,good*3,stuck:2,C2051,S51,locked,empty*2,good*2,stuck:101,89C52,good*3,empty,locked,good*2,stuck:FF0,good,stuck:3'
produce_case "bcd, a 20-pin device" 89C2051  700:bcd3:99998:2       'empty,good,stuck:701,89C4051,89S52,locked,good'
produce_case "bin-be, the last byte" 89C51   FFE:bin-be2:65000:7    'empty,good*2,stuck:FFF,good'
produce_case "bin-le, every chip good" 89S8252 2000:bin-le3:16777213 'empty,good,empty,good,good'

# Two runs at once, each with its own simulated PC, on one log and one counter: every number
# handed out once, each on the chip that holds it, the counter accounting for the rest.
rm -f log log.counter
spec=100:bin-le4:1
split_spec $spec
"$CLI" --sim st-a --device 89S52 --sim-supply 'empty,good*3,stuck:100,good*2' --count 6 \
  --serial $spec --log log produce a.hex >out-a 2>&1 &
run_a=$!
"$CLI" --sim st-b --device 89C51 --sim-supply 'empty,good*2,stuck:101,good*3,stuck:100' --count 7 \
  --serial $spec --log log produce a.hex >out-b 2>&1 &
run_b=$!
wait $run_a
rc_a=$?
wait $run_b
rc_b=$?
[ $rc_a = 1 ] && [ $rc_b = 1 ] || fail "two at once: exit $rc_a and $rc_b, want 1 and 1"
lines_are_whole log || fail "two at once: the log is not whole: $(cat log)"
[ "$(tail -n +2 log | cut -d, -f3,8 | sort | uniq -c | tr -s ' ')" = "$(printf ' 5 AT89C51,OK\n 2 AT89C51,failed\n 5 AT89S52,OK\n 1 AT89S52,failed')" ] ||
  fail "two at once: results $(cat log)"
oks=$(awk -F, '$8 == "OK" { print $5 }' log | sort -n)
[ -z "$(uniq -d <<<"$oks")" ] || fail "two at once: numbers twice: $(uniq -d <<<"$oks" | tr '\n' ' ')"
while IFS=, read -r device chip serial; do
  state=st-a
  [ "$device" = AT89C51 ] && state=st-b
  "$CLI" --sim $state --device "$device" --sim-supplied "$chip" read back.bin >/dev/null
  [ "$(hex_of back.bin 256 4)" = "$(serial_hex bin-le 4 "$serial")" ] ||
    fail "two at once: $device chip $chip does not hold $serial"
done < <(awk -F, '$8 == "OK" { print $3 "," $4 "," $5 }' log)
next=$(sed -n 's/^next //p' log.counter)
returned=$(sed -n 's/^returned *//p' log.counter | tr ' ' '\n')
[ "$(sort -n <<<"$oks"$'\n'"$returned" | grep .)" = "$(seq 1 $((next - 1)))" ] ||
  fail "two at once: the counter (next $next, returned $returned) does not account for $(echo $oks)"

# One log reached by two names keeps one counter.
rm -f real.csv real.csv.counter
ln -s real.csv cur.csv
for name in real.csv cur.csv; do
  "$CLI" --sim st-$name --device 89S52 --sim-supply 'empty,good' --count 1 --serial 100:bin-le4:1 \
    --log $name produce a.hex >out 2>&1 || fail "log $name: $(cat out)"
done
[ "$(cut -d, -f5 real.csv | tr '\n' ' ')" = "serial 1 2 " ] && [ ! -e cur.csv.counter ] ||
  fail "one log, two names: $(cat real.csv; ls)"

# A line that cannot be written whole (here past the file-size limit) is not written at all, and
# the chip it was for is named with it.
{
  echo "$header"
  head -c 102300 /dev/zero | tr '\0' x
  echo
} >full
cp full full.before
(
  ulimit -f 100
  exec "$CLI" --sim st-full --device 89S52 --sim-supply 'empty,good' --count 1 --log full produce a.hex
) >out 2>err
rc=$?
[ $rc = 2 ] || fail "a full log: exit $rc"
same "a full log" full full.before
[ "$(cat err)" = "I/O error 27 writing full: File too large." ] || fail "a full log: stderr $(cat err)"
grep -q '^chip 1: its line could not be written to the log; add it by hand: .*,1,,.*,OK,,,,[0-9.]*$' out ||
  fail "a full log: stdout $(cat out)"

# A run that opens a new log while another run holds it (about to write the header itself) waits
# for it, and then finds the header there: one header, however two runs start.
if command -v flock >/dev/null; then
  rm -f log out
  flock log sh -c 'until [ -e go ]; do sleep 0.05; done; echo "$0" >>log' "$header" &
  holder=$!
  until [ -e log ]; do sleep 0.05; done
  "$CLI" --sim st-c --device 89S52 --sim-supply 'empty,C2051' --count 1 --log log produce a.hex >out 2>&1 &
  run=$!
  for _ in $(seq 2400); do  # two minutes at most: a hang, not a verdict
    grep -q "insert chip" out && break
    ls -l /proc/$run/fd 2>/dev/null | grep -q '/log$' && break
    sleep 0.05
  done
  touch go
  wait $holder
  wait $run
  lines_are_whole log || fail "a new log opened at once: $(cat log)"
else
  echo "skipped: a new log opened at once (no flock)"
fi

finish
