# A kernel in lockdown (as Secure Boot leaves it): the port instructions are refused even to root,
# with the text that names the cause; ppdev is not affected. (/dev/port is refused too, so the runs
# get no piece of the port log.) `kaldo-cli ports` names the lockdown.
KERNEL_ARGS="lockdown=integrity"

guest() {
  echo "@@ lockdown=$(sed 's/.*\[\(.*\)\].*/\1/' /sys/kernel/security/lockdown)"
  run direct kaldo-cli --port lpt1 --device 89C2051 signature
  load_parport
  run ppdev kaldo-cli --port lpt1 --device 89C2051 signature
  run ports kaldo-cli ports
}

check() {
  [ "$(console_value lockdown)" = integrity ] || fail "the kernel is not in lockdown"
  expect_exit direct 2
  expect_text direct "Through ppdev: No parallel port is known to the kernel"
  expect_text direct "By direct port access: The kernel refused the I/O ports 0x0378-0x037A, 0x42-0x43 and 0x61 although kaldo runs as root: the kernel is locked down (Secure Boot lockdown)"
  expect_exit ppdev 0
  expect_text ppdev "Signature Bytes Info For 89C2051"
  expect_exit ports 0
  expect_text ports "direct port access: no, the kernel is locked down (integrity, as Secure Boot leaves it)"
}
