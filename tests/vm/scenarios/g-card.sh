# A PCI-style card at 0xD010 beside LPT1 (parport_pc finds it with io=0x378,0xd010): kaldo-cli
# reaches it by node (a whole write, equal to the simulator's on its card), by index and by base
# (the signature read); the printer driver lp, merely loaded (registered on both ports, idle),
# changes nothing: the write's port log is the same as without it. A port that another program
# has claimed, or that lp holds while it prints, is refused with its remedy and nothing written.
# The probe's claims show what the kernel itself does: with lp registered, PPEXCL then PPCLAIM
# fails with ENXIO; while another program holds the port, PPCLAIM sleeps until it lets go; while
# lp prints, a claim gets the port as soon as lp yields it between two pieces of the job.
PORTS="0x378 0xd010"

# held_by PORT: waits until a driver holds parportN (the kernel names it in devices/active).
held_by() {
  while [ "$(cat /proc/sys/dev/parport/$1/devices/active)" = none ]; do sleep 0.05; done
}

guest() {
  load_parport io=0x378,0xd010 irq=none,none
  echo "@@ ports=$(cd /proc/sys/dev/parport && for p in parport*; do
    printf '%s@%s,' "$p" "$(cut -f1 "$p/base-addr")"; done)"
  run ports kaldo-cli ports
  run probe kaldo-cli ports --probe
  run node kaldo-cli --port /dev/parport1 --device 89C2051 --force write blink.ihx
  run index kaldo-cli --port 1 --device 89C2051 signature
  run base kaldo-cli --port 0xd010 --device 89C2051 signature
  run missing kaldo-cli --port /dev/parport2 --device 89C2051 signature
  load_lp
  echo "@@ lp-active=$(cat /proc/sys/dev/parport/parport1/devices/active)"
  run lp-ports kaldo-cli ports
  run lp-idle kaldo-cli --port /dev/parport1 --device 89C2051 --force write blink.ihx
  run lp-excl kaldo-vm-probe claim /dev/parport1 excl wait 1000
  # Another program holds the card until it is stopped.
  kaldo-vm-probe claim /dev/parport1 hold 600000 >/tmp/holder.out 2>&1 &
  holder=$!
  held_by parport1
  echo "@@ held-active=$(cat /proc/sys/dev/parport/parport1/devices/active)"
  run held kaldo-cli --port /dev/parport1 --device 89C2051 --force write blink.ihx
  run held-ports kaldo-cli ports
  run held-claim kaldo-vm-probe claim /dev/parport1 wait 1000
  kill $holder
  wait
  # lp printing: a job to /dev/lp1, stopped once kaldo-cli has asked for the port.
  dd if=/dev/zero bs=1k count=65536 2>/dev/null >/dev/lp1 &
  printer=$!
  held_by parport1
  echo "@@ printing-active=$(cat /proc/sys/dev/parport/parport1/devices/active)"
  run printing kaldo-cli --port /dev/parport1 --device 89C2051 --force write blink.ihx
  run printing-claim kaldo-vm-probe claim /dev/parport1 wait 1000
  kill $printer 2>/dev/null
  wait
}

check() {
  local run
  case $(console_value ports) in
    parport0@888,parport1@53264,) ;;
    *) fail "the kernel's ports are $(console_value ports), not 888 and 53264" ;;
  esac
  expect_exit ports 0
  expect_text ports "/dev/parport1  0xD010  modes "
  # QEMU's port answers as an idle printer would, Busy high: something is there. kaldo-cli only
  # reads; the kernel itself sets the control register as it claims and releases each port, and
  # the data register, whose bits clock and latch the board's registers, is never written.
  expect_exit probe 0
  expect_text probe "    board: status 0xD8: Busy is driven, a board (or another device) seems to answer"
  [ "$(segment probe | grep -c '^W0')" = 0 ] || fail "the probe wrote the data register"
  figure "probe: the kernel's own writes at claim and release: $(segment probe | grep '^W' | tr '\n' ' ')"
  for run in node lp-idle; do
    expect_exit $run 1
    expect_text $run "Program Verify Error @ Address  0000"
  done
  compare node whole 0f 4 --port 0xd010 --device 89C2051 --force write blink.ihx
  segment node >"$work/node.port" && segment lp-idle >"$work/lp-idle.port"
  cmp -s "$work/node.port" "$work/lp-idle.port" ||
    fail "the write with lp loaded differs from the one without it"
  for run in index base; do
    expect_exit $run 0
    expect_text $run "Signature Bytes Info For 89C2051"
    compare $run until-read 0f 4 --port 0xd010 --device 89C2051 signature
  done
  expect_exit missing 2
  expect_text missing "there is no port /dev/parport2: the ports listed are /dev/parport0 (0x0378), /dev/parport1 (0xD010)"
  [ "$(console_value lp-active)" = none ] || fail "lp holds the port while idle"
  expect_text lp-ports "held: no (lp registered, idle"
  expect_text lp-excl "@@ claim result=ENXIO step=PPCLAIM"
  [ "$(console_value held-active)" = ppdev1 ] || fail "the holder is $(console_value held-active)"
  for run in held printing; do
    expect_exit $run 2
    expect_text $run "By direct port access: not tried, since another driver holds the port."
  done
  # While lp prints, its own writes to the card fill the port log, which does not say whose they
  # are; the program that holds the card writes nothing.
  no_writes held
  expect_text held "Through ppdev: /dev/parport1 (the port at 0xD010) is held by ppdev1: another program has claimed it."
  expect_text held-ports "held: yes, is held by ppdev1"
  expect_text held-claim "@@ claim result=EINTR step=PPCLAIM"
  [ "$(console_value printing-active)" = lp ] || fail "lp did not hold the port while printing"
  expect_text printing "Through ppdev: /dev/parport1 (the port at 0xD010) is held by the printer driver lp (lp). Stop the print job, or unload the driver with \"sudo rmmod lp\""
  figure "lp registered: PPEXCL, then $(output lp-excl | grep '^@@ claim' | cut -c4-)"
  figure "held by another program: $(output held-claim | grep '^@@ claim' | cut -c4-) (still asleep when given up after 1000 ms)"
  figure "lp printing: $(output printing-claim | grep '^@@ claim' | cut -c4-)"
}
