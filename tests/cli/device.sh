# kaldo-cli device commands on the simulated PC: texts, exit codes, the state file, faults, trace.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

fail() { echo "FAIL $1"; failures=$((failures + 1)); }

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
printf ':0400000012345679E7\r\n:00000001FF\r\n' >b.hex
printf ':0400000012345678E9\r\n' >sum.hex
S="--sim st"
usage="\nTry 'kaldo-cli --help'."
verr='Buffer Verify Error @ Address  0003\nData Read  =  78\nProg Data   =  79'
noanswer2='No chip answered (signature FF FF): is the board connected and the chip seated?'
noanswer3='No chip answered (signature FF FF FF): is the board connected and the chip seated?'
forced="kaldo-cli: --force: the chip's signature is not checked"
# A locked chip reads FF at every address: where the lock bits cannot be read, a pass says so.
may="\nA locked chip reads as blank too, and this one's lock bits could not be read."

#     name                   exit stdout                                   stderr  arguments
check "blank, fresh state"   0 "Blank Check O.K$may"                       ''      $S blank
[ -f st ] || fail "state file not created"
check "write"                0 'Programming/Verify OK'                     ''      $S write a.hex
check "verify"               0 'Verify OK'                                 ''      $S verify a.hex
check "verify other image"   1 "$verr"                                     ''      $S verify b.hex
check "blank after write"    1 'Blank Check Error @ Address  0000\nData Read  =  12' '' $S blank
check "read"                 0 'Data Reading Complete'                     ''      $S read out.hex
check "convert reference"    0 'OK\nChecksum ED18'                         ''      convert a.hex ref.hex
same  "read file" out.hex ref.hex
check "write with lock bits" 0 'Programming/Verify OK\nLock Bits Programmed' '' $S --device 89s51 --lock 1,3 write a.hex
check "lock bits reported"   0 'Signature & Program Bits Info For 89S51\nByte-1         1E\nByte-2         51\nByte-3         06\nLock Bit-1    ON\nLock Bit-2    OFF\nLock Bit-3    ON' '' $S --device 89s51 signature
check "isp fuse only"        0 'Programming/Verify OK\nLock Bits Programmed' '' $S --device 89s8252 --isp write a.hex
check "isp reported"         0 'Signature & Program Bits Info For 89S8252\nByte-1          1E\nByte-2          72\nLock Bit-1    OFF\nLock Bit-2    OFF\nLock Bit-3    OFF\nISP Bit         ON' '' $S --device 89s8252 signature
check "20-pin signature"     0 'Signature Bytes Info For 89C1051\nByte-1  = 1E\nByte-2  = 12' '' $S --device 89c1051u signature
check "chips kept per type"  0 'Verify OK'                                 ''      $S verify a.hex
# Raw binary images in and out.
head -c 2048 /dev/urandom >img.bin
check "write .bin"           0 'Programming/Verify OK'                     ''      $S --device 89c2051 write img.bin
check "verify .bin"          0 'Verify OK'                                 ''      $S --device 89c2051 verify img.bin
check "read .bin"            0 'Data Reading Complete'                     ''      $S --device 89c2051 read back.bin
same  "read .bin file" img.bin back.bin
check "read --format bin"    0 'Data Reading Complete'                     ''      $S --device 89c2051 --format bin read back.img
same  "read --format bin file" img.bin back.img
check "write too long .bin"  1 'Address out of range . . .' "kaldo-cli: 'img.bin': the file is longer than the device's 1024 bytes of code memory" $S --device 89c1051 write img.bin
# An image with data past the device's end is refused unless --force, which leaves that data out.
printf ':020000001234B8\r\n:041FFC0001020304D7\r\n:00000001FF\r\n' >big.hex
printf ':01200000558A\r\n:00000001FF\r\n' >past.hex
pastmsg="The image holds data at 1FFC-1FFF, past the AT89C2051's last address 07FF.\nGive the --device the program was built for, or --force to use only its bytes 0000-07FF."
check "write past the end"   1 "$pastmsg"                                  ''      $S --device 89c2051 write big.hex
check "verify past the end"  1 "$pastmsg"                                  ''      $S --device 89c2051 verify big.hex
check "only past the end"    1 "The image holds data at 2000-2000, past the AT89C2051's last address 07FF.\nGive the --device the program was built for, or --force to use only its bytes 0000-07FF." '' $S --device 89c2051 write past.hex
check "forced past the end"  0 'Programming/Verify OK' "kaldo-cli: --force: The image holds data at 1FFC-1FFF, past the AT89C2051's last address 07FF. Its 4 bytes there are left out.
$forced" $S --device 89c2051 --force write big.hex
check "fits a larger device" 0 'Programming/Verify OK'                     ''      $S --device 89c52 write big.hex
sum="kaldo-cli: 'sum.hex' line 1: the record's checksum is E9, its bytes call for E8"
check "write bad HEX"        1 'Data Checksum Error . . .'                 "$sum"  $S write sum.hex
check "verify bad HEX"       1 'Data Checksum Error . . .'                 "$sum"  $S verify sum.hex
check "write missing file"   2 ''                                          'File not found reading none.hex: No such file or directory.' $S write none.hex
check "read unwritable"      2 ''                                          'File not found writing no/out.hex: No such file or directory.' $S read no/out.hex
cp a.hex keep.hex
check "state file of another kind" 2 '' "'a.hex' is not a state file of the simulated PC; it was left unchanged." --sim a.hex blank
same  "other file left unchanged" a.hex keep.hex

