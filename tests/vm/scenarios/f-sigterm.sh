# SIGTERM in the middle of a write, by direct port access and then through ppdev: kaldo-cli puts
# the board back to idle before it ends with status 128 + 15, so the port's last control write is
# 0x07 (Strobe, AutoFeed and Init) and the last latch strobe carries a mode byte with bits 7 and 0
# set.
guest() {
  run direct --term-after 1500 kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
  mark # the driver's probing of the port is no part of the run
  load_parport
  run ppdev --term-after 1500 kaldo-cli --port lpt1 --device 89C2051 --force write blink.ihx
}

check() {
  local run
  for run in direct ppdev; do
    [ -n "$(field $run term_ms)" ] || fail "$run ended before the signal was sent"
    [ "$(field $run exit)" = 143 ] || fail "$run ended with status $(field $run exit), not 143"
    figure "$run: SIGTERM at $(field $run term_ms) ms, ended with status $(field $run exit)" \
      "after $(field $run wall_ms) ms"
  done
  left_idle direct ff
  left_idle ppdev 0f
}
