# Sourced by the guest's init (busybox sh) before the scenario's guest().
#
# mark: four reads of the data register of the port at 0x378 through /dev/port. Nothing else reads
# that register four times in a row, so the marks cut QEMU's port log into one piece per run.
# Where /dev/port is refused (kernel lockdown) no mark is made and the runs get no piece.
marks=0
mark() {
  dd if=/dev/port of=/dev/null bs=1 count=1 skip=888 2>/dev/null || return 0
  dd if=/dev/port of=/dev/null bs=1 count=1 skip=888 2>/dev/null
  dd if=/dev/port of=/dev/null bs=1 count=1 skip=888 2>/dev/null
  dd if=/dev/port of=/dev/null bs=1 count=1 skip=888 2>/dev/null
  marks=$((marks + 1))
}

# peek ADDRESS: one byte read through /dev/port, as two hex digits.
peek() {
  dd if=/dev/port bs=1 count=1 skip=$(($1)) 2>/dev/null | od -An -tx1 | tr -d ' '
}

# load_parport [ARGS...]: the parallel-port drivers, dependencies first, as the rig listed them;
# ARGS go to parport_pc (io=0x378,0xd010 for a card's port, which it does not look for itself).
load_parport() {
  for module in $(cat /lib/modules/order); do
    if [ "$module" = parport_pc ]; then
      insmod "/lib/modules/$module.ko" "$@" || echo "@@ insmod $module failed"
    else
      insmod "/lib/modules/$module.ko" || echo "@@ insmod $module failed"
    fi
  done
}

# The printer driver lp: it registers itself on every port (lp0 on parport0, ...).
load_lp() {
  insmod /lib/modules/lp.ko || echo "@@ insmod lp failed"
}

# The ppdev nodes as udev leaves them on Debian: group lp, mode 0660.
lp_nodes() {
  chgrp lp /dev/parport* && chmod 0660 /dev/parport*
}

# run NAME [--as USER] [--term-after MS] CMD ARGS...: a mark, then CMD with its output on the
# console between "@@ begin NAME mark=N" and "@@ end NAME exit=S wall_ms=T".
run() {
  name=$1
  shift
  user=""
  term=""
  while :; do
    case $1 in
      --as) user=$2; shift 2 ;;
      --term-after) term="--term-after $2"; shift 2 ;;
      *) break ;;
    esac
  done
  mark
  echo "@@ begin $name mark=$marks"
  if [ -n "$user" ]; then
    # The arguments hold no blanks or quotes: they pass through su's command line as they stand.
    kaldo-vm-probe run $term su -s /bin/sh -c "exec $*" "$user" >/tmp/run.out 2>&1
  else
    kaldo-vm-probe run $term "$@" >/tmp/run.out 2>&1
  fi
  grep -vE '^@@ (exit|term_ms)=' /tmp/run.out
  echo "@@ end $name" $(grep -E '^@@ (exit|term_ms)=' /tmp/run.out | cut -c4-)
}
