# Whether a piece of the port log (portlog.awk's form) leaves the programmer board idle: the last
# control write, through mask (0f or ff), is 07 (Strobe, AutoFeed, Init), and the last latch strobe
# (data bit 7 rising) latched a mode byte with bits 7 and 0 set. The board's mode register takes
# data bit 6 at every rising edge of data bit 1, most significant bit first.
#   awk -f idle.awk -v mask=0f|ff PIECE
# Prints what it found; exits 1 when the board is not left idle.
function hexval(s,   i, n) {
  n = 0
  for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
  return n
}
function bit(v, b) {
  return int(v / 2 ^ b) % 2
}
$1 == "W2" { control = hexval($2); if (mask == "0f") control %= 16; controls++ }
$1 == "W0" {
  v = hexval($2)
  if (bit(v, 1) && !bit(data, 1)) mode = (mode * 2 + bit(v, 6)) % 256
  if (bit(v, 7) && !bit(data, 7)) { latched = mode; strobes++ }
  data = v
}
END {
  if (!controls || !strobes) {
    printf "no control write or no latch strobe (%d and %d)\n", controls, strobes
    exit 1
  }
  printf "last control write %02x (through mask %s), last latched mode byte %02x\n", control, mask,
    latched
  exit !(control == 7 && bit(latched, 7) && bit(latched, 0))
}
