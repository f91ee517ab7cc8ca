# Direct port access as root with no parallel-port driver loaded: ppdev finds no port, so kaldo
# uses the port instructions and the PC's own interval timer (QEMU's 8254 and port 0x61). Nothing
# else touches the port, so every control byte is compared whole, and the write lasts its board
# time and little more: the faster of two runs is held to +5%, not counting the time a busy host
# kept the emulated processor waiting (it stands still then while QEMU's timer runs on).
guest() {
  [ -e /proc/sys/dev/parport ] && echo "@@ driver=loaded"
  run write kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
  run write-again kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
  run waits kaldo-vm-probe waits direct
}

check() {
  [ -z "$(console_value driver)" ] || fail "a parallel-port driver is loaded"
  local run fastest=""
  for run in write write-again; do
    expect_exit $run 1
    expect_text $run "Program Verify Error @ Address  0000"
    compare $run whole ff 0 --device 89C2051 --force write blink.ihx
    figure "$run by direct access: $(wall_vs_board $run)"
    awk -v w="$(field $run wall_ms)" -v b="$(cat "$work/sim/$run.board_us")" \
      'BEGIN { exit !(w * 1000 >= b) }' || fail "$run took less wall time than board time"
    [ -n "$fastest" ] && awk -v a="$(field $run wall_ms)" -v b="$(field $fastest wall_ms)" \
      -v ha="$(held_off $run)" -v hb="$(held_off $fastest)" 'BEGIN { exit !(a - ha >= b - hb) }' ||
      fastest=$run
  done
  awk -v w="$(field $fastest wall_ms)" -v b="$(cat "$work/sim/$fastest.board_us")" \
    -v h="$(held_off $fastest)" 'BEGIN { exit !((w - h) * 1000 <= b * 1.05) }' ||
    fail "the faster write took more than its board time + 5% (and the time it was kept waiting)"
  waits waits
}
