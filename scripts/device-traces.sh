#!/usr/bin/env bash
# Records the simulated PC's port trace of every device command on every device that kaldo-cli
# knows: blank, write, verify, read, signature, a write with every lock bit the device has, and
# identify, on a fresh chips file for each device. A trace is kept as its SHA-256 and its length
# in lines (with KEEP_TRACES=1 the trace itself too: about 300 MB a device), beside the command's
# output. Two builds' folders compare with diff -r:
#   bash scripts/device-traces.sh build-old/cli/kaldo-cli /tmp/old
#   bash scripts/device-traces.sh build/cli/kaldo-cli /tmp/new && diff -r /tmp/old /tmp/new
# A device only one build knows shows as a folder only one side has.
set -euo pipefail
cli=$(realpath "$1")
out=$2
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# 256 bytes that are neither blank nor a pattern, the same on every run.
awk 'BEGIN { for (r = 0; r < 16; r++) { line = sprintf("10%04X00", r * 16); sum = 16 + int(r * 16 / 256) + (r * 16) % 256;
       for (i = 0; i < 16; i++) { b = (r * 16 + i) * 37 % 251; line = line sprintf("%02X", b); sum += b }
       printf ":%s%02X\r\n", line, (256 - sum % 256) % 256 } printf ":00000001FF\r\n" }' >image.hex
"$cli" devices | while read -r name size lockbits _; do
  mkdir -p "$out/$name"
  lock=1,2
  case "$lockbits" in *3*) lock=1,2,3 ;; esac
  run() {
    local step=$1
    shift
    rm -f "$out/$name/$step.trace"
    "$cli" --sim "$name.state" --device "$name" --trace "$out/$name/$step.trace" "$@" \
      >"$out/$name/$step.out" 2>&1 || echo "exit $?" >>"$out/$name/$step.out"
    echo "$(sha256sum <"$out/$name/$step.trace" | cut -d' ' -f1) $(wc -l <"$out/$name/$step.trace")" \
      >"$out/$name/$step.sum"
    [ "${KEEP_TRACES:-0}" = 1 ] || rm "$out/$name/$step.trace"
  }
  run 1-blank blank
  run 2-write write image.hex
  run 3-verify verify image.hex
  run 4-read read "$name.read.hex"
  run 5-signature signature
  run 6-lock --lock "$lock" write image.hex
  run 7-identify identify
done
