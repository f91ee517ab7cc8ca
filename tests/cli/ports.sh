# kaldo-cli ports and the --port forms, on system trees of our own (KALDO_SYSTEM_ROOT): the kernel's
# port list, the nodes, the user's groups. kaldo-cli only reads such a tree and touches no port.
. "$(dirname "$0")/lib.sh"
cd "$WORK" || exit 1
usage="\nTry 'kaldo-cli --help'."

# tree NAME: a machine with LPT1 and a card at 0xD010, the user ann (uid 1000) in group lp.
tree() {
  local r=$WORK/$1 n
  mkdir -p "$r/proc/self" "$r/etc" "$r/dev" "$r/sys/kernel/security"
  printf 'Uid:\t1000\t1000\t1000\t1000\nGid:\t1000\t1000\t1000\t1000\nGroups:\t1000 %s\n' \
    "$(id -g)" >"$r/proc/self/status"
  printf 'ann:x:1000:1000::/home/ann:/bin/sh\n' >"$r/etc/passwd"
  printf 'lp:x:%s:ann\nann:x:1000:\n' "$(id -g)" >"$r/etc/group"
  echo 'none [integrity] confidentiality' >"$r/sys/kernel/security/lockdown"
  for n in 0 1; do
    mkdir -p "$r/proc/sys/dev/parport/parport$n/devices"
    echo none >"$r/proc/sys/dev/parport/parport$n/devices/active"
    echo PCSPP,TRISTATE >"$r/proc/sys/dev/parport/parport$n/modes"
    : >"$r/dev/parport$n" && chmod 0660 "$r/dev/parport$n"
  done
  printf '888\t1912\n' >"$r/proc/sys/dev/parport/parport0/base-addr"
  printf '53264\t53256\n' >"$r/proc/sys/dev/parport/parport1/base-addr"
}

tree card
good="/dev/parport0  0x0378  modes PCSPP,TRISTATE
    open: yes
    held: no
    direct port access: no, the kernel is locked down (integrity, as Secure Boot leaves it) and refuses port instructions even to root
    usable: yes, through ppdev
/dev/parport1  0xD010  modes PCSPP,TRISTATE
    open: yes
    held: no
    direct port access: no, the kernel is locked down (integrity, as Secure Boot leaves it) and refuses port instructions even to root
    usable: yes, through ppdev"
KALDO_SYSTEM_ROOT=$WORK/card check "ports, card" 0 "$good" '' ports

# The lp driver holds the card, and the user's login predates joining group lp.
tree held
echo lp0 >"$WORK/held/proc/sys/dev/parport/parport1/devices/active"
mkdir -p "$WORK/held/proc/sys/dev/parport/parport1/devices/lp"
printf 'Uid:\t1000\t1000\t1000\t1000\nGid:\t1000\t1000\t1000\t1000\nGroups:\t1000\n' \
  >"$WORK/held/proc/self/status"
KALDO_SYSTEM_ROOT=$WORK/held "$CLI" ports >held.txt 2>&1
[ $? = 1 ] || fail "ports on a machine without a usable port should exit 1"
grep -qF 'open: no, you are in the group lp but this login began before you were added' held.txt ||
  fail "no new-login remedy: $(cat held.txt)"
grep -qF 'held: yes, is held by the printer driver lp (lp0). Stop the print job, or unload the driver with "sudo rmmod lp"' held.txt ||
  fail "no lp remedy: $(cat held.txt)"

# Hostile kernel files: 1 GiB without a line end (sparse), escape sequences; ppdev loaded but no
# node made.
tree hostile
h=$WORK/hostile/proc/sys/dev/parport
endless=("$h/parport0/modes" "$h/parport0/devices/active" "$WORK/hostile/sys/kernel/security/lockdown")
rm "${endless[@]}" && truncate -s 1G "${endless[@]}"
printf 'PCSPP\033[2J\n' >"$h/parport1/modes"
printf '\033]0;owned\007' >"$h/parport1/devices/active"
printf 'ppdev 24576 0 - Live 0x0\n' >"$WORK/hostile/proc/modules"
rm "$WORK/hostile/dev/parport1"
KALDO_SYSTEM_ROOT=$WORK/hostile check "ports, hostile files" 0 '/dev/parport0  0x0378  modes unknown
    open: yes
    held: no
    direct port access: no, it needs root (ppdev does not)
    usable: yes, through ppdev
