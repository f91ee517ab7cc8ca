# Whether a piece of the port log (portlog.awk's form) leaves an in-system programming cable idle:
# the port's last data and control writes hold each of the cable's lines low, as the program
# leaves RST, SCK and MOSI between commands.
#   awk -f cable-idle.awk -v lines=rst=17,sck=1,mosi=2 PIECE
# Pins 2-9 are data bits 0-7; pins 1, 14, 16 and 17 are control bits 0-3, all but 16 inverted by
# the port. A ~ before a pin is an inversion in the cable. Prints the lines' levels; exits 1 when
# one of them is left high.
function hexval(s,   i, n) {
  n = 0
  for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
  return n
}
$1 == "W0" { data = hexval($2); datas++ }
$1 == "W2" { control = hexval($2); controls++ }
END {
  split("0 - - - - - - - - - - - - 1 - 2 3", controlBit, " ")
  n = split(lines, line, ",")
  text = sprintf("last data write %02x, last control write %02x", data, control)
  high = 0
  for (i = 1; i <= n; i++) {
    split(line[i], kv, "=")
    pin = kv[2]
    inverted = sub(/^~/, "", pin)
    pin += 0
    if (pin >= 2 && pin <= 9) {
      level = int(data / 2 ^ (pin - 2)) % 2
      written = datas
    } else {
      level = int(control / 2 ^ controlBit[pin]) % 2 != (pin != 16)
      written = controls
    }
    if (!written) {
      printf "no write of the register of %s (pin %d)\n", kv[1], pin
      exit 1
    }
    level = level != inverted
    high += level
    text = text sprintf("%s%s %s (pin %d)", i == 1 ? ": " : ", ", kv[1], level ? "high" : "low",
      pin)
  }
  print text
  exit high > 0
}
