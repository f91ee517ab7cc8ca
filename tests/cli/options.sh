# kaldo-cli: which options each command takes, file errors that name the file and the reason,
# outside text quoted with its control characters escaped, and records that share a line.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

fail() { echo "FAIL $1"; failures=$((failures + 1)); }
usage="\nTry 'kaldo-cli --help'."
printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex

# Every option against every command. The commands an option does something for, written out by
# hand; every other command refuses it with exit 2 before anything is read, written or reached.
# Device commands always run on the simulated PC here (--port with --sim is refused before the
# port is touched).
# `ports` reads an empty system tree: no port of this machine is looked at.
export KALDO_SYSTEM_ROOT=$WORK/no-system
commands="load convert blank read write verify signature identify devices ports"
while IFS='|' read -r option applies; do
  option=${option%"${option##*[! ]}"}
  name=${option%% *}
  for command in $commands; do
    case $command in
      load | write | verify) args=(a.hex) ;;
      convert) args=(a.hex b.hex) ;;
      read) args=(r.hex) ;;
      *) args=() ;;
    esac
    # shellcheck disable=SC2086
    if [[ " $applies " == *" $command "* ]]; then
      sim=()
      [[ " blank read write verify signature identify " == *" $command "* ]] && sim=(--sim st)
      "$CLI" "${sim[@]}" $option "$command" "${args[@]}" >out 2>err
      grep -q 'does not apply' err && fail "$name $command: refused: $(cat err)"
    else
      check "$name $command refused" 2 '' \
        "kaldo-cli: option '$name' does not apply to the command '$command'$usage" \
        $option "$command" "${args[@]}"
    fi
  done
done <<'EOF_TABLE'
--device 89s8252     |load convert blank read write verify signature identify
--format ihex        |load convert read write verify
--sim st             |blank read write verify signature identify
--sim-reset          |blank read write verify signature identify
--port lpt1          |blank read write verify signature identify
--lock 1             |write
--isp                |write
--force              |blank read write verify
--probe              |ports
--progress none      |blank read write verify
--json               |load convert blank read write verify signature identify devices ports
--trace t.txt        |blank read write verify signature identify
--no-board           |blank read write verify signature identify
--empty-socket       |blank read write verify signature identify
--socket 89c52       |blank read write verify signature identify
--stuck 10           |write
--locked             |blank read write verify signature identify
--sim-supply good    |blank read write verify signature identify
--sim-supplied 1     |blank read write verify signature identify
--cable 89isp        |blank read write verify signature identify
--crystal 12         |blank read write verify signature identify
--eeprom             |blank read write verify
--byte-mode          |blank read write verify
--sim-crystal 12     |blank read write verify signature identify
--sim-reset-inverted |blank read write verify signature identify
--sim-no-crystal     |blank read write verify signature identify
--sim-miso-stuck 1   |blank read write verify signature identify
--sim-fuse-off       |blank read write verify signature identify
--sim-other-port     |blank read write verify signature identify
EOF_TABLE
check "first option that does not apply" 2 '' \
  "kaldo-cli: option '--lock' does not apply to the command 'read'$usage" \
  --sim st read x.hex --lock 1 --isp
check "help before everything" 0 "$("$CLI" --help | sed 's/%/%%/g')" '' --lock 1 read x.hex --help

# File errors name the file and the system's reason; stdout keeps its texts.
check "binary image" 2 '' 'File not found reading gone.bin: No such file or directory.' \
  load gone.bin
check "trace in no folder" 2 '' 'File not found writing no/t.txt: No such file or directory.' \
  --sim st --trace no/t.txt signature
if [ -w /dev/full ]; then
  ln -s /dev/full full.hex
  check "full disk" 2 'OK\nChecksum ED18' 'I/O error 28 writing full.hex: No space left on device.' \
    convert a.hex full.hex
fi

# Text from a file or an argument is quoted with its control characters escaped.
printf ':10\033[2J00\r\n' >esc.hex
check "escape sequence in a field" 1 'Invalid Hex File Format . . .\nChecksum F000' \
  "kaldo-cli: 'esc.hex' line 1: '\$\\\\x1B[2J' is not a valid integer value" load esc.hex
check "escape sequence in an argument" 2 '' \
  "kaldo-cli: unknown device '\\\\x1B]0;owned\\\\x07'$usage" --device $'\033]0;owned\007' load a.hex
check "in a command" 2 '' "kaldo-cli: unknown command 'lo\\\\x0Dad'$usage" $'lo\rad'
check "in a file name" 2 '' \
  "File not found reading x\\\\x1B[31m.hex: No such file or directory." load $'x\033[31m.hex'

# A line that holds a data record and more after its checksum is a format error: the window's text
# on stdout, the line on stderr; a write then touches no chip.
printf ':0100000011EE\r\n:00000001FF\r\n:0100100022CD:0100200033AC\r\n' >two.hex
check "two records on a line" 1 'Invalid Hex File Format . . .\nChecksum EE35' \
  "kaldo-cli: 'two.hex' line 3: the line goes on after the record's checksum" load two.hex
check "write refused" 1 'Invalid Hex File Format . . .' \
  "kaldo-cli: 'two.hex' line 3: the line goes on after the record's checksum" --sim st2 write two.hex
[ -e st2 ] && fail "write refused: the state file was made"
printf ':0100000011EE\r\n:0100100022CD\r\n:0100200033AC\r\n' >three.hex
check "one record a line" 0 'OK\nChecksum ED69' '' load three.hex
check "other types ignored as before" 0 'OK\nChecksum EF12' '' load <(printf ':0100000011EE\r\n:00000001FFjunk\r\n')

finish