/dev/parport1  0xD010  modes PCSPP\\x1B[2J
    open: no, /dev/parport1 is missing: the module ppdev is loaded, but nothing made the node: "sudo udevadm trigger" makes it, or "sudo mknod -m 0660 /dev/parport1 c 99 1 && sudo chgrp lp /dev/parport1"
    held: yes, is held by \\x1B]0;owned\\x07: another program has claimed it. Close that program ("sudo fuser -v /dev/parport*" names it), then try again
    direct port access: no, it needs root (ppdev does not)
    usable: no' '' ports

# No parallel-port driver, a USB printer adapter.
mkdir -p usb/proc/self usb/dev/usb && cp card/proc/self/status usb/proc/self/ && : >usb/dev/usb/lp0
KALDO_SYSTEM_ROOT=$WORK/usb check "ports, USB only" 1 'No parallel port is known to the kernel: /proc/sys/dev/parport is missing. Load the drivers with "sudo modprobe parport_pc ppdev"
/dev/usb/lp0 is a USB printer adapter, which cannot drive a programmer board: it needs a parallel port on the main board or on a PCI or PCIe card
This machine has only USB printer adapters, none of which can drive a programmer board' '' ports

# --port by node and index is looked up in the kernel's list; a test tree's port is reached only
# through the tree's own node (a plain file here, which answers no port request), never by direct
# access, and a device node in the tree is not opened.
untouched() {  # untouched BASE NODE REASON
  printf 'The parallel port at %s cannot be reached.\nThrough ppdev: %s\nBy direct port access: not tried, since the ports are read from the test tree %s (KALDO_SYSTEM_ROOT), where no real port is touched.' \
    "$1" "$3" "$WORK/card"
}
claim="Cannot claim %s (the port at %s): Inappropriate ioctl for device. Another program or driver may be using the port: close it, and check that the module ppdev is loaded."
for name in /dev/parport1:0xD010:1 1:0xD010:1 0xd010:0xD010:1 lpt1:0x0378:0; do
  IFS=: read -r port base n <<<"$name"
  reason=$(printf "$claim" "/dev/parport$n" "$base")
  KALDO_SYSTEM_ROOT=$WORK/card check "port $port" 2 '' "$(untouched "$base" "/dev/parport$n" "$reason")" --port "$port" signature
done
ln -sf /dev/null "$WORK/card/dev/parport1"
reason="$WORK/card/dev/parport1 is a device node, and the ports are read from the test tree $WORK/card (KALDO_SYSTEM_ROOT), where no real port is touched. Make the tree's nodes plain files."
KALDO_SYSTEM_ROOT=$WORK/card check "device node in the tree" 2 '' "$(untouched 0xD010 /dev/parport1 "$reason")" --port 1 signature
rm "$WORK/card/dev/parport1" && : >"$WORK/card/dev/parport1"
KALDO_SYSTEM_ROOT=$WORK/card check "no such node" 2 '' 'there is no port /dev/parport4: the ports listed are /dev/parport0 (0x0378), /dev/parport1 (0xD010).' --port /dev/parport4 signature
KALDO_SYSTEM_ROOT=$WORK/card check "no such index" 2 '' 'there is no port /dev/parport2: the ports listed are /dev/parport0 (0x0378), /dev/parport1 (0xD010).' --port 2 signature
KALDO_SYSTEM_ROOT=$WORK/card check "probe untouched" 2 '' "The ports are read from the test tree $WORK/card (KALDO_SYSTEM_ROOT): --probe touches no real port." --probe ports
check "unknown form" 2 '' "kaldo-cli: unknown port '/dev/lp0' (lpt1, lpt2, lpt3, 0xBASE, /dev/parportN or N)$usage" --port /dev/lp0 signature

finish
