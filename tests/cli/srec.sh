# Motorola S-records against SRecord's srec_cat: what srec_cat makes of a HEX file as S19, S28 and
# S37 loads to the same bytes as the HEX file, and what kaldo-cli writes is srec_cat's own file of
# the same image, which srec_cat reads back to the same bytes without a warning. Then S-record
# files in the device commands, --format srec, and the line a refused file is stopped at.
. "$(dirname "$0")/lib.sh"
command -v srec_cat >/dev/null || { echo "srec_cat is missing (scripts/deps.sh installs srecord)"; exit 77; }
SRC=$(cd "$(dirname "$0")/../.." && pwd)
cd "$WORK"

# The HEX files: a program for the AT89C2051 as SDCC writes it (LF line ends), HEX files that load
# from the HEX reader's fuzz seeds, and random images of four device sizes, with holes in two.
cp "$SRC/tests/vm/data/blink.ihx" blink.hex
cp "$SRC/fuzz/corpus/hex/crlf.hex" "$SRC/fuzz/corpus/hex/lf-linear.hex" .
hexes="blink.hex crlf.hex lf-linear.hex"
for device in 89C1051:1024 89C51:4096 89S8252:10240 89C51RC:32768; do
  name=${device%%:*} size=${device##*:}
  head -c "$size" /dev/urandom >"$name.bin"
  srec_cat "$name.bin" -binary -o "$name.hex" -intel
  srec_cat "$name.bin" -binary -exclude 0x0100 0x0180 -exclude $((size / 2)) $((size / 2 + 0x30)) \
    -o "$name.holes.hex" -intel
  hexes="$hexes $name.hex $name.holes.hex"
done

for hex in $hexes; do
  base=${hex%.hex}
  "$CLI" --device 89C51RC load "$hex" >"$base.load" 2>&1
  "$CLI" --device 89C51RC convert "$hex" "$base.ref.bin" >/dev/null 2>&1
  grep -q '^OK$' "$base.load" || { echo "FAIL $hex does not load: $(cat "$base.load")"; failures=$((failures + 1)); }
  for form in s19:2 s28:3 s37:4; do
    ext=${form%%:*} length=${form##*:}
    crlf=""
    [ "$ext" = s28 ] && crlf=-crlf
    srec_cat "$hex" -intel -o "$base.$ext" -motorola -address-length="$length" $crlf
    check "$base.$ext from srec_cat" 0 "$(cat "$base.load")" '' --device 89C51RC load "$base.$ext"
    "$CLI" --device 89C51RC convert "$base.$ext" "$base.$ext.bin" >/dev/null
    same "$base.$ext from srec_cat, as the HEX file" "$base.ref.bin" "$base.$ext.bin"
  done
done

# kaldo-cli's S-records: srec_cat writes the same file from the image, and reads it back silently.
for device in 89C1051:1024 89C51:4096 89S8252:10240 89C51RC:32768; do
  name=${device%%:*}
  check "$name .bin to S19" 0 "OK\nChecksum $("$CLI" --device "$name" load "$name.bin" | sed -n 's/^Checksum //p')" \
    '' --device "$name" convert "$name.bin" "$name.s19"
  srec_cat "$name.bin" -binary -o "$name.srec_cat.s19" -motorola -obs=16 -header KALDO \
    -execution-start-address 0 -crlf
  same "$name S19 as srec_cat writes it" "$name.srec_cat.s19" "$name.s19"
  srec_cat "$name.s19" -motorola -o "$name.back.bin" -binary 2>"$name.warnings"
  same "$name S19 back through srec_cat" "$name.bin" "$name.back.bin"
  [ -s "$name.warnings" ] && { echo "FAIL $name: srec_cat says $(cat "$name.warnings")"; failures=$((failures + 1)); }
done

# The extensions in any case, and --format srec for a name that says nothing.
cp 89C51.s19 upper.S19
cp 89C51.s19 image.mot
cp 89C51.s19 image.txt
want="$("$CLI" load 89C51.s19)"
check "upper-case extension" 0 "$want" '' load upper.S19
check ".mot" 0 "$want" '' load image.mot
check "format srec" 0 "$want" '' --format srec load image.txt
check "a name that says nothing is HEX" 1 "Invalid Hex File Format . . .\nChecksum F000" \
  "kaldo-cli: 'image.txt' line 1: the line does not begin with the record mark ':'" load image.txt
check "hex to srec by format" 0 "$want" '' --format srec convert 89C51.s19 out.img
same "format srec writes S-records" 89C51.s19 out.img

# A refused file: the window's text on stdout, the line and the reason on stderr.
printf 'S1050000AABB95\r\nS5030002FA\r\n' >count.s19
check "count record" 1 'Invalid Hex File Format . . .\nChecksum EF67' \
  "kaldo-cli: 'count.s19' line 2: the count record says 2 data records, 1 came before it" load count.s19
printf 'S1050000AABB95\r\nS1050002CCDD50\r\n' >sum.s19
sum="kaldo-cli: 'sum.s19' line 2: the record's checksum is 50, its bytes call for 4F"
check "checksum" 1 'Data Checksum Error . . .\nChecksum EF67' "$sum" load sum.s19
printf 'S2060100001234B2\r\n' >high.s28
check "above the buffer" 1 'Address out of range . . .\nChecksum F000' \
  "kaldo-cli: 'high.s28' line 1: a byte for address 10000, past the last address 7FFF" load high.s28

# The device commands on the simulated PC.
S="--sim st --device 89c2051"
check "write S19" 0 'Programming/Verify OK' '' $S write 89C1051.s19
check "verify S19" 0 'Verify OK' '' $S verify 89C1051.s19
check "read S19" 0 'Data Reading Complete' '' $S read back.s19
"$CLI" --device 89c2051 convert 89C1051.s19 want.s19 >/dev/null
same "read S19 file" want.s19 back.s19
check "verify refused file" 1 'Data Checksum Error . . .' "$sum" $S verify sum.s19

finish
