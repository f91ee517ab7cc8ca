# The simulated PC's state file: one kaldo-cli at a time, nothing lost; a file that cannot be taken
# as it is stays byte for byte as it was.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

fail() { echo "FAIL $1"; failures=$((failures + 1)); }
no_temporaries() {
  local left
  left=$(find . -maxdepth 2 -name '*.tmp*')
  [ -z "$left" ] || fail "$1: temporary files left: $left"
}
hex() { printf ':01000000%02X%02X\r\n:00000001FF\r\n' "$1" $(((256 - 1 - $1) % 256)) >"$2"; }

# Two programs write chips of two types into one file at the same moment: both are kept. (The
# bound of two minutes only turns a hang into a failure that says which round.)
for round in $(seq 1 20); do
  hex "$round" a.hex
  hex $((round + 100)) b.hex
  timeout -k 5 120 "$CLI" --sim st --device 89c2051 write a.hex >a.out 2>&1 &
  first=$!
  timeout -k 5 120 "$CLI" --sim st --device 89c4051 write b.hex >b.out 2>&1 &
  second=$!
  wait $first || fail "round $round: the first write: $(cat a.out)"
  wait $second || fail "round $round: the second write: $(cat b.out)"
  "$CLI" --sim st --device 89c2051 verify a.hex >out 2>&1 || fail "round $round: first chip: $(cat out)"
  "$CLI" --sim st --device 89c4051 verify b.hex >out 2>&1 || fail "round $round: second chip: $(cat out)"
done
no_temporaries "concurrent writes"

# A holder of the file makes the next one wait, and say so after a second.
hex 7 a.hex
if command -v flock >/dev/null; then
  # release: lets the holder go; a test folder removed under the test is said as such.
  release() {
    touch release 2>/dev/null || fail "the test's folder $WORK was removed while the test ran"
  }
  # until_seen WHAT CMD...: waits for CMD to succeed; the bound of two minutes only catches a hang.
  until_seen() {
    local what=$1 end=$((SECONDS + 120))
    shift
    until "$@"; do
      if [ $SECONDS -ge $end ]; then
        fail "$what: not seen within two minutes; stderr: $(cat err 2>/dev/null); running: $(pgrep -a kaldo-cli)"
        return 1
      fi
      sleep 0.05
    done
  }
  # Holds the file until `release` appears (two minutes at most, should the test's folder go);
  # returns once it is held.
  hold() {
    rm -f held release
    flock st sh -c 'touch held; n=0; until [ -e release ] || [ $n -ge 2400 ]; do sleep 0.05; n=$((n + 1)); done' &
    holder=$!
    until_seen "the holder took the file" test -e held
  }
  waiting="kaldo-cli: waiting for 'st', which another program is using"
  hold
  # The job's own redirection empties err only once it runs: emptied here, err cannot show the
  # last job's message before this one has started.
  : >err
  "$CLI" --sim st --device 89c2051 write a.hex >out 2>err &
  writer=$!
  until_seen "the waiting message" grep -qF "$waiting" err
  release
  wait $holder
  wait $writer
  rc=$?
  [ "$rc" = 0 ] && [ "$(cat out)" = "Programming/Verify OK" ] && [ "$(cat err)" = "$waiting" ] ||
    fail "waits for the holder: exit $rc, $(cat out err)"
  hold
  # A background job of a script starts with SIGINT ignored; a user's Ctrl-C comes to a program
  # that takes it. The last run's message must not pass for this one's.
  : >err
  env --default-signal=INT "$CLI" --sim st --device 89c2051 write a.hex >out 2>err &
  waiter=$!
  until_seen "the waiting message" grep -qF "$waiting" err
  kill -INT $waiter
  wait $waiter
  rc=$?
  [ "$rc" = 130 ] || fail "Ctrl-C while waiting: exit $rc, $(cat out err)"
  release
  wait $holder
else
  echo "skipped: waiting (no flock)"
fi

# Damaged files: refused with the file and the line, and left as they were; --sim-reset is the
# user's way out.
"$CLI" --sim good.st --device 89c51rc write a.hex >/dev/null
row=$(grep -n '^0000 ' good.st | head -1 | cut -d: -f1)  # the AT89C51RC's, the only chip written
awk -v row="$row" 'NR == row { $2 = "1234567A" substr($2, 9) } { print }' good.st >flipped.st
head -c $(($(head -"$row" good.st | wc -c) - 10)) good.st >cut.st
# A chip past this program's table, and the count that holds it, as a newer program writes them.
chips=$(sed -n 's/^chips //p' good.st)
sed "2s/.*/chips $((chips + 1))/" good.st >newer.st
printf 'chip %d 0 1 AT89XYZ\nend 0000 00000000\n' "$chips" >>newer.st
remedy="it was left unchanged. Run again with --sim-reset to start from fresh chips, or delete the file."
check "a changed byte" 2 '' "'flipped.st' line $((row + 1)): the end line of the AT89C51RC's block does not match the block; $remedy" \
  --sim flipped.st signature
