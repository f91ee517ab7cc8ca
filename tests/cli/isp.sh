# kaldo-cli through an in-system programming cable on the simulated PC: the options' refusals, and
# each command on each of the four chips through each cable.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
S="--sim st"
usage="\nTry 'kaldo-cli --help'."

#     name                     exit stdout stderr                                                   arguments
check "board-only device"      2 '' "kaldo-cli: --cable: the AT89C51 cannot be programmed in the circuit (the AT89S51, S52, S53 and S8252 can); use the programmer board for it$usage" $S --cable 89isp --device 89c51 blank
check "unknown cable"          2 '' "kaldo-cli: --cable: unknown cable 'avr': the cables are 89isp, stk200, dt006, or give your own wiring as rst=17,sck=1,mosi=2,miso=10$usage" $S --cable avr --device 89s52 blank
check "wiring without miso"    2 '' "kaldo-cli: --cable: the cable 'rst=17,sck=1,mosi=2' names no miso pin: give all four signals, e.g. rst=17,sck=1,mosi=2,miso=10$usage" $S --cable rst=17,sck=1,mosi=2 --device 89s52 blank
check "crystal without cable"  2 '' "kaldo-cli: --crystal, --eeprom and --byte-mode go with --cable$usage" $S --crystal 12 --device 89s52 blank
check "crystal out of range"   2 '' "kaldo-cli: --crystal takes the crystal in MHz, 1 to 33 (e.g. 11.0592): '40'$usage" $S --cable 89isp --crystal 40 --device 89s52 blank
check "eeprom it has not"      2 '' "kaldo-cli: --eeprom: the AT89S52 has no data EEPROM (the AT89S8252 has)$usage" $S --cable 89isp --eeprom --device 89s52 blank
check "fuse through a cable"   2 '' "kaldo-cli: --isp programs the fuse on the programmer board: a cable cannot reach it$usage" $S --cable 89isp --isp --device 89s8252 write a.hex
check "byte mode on the S53"   2 '' "kaldo-cli: --byte-mode: the AT89S53 is written byte by byte anyway; pages are the AT89S51's and S52's$usage" $S --cable 89isp --byte-mode --device 89s53 blank
check "fuse fault on the S52"  2 '' "kaldo-cli: --sim-fuse-off: the AT89S52 has no serial programming fuse (the AT89S53 and S8252 have)$usage" $S --cable 89isp --sim-fuse-off --device 89s52 blank
check "target fault, no cable" 2 '' "kaldo-cli: the target board's faults need --sim and --cable$usage" $S --sim-no-crystal --device 89s52 blank
check "miso level"             2 '' "kaldo-cli: --sim-miso-stuck takes the level MISO is held at, 0 or 1: '2'$usage" $S --cable 89isp --sim-miso-stuck 2 --device 89s52 blank

# Each command on each chip through each cable; the board then sees the same chip. The S53 group
# has no signature for the check before a command, which says so on stderr.
for cable in 89isp stk200 dt006 'rst=9,sck=6,mosi=7,miso=10,en=4+5,vcc=2'; do
  for device in 89S51 89S52 89S53 89S8252; do
    C=(--cable "$cable" --device "$device")
    nosig=''
    case $device in 89S53 | 89S8252)
      nosig="kaldo-cli: the AT$device has no signature a cable can read: the chip is not checked" ;;
    esac
    rm -f st
    check "$device $cable write"  0 'Programming/Verify OK' "$nosig" $S "${C[@]}" write a.hex
    check "$device $cable verify" 0 'Verify OK'             "$nosig" $S "${C[@]}" verify a.hex
    check "$device $cable read"   0 'Data Reading Complete' "$nosig" $S "${C[@]}" read o.hex
    check "$device $cable board"  0 'Verify OK'             ''       $S --device "$device" verify o.hex
  done
done