# Faults of the simulated PC.
check "stuck cell"           1 'Program Verify Error @ Address  0002\nData Read  =  FF\nProg Data   =  56' '' $S --stuck 2 write a.hex
check "no board, blank"      1 "$noanswer3"                                ''      $S --no-board blank
check "no board, forced"     0 "Blank Check O.K$may"                       "$forced" $S --no-board --force blank
check "no board, S51 forced" 0 "Blank Check O.K$may"                       "$forced" $S --device 89s51 --no-board --force blank
check "no board, signature"  0 'Signature Bytes Info For 89C52\nByte-1  = FF\nByte-2  = FF\nByte-3  = FF' '' $S --device 89c52 --no-board signature
check "empty socket"         1 "$noanswer2"                                ''      $S --device 89c2051 --empty-socket verify a.hex
check "empty socket, forced" 1 'Buffer Verify Error @ Address  0000\nData Read  =  FF\nProg Data   =  12' "$forced" $S --device 89c2051 --empty-socket --force verify a.hex
check "other chip in socket" 0 'Signature Bytes Info For 89C55\nByte-1  = FF\nByte-2  = FF\nByte-3  = FF' '' $S --device 89c55 --socket 89c51 signature
check "locked chip"          1 'Buffer Verify Error @ Address  0000\nData Read  =  FF\nProg Data   =  12' '' $S --device 89c4051 --locked verify a.hex
check "locked chip rewritten" 0 'Programming/Verify OK'                    ''      $S --device 89c4051 write a.hex
# With no chip in the socket, --locked has no chip to lock: the drawer's chip stays as it was.
check "empty socket, locked" 1 "$noanswer2"                                ''      $S --device 89c4051 --empty-socket --locked verify a.hex
check "drawer's chip unlocked" 0 'Verify OK'                               ''      $S --device 89c4051 verify a.hex
L="--sim locked.st --locked"
check "locked, blank"        1 'Blank Check Error: the chip is locked (lock bits 1, 2, 3 programmed)\nIts lock bits make it read FF at every address, whatever it holds. A write erases it, lock bits included.' '' $L --device 89s52 blank
check "locked, read"         1 'Read Error: the chip is locked (lock bits 1, 2, 3 programmed)\nIts lock bits make it read FF at every address, whatever it holds: nothing was read.' '' $L --device 89c55wd read locked.hex
[ -e locked.hex ] && fail "a locked chip's read saved its file"
check "locked 20-pin, blank" 0 "Blank Check O.K$may"                       ''      $L --device 89c2051 blank
check "locked 89C51, read"   0 "Data Reading Complete\nEvery byte read FF, as a locked chip reads too, and this one's lock bits could not be read." '' $L read maybe.hex

