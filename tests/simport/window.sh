# The window as kaldo makes it, offscreen, writing the AT89C2051 through the simulated PC behind
# /dev/parport0; kaldo-cli --sim then verifies the chip in the same state file.
#
# window.sh KALDO-CLI SIMPORT.SH LIBRARY WINDOW-TEST
. "$(dirname "$0")/lib.sh"
printf ':10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n' >x.hex
QT_QPA_PLATFORM=offscreen bash "$SIMPORT" st --socket 89C2051 -- "$4" >window.txt 2>&1 ||
  fail "the window's write: $(cat window.txt)"
"$CLI" --sim st --device 89C2051 verify x.hex >verify.txt 2>&1 ||
  fail "kaldo-cli --sim does not verify the window's write: $(cat verify.txt)"
finish
