# Direct port access as root with no parallel-port driver loaded: ppdev finds no port, so kaldo
# uses the port instructions and the PC's own interval timer (QEMU's 8254 and port 0x61). Nothing
# else touches the port, so every control byte is compared whole, and no write ends before its
# board time. How much longer it lasts is a figure (bench/vm-figures.sh prints it as a ratio).
# Without parport_pc, `kaldo-cli ports` says how to load it, and an ordinary user is refused with
# both reasons and nothing written.
guest() {
  [ -e /proc/sys/dev/parport ] && echo "@@ driver=loaded"
  run write kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
  run write-again kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
  run waits kaldo-vm-probe waits direct
  run ports kaldo-cli ports
  run other-user --as other kaldo-cli --port lpt1 --device 89C2051 signature
}

check() {
  [ -z "$(console_value driver)" ] || fail "a parallel-port driver is loaded"
  local run
  for run in write write-again; do
    expect_exit $run 1
    expect_text $run "Program Verify Error @ Address  0000"
    compare $run whole ff 0 --device 89C2051 --force write blink.ihx
    figure "$run by direct access: $(wall_vs_board $run)"
    awk -v w="$(field $run wall_ms)" -v b="$(cat "$work/sim/$run.board_us")" \
      'BEGIN { exit !(w * 1000 >= b) }' || fail "$run took less wall time than board time"
  done
  waits waits
  expect_exit ports 1
  expect_text ports 'No parallel port is known to the kernel: /proc/sys/dev/parport is missing. Load the drivers with "sudo modprobe parport_pc ppdev"'
  expect_exit other-user 2
  expect_text other-user "Through ppdev: No parallel port is known to the kernel"
  expect_text other-user "By direct port access: No permission to use the I/O ports"
  no_writes other-user
}
