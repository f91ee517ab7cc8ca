# ppdev as ordinary users, with the device nodes as udev leaves them (group lp, mode 0660): a user
# in group lp reaches the port; one outside it gets the error that says how to join the group,
# and nothing is written. `kaldo-cli ports` says the same for each.
guest() {
  load_parport
  lp_nodes
  echo "@@ node=$(ls -l /dev/parport0 | awk '{ print $1 "," $4 }')"
  run lp-user --as lpuser kaldo-cli --port lpt1 --device 89C2051 signature
  run other-user --as other kaldo-cli --port lpt1 --device 89C2051 signature
  run lp-ports --as lpuser kaldo-cli ports
  run other-ports --as other kaldo-cli ports
}

check() {
  [ "$(console_value node)" = "crw-rw----,lp" ] || fail "/dev/parport0 is $(console_value node)"
  expect_exit lp-user 0
  expect_text lp-user "Signature Bytes Info For 89C2051"
  compare lp-user until-read 0f 4 --device 89C2051 signature
  expect_exit other-user 2
  expect_text other-user "The parallel port at 0x0378 cannot be reached."
  expect_text other-user "Through ppdev: No permission to open /dev/parport0 (the port at 0x0378)."
  expect_text other-user "sudo usermod -aG lp \$USER"
  expect_text other-user "By direct port access: No permission to use the I/O ports"
  no_writes other-user
  expect_exit lp-ports 0
  expect_text lp-ports "usable: yes, through ppdev"
  expect_exit other-ports 1
  expect_text other-ports "open: no permission: add your user to the group lp (\"sudo usermod -aG lp \$USER\") and log in again"
  expect_text other-ports "direct port access: no, it needs root (ppdev does not)"
}
