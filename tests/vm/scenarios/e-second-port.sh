# A second port at 0x278: --port lpt2 reaches it (its data register ends with kaldo's last write,
# while the first port's stays as it was), and a base the kernel does not list is refused with the
# ports it has. That run is made as the user in group lp: root would go on by direct access. The
# kernel numbers the ports in the order the firmware lists them, which need not be LPT1 first.
PORTS="0x378 0x278"

guest() {
  load_parport
  lp_nodes
  echo "@@ ports=$(cd /proc/sys/dev/parport && for p in parport*; do
    printf '%s@%s,' "$p" "$(cut -f1 "$p/base-addr")"; done)"
  echo "@@ before=$(peek 0x378),$(peek 0x278)"
  run lpt2 kaldo-cli --port lpt2 --device 89C2051 signature
  echo "@@ after=$(peek 0x378),$(peek 0x278)"
  run unlisted --as lpuser kaldo-cli --port 0x3bc --device 89C2051 signature
}

check() {
  local ports listed last
  ports=$(console_value ports)
  case $ports in
    parport0@888,parport1@632, | parport0@632,parport1@888,) ;;
    *) fail "the kernel's ports are $ports, not 888 and 632" ;;
  esac
  listed=$(echo "$ports" | sed 's/@888/ at 0x0378/; s/@632/ at 0x0278/; s/,$//; s/,/, /')
  expect_exit lpt2 0
  expect_text lpt2 "Signature Bytes Info For 89C2051"
  compare lpt2 until-read 0f 4 --device 89C2051 signature
  last=$(awk '$3 == "0378" && $2 == "W" { v = tolower($4) } END { print v }' "$work/sim/lpt2.trace")
  [ "$(console_value after)" = "$(console_value before | cut -d, -f1),$last" ] ||
    fail "data registers before $(console_value before), after $(console_value after);" \
      "0x278 should end with $last and 0x378 keep its value"
  expect_exit unlisted 2
  expect_text unlisted "Through ppdev: The kernel has no parallel port at I/O address 0x03BC (it has $listed)."
}
