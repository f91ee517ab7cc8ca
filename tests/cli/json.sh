# kaldo-cli --json: one JSON object on stdout for every command and every way a command ends, and
# --progress json lines on stderr. Python's json module reads what the program writes.
. "$(dirname "$0")/lib.sh"
cd "$WORK"
command -v python3 >/dev/null || exit 77

fail() { echo "FAIL $1"; failures=$((failures + 1)); }

# json NAME EXIT OUTCOME CHECK ARGS... — runs kaldo-cli --json ARGS; stdout must be one JSON object
# with this "outcome" and "exit_status" = EXIT, and the Python expression CHECK on it (the object
# is r) must hold.
json() {
  local name=$1 rc=$2 outcome=$3 test=$4 got_rc
  shift 4
  "$CLI" --json "$@" >out.json 2>err.txt
  got_rc=$?
  [ "$got_rc" = "$rc" ] || fail "$name: exit $got_rc (want $rc)"
  python3 - "$rc" "$outcome" "$test" <<'PY' || fail "$name: kaldo-cli --json $*: $(cat out.json)"
import json, sys
rc, outcome, test = int(sys.argv[1]), sys.argv[2], sys.argv[3]
text = open("out.json", encoding="utf-8").read()
assert text.endswith("}\n") and text.count("\n") == 1, "not one line"
r = json.loads(text)
for key in ("command", "device", "port", "simulator", "outcome", "exit_status", "seconds", "message"):
    assert key in r, "no " + key
assert r["outcome"] == outcome, r["outcome"]
assert r["exit_status"] == rc, r["exit_status"]
assert isinstance(r["seconds"], float) and r["seconds"] >= 0
assert eval(test, {"r": r}), test
PY
}

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
printf ':0400000012345679E7\r\n:00000001FF\r\n' >b.hex
printf ':0400000012345678E9\r\n' >sum.hex
printf ':10\033[2J00\r\n' >esc.hex
S="--sim st"
verr='Buffer Verify Error @ Address  0003\nData Read  =  78\nProg Data   =  79'

#    name                 exit outcome      check                                                 arguments
json "load"               0 ok          'r["checksum"] == 0xED18 and r["message"] == "OK\nChecksum ED18" and r["device"] == "AT89C51"' load a.hex
json "load bad HEX"       1 failed      'r["message"].startswith("Data Checksum Error . . .")'  load sum.hex
json "load missing"       2 error       'r["message"] == "File not found reading none.hex: No such file or directory."' load none.hex
json "bad field"          1 failed      'r["line"] == 1 and r["message"] == "Invalid Hex File Format . . .\nChecksum F000"' load esc.hex
json "convert"            0 ok          'r["checksum"] == 0xED18 and r["simulator"] is None'    convert a.hex c.bin
# The JSON lists the devices the text lists, one a line.
devices=$("$CLI" devices | wc -l)
json "devices"            0 ok          'len(r["devices"]) == '"$devices"' and r["devices"][0] == {"name": "AT89C51", "part": "89C51", "size": 4096, "lock_bits": [1, 2, 3], "isp_fuse": False, "signature": [0x1E, 0x51, 0xFF]} and r["device"] is None' devices
json "version"            0 ok          'r["command"] == "version" and r["version"] == "Version 3.0"' --version
json "help"               0 ok          'r["command"] == "help" and "Exit status" in r["message"]' --help
KALDO_SYSTEM_ROOT=$WORK/no-system json "ports"  1 failed 'r["usable"] is False' ports

json "write"              0 ok          'r["simulator"] == "st" and r["port"] is None and r["checksum"] == 0xED18 and r["message"] == "Programming/Verify OK"' $S write a.hex
json "verify"             0 ok          '"address" not in r'                                     $S verify a.hex
json "failing byte"       1 failed      'r["address"] == 3 and r["read"] == 0x78 and r["expected"] == 0x79 and r["message"] == "'"$verr"'"' $S verify b.hex
json "blank failing"      1 failed      'r["address"] == 0 and r["read"] == 0x12 and r["expected"] == 0xFF' $S blank
json "locked chip"        1 failed      'r["lock_bits"] == [1, 2, 3] and "address" not in r and r["message"].startswith("Blank Check Error: the chip is locked")' --sim locked.st --device 89s53 --locked blank
json "read"               0 ok          'r["checksum"] == 0xED18'                                $S read r.hex
json "write bad HEX"      1 failed      '"checksum" not in r and r["message"] == "Data Checksum Error . . ."' $S write sum.hex
json "write missing file" 2 error       'r["message"].startswith("File not found")'              $S write none.hex
json "signature, lock bits" 0 ok        'r["signature"] == [0x1E, 0x51, 0x06] and r["lock_bits"] == [] and "fuse" not in r' $S --device 89s51 signature
json "write lock bits"    0 ok          'r["message"] == "Programming/Verify OK\nLock Bits Programmed"' $S --device 89s8252 --lock 1,3 --isp write a.hex
json "signature, fuse"    0 ok          'r["signature"] == [0x1E, 0x72] and r["lock_bits"] == [1, 3] and r["fuse"] is True' $S --device 89s8252 signature
json "identify"           0 ok          'r["found"] == "AT89S51" and r["signature"] == [0x1E, 0x51, 0x06]' $S --device 89s51 identify
json "identify, empty"    1 no-chip     'r["found"] is None and r["signature"] == []'           $S --empty-socket identify
json "20-pin signature"   0 ok          'r["signature"] == [0x1E, 0x21] and "lock_bits" not in r' $S --device 89c2051 signature
json "wrong chip"         1 wrong-chip  'r["signature"] == [0x1E, 0x51, 0x06] and r["expected_signature"] == [0x1E, 0x52, 0x06] and r["found"] == "AT89S51" and r["message"].startswith("Wrong chip")' $S --device 89s52 --socket 89s51 write a.hex
json "empty socket"       1 no-chip     'r["signature"] == [0xFF, 0xFF] and r["found"] is None'   $S --device 89c2051 --empty-socket blank
json "no board"           1 no-chip     'r["signature"] == [0xFF, 0xFF, 0xFF]'                  $S --no-board verify a.hex
json "stuck cell"         1 failed      'r["address"] == 2 and r["read"] == 0xFF and r["expected"] == 0x56' $S --stuck 2 write a.hex
json "port given"         0 ok          'r["port"] == "/dev/parport1"'                           $S --port /dev/parport1 --device 89c2051 signature
json "production run"     1 failed      'r["chips_done"] == 2 and r["chips_failed"] == 1 and "chip 3: Program Verify Error" in r["message"]' $S --sim-supply empty,good*2,stuck:2 --count 3 produce a.hex