# What the signature and the lock bits give through a cable, and the S8252's data EEPROM.
S52=(--cable 89isp --device 89s52)
check "lock bits"              0 'Programming/Verify OK\nLock Bits Programmed' '' $S "${S52[@]}" --lock 1 write a.hex
check "signature"              0 'Signature & Program Bits Info For 89S52\nByte-1         1E\nByte-2         52\nByte-3         06\nLock Bit-1    ON\nLock Bit-2    OFF\nLock Bit-3    OFF' '' $S "${S52[@]}" signature
check "identify"               0 'AT89S52 (signature 1E 52 06)' '' $S "${S52[@]}" identify
check "no signature"           1 'The AT89S53 has no signature that a cable can read, nor lock bits: serial programming cannot read them. The programmer board reads both.' '' $S --cable 89isp --device 89s53 signature
rm -f st
check "locked"                 1 'Blank Check Error: the chip is locked (lock bits 1, 2, 3 programmed)\nIts lock bits make it read FF at every address, whatever it holds. A write erases it, lock bits included.' 'kaldo-cli: the AT89S52 hides its signature behind its lock bits: the chip is not checked' $S "${S52[@]}" --locked blank
head -c 2048 /dev/urandom >e.bin
E=(--cable stk200 --device 89s8252 --eeprom)
e8252="kaldo-cli: the AT89S8252 has no signature a cable can read: the chip is not checked"
check "eeprom write"           0 'Programming/Verify OK' "$e8252" $S "${E[@]}" write e.bin
check "eeprom read"            0 'Data Reading Complete' "$e8252" $S "${E[@]}" read e2.bin
same  "eeprom file" e.bin e2.bin

# The target's faults: a failure that names the likely causes, never a success.
while IFS='|' read -r name device fault says; do
  rm -f st
  "$CLI" $S --cable 89isp --device $device $fault write a.hex >out 2>err
  rc=$?
  { [ $rc = 1 ] && grep -qF "$says" out; } || fail "fault $name: exit $rc: $(cat out err)"
done <<'EOF_FAULTS'
reset polarity |89s52   |--sim-reset-inverted          |RST is active high
no crystal     |89s51   |--sim-no-crystal              |crystal running
MISO high      |89s52   |--sim-miso-stuck 1            |answered with FF, not 69
MISO low       |89s52   |--sim-miso-stuck 0            |answered with 00, not 69
MISO low S8252 |89s8252 |--sim-miso-stuck 0            |Erase Error: the chip erase did not end
fuse off       |89s53   |--sim-fuse-off                |"ISP Fuse" unticked
other port     |89s52   |--sim-other-port              |on this port
slow crystal   |89s8252 |--crystal 24 --sim-crystal 3  |no slower than the one stated
EOF_FAULTS
rm -f st
"$CLI" $S --device 89s8252 write a.hex >/dev/null
check "fuse turned off by the board" 1 "No chip answered through the cable: address 0000 read FF, and written FF again it showed no write cycle (it read FF, not 7F). A chip with lock bits programmed refuses that write too: a Write erases it, lock bits included.\nRST is active high on the AT89S8252: a cable wired for AVR chips holds it low (write its pin as rst=~PIN to invert it).\nThe target needs its crystal running, no slower than the one stated, and its power on, and the cable must be on this port.\nA Write on the programmer board with \"ISP Fuse\" unticked turns the AT89S8252's serial programming off: write it there once with the box ticked." "$e8252" $S --cable 89isp --device 89s8252 verify a.hex

# Ctrl-C in the middle of a write through the cable (the trace slows it down): 130, and the
# message names the cable.
zero_image zero.hex
rm -f progress.txt
env --default-signal=INT "$CLI" $S --trace t.txt --cable 89isp --device 89s52 --progress json write zero.hex \
  >/dev/null 2>progress.txt &
pid=$!
wait_for_text '"address": 511' progress.txt
kill -INT $pid
wait $pid
rc=$?
{ [ $rc = 130 ] && [ "$(tail -n 1 progress.txt)" = "Interrupted: the cable was left idle" ]; } ||
  fail "Ctrl-C through the cable: exit $rc: $(tail -n 1 progress.txt)"
rm -f t.txt

finish