check "cut short" 2 '' "'cut.st' line $row: the file ends in the middle of this line; $remedy" \
  --sim cut.st signature
: >empty.st
check "an empty file" 2 '' "'empty.st' is empty: its chips are lost; $remedy" --sim empty.st signature
check "a newer program's" 2 '' "'newer.st' holds chips for AT89XYZ, which this KALDO does not know; it was left unchanged. Use it with the newer KALDO that wrote it. Run again with --sim-reset to start from fresh chips, or delete the file." \
  --sim newer.st signature
for f in flipped cut empty newer; do
  cp $f.st $f.keep
  "$CLI" --sim $f.st --device 89c51rc write a.hex >/dev/null 2>&1
  same "$f: left unchanged by a write" $f.st $f.keep
done
for f in flipped empty; do
  check "$f: fresh chips on request" 0 'Blank Check O.K' '' --sim $f.st --sim-reset --device 89c51rc blank
  check "$f: saved afresh" 0 'Blank Check O.K' '' --sim $f.st --device 89c51rc blank
done
check "reset needs --sim" 2 '' "kaldo-cli: --sim-reset needs --sim\nTry 'kaldo-cli --help'." --port lpt1 --sim-reset blank

# A file of version 1 (the thirteen chip types there were, no count, no names, no CRC on its end
# lines) is read and saved as version 3.
awk 'NR == 1 { print "kaldo-sim drawer 1"; next } NR == 2 { next }
  /^chip / { skip = $2 >= 13; if (!skip) print $1, $2, $3, $4; next }
  skip { skip = !/^end /; next }
  /^end / { print $1, $2; next } { print }' good.st >old.st
check "version 1 file" 0 'Verify OK' '' --sim old.st --device 89c51rc verify a.hex
[ "$(head -1 old.st)" = "kaldo-sim drawer 3" ] || fail "version 1 file: not saved again"

# Only a regular file, or a missing one, holds chips.
mkfifo fifo
mkdir folder
for other in fifo folder /dev/null; do
  check "not a regular file: $other" 2 '' "'$other' is not a regular file: the simulated chips can only be kept in one." \
    --sim $other blank
done
[ -p fifo ] && [ -d folder ] && [ -c /dev/null ] || fail "a file that is not regular was replaced"
check "folder missing" 2 '' 'File not found opening no/st: No such file or directory.' --sim no/st blank

# A link is followed and the file it names updated.
ln -s good.st link.st
check "through a link" 0 'Programming/Verify OK' '' --sim link.st --device 89c2051 write a.hex
[ -L link.st ] || fail "the link was replaced"
check "the linked file" 0 'Verify OK' '' --sim good.st --device 89c2051 verify a.hex

# A trace that cannot be written is reported, and the chips are saved all the same.
check "trace on a full disk" 2 '' 'I/O error 28 writing /dev/full: No space left on device.' --sim good.st --device 89c2051 --trace /dev/full write b.hex
check "chips saved after the trace failed" 0 'Verify OK' '' --sim good.st --device 89c2051 verify b.hex

# Run as root in a folder that everyone may write to: another user's link there is not followed,
# whether it stands for the state file, the trace or the file read; a file of another user that
# is replaced stays theirs.
if [ "$(id -u)" = 0 ]; then
  mkdir -m 1777 shared
  printf 'not yours\n' >victim
  cp victim victim.keep
  for name in st t.txt out.hex; do
    ln -s ../victim shared/$name
    chown -h 65534:65534 shared/$name
  done
  refused="' is not followed: it is a link owned by another user in a folder that everyone may write to."
  check "planted link as the state file" 2 '' "'shared/st$refused" --sim shared/st blank
  check "planted link as the trace" 2 '' "'shared/t.txt$refused" --sim good.st --trace shared/t.txt blank
  check "planted link as the file read" 2 '' "'shared/out.hex$refused" --sim good.st --device 89c2051 read shared/out.hex
  same "planted links: the file they point at" victim victim.keep
  chown 65534:65534 good.st
  chmod 640 good.st
  check "another user's state file" 0 'Programming/Verify OK' '' --sim good.st --device 89c2051 write a.hex
  [ "$(stat -c '%u:%g %a' good.st)" = "65534:65534 640" ] || fail "state file of another user: $(stat -c '%u:%g %a' good.st)"
else
  echo "skipped: links and owners (not root)"
fi

# A file that may not be written is refused and kept.
cp good.st ro.st
chmod 444 ro.st
cp ro.st ro.keep
if can_run_as_user; then
  as_user "$CLI" --sim ro.st --device 89c2051 write a.hex >out 2>err
  [ "$?" = 2 ] && [ "$(cat err)" = "File access denied opening ro.st: Permission denied." ] || fail "read-only file: $(cat out err)"
  same "read-only file kept" ro.st ro.keep
else
  echo "skipped: read-only file (root without setpriv)"
fi
no_temporaries "the end"

finish
