# Direct port access as root with no parallel-port driver loaded: ppdev finds no port, so kaldo
# uses the port instructions and the PC's own interval timer (QEMU's 8254 and port 0x61). Nothing
# else touches the port, so every control byte is compared whole, and no write ends before its
# board time. How much longer it lasts is a figure (bench/vm-figures.sh prints it as a ratio).
guest() {
  [ -e /proc/sys/dev/parport ] && echo "@@ driver=loaded"
  run write kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
  run write-again kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
  run waits kaldo-vm-probe waits direct
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
}
