# kaldo-cli produce on the simulated PC: what it refuses before the first chip, and how a run ends
# on a signal while it waits for the socket or for its counter.
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
# The log and its counter are regular files of the user's own, their numbers in the series.
mkfifo fifo l4.counter
mkdir l5.counter
counter() { printf 'kaldo-cli serial counter\nstart %s\nstep 1\nnext %s\nreturned%s\n%b' "$@" >"$c.counter"; }
c=l6 counter 1000 5 '' ''
c=l7 counter 1 5 ' 3' 'next 2\n'
echo "root:secret" >secret
ln -s secret l8.counter
notRegular="is not a regular file: remove it, or choose another name."
check "a FIFO as log"         2 '' "'fifo' $notRegular" $S produce a.hex --serial 10:bin-le:1 --log fifo
check "a FIFO as counter"     2 '' "'l4.counter' $notRegular" $S produce a.hex --serial 10:bin-le:1 --log l4
check "a folder as counter"   2 '' "'l5.counter' $notRegular" $S produce a.hex --serial 10:bin-le:1 --log l5
check "next off the series"   2 '' "The counter file l6.counter is damaged: line 4: 'next 5' is not a number from 1000 in steps of 1." $S produce a.hex --serial 10:bin-le:1000 --log l6
check "text after returned"   2 '' "The counter file l7.counter is damaged: line 6: 'next 2' follows the returned numbers." $S produce a.hex --serial 10:bin-le:1 --log l7
check "a link to another file" 2 '' "The counter file l8.counter is damaged: line 1 is not 'kaldo-cli serial counter'." $S produce a.hex --serial 10:bin-le:1 --log l8
if [ "$(id -u)" = 0 ]; then
  # Links that another user planted in a folder that everyone may write to, as in /tmp.
  mkdir -m 1777 shared
  ln -s ../secret shared/batch.csv
  ln -s ../new shared/b.counter
  chown -h 65534 shared/batch.csv shared/b.counter
  planted="is not followed: it is a link owned by another user in a folder that everyone may write to."
  check "another's link as log"     2 '' "'shared/batch.csv' $planted" $S produce a.hex --log shared/batch.csv
  check "another's link as counter" 2 '' "'shared/b.counter' $planted" $S produce a.hex --serial 10:bin-le:1 --log shared/b
  [ "$(cat secret)" = "root:secret" ] && [ ! -e new ] || fail "a planted link was followed"
fi
for f in l l2 l3 l4 l5 l6 l7 l8 fifo.counter; do [ -e $f ] && fail "a refused run left $f"; done

# A run waits for an empty socket, then for a chip; Ctrl-C while a run without --count waits is
# its normal end. With --count, or another signal, it is 128 + the signal.
for run in "INT::0" "TERM::143" "INT:--count 2:130"; do
  signal=${run%%:*}
  rest=${run#*:}
  count=${rest%:*}
  want=${rest#*:}
  rm -f log log.counter out.txt  # the wait below must see this run's own words
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

# A run that waits for another program's lock on its counter ends on a signal all the same.
if command -v flock >/dev/null; then
  rm -f log log.counter go
  flock log.counter sh -c 'until [ -e go ]; do sleep 0.05; done' &
  holder=$!
  until [ -e log.counter ]; do sleep 0.05; done
  "$CLI" $S --empty-socket produce a.hex --log log --serial 10:bcd2:1 >out.txt 2>err.txt &
  pid=$!
  for _ in $(seq 600); do
    ls -l /proc/$pid/fd 2>/dev/null | grep -q 'log.counter$' && break
    sleep 0.05
  done
  kill -s TERM "$pid"
  running() { [ -r /proc/$pid/stat ] && ! grep -q ') Z ' /proc/$pid/stat; }
  for _ in $(seq 600); do  # thirty seconds at most: a hang, not a verdict
    running || break
    sleep 0.05
  done
  running && fail "a run waiting for the counter's lock goes on after SIGTERM"
  touch go
  wait "$holder"
  wait "$pid"
  rc=$?
  [ "$rc" = 143 ] || fail "a run waiting for the counter's lock: exit $rc, $(cat err.txt)"
else
  echo "skipped: a run waiting for the counter's lock (no flock)"
fi

finish
