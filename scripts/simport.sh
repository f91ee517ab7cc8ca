#!/usr/bin/env bash
# simport.sh STATE [--socket PART | --empty-socket] [--no-board] [--trace FILE] -- PROGRAM ARGS...
#
# Runs PROGRAM with the simulated PC behind /dev/parport0 and /dev/parport1 (the preload library
# of tests/simport): the programmer board on the port the program claims, the chips of the state
# file STATE (the same file as kaldo-cli --sim STATE). The socket holds the chip of PART, or of the
# program's --device when no socket option is given. For KALDO's own programs KALDO_SYSTEM_ROOT
# names a system tree that lists the two ports, so that --port lpt1, --port /dev/parport0 and
# `kaldo-cli ports` find them; under it no real port is touched.
#
# Builds nothing: the library is $KALDO_SIMPORT_LIB, or else the one in build/ (or
# $KALDO_BUILD_DIR). Refuses to run PROGRAM unless the library is seen to load.
set -euo pipefail
usage() {
  echo "usage: simport.sh STATE [--socket PART | --empty-socket] [--no-board] [--trace FILE] -- PROGRAM ARGS..." >&2
  exit 2
}
[ $# -ge 1 ] || usage
state=$1
shift
socket= board= trace=
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  case $1 in
    --socket) [ $# -ge 2 ] || usage; socket=$2; shift 2 ;;
    --empty-socket) socket=empty; shift ;;
    --no-board) board=none; shift ;;
    --trace) [ $# -ge 2 ] || usage; trace=$2; shift 2 ;;
    *) usage ;;
  esac
done
[ $# -ge 2 ] || usage
shift

# The socket holds the chip of the device the program is told of, as with kaldo-cli --sim.
if [ -z "$socket" ]; then
  args=("$@")
  for i in "${!args[@]}"; do
    case ${args[$i]} in
      --device=*) socket=${args[$i]#--device=} ;;
      --device) [ $((i + 1)) -lt ${#args[@]} ] && socket=${args[$((i + 1))]} ;;
    esac
  done
fi

here=$(cd "$(dirname "$0")/.." && pwd)
lib=${KALDO_SIMPORT_LIB:-${KALDO_BUILD_DIR:-$here/build}/tests/simport/libkaldo_simport.so}
[ -f "$lib" ] || {
  echo "simport.sh: no library $lib: build the target kaldo_simport, or name it in KALDO_SIMPORT_LIB" >&2
  exit 1
}
lib=$(cd "$(dirname "$lib")" && pwd)/$(basename "$lib")

# The system tree: the kernel's list of the two ports, their nodes (plain files, which the library
# answers), ppdev loaded; the user's ids and names are the real ones.
tree=${TMPDIR:-/tmp}/kaldo-simport-$(id -u)
put() {  # put FILE TEXT: written whole, so that a program reading the tree meanwhile sees no half
  mkdir -p "$(dirname "$1")"
  printf '%b' "$2" >"$1.$$"
  mv -f "$1.$$" "$1"
}
mkdir -p "$tree/proc/self" "$tree/etc" "$tree/dev"
ln -sfn /proc/self/status "$tree/proc/self/status"
ln -sfn /etc/passwd "$tree/etc/passwd"
ln -sfn /etc/group "$tree/etc/group"
put "$tree/proc/modules" 'parport_pc 0 0 - Live 0x0\nppdev 0 0 - Live 0x0\nparport 0 2 parport_pc,ppdev, Live 0x0\n'
put "$tree/sys/kernel/security/lockdown" '[none] integrity confidentiality\n'
n=0
for base in '888\t1912' '53264\t53256'; do
  put "$tree/proc/sys/dev/parport/parport$n/base-addr" "$base\n"
  put "$tree/proc/sys/dev/parport/parport$n/modes" 'PCSPP,TRISTATE\n'
  put "$tree/proc/sys/dev/parport/parport$n/devices/active" 'none\n'
  [ -f "$tree/dev/parport$n" ] || : >"$tree/dev/parport$n"
  chmod 0660 "$tree/dev/parport$n"
  n=$((n + 1))
done

# The library must be seen to load into a program before PROGRAM runs under it.
marker=$(mktemp)
rm -f "$marker"
LD_PRELOAD=$lib KALDO_SIMPORT_MARKER=$marker /bin/true 2>/dev/null || true
if [ ! -s "$marker" ]; then
  echo "simport.sh: $lib does not load into a program: nothing is run" >&2
  exit 1
fi
rm -f "$marker"

exec env LD_PRELOAD="$lib${LD_PRELOAD:+:$LD_PRELOAD}" KALDO_SIMPORT_STATE="$state" \
  KALDO_SIMPORT_SOCKET="$socket" KALDO_SIMPORT_BOARD="$board" KALDO_SIMPORT_TRACE="$trace" \
  KALDO_SYSTEM_ROOT="$tree" "$@"
