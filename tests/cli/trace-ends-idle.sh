# trace_ends_idle TRACE [BASE [TIMER]]: true when a kaldo-cli trace ends with the board on the port
# at hexadecimal BASE (0378 unless given) idle (control register 7; the last shift-out latched mode
# 0x81 and released the data outputs), then, unless TIMER is "no" (a trace of the port alone), the
# timer and port 0x61 put back as the start found them; otherwise prints what is wrong. Reads only
# the trace's start and its last 30 MB, so a whole-chip write's trace is checked in a moment.
trace_ends_idle() {
  local base=${2:-0378} timer=${3:-yes}
  { head -n 20000 "$1"; echo "--"; tail -c 30000000 "$1" | tail -n +2; } |
    awk -v timer="$timer" -v dataPort="$base" -v controlPort="$(printf '%04X' $((0x$base + 2)))" '
    function hex(s, i, v) {
      for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1
      return v
    }
    $0 == "--" { tail = 1; next }
    !tail && $2 == "R" && $3 == "0061" && found61 == "" { found61 = $4 }
    !tail && $2 == "R" && $3 == "0042" && status == "" { status = hex($4) }
    !tail { next }
    $2 == "W" && $3 == controlPort { control = $4 }
    $2 == "W" && $3 == dataPort { data[n++] = hex($4) }
    $2 == "W" { last[m++] = $3 " " $4 }
    END {
      mode = 0
      for (i = 0; i < 8; i++) mode = mode * 2 + int(data[n - 26 + 3 * i] / 64) % 2
      want = sprintf("0061 %s|0043 %02X|0042 00|0042 00", found61, status % 64 + 128)
      got = last[m - 4] "|" last[m - 3] "|" last[m - 2] "|" last[m - 1]
      if (control != "07") { print "control register " control; exit 1 }
      if (mode != 129) { printf "mode latched %02X\n", mode; exit 1 }
      if (int(data[n - 1] / 4) % 2 != 1) { printf "data outputs driven: %02X\n", data[n - 1]; exit 1 }
      if (timer != "no" && got != want) { print "timer left " got ", found " want; exit 1 }
    }'
}
