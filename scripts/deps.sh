#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, and any named on the command line;
# does nothing when they are there.
set -euo pipefail
packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev fonts-liberation binutils srecord clang libclang-rt-dev clang-format
  qemu-system-x86 busybox-static cpio python3 "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
