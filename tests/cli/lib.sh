# Shared by the command-line tests: CLI is the program, WORK a fresh folder, `check` runs one case.
set -uo pipefail
CLI=$1
WORK=$(mktemp -d)
# Only the script itself removes it: bash may run the EXIT trap in a subshell that a signal ends.
trap '[ "$BASHPID" = "$$" ] && rm -rf "$WORK"' EXIT
failures=0

# zero_image FILE: 4 KiB of 00 as Intel HEX, long enough to be stopped in the middle of its write.
zero_image() {
  awk 'BEGIN { for (a = 0; a < 4096; a += 16) { line = sprintf(":10%04X00", a); sum = 16 + int(a / 256) + a % 256
    for (i = 0; i < 16; i++) { line = line "00" } printf "%s%02X\r\n", line, (256 - sum % 256) % 256 }
    printf ":00000001FF\r\n" }' >"$1"
}

# wait_for_text TEXT FILE: until FILE holds TEXT (a minute at most: a hang, not a verdict).
wait_for_text() {
  for _ in $(seq 1200); do
    grep -qF "$1" "$2" 2>/dev/null && return
    sleep 0.05
  done
}

# check NAME EXIT STDOUT STDERR ARGS... — STDOUT and STDERR are printf formats, matched exactly.
check() {
  local name=$1 rc=$2 out err got_rc
  out=$(printf "$3")
  err=$(printf "$4")
  shift 4
  "$CLI" "$@" >"$WORK/out" 2>"$WORK/err"
  got_rc=$?
  if [ "$got_rc" != "$rc" ] || [ "$(cat "$WORK/out")" != "$out" ] || [ "$(cat "$WORK/err")" != "$err" ]; then
    echo "FAIL $name: kaldo-cli $*"
    echo "  exit $got_rc (want $rc)"
    echo "  stdout: $(cat "$WORK/out")"
    echo "  want:   $out"
    echo "  stderr: $(cat "$WORK/err")"
    echo "  want:   $err"
    failures=$((failures + 1))
  fi
}

# same NAME FILE1 FILE2 — byte-identical files
same() {
  if ! cmp -s "$2" "$3"; then
    echo "FAIL $1: $2 and $3 differ"
    failures=$((failures + 1))
  fi
}

# as_user CMD... — runs CMD as an ordinary user: as nobody when the tests run as root (WORK is
# opened to it for that), which only works where can_run_as_user says so.
can_run_as_user() { [ "$(id -u)" != 0 ] || command -v setpriv >/dev/null; }
as_user() {
  if [ "$(id -u)" != 0 ]; then
    "$@"
    return
  fi
  chmod 711 "$WORK"
  setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
}

finish() {
  [ "$failures" -eq 0 ] && echo "all cases passed"
  exit $((failures > 0))
}
