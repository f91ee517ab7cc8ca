# kaldo-cli through an in-system programming cable on the simulated PC: the options' refusals, and
# each command on each of the four chips through each cable.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

printf ':0400000012345678E8\r\n:00000001FF\r\n' >a.hex
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

finish
