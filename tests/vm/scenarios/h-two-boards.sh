# Two boards at once on a real kernel: one produce run drives LPT1 and a card at 0xD010, first by
# direct port access (no driver loaded), then through ppdev. Each board waits on the host clock
# in a thread of its own and says what it waits for; QEMU's ports hold no board, so neither gets a
# chip, and SIGTERM ends the run with 128 + 15 once both boards are reset. One port named twice is
# refused before either is touched.
PORTS="0x378 0xd010"

guest() {
  run direct --term-after 6000 kaldo-cli --port lpt1 --port 0xd010 --device 89C2051 --count 4 \
    produce blink.ihx
  mark # the driver's probing of the ports is no part of the runs
  load_parport io=0x378,0xd010 irq=none,none
  run ppdev --term-after 6000 kaldo-cli --port /dev/parport0 --port /dev/parport1 \
    --device 89C2051 --count 4 produce blink.ihx
  run twice kaldo-cli --port lpt1 --port /dev/parport0 --device 89C2051 produce blink.ihx
}

check() {
  local run
  for run in direct ppdev; do
    expect_exit $run 143
    expect_text $run "Interrupted: the board was reset"
    expect_text $run "chips done: 0, failed: 0"
  done
  expect_text direct "lpt1: "
  expect_text direct "0xd010: "
  expect_text ppdev "/dev/parport0: "
  expect_text ppdev "/dev/parport1: "
  figure "two boards by direct access: $(output direct | grep -c ': ') lines of the boards before SIGTERM"
  figure "two boards through ppdev: $(output ppdev | grep -c ': ') lines of the boards before SIGTERM"
  expect_exit twice 2
  expect_text twice "kaldo-cli: --port names the port at 0x0378 twice: each board needs a port of its own"
  no_writes twice
}
