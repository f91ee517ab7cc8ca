# ppdev as root: /dev/parport0 is found through /proc/sys/dev/parport/parport0/base-addr, and the
# four device commands run to their end on the emulated port with nothing attached (--force: the
# signature check would refuse the chip that is not there, as the first blank check shows).
#
# data/blink.ihx is an SDCC-style program for the AT89C2051 (LF line ends, reset vector first):
#   0000 02 00 30  ljmp 0x0030        0037 7E 00  mov r6,#0     003D DE FA  djnz r6,0x0039
#   0030 75 81 07  mov sp,#0x07       0039 7D 00  mov r5,#0     003F DF F6  djnz r7,0x0037
#   0033 B2 90     cpl P1.0           003B DD FE  djnz r5,$     0041 80 F0  sjmp 0x0033
#   0035 7F 04     mov r7,#4
# Its first byte, 0x02, is neither what the simulated port without a board reads back (0xFF) nor
# what QEMU's idle port gives (0x00): the write's verify stops at address 0000 on both, the board
# is reset, and the whole write can be compared. The other commands part ways at their first read,
# whose byte goes on into the latches and the result.
guest() {
  load_parport
  echo "@@ base-addr=$(cut -f1 /proc/sys/dev/parport/parport0/base-addr)"
  run signature kaldo-cli --port lpt1 --device 89C2051 signature
  run guarded kaldo-cli --port lpt1 --device 89C2051 blank
  run blank kaldo-cli --port lpt1 --device 89C2051 --force blank
  run write kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
  run read kaldo-cli --port lpt1 --device 89C2051 --force read /tmp/read.hex
  run waits kaldo-vm-probe waits clock
}

check() {
  [ "$(console_value base-addr)" = 888 ] || fail "parport0's base-addr is not 888"
  expect_exit signature 0
  expect_text signature "Signature Bytes Info For 89C2051"
  expect_exit guarded 1
  expect_text guarded "No chip answered (signature "
  expect_exit blank 1
  expect_exit write 1
  expect_text write "Program Verify Error @ Address  0000"
  expect_exit read 0
  compare signature until-read 0f 4 --device 89C2051 signature
  compare blank until-read 0f 4 --device 89C2051 --force blank
  compare write whole 0f 4 --device 89C2051 --force write blink.ihx
  compare read until-read 0f 4 --device 89C2051 --force read read.hex
  figure "write through ppdev: $(wall_vs_board write)"
  waits waits at-least
}
