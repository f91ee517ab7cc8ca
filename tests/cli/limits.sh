# kaldo-cli at the edges: program bits the device lacks, endless lines, a full standard output,
# saves past a file-size limit.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

fail() { echo "FAIL $1"; failures=$((failures + 1)); }

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
usage="\nTry 'kaldo-cli --help'."

# Program bits the device does not have: refused before the state file is even created.
#  device   | options           | command  | message
while IFS='|' read -r device options command has; do
  device=${device%% *} options=${options%"${options##*[! ]}"}
  # shellcheck disable=SC2086
  check "refused: $device $options $command" 2 '' "kaldo-cli: $has$usage" \
    --sim st --device $device $options $command
  [ -e st ] && fail "refused: $device $options: the state file was created"
done <<'EOF'
89c2051  |--lock 1,3        |write a.hex|--lock 3 is not possible: AT89C2051 has lock bits 1 and 2 and no ISP fuse
89c1051u |--lock 3          |write a.hex|--lock 3 is not possible: AT89C1051U has lock bits 1 and 2 and no ISP fuse
89c51    |--isp             |write a.hex|--isp is not possible: AT89C51 has lock bits 1, 2 and 3 and no ISP fuse
89s52    |--isp             |write a.hex|--isp is not possible: AT89S52 has lock bits 1, 2 and 3 and no ISP fuse
89c4051  |--lock 3 --isp    |write a.hex|--lock 3 and --isp are not possible: AT89C4051 has lock bits 1 and 2 and no ISP fuse
EOF
check "S53 takes lock 3 and isp" 0 'Programming/Verify OK\nLock Bits Programmed' '' --sim st --device 89s53 --lock 3 --isp write a.hex
check "2051 takes lock 1,2"      0 'Programming/Verify OK\nLock Bits Programmed' '' --sim st --device 89c2051 --lock 1,2 write a.hex

# A line without end needs no more memory than a record: 300 MB through a pipe in 64 MB. A build
# with AddressSanitizer or ThreadSanitizer reserves more address space than that at start, so there
# the outcomes are checked without the bound.
bound_memory() { ulimit -v 65536; }
ldd "$CLI" 2>/dev/null | grep -E 'lib[at]san' >/dev/null && bound_memory() { :; }  # grep -q would end the pipe early
endless() { (bound_memory; "$CLI" load /dev/stdin) >out 2>err; }
(printf ':00000001FF'; head -c 300000000 /dev/zero; printf '\r\n:0100000055AA\r\n') | endless
[ "$?" = 0 ] && [ "$(cat out)" = "$(printf 'OK\nChecksum EF56')" ] || fail "endless line: $(cat out err)"
(bound_memory; "$CLI" load /dev/zero) >out 2>err
[ "$?" = 1 ] && [ "$(cat out)" = "$(printf 'Invalid Hex File Format . . .\nChecksum F000')" ] ||
  fail "load /dev/zero: $(cat out err)"

# Standard output that cannot be written.
if [ -w /dev/full ]; then
  for args in "load a.hex" "--help" "--sim st blank"; do
    # shellcheck disable=SC2086
    "$CLI" $args >/dev/full 2>err
    rc=$?
    [ "$rc" = 2 ] && grep -q '^kaldo-cli: writing to standard output failed' err ||
      fail "stdout full ($args): exit $rc, $(cat err)"
  done
else
  echo "skipped: no /dev/full"
fi

# Saves past a file-size limit of 4 KiB keep the old file whole and leave no temporary file, both
# through a temporary file and where a file is rewritten in place (its folder takes no new files).
mkdir keep
cp a.hex keep/out.hex
cp a.hex old.hex
(ulimit -f 4; "$CLI" --device 89c51rc convert a.hex keep/out.hex) >out 2>err
[ "$?" = 2 ] && [ "$(cat err)" = "I/O error 27 writing keep/out.hex: File too large." ] || fail "file-size limit: $(cat err)"
same "file-size limit: old file kept" keep/out.hex old.hex
[ "$(ls -A keep)" = out.hex ] || fail "file-size limit: left $(ls -A keep)"

chmod 555 keep
chmod 666 keep/out.hex
if can_run_as_user; then
  (ulimit -f 4; as_user "$CLI" --device 89c51rc convert a.hex keep/out.hex) >out 2>err
  [ "$?" = 2 ] && [ "$(cat err)" = "I/O error 27 writing keep/out.hex: File too large." ] || fail "in place, file-size limit: $(cat err)"
  same "in place, file-size limit: old file kept" keep/out.hex old.hex
  [ "$(ls -A keep)" = out.hex ] || fail "in place, file-size limit: left $(ls -A keep)"
  as_user "$CLI" --device 89c51 convert a.hex keep/out.hex >out 2>err ||
    fail "in place: $(cat err)"
  [ "$(wc -l <keep/out.hex)" = 257 ] || fail "in place: the file was not written"
else
  echo "skipped: in-place save (root without setpriv)"
fi
chmod 755 keep

finish
