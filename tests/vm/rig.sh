#!/usr/bin/env bash
# The kernel rig: boots the stock Debian kernel in QEMU with kaldo-cli in a busybox initramfs, runs
# one scenario on the emulated PC's parallel port(s) and checks what came back.
#
#   rig.sh --cli KALDO_CLI --probe KALDO_VM_PROBE --work DIR SCENARIO_FILE
#
# A scenario file (scenarios/*.sh) sets PORTS (the I/O bases of the emulated LPT ports),
# KERNEL_ARGS and ANSWER_BIT (the status bit that carries the answer, 7 unless set), and defines
# guest() (busybox sh, runs as the guest's init with guest-lib.sh) and check() (runs here
# afterwards with the helpers below). DIR receives the initramfs, the console output
# (console.log), QEMU's port log (port.log), the simulator's traces and the figures (figures.txt).
#
# Exit status: 0 passed, 1 failed, 77 QEMU or the kernel package cannot be had (a failure too when
# KALDO_VM_REQUIRE=1). The kernel package is kept in $KALDO_VM_CACHE, else
# ${XDG_CACHE_HOME:-~/.cache}/kaldo-vm; nothing is installed on this machine.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cli="" probe="" work=""
while [ $# -gt 1 ]; do
  case $1 in
    --cli) cli=$(realpath "$2") ;;
    --probe) probe=$(realpath "$2") ;;
    --work) work=$2 ;;
    *) break ;;
  esac
  shift 2
done
[ $# -eq 1 ] && [ -n "$cli" ] && [ -n "$probe" ] && [ -n "$work" ] || {
  echo "usage: rig.sh --cli KALDO_CLI --probe KALDO_VM_PROBE --work DIR SCENARIO_FILE" >&2
  exit 2
}
scenario=$(realpath "$1")
name=$(basename "$scenario" .sh)
cache=${KALDO_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kaldo-vm}
failures=0

cannot_have() {
  echo "SKIP: $*"
  [ "${KALDO_VM_REQUIRE:-0}" = 1 ] && { echo "KALDO_VM_REQUIRE=1: that is a failure here"; exit 1; }
  exit 77
}

# ---- The kernel: vmlinuz and the parallel-port modules, unpacked once into the cache ----

# The modules kaldo needs and, recursively, those they depend on, dependencies first; they are
# listed in the order load_parport inserts them. The extra modules are kept beside them, for the
# scenarios that load them on purpose (the printer driver lp).
wanted_modules=(parport_pc ppdev)
extra_modules=(lp)

find_module() {  # find_module ROOT NAME -> path of NAME.ko[.xz|.zst|.gz] under ROOT
  find "$1" \( -name "$2.ko" -o -name "$2.ko.xz" -o -name "$2.ko.zst" -o -name "$2.ko.gz" \) \
    -print -quit
}

unpack_module() {  # unpack_module FILE DEST.ko (the kernel's signature stays at the end)
  case $1 in
    *.xz) xz -dc "$1" >"$2" ;;
    *.zst) zstd -qdc "$1" >"$2" ;;
    *.gz) gzip -dc "$1" >"$2" ;;
    *) cp "$1" "$2" ;;
  esac
}

add_module() {  # add_module ROOT NAME DEST: NAME after its dependencies, each once
  local file deps dep
  grep -qx "$2" "$3/order" 2>/dev/null && return 0
  file=$(find_module "$1" "$2")
  [ -n "$file" ] || { echo "the kernel package has no module $2" >&2; return 1; }
  unpack_module "$file" "$3/$2.ko"
  deps=$(grep -ao 'depends=[A-Za-z0-9_,-]*' "$3/$2.ko" | head -n1 | cut -d= -f2 | tr ',' ' ')
  for dep in $deps; do add_module "$1" "$dep" "$3" || return 1; done
  echo "$2" >>"$3/order"
}

