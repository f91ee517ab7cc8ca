# Files exchanged with GNU objcopy and SRecord: what they write loads to the same bytes, and what
# kaldo-cli writes converts back to the same bytes.
. "$(dirname "$0")/lib.sh"
for tool in objcopy srec_cat; do
  command -v $tool >/dev/null || { echo "$tool is missing (scripts/deps.sh installs it)"; exit 77; }
done
cd "$WORK"

# image NAME SIZE — random bytes in NAME.bin
image() { head -c "$2" /dev/urandom >"$1.bin"; }
# checksum FILE — the 16-bit sum of its bytes, as kaldo-cli prints it
checksum() { od -An -v -tu1 "$1" | awk '{for (i = 1; i <= NF; i++) s += $i} END {printf "%04X", s % 65536}'; }

for device in 89C1051:1024 89C51:4096 89S8252:10240 89C51RC:32768; do
  name=${device%%:*} size=${device##*:}
  image "$name" "$size"

  # objcopy writes CR LF lines, srec_cat LF-only lines with an extended linear address record.
  objcopy -I binary -O ihex "$name.bin" "$name.objcopy.hex"
  srec_cat "$name.bin" -binary -o "$name.srec.hex" -intel
  for writer in objcopy srec; do
    check "$name from $writer" 0 "OK\nChecksum $(checksum "$name.bin")" '' \
      --device "$name" convert "$name.$writer.hex" "$name.$writer.out.hex"
    objcopy -I ihex -O binary "$name.$writer.out.hex" "$name.$writer.back.bin"
    same "$name from $writer, back through objcopy" "$name.bin" "$name.$writer.back.bin"
    srec_cat "$name.$writer.out.hex" -intel -o "$name.$writer.back2.bin" -binary
    same "$name from $writer, back through srec_cat" "$name.bin" "$name.$writer.back2.bin"
  done
done

# Random data with holes, written by objcopy from S-records: the holes load blank.
image full 32768
srec_cat full.bin -binary -exclude 0x0100 0x0180 -exclude 0x2000 0x2C00 -exclude 0x7FF0 0x8000 \
  -o holes.srec
objcopy -I srec -O ihex holes.srec holes.hex
srec_cat holes.srec -fill 0xFF 0 0x8000 -o expected.bin -binary 2>/dev/null
check "holes" 0 "OK\nChecksum $(checksum expected.bin)" '' \
  --device 89C51RC convert holes.hex holes.out.hex
objcopy -I ihex -O binary holes.out.hex holes.back.bin
same "holes, back through objcopy" expected.bin holes.back.bin

# Raw binary images against objcopy: HEX to .bin is objcopy's binary output with the gaps and the
# rest of the device filled with FF, and .bin to HEX loads back to the same bytes.
for device in 89C1051:1024 89S8252:10240 89C51RC:32768; do
  name=${device%%:*} size=${device##*:}
  # Data at 0, a gap, and data that ends well below the device's end.
  srec_cat full.bin -binary -crop 0 0x80 0x100 $((size / 2)) -o "$name.sparse.hex" -intel
  objcopy -I ihex -O binary --gap-fill 0xFF --pad-to "$size" "$name.sparse.hex" "$name.objcopy.bin"
  check "$name HEX to .bin" 0 "OK\nChecksum $(checksum "$name.objcopy.bin")" '' \
    --device "$name" convert "$name.sparse.hex" "$name.out.bin"
  same "$name HEX to .bin, as objcopy writes it" "$name.objcopy.bin" "$name.out.bin"
  check "$name .bin to HEX" 0 "OK\nChecksum $(checksum "$name.bin")" '' \
    --device "$name" convert "$name.bin" "$name.frombin.hex"
  objcopy -I ihex -O binary "$name.frombin.hex" "$name.frombin.bin"
  same "$name .bin to HEX, back through objcopy" "$name.bin" "$name.frombin.bin"
done

# Data placed above 0x8000 through an extended address record is refused, not folded down.
srec_cat full.bin -binary -offset 0x10000 -o high.hex -intel
check "above the buffer" 1 'Address out of range . . .\nChecksum F000' \
  "kaldo-cli: 'high.hex' line 2: a byte for address 10000, past the last address 7FFF" load high.hex

finish