# Usage errors: the object still comes, with nothing run on a device.
json "unknown option"     2 usage-error 'r["command"] == "load" and r["device"] is None and r["message"] == "kaldo-cli: unknown option '"'--fast'"'\nTry '"'kaldo-cli --help'"'."' --fast load a.hex
json "no command"         2 usage-error 'r["command"] is None'                                  --device 89c52
json "json after error"  2 usage-error 'r["command"] == "read"'                                 $S read
json "no backend"         2 usage-error 'r["simulator"] is None and r["message"].startswith("kaldo-cli: a device command needs")' blank
json "bad progress"       2 usage-error '"auto, bar, json or none" in r["message"]'            $S --progress fast blank
[ -s err.txt ] || fail "usage error: stderr keeps its message"

# A state file's name that is not UTF-8 comes back byte for byte as \u00XX; UTF-8 stays as it is.
json "latin-1 name"       0 ok          'r["simulator"] == "st\u00e9"'                          --sim "$(printf 'st\351')" --device 89c2051 signature
grep -qF 'st\u00E9' out.json || fail "latin-1 name not escaped: $(cat out.json)"
json "utf-8 name"         0 ok          'r["simulator"] == "st\u00e9"'                          --sim "$(printf 'st\303\251')" --device 89c2051 signature
grep -q "$(printf 'st\303\251')" out.json || fail "utf-8 name escaped: $(cat out.json)"

# Stopped by a signal while writing: the object says so with the signal's status.
zero_image zero.hex
"$CLI" --json $S --progress json write zero.hex >stop.json 2>progress.txt &
pid=$!
wait_for_text '"Programming", "address": 511' progress.txt
kill -TERM $pid
wait $pid
rc=$?
[ "$rc" = 143 ] || fail "stopped: exit $rc"
python3 -c '
import json, sys
r = json.load(open("stop.json"))
assert r["outcome"] == "stopped" and r["exit_status"] == 143 and r["signal"] == 15, r
assert r["message"] == "Interrupted: the board was reset", r
' || fail "stopped: $(cat stop.json)"

# Stopped while the first file is read (a pipe, the rest of it sent only after the signal): the
# command does nothing more, and the object still comes.
mkfifo in.pipe
for command in load "$S write" "$S --sim-supply good --count 1 produce"; do
  rm -f st
  # shellcheck disable=SC2086
  "$CLI" --json $command in.pipe >stop.json 2>err.txt &
  pid=$!
  exec 3>in.pipe
  head -c 5000 zero.hex >&3
  kill -TERM $pid
  tail -c +5001 zero.hex >&3
  exec 3>&-
  wait $pid
  rc=$?
  [ "$rc" = 143 ] && [ "$(cat err.txt)" = Interrupted ] && [ ! -e st ] ||
    fail "$command, stopped while reading: exit $rc, stderr $(cat err.txt)"
  python3 -c '
import json
r = json.load(open("stop.json"))
assert r["outcome"] == "stopped" and r["signal"] == 15 and r["message"] == "Interrupted", r
assert "checksum" not in r, r
' || fail "$command, stopped while reading: $(cat stop.json)"
done

# --progress json: one object a line on stderr, the pass's name and its percent.
"$CLI" $S --device 89c1051 --progress json write a.hex >/dev/null 2>progress.txt || fail "progress write"
python3 - <<'PY' || fail "progress lines: $(head -3 progress.txt)"
import json
lines = [json.loads(l) for l in open("progress.txt")]
assert [(l["operation"], l["address"], l["percent"]) for l in lines] == [
    ("Programming", 255, 25), ("Programming", 511, 50), ("Programming", 767, 75), ("Programming", 1023, 100),
    ("Verifying", 255, 25), ("Verifying", 511, 50), ("Verifying", 767, 75), ("Verifying", 1023, 100)], lines
PY
"$CLI" $S --device 89c1051 --progress none blank >/dev/null 2>progress.txt
[ -s progress.txt ] && fail "progress none printed: $(cat progress.txt)"
"$CLI" $S --device 89c1051 --progress bar verify a.hex >/dev/null 2>progress.txt
grep -q "Verifying  03FF  \[####################\] 100%" progress.txt || fail "progress bar on a pipe: $(cat -v progress.txt)"
"$CLI" $S --device 89c1051 verify a.hex >/dev/null 2>progress.txt
[ -s progress.txt ] && fail "progress on a pipe by default: $(cat progress.txt)"

finish