# The bzImage's own kernel, uncompressed: QEMU starts it directly (PVH entry), which spares the
# emulated processor several seconds of decompression at every boot. Left out when it cannot be had.
unpack_vmlinux() {  # unpack_vmlinux BZIMAGE DEST
  local magic tool offset
  for magic in $'\xfd7zXZ:xz' $'\x28\xb5\x2f\xfd:zstd' $'\x1f\x8b\x08:gzip'; do
    tool=${magic##*:}
    offset=$(LC_ALL=C grep -abo -- "${magic%:*}" "$1" | head -n1 | cut -d: -f1) || true
    [ -n "$offset" ] || continue
    tail -c +$((offset + 1)) "$1" | "$tool" -dc >"$2.tmp" 2>/dev/null || true
    if [ "$(head -c4 "$2.tmp" | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; then
      mv "$2.tmp" "$2"
      return 0
    fi
  done
  rm -f "$2.tmp"
}

prepare_kernel() {
  local package deb tmp m have
  mkdir -p "$cache"
  package=$(apt-cache depends linux-image-amd64 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print $2; exit }') || true
  if [ -z "$package" ]; then
    # No package lists: a kernel fetched before still serves.
    kernel=$(find "$cache" -mindepth 2 -maxdepth 2 -name ready -printf '%h\n' 2>/dev/null |
      sort | tail -n1)
    [ -n "$kernel" ] || cannot_have "apt-cache knows no linux-image-amd64 and $cache holds no kernel"
    return 0
  fi
  kernel=$cache/$package
  if [ -f "$kernel/ready" ]; then
    have=1
    for m in "${extra_modules[@]}"; do [ -f "$kernel/modules/$m.ko" ] || have=0; done
    [ "$have" = 1 ] && return 0
  fi
  deb=$(ls -t "$cache/${package}_"*.deb 2>/dev/null | head -n1) || true
  if [ -z "$deb" ]; then
    (cd "$cache" && apt-get download -q "$package" >/dev/null 2>"$cache/download.log") ||
      cannot_have "apt-get download $package failed: $(tail -n1 "$cache/download.log")"
    deb=$(ls -t "$cache/${package}_"*.deb | head -n1)
  fi
  if [ -f "$kernel/ready" ]; then
    # A kernel unpacked before the extra modules were wanted: they are added beside the others.
    tmp=$(mktemp -d "$cache/unpack.XXXXXX")
    dpkg-deb -x "$deb" "$tmp/root"
    for m in "${extra_modules[@]}"; do
      unpack_module "$(find_module "$tmp/root/lib/modules" "$m")" "$kernel/modules/$m.ko.tmp"
      mv "$kernel/modules/$m.ko.tmp" "$kernel/modules/$m.ko"
    done
    rm -rf "$tmp"
    return 0
  fi
  tmp=$(mktemp -d "$cache/unpack.XXXXXX")
  dpkg-deb -x "$deb" "$tmp/root"
  rm -rf "$kernel" && mkdir -p "$kernel/modules"
  cp "$tmp"/root/boot/vmlinuz-* "$kernel/vmlinuz"
  unpack_vmlinux "$kernel/vmlinuz" "$kernel/vmlinux"
  for m in "${wanted_modules[@]}"; do add_module "$tmp/root/lib/modules" "$m" "$kernel/modules"; done
  for m in "${extra_modules[@]}"; do
    unpack_module "$(find_module "$tmp/root/lib/modules" "$m")" "$kernel/modules/$m.ko"
  done
  rm -rf "$tmp"
  echo "$package" >"$kernel/ready"
}

# ---- QEMU: KVM when it really runs a guest, else TCG ----

choose_accel() {
  local img=$cache/kvm-probe.img code=0 host noted
  accel=tcg
  [ -r /dev/kvm ] && [ -w /dev/kvm ] || return 0
  # A KVM that runs the probe but not the kernel (seen on nested hosts) was noted by an earlier boot.
  [ -f "$cache/kvm-broken" ] && return 0
  # The probe's verdict holds until the host restarts: a KVM that never runs the probe (also seen
  # on nested hosts) would cost every scenario the probe's whole timeout.
  host=$(cat /proc/sys/kernel/random/boot_id 2>/dev/null) || true
  noted=$cache/accel.$host
  if [ -n "$host" ] && [ -f "$noted" ]; then
    accel=$(cat "$noted")
    return 0
  fi
  if [ ! -f "$img" ]; then
    # A boot sector that writes 0x2A to the exit device: QEMU ends with status 0x2A * 2 + 1.
    printf '\xb0\x2a\xe6\xf4\xf4\xeb\xfd' >"$img.tmp"
    truncate -s 510 "$img.tmp" && printf '\x55\xaa' >>"$img.tmp" && truncate -s 1474560 "$img.tmp"
    mv "$img.tmp" "$img"
  fi
  timeout 5 qemu-system-x86_64 -accel kvm -M pc -nodefaults -no-user-config -display none \
    -monitor none -serial none -device isa-debug-exit,iobase=0xf4 \
    -drive file="$img",format=raw,if=floppy,readonly=on >/dev/null 2>&1 || code=$?
  [ "$code" -eq 85 ] && accel=kvm
  if [ -n "$host" ]; then
    rm -f "$cache"/accel.*
    echo "$accel" >"$noted"
  fi
  return 0
}

# ---- The initramfs ----

copy_with_libraries() {  # copy_with_libraries ROOT PROGRAM: the program into /bin, its libraries
  local lib
  cp "$2" "$1/bin/"
  for lib in $(ldd "$2" | grep -o '/[^ ]*'); do
    mkdir -p "$1$(dirname "$lib")"
    cp -L "$lib" "$1$lib"
  done
}

build_initramfs() {
  local root=$work/root applet
  rm -rf "$root"
  mkdir -p "$root"/{bin,dev,proc,sys,etc,tmp,data,lib/modules,lib/vm,home/lpuser,home/other}
  cp "$(command -v busybox)" "$root/bin/busybox"
  for applet in $("$root/bin/busybox" --list); do
    [ -e "$root/bin/$applet" ] || ln -s busybox "$root/bin/$applet"
  done
  copy_with_libraries "$root" "$cli"
  copy_with_libraries "$root" "$probe"
  strip --strip-debug "$root/bin/$(basename "$cli")" "$root/bin/$(basename "$probe")"
  cp "$kernel"/modules/*.ko "$kernel/modules/order" "$root/lib/modules/"
  cp "$here"/data/* "$root/data/"
  cp "$here/guest-lib.sh" "$root/lib/vm/"
  cp "$scenario" "$root/lib/vm/scenario.sh"
  cat >"$root/etc/passwd" <<'EOF'
root:x:0:0:root:/root:/bin/sh
lpuser:x:1000:1000:in group lp:/home/lpuser:/bin/sh
other:x:1001:1001:not in group lp:/home/other:/bin/sh
EOF
  cat >"$root/etc/group" <<'EOF'
root:x:0:
lp:x:7:lpuser
lpuser:x:1000:
other:x:1001:
EOF
  chown -R 1000:1000 "$root/home/lpuser" && chown -R 1001:1001 "$root/home/other"
  chmod 1777 "$root/tmp"
  cat >"$root/init" <<'EOF'
#!/bin/sh
export PATH=/bin HOME=/root
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t securityfs securityfs /sys/kernel/security
echo "@@ boot uptime_s=$(cut -d' ' -f1 /proc/uptime)"
. /lib/vm/guest-lib.sh
. /lib/vm/scenario.sh
cd /data
guest
mark
echo "@@ done uptime_s=$(cut -d' ' -f1 /proc/uptime)"
poweroff -f
EOF
  chmod +x "$root/init"
  (cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initramfs.cpio"
}

# How long the emulated processor's thread has waited for a host processor so far (ns, from its
# schedstat), 0 where the kernel does not keep it.
held_off_ns() {
  local task
  for task in /proc/"$1"/task/*; do
    case $(cat "$task/comm" 2>/dev/null) in
      "CPU 0/"*) awk '{ print $2; f = 1 } END { if (!f) print 0 }' "$task/schedstat" 2>/dev/null ||
        echo 0; return 0 ;;
    esac
  done
  echo 0
}

# Boots the guest. While it runs, each "@@ begin" and "@@ end" line of the console is noted in
# held_off.txt with held_off_ns at the moment it appeared, so that a run's wall time can be
# weighed against the time a busy host kept the emulator from running.
# On a KVM that stops the kernel with an internal error, the boot is noted as broken for later runs
# and done again under TCG.
boot() {
  boot_once && return 0
  [ "$accel" = kvm ] && grep -q 'KVM internal error' "$work/qemu.log" || return 1
  echo "KVM stopped the guest with an internal error: booting again under TCG"
  touch "$cache/kvm-broken"
  accel=tcg
  boot_once
}

boot_once() {
  local port index=0 args=() start end image qemu seen=0 lines status=0
  for port in $PORTS; do
    args+=(-chardev "null,id=lp$index"
      -device "isa-parallel,chardev=lp$index,index=$index,iobase=$port,irq=$((7 - 2 * index))")
    index=$((index + 1))
  done
  rm -f "$work/console.log" "$work/port.log" "$work/held_off.txt"
  touch "$work/console.log"
  image=$kernel/vmlinux
  [ -f "$image" ] || image=$kernel/vmlinuz
  start=$(date +%s%N)
  qemu-system-x86_64 -accel "$accel" -M pc -m 256M -nodefaults -no-user-config \
    -name kaldo-vm,debug-threads=on -display none -monitor none -no-reboot \
    -serial "file:$work/console.log" \
    -kernel "$image" -initrd "$work/initramfs.cpio" \
    -append "console=ttyS0 quiet panic=-1 $KERNEL_ARGS" "${args[@]}" \
    -trace "parallel_ioport_*,file=$work/port.log" 2>"$work/qemu.log" &
  qemu=$!
  while kill -0 "$qemu" 2>/dev/null; do
    lines=$(grep -c '^@@ \(begin\|end\) ' "$work/console.log" || true)
    if [ "$lines" -gt "$seen" ]; then
      grep '^@@ \(begin\|end\) ' "$work/console.log" | tail -n +$((seen + 1)) |
        awk -v ns="$(held_off_ns "$qemu")" '{ print $2, $3, ns }' >>"$work/held_off.txt"
      seen=$lines
    fi
    if grep -q 'KVM internal error' "$work/qemu.log"; then
      kill "$qemu"
      break
    fi
    if [ $(($(date +%s%N) - start)) -gt 150000000000 ]; then
      kill "$qemu"
      echo "QEMU ran for more than 150 s"
    fi
    sleep 0.02
  done
  wait "$qemu" || status=$?
  end=$(date +%s%N)
  qemu_ms=$(((end - start) / 1000000))
  [ "$status" -eq 0 ] || { echo "QEMU failed (status $status):"; cat "$work/qemu.log"; return 1; }
  tr -d '\r' <"$work/console.log" >"$work/console.txt"
  grep -q '^@@ done' "$work/console.txt" ||
    { echo "the guest did not finish:"; cat "$work/console.txt"; return 1; }
}

# ---- Helpers for check() ----

fail() {
  echo "FAIL $name: $*"
  failures=$((failures + 1))
}

figure() {  # a measured figure: printed and kept in figures.txt
  echo "$name: $*" | tee -a "$work/figures.txt"
}

# The console lines of run NAME between its begin and end lines.
output() {
  awk -v n="$1" '$1 == "@@" && $2 == "end" && $3 == n { exit }
    on { print } $1 == "@@" && $2 == "begin" && $3 == n { on = 1 }' "$work/console.txt"
}

field() {  # field RUN KEY: KEY=value of the run's end line
  awk -v n="$1" -v k="$2" '$1 == "@@" && $2 == "end" && $3 == n {
      for (i = 4; i <= NF; i++) if (index($i, k "=") == 1) print substr($i, length(k) + 2) }' \
    "$work/console.txt"
}

console_value() {  # console_value KEY: value of the first "@@ KEY=value" line
  awk -v k="$1" '$1 == "@@" && index($2, k "=") == 1 { print substr($2, length(k) + 2); exit }' \
    "$work/console.txt"
}

expect_exit() {  # expect_exit RUN STATUS
  local got
  got=$(field "$1" exit)
  [ "$got" = "$2" ] || { fail "$1 ended with status '${got:-none}', not $2:"; output "$1" | sed 's/^/    /'; }
}

expect_text() {  # expect_text RUN TEXT: TEXT is a line, or part of one, of the run's output
  output "$1" | grep -qF -- "$2" || { fail "$1 did not say \"$2\":"; output "$1" | sed 's/^/    /'; }
}

# The port log between the run's mark and the next one, one access a line: W0, W2 (data and
# control writes) and R0, R1, R2 with the value in two lower-case hex digits.
segment() {
  local index
  index=$(awk -v n="$1" '$1 == "@@" && $2 == "begin" && $3 == n {
    sub("mark=", "", $4); print $4 }' "$work/console.txt")
  [ -n "$index" ] || { echo "no run $1" >&2; return 1; }
  awk -f "$here/portlog.awk" -v want="$index" "$work/port.log"
}

# sim_trace RUN ARGS...: the simulated PC's trace of kaldo-cli ARGS with no board on the port, in
# the form of segment() (its LPT1 or, with --port 0xd010, its card); the board time (µs) is in $work/RUN.board_us.
sim_trace() {
  local run=$1 state=$work/sim/$1.state
  shift
  cp "$here"/data/* "$work/sim/"
  rm -f "$state"
  (cd "$work/sim" && "$cli" --sim "$state" --no-board --trace "$run.trace" "$@" >"$run.out" 2>&1) ||
    true
  awk '{ print $1 }' "$work/sim/$run.trace" | tail -n1 >"$work/sim/$run.board_us"
  awk 'BEGIN { offset["0378"] = 0; offset["0379"] = 1; offset["037A"] = 2
      offset["D010"] = 0; offset["D011"] = 1; offset["D012"] = 2 }
    $3 in offset { print $2 offset[$3], tolower($4) }' "$work/sim/$run.trace"
}

# compare RUN MODE MASK KERNEL ARGS...: the port writes of the guest's run against the simulator's
# trace of kaldo-cli ARGS (see compare.awk). MASK: ff compares whole control bytes (direct access),
# 0f their low four bits (ppdev: the kernel keeps its own interrupt and direction bits). KERNEL:
# how many writes of the kernel's driver may come before and after kaldo's. MODE whole: every
# write must agree; until-read: those up to the first status read whose answer bit (ANSWER_BIT)
# differs. There is no board on either port, but an unconnected real port reads 0x7F, as the
# simulator's does, while QEMU's reads as an idle printer (bit 7 set), so a command whose path
# turns on what it reads parts ways there.
compare() {
  local run=$1 mode=$2 mask=$3 kernel=$4 result
  shift 4
  mkdir -p "$work/sim"
  sim_trace "$run" "$@" >"$work/sim/$run.accesses"
  segment "$run" >"$work/$run.port"
  if result=$(awk -f "$here/compare.awk" -v mask="$mask" -v mode="$mode" -v kernel="$kernel" \
    -v bit="$ANSWER_BIT" "$work/sim/$run.accesses" "$work/$run.port"); then
    figure "$run: $result"
  else
    fail "$run: $result"
  fi
}

# no_writes RUN: the run wrote nothing to the port (a refusal before any chip is touched).
no_writes() {
  local writes
  writes=$(segment "$1" | grep -c '^W') || true
  [ "$writes" = 0 ] || fail "$1 wrote $writes time(s) to the port"
}

# held_off RUN: how long (ms) the host kept the emulated processor waiting during the run.
held_off() {
  # A line seen after QEMU ended has no figure (0): nothing is counted then.
  awk -v n="$1" '$2 == n { t[$1] = $3 }
    END { d = t["end"] - t["begin"]; printf "%.0f\n", (d > 0 ? d / 1e6 : 0) }' "$work/held_off.txt"
}

# wall_vs_board RUN: the run's wall time against the simulated board time of its last compare.
wall_vs_board() {
  awk -v w="$(field "$1" wall_ms)" -v b="$(cat "$work/sim/$1.board_us")" -v h="$(held_off "$1")" \
    'BEGIN { printf "wall %.0f ms, board %.0f ms (%+.1f%%), host kept the emulator waiting %d ms\n",
      w, b / 1000, (w * 1000 / b - 1) * 100, h }'
}

# left_idle RUN MASK: the run's piece of the port log leaves the board idle: the last control write
# (through MASK) is 0x07, and the last latch strobe (data bit 7 rising) latched a mode byte with
# bits 7 and 0 set (the mode register takes data bit 6 at each rising edge of data bit 1).
left_idle() {
  local result
  result=$(segment "$1" | awk -v mask="$2" -f "$here/idle.awk") ||
    { fail "$1: $result"; return 0; }
  figure "$1: $result"
}

# cable_left_idle RUN LINES: the run's piece of the port log leaves the cable's lines low (LINES as
# in cable-idle.awk, e.g. rst=17,sck=1,mosi=2).
cable_left_idle() {
  local result
  result=$(segment "$1" | awk -v lines="$2" -f "$here/cable-idle.awk") ||
    { fail "$1: $result"; return 0; }
  figure "$1: $result"
}

# waits RUN [at-least]: the wait timings the probe printed, as figures; with at-least, a wait that
# ever ended before its nominal time is a failure (the clock-backed timer promises that).
waits() {
  local line
  while read -r line; do
    figure "$1 ${line#@@ wait }"
    [ "${2:-}" = at-least ] || continue
    echo "$line" | awk '{ for (i = 4; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] + 0 }
      exit !(v["min_us"] >= v["nominal_us"]) }' ||
      fail "$1: ${line#@@ wait } ended before its nominal time"
  done < <(output "$1" | grep '^@@ wait ')
  output "$1" | grep -q '^@@ wait Delay500ms' || fail "$1: the probe timed no waits"
}

# ---- Main ----

command -v qemu-system-x86_64 >/dev/null || cannot_have "qemu-system-x86_64 is not installed"
command -v busybox >/dev/null || { echo "busybox is not installed"; exit 1; }
command -v cpio >/dev/null || { echo "cpio is not installed"; exit 1; }
mkdir -p "$work"
mkdir -p "$cache"
exec 9>"$cache.lock"
flock 9
prepare_kernel
choose_accel
flock -u 9
rm -f "$work/figures.txt"
PORTS=0x378 KERNEL_ARGS="" ANSWER_BIT=7
# shellcheck source=/dev/null
. "$scenario"
build_initramfs
boot || exit 1
boot_s=$(awk '$1 == "@@" && $2 == "boot" { sub("uptime_s=", "", $3); print $3 }' "$work/console.txt")
figure "kernel $(cat "$kernel/ready"), $accel, init started at guest uptime $boot_s s," \
  "whole QEMU run $qemu_ms ms"
check
[ "$failures" -eq 0 ] && echo "PASS $name" || echo "$failures failure(s) in $name; console: $work/console.txt"
exit $((failures > 0))
