# Compares the simulator's port accesses (first file) with QEMU's piece of the port log for the
# same run (second file), both as portlog.awk prints them ("W0 44", "R1 7f", "W2 07").
#
#   awk -f compare.awk -v mode=whole|until-read -v mask=0f|ff -v kernel=N [-v bit=B] SIM PIECE
#
# Control writes are compared through mask. Up to `kernel` writes before and after kaldo's own may
# come from the kernel's driver (claiming and releasing the port); the simulator's first write is
# looked for among the first kernel + 1. The streams are then walked side by side: writes must be
# equal, status reads are compared by the bit that carries the answer (bit B, 7 unless given: the
# board's read-back line, Busy), and the kernel's reads of the data and control registers are
# passed over. mode whole: every write must agree; until-read: those up to the first status read
# whose answer bit differs, which decides the path.
# Prints one line of figures; exits 1 when the runs disagree.
function hexval(s,   i, n) {
  n = 0
  for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
  return n
}
function masked(kind, v) {
  return kind == "W2" && mask == "0f" ? hexval(v) % 16 : hexval(v)
}
function answer(v) {
  return int(hexval(v) / 2 ^ bit) % 2
}
FNR == NR { sk[++ns] = $1; sv[ns] = $2; if ($1 ~ /^W/) sw++; next }
{ qk[++nq] = $1; qv[nq] = $2 }
END {
  if (kernel == "") kernel = 0
  if (bit == "") bit = 7
  # Where kaldo's first write is: the kernel's own writes come before it.
  for (first = 1; first <= ns && sk[first] !~ /^W/; first++) {}
  start = 0
  before = 0
  for (j = 1; j <= nq && before <= kernel; j++) {
    if (qk[j] !~ /^W/) continue
    if (qk[j] == sk[first] && masked(qk[j], qv[j]) == masked(sk[first], sv[first])) {
      start = j
      break
    }
    before++
  }
  if (start == 0) {
    printf "the simulator's first write %s %s is not among QEMU's first %d\n", sk[first], sv[first],
      kernel + 1
    exit 1
  }
  i = 1; j = start; equal = 0; reads = 0; readDiff = ""; writeDiff = ""
  while (i <= ns && j <= nq) {
    if (qk[j] == "R0" || qk[j] == "R2") { j++; continue }
    if (sk[i] ~ /^R/ && qk[j] ~ /^R/) {
      reads++
      if (readDiff == "" && answer(sv[i]) != answer(qv[j]))
        readDiff = sprintf("status read %d, after write %d (simulator %s, QEMU %s)", reads, equal,
          sv[i], qv[j])
      i++; j++; continue
    }
    if (sk[i] == qk[j] && masked(sk[i], sv[i]) == masked(qk[j], qv[j])) {
      equal++; i++; j++; continue
    }
    writeDiff = sprintf("access %d differs: simulator %s %s, QEMU %s %s", equal + reads + 1,
      sk[i], sv[i], qk[j], qv[j])
    break
  }
  if (writeDiff == "" && i <= ns) writeDiff = sprintf("QEMU's log ends %d accesses early", ns - i + 1)
  after = 0
  for (; writeDiff == "" && j <= nq; j++) if (qk[j] ~ /^W/) after++
  summary = sprintf("%d of %d writes equal (kernel's own: %d before, %d after); %d status reads; " \
    "first read whose bit %d differs: %s", equal, sw, before, after, reads, bit,
    readDiff == "" ? "none" : readDiff)
  if (writeDiff == "" && after > kernel) writeDiff = sprintf("%d writes after kaldo's", after)
  if (writeDiff != "" && (mode == "whole" || readDiff == "")) {
    print summary "; " writeDiff
    exit 1
  }
  print summary (writeDiff == "" ? "; equal to the end" : "; then " writeDiff)
}