# The signature guard before blank, read, verify and write, on chips of their own.
G="--sim guard.st"
for device in 89C51 89C52 89C55 89S51 89S52 89S53 89S8252 89C55WD 89C51RC 89C1051 89C1051U \
  89C2051 89C4051; do
  case $device in 89S* | 89C55WD | 89C51RC) note= ;; *) note=$may ;; esac
  check "guard passes $device" 0 "Blank Check O.K$note"                   ''      $G --device $device blank
done
wrong='Wrong chip: the socket holds an AT89S51 (1E 51 06) where the AT89S52 has 1E 52 06.\nPut an AT89S52 in the socket, or give the --device of the chip that is there; --force skips this check.'
check "wrong chip, write"    1 "$wrong"                                    ''      $G --device 89s52 --socket 89s51 write a.hex
check "wrong chip untouched" 0 'Blank Check O.K'                           ''      $G --device 89s51 blank
other='Wrong chip: the socket holds an AT89C55 (1E 55 FF) where the AT89S8252 has 1E 72.\nPut an AT89S8252 in the socket, or give the --device of the chip that is there; --force skips this check.'
check "wrong chip, read"     1 "$other"                                    ''      $G --device 89s8252 --socket 89c55 read wrong.hex
[ -e wrong.hex ] && fail "a refused read wrote its file"
# A chip that gives its own procedure's signature only: named, not taken for an empty socket.
family='Wrong chip: the socket holds an AT89C51 (1E 51 FF) where the AT89S51 has 1E 51 06.\nPut an AT89S51 in the socket, or give the --device of the chip that is there; --force skips this check.'
check "other family, blank"  1 "$family"                                   ''      $G --device 89s51 --socket 89c51 blank
twenty='Wrong chip: the socket holds an AT89C2051 (1E 21) where the AT89C52 has 1E 52 FF.\nPut an AT89C52 in the socket, or give the --device of the chip that is there; --force skips this check.'
check "20-pin chip, verify"  1 "$twenty"                                   ''      $G --device 89c52 --socket 89c2051 verify a.hex
check "no chip, 40-pin"      1 "$noanswer3"                                ''      $G --device 89s52 --empty-socket blank
check "no board, 20-pin"     1 "$noanswer2"                                ''      $G --device 89c4051 --no-board write a.hex
check "wrong chip, forced"   0 'Programming/Verify OK'                     "$forced" $G --device 89s52 --socket 89s51 --force write a.hex
check "forced write landed"  0 'Verify OK'                                 ''      $G --device 89s51 verify a.hex

# identify: the chip in the socket, whatever --device names.
I="--sim id.st"
nochip='no chip answered: is the board connected to the port and powered, and a chip seated in its socket?'
check "identify"             0 'AT89C51 (signature 1E 51 FF)'              ''      $I identify
check "identify 20-pin"      0 'AT89C1051U (signature 1E 12)'              ''      $I --device 89c1051u identify
check "identify, S53 group"  0 'AT89S8252 (signature 1E 72)'               ''      $I --device 89c2051 --socket 89s8252 identify
check "identify, locked"     0 'AT89S52 (signature 1E 52 06)'              ''      $I --device 89s52 --locked identify
check "identify, no board"   1 "$nochip"                                   ''      $I --no-board identify
check "identify, empty"      1 "$nochip"                                   ''      $I --device 89s53 --empty-socket identify
check "identify, no --force" 2 ''  "kaldo-cli: option '--force' does not apply to the command 'identify'$usage" $I --force identify
check "identify, no backend" 2 ''  "kaldo-cli: a device command needs --sim STATE or --port PORT$usage" identify

