# Files exchanged with GNU objcopy and SRecord: what they write loads to the same bytes, and what
# kaldo-cli writes converts back to the same bytes.
. "$(dirname "$0")/lib.sh"
for tool in objcopy srec_cat; do
  command -v $tool >/dev/null || { echo "$tool is missing (scripts/deps.sh installs it)"; exit 77; }
done
cd "$WORK"

# image NAME SIZE — random bytes in NAME.bin
image() { head -c "$2" /dev/urandom >"$1.bin"; }

for device in 89C1051:1024 89C51:4096 89S8252:10240 89C51RC:32768; do
  name=${device%%:*} size=${device##*:}
  image "$name" "$size"

  # objcopy writes CR LF lines, srec_cat LF-only lines with an extended linear address record.
  objcopy -I binary -O ihex "$name.bin" "$name.objcopy.hex"
  srec_cat "$name.bin" -binary -o "$name.srec.hex" -intel
  for writer in objcopy srec; do
    check "$name from $writer" 0 "OK\nChecksum $(od -An -v -tu1 "$name.bin" |
      awk '{for (i = 1; i <= NF; i++) s += $i} END {printf "%04X", s % 65536}')" '' \
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
check "holes" 0 "OK\nChecksum $(od -An -v -tu1 expected.bin |
  awk '{for (i = 1; i <= NF; i++) s += $i} END {printf "%04X", s % 65536}')" '' \
  --device 89C51RC convert holes.hex holes.out.hex
objcopy -I ihex -O binary holes.out.hex holes.back.bin
same "holes, back through objcopy" expected.bin holes.back.bin

# Data placed above 0x8000 through an extended address record is refused, not folded down.
srec_cat full.bin -binary -offset 0x10000 -o high.hex -intel
check "above the buffer" 1 'Address out of range . . .\nChecksum F000' '' load high.hex

finish
