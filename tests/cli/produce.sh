# kaldo-cli produce on the simulated PC: what it refuses before the first chip, and how a run ends
# on a signal while it waits for the socket.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

fail() { echo "FAIL $1"; failures=$((failures + 1)); }

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
printf ':01100000AA45\r\n:00000001FF\r\n' >high.hex
S="--sim st --device 89C1051"
usage="\nTry 'kaldo-cli --help'."

#     name                    exit stdout  stderr  arguments
check "serial past the end"   1 "The serial number at 03FE-0401 runs past the device's last address 03FF." '' $S produce a.hex --serial 3FE:bin-le:1 --log l
check "serial over the image" 1 "The serial number at 0002-0003 would overwrite the image's byte 56 at 0002." '' $S produce a.hex --serial 2:bin-be2:1 --log l
check "numbers that run out"  1 'The serial numbers from 98 do not fit 2 bytes for 3 chips.' '' $S produce a.hex --serial 10:ascii2:98 --count 3 --log l2
check "numbers past 2^64"     1 'The serial numbers from 0 do not fit 8 bytes for 2 chips.' '' $S produce a.hex --serial 10:bin-le8:0:9223372036854775808 --count 2 --log l3
check "data past the device"  1 "The image holds data at 1000-1000, past the AT89C1051's last address 03FF.\nGive the --device the program was built for." '' $S produce high.hex
check "serial without a log"  2 '' "kaldo-cli: --serial needs --log FILE: the next serial number is kept beside the log$usage" $S produce a.hex --serial 10:bin-le:1
check "start too large"       2 '' "kaldo-cli: 256 does not fit bin-le1 (largest 255)$usage" $S produce a.hex --serial 10:bin-le1:256 --log l
check "no count"              2 '' "kaldo-cli: --count takes a number of chips, 1 or more: '0'$usage" $S produce a.hex --count 0
check "produce only"          2 '' "kaldo-cli: option '--count' does not apply to the command 'write'$usage" $S write a.hex --count 1
[ -e l ] && fail "a refused run created its log"

# A run waits for an empty socket, then for a chip; Ctrl-C while a run without --count waits is
# its normal end. With --count, or another signal, it is 128 + the signal.
for run in "INT::0" "TERM::143" "INT:--count 2:130"; do
  signal=${run%%:*}
  rest=${run#*:}
  count=${rest%:*}
  want=${rest#*:}
  rm -f log log.counter
  env --default-signal=INT,QUIT "$CLI" $S --empty-socket produce a.hex $count --log log --serial 10:bcd2:1 >out.txt 2>err.txt &
  pid=$!
  for _ in $(seq 600); do
    grep -q "insert chip 1" out.txt 2>/dev/null && break
    sleep 0.05
  done
  kill -s "$signal" "$pid"
  wait "$pid"
  rc=$?
  [ "$rc" = "$want" ] || fail "SIG$signal $count: exit $rc, want $want"
  printf 'insert chip 1%s\nchips done: 0, failed: 0, chips per hour: 0.0\n' "${count:+ of 2}" >want.txt
  cmp -s out.txt want.txt || fail "SIG$signal $count: stdout $(cat out.txt)"
  [ "$(cat log)" = "time,port,device,chip,serial,signature,crc32,result,address,read,expected,seconds" ] ||
    fail "SIG$signal $count: log $(cat log)"
  [ ! -s log.counter ] || grep -q '^next 1$' log.counter || fail "SIG$signal $count: counter $(cat log.counter)"
done

finish