# Usage errors.
check "no backend"           2 ''  "kaldo-cli: a device command needs --sim STATE or --port PORT$usage" blank
check "no such sim port"     2 ''  "kaldo-cli: the simulated PC has no port at 0x0278 (it has /dev/parport0 (0x0378), /dev/parport1 (0xD010))$usage" $S --port lpt2 blank
check "no room for registers" 2 '' "kaldo-cli: port 0xFFFF is refused: its registers (base to base + 2) must lie below 0x10000, so the highest base is 0xFFFD$usage" --port 0xFFFF blank
check "system port"          2 ''  "kaldo-cli: port 0x0080 is refused: addresses below 0x0100 belong to the PC's system devices$usage" --port 0x80 blank
check "unknown port"         2 ''  "kaldo-cli: unknown port 'lpt4' (lpt1, lpt2, lpt3, 0xBASE, /dev/parportN or N)$usage" --port lpt4 blank
check "fault on real port"   2 ''  "kaldo-cli: --trace and the simulator faults need --sim$usage" --port lpt2 --no-board blank
check "bad lock list"        2 ''  "kaldo-cli: lock bits are 1, 2 or 3, separated by commas: '1,4'$usage" $S --lock 1,4 write a.hex
check "bad stuck address"    2 ''  "kaldo-cli: '8000' is not a code address (hexadecimal, 0 to 7FFF)$usage" $S --stuck 8000 write a.hex
check "unknown socket chip"  2 ''  "kaldo-cli: unknown device '8051'$usage" $S --socket 8051 blank
check "usage checked first"  2 ''  "kaldo-cli: a device command needs --sim STATE or --port PORT$usage" write sum.hex
check "read needs a file"    2 ''  "kaldo-cli: usage: kaldo-cli [OPTIONS] read OUT$usage" $S read

# The trace: every port access, from the timer set-up on, in simulated microseconds.
check "trace"                0 'Signature Bytes Info For 89C2051\nByte-1  = 1E\nByte-2  = 21' '' $S --device 89c2051 --trace t.txt signature
[ "$(head -4 t.txt | cut -d' ' -f2-)" = "$(printf 'R 0061 20\nR 0061 20\nR 0061 20\nW 0061 20')" ] ||
  fail "trace begins with the timer set-up: $(head -4 t.txt | tr '\n' '|')"
grep -qvE '^[0-9]+ [WR] [0-9A-F]{4} [0-9A-F]{2}$' t.txt && fail "trace line format: $(grep -vE '^[0-9]+ [WR] [0-9A-F]{4} [0-9A-F]{2}$' t.txt | head -1)"
awk 'NR > 1 && $1 < last { bad = 1 } { last = $1 } END { exit bad }' t.txt || fail "trace time goes back"
# About 0.72 s of waits: the signature read's BeginOperation and ResetBoard, as on a PC.
end=$(tail -1 t.txt | cut -d' ' -f1)
[ "$end" -gt 900000 ] && [ "$end" -lt 1300000 ] || fail "trace ends at $end us"

# The simulated PC's card at 0xD010: the board follows the port chosen, by any of its names, and
# LPT1 then floats. Its accesses are LPT1's, moved to the card's registers.
check "trace on LPT1"        0 'Signature Bytes Info For 89C2051\nByte-1  = 1E\nByte-2  = 21' '' $S --device 89c2051 --port lpt1 --trace lpt1.txt signature
for name in 0xd010 /dev/parport1 1; do
  check "card as $name"      0 'Signature Bytes Info For 89C2051\nByte-1  = 1E\nByte-2  = 21' '' $S --device 89c2051 --port $name --trace card.txt signature
  [ "$(sed 's/ 0378 / D010 /; s/ 0379 / D011 /; s/ 037A / D012 /' lpt1.txt)" = "$(cat card.txt)" ] ||
    fail "the card's trace ($name) is not LPT1's at 0xD010"
done

# The progress bar appears only on a terminal, unless asked for.
if command -v script >/dev/null; then
  script -qc "'$CLI' $S --device 89c1051 blank" /dev/null >tty.txt
  grep -q $'Blank Checking  03FF  \\[####################\\] 100%' tty.txt ||
    fail "no progress bar on a terminal: $(cat -v tty.txt)"
  script -qc "'$CLI' $S --device 89c1051 --progress none blank" /dev/null >tty.txt
  grep -q 'Blank Checking' tty.txt && fail "--progress none drew a bar"
fi

"$CLI" --help >help.txt || fail "help exit"
for word in blank read write verify signature identify --sim --port --lock --isp --force --trace --no-board \
  --empty-socket --socket --stuck --locked; do
  grep -q -- "$word" help.txt || fail "help lacks $word"
done

finish
