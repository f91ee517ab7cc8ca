# kaldo-cli load and convert, options and usage errors.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

printf ':0100100042AD\r\n:00000001FF\r\n' >one.hex
printf ':0100100042AD\n:01002000429D\n' >lf.hex
printf ':0100100042AD\r\n:0100200042AC\r\n' >sum.hex
printf ':0100100042AD\r\n\r\n' >blank-line.hex
printf ':010010G042AD\r\n' >bad.hex
printf ':0100100042AD\r\n:00000006FA\r\n' >type6.hex
printf ':00000001FF\r\n:0100100042AD\r\n' >late.hex
printf ':020000040000FA:0100100042AD\r\n' >two.hex
printf ':020000040001F9\r\n:0100000042BD\r\n' >high.hex
: >empty.hex
mkdir folder

usage="\nTry 'kaldo-cli --help'."
#     name                  exit stdout                              stderr    arguments
check "load"                0 'OK\nChecksum EF43'                    ''        load one.hex
check "lf-only file"        0 'OK\nChecksum EE86'                    ''        load lf.hex
check "empty file"          0 'OK\nChecksum F000'                    ''        load empty.hex
check "device 89C1051U"     0 'OK\nChecksum FB43'                    ''        --device 89c1051u load one.hex
check "device with AT"      0 'OK\nChecksum 7F43'                    ''        --device=AT89C51RC load one.hex
check "option after"        0 'OK\nChecksum DF43'                    ''        load one.hex --device 89S52
check "checksum error"      1 'Data Checksum Error . . .\nChecksum EE86' "kaldo-cli: 'sum.hex' line 2: the record's checksum is AC, its bytes call for 9D" load sum.hex
check "blank line"          1 'Invalid Hex File Format . . .\nChecksum EF43' "kaldo-cli: 'blank-line.hex' line 2: the line is empty" load blank-line.hex
check "extended address"    1 'Address out of range . . .\nChecksum F000' "kaldo-cli: 'high.hex' line 2: a byte for address 10000, past the last address 7FFF" load high.hex
check "bad field"           1 'Invalid Hex File Format . . .\nChecksum F000' "kaldo-cli: 'bad.hex' line 1: '\$G0' is not a valid integer value" load bad.hex
check "record type 06"      1 'Invalid Hex File Format . . .\nChecksum EF43' "kaldo-cli: 'type6.hex' line 2: record type 06 is none of Intel HEX's types 00 to 05" load type6.hex
check "data after the end"  0 'OK\nChecksum EF43' "kaldo-cli: 'late.hex' line 2: a data record after the end-of-file record, loaded as the records before it" load late.hex
check "address record and more" 1 'Invalid Hex File Format . . .\nChecksum F000' "kaldo-cli: 'two.hex' line 1: the line goes on after the record's checksum" load two.hex
check "missing file"        2 ''                                     'File not found reading nothing.hex: No such file or directory.' load nothing.hex
check "folder"              2 ''                                     'I/O error 21 reading folder: Is a directory.' load folder
check "convert"             0 'OK\nChecksum EF43'                    ''        convert one.hex out.hex
check "convert failed load" 1 'Data Checksum Error . . .\nChecksum EE86' "kaldo-cli: 'sum.hex' line 2: the record's checksum is AC, its bytes call for 9D" convert sum.hex not.hex
check "convert unwritable"  2 'OK\nChecksum EF43'                    'File not found writing no/out.hex: No such file or directory.' convert one.hex no/out.hex
check "no command"          2 ''  "kaldo-cli: no command given$usage"
check "unknown command"     2 ''  "kaldo-cli: unknown command 'lod'$usage"               lod one.hex
check "unknown device"      2 ''  "kaldo-cli: unknown device '8051'$usage"              --device 8051 load one.hex
check "device no value"     2 ''  "kaldo-cli: option '--device' needs a value$usage"    load one.hex --device
check "unknown option"      2 ''  "kaldo-cli: unknown option '--fast'$usage"            --fast load one.hex
check "help takes no value" 2 ''  "kaldo-cli: option '--help' takes no value$usage"     --help=yes
check "missing argument"    2 ''  "kaldo-cli: usage: kaldo-cli [OPTIONS] convert IN OUT$usage" convert one.hex
check "extra argument"      2 ''  "kaldo-cli: usage: kaldo-cli [OPTIONS] load FILE$usage" load a b
check "argument to blank"   2 ''  "kaldo-cli: usage: kaldo-cli [OPTIONS] blank$usage"   blank a
check "dash file name"      2 ''  'File not found reading -x.hex: No such file or directory.' load -- -x.hex

# Raw binary images: by the name's extension in any case, or by --format for every file.
printf '\022\064' >short.bin
head -c 4096 /dev/zero >full.BIN
head -c 4097 /dev/zero >long.bin
cp short.bin short.img
cp one.hex one.bin
check "bin shorter"         0 'OK\nChecksum EE48'                    ''        load short.bin
check "bin exact, upper"    0 'OK\nChecksum 0000'                    ''        load full.BIN
check "bin one byte long"   1 'Address out of range . . .\nChecksum 0000' "kaldo-cli: 'long.bin': the file is longer than the device's 4096 bytes of code memory" load long.bin
check "bin long for 89C2051" 1 'Address out of range . . .\nChecksum 0000' "kaldo-cli: 'full.BIN': the file is longer than the device's 2048 bytes of code memory" --device 89c2051 load full.BIN
check "format bin"          0 'OK\nChecksum EE48'                    ''        --format bin load short.img
check "format ihex wins"    0 'OK\nChecksum EF43'                    ''        --format=ihex load one.bin
check "unknown format"      2 ''  "kaldo-cli: unknown file format 'hex' (ihex, srec or bin)$usage" --format hex load one.hex
check "hex to bin"          0 'OK\nChecksum FB43'                    ''        --device 89c1051 convert one.hex one.out.bin
check "bin to hex"          0 'OK\nChecksum EE48'                    ''        convert short.bin short.hex
check "long bin not saved"  1 'Address out of range . . .\nChecksum 0000' "kaldo-cli: 'long.bin': the file is longer than the device's 4096 bytes of code memory" convert long.bin not.hex
[ "$(wc -c <one.out.bin)" = 1024 ] || { echo "FAIL hex to bin: $(wc -c <one.out.bin) bytes"; failures=$((failures + 1)); }
[ "$(od -An -tx1 -j15 -N3 one.out.bin)" = " ff 42 ff" ] ||
  { echo "FAIL hex to bin: byte 0010 $(od -An -tx1 -j15 -N3 one.out.bin)"; failures=$((failures + 1)); }
grep -q $'^:100000001234FFFFFFFFFFFFFFFFFFFFFFFFFFFFB8\r$' short.hex ||
  { echo "FAIL bin to hex: record 0000"; failures=$((failures + 1)); }

# The devices the program knows, and its version.
"$CLI" devices >devices.txt || { echo "FAIL devices exit"; failures=$((failures + 1)); }
# A line for each device that --help names.
known=$("$CLI" --help | sed -n '/^Devices (/{n;p;}' | wc -w)
[ "$(wc -l <devices.txt)" = "$known" ] && [ "$known" -gt 1 ] ||
  { echo "FAIL devices: $(wc -l <devices.txt) lines for $known devices"; failures=$((failures + 1)); }
for line in '89C51      4096 bytes  lock bits 1,2,3  ISP fuse no   signature 1E 51 FF' \
  '89S8252   10240 bytes  lock bits 1,2,3  ISP fuse yes  signature 1E 72' \
  '89C1051U   1024 bytes  lock bits 1,2    ISP fuse no   signature 1E 12'; do
  grep -qxF "$line" devices.txt || { echo "FAIL devices lacks: $line"; failures=$((failures + 1)); }
done
check "devices argument"    2 ''  "kaldo-cli: usage: kaldo-cli [OPTIONS] devices$usage" devices 89c51
"$CLI" --version >version.txt || { echo "FAIL version exit"; failures=$((failures + 1)); }
grep -qxE 'KALDO Version 3\.0( \(git [^ ()]+\))?' version.txt ||
  { echo "FAIL version: $(cat version.txt)"; failures=$((failures + 1)); }

[ -f not.hex ] && { echo "FAIL convert failed load: wrote not.hex"; failures=$((failures + 1)); }
[ "$(ls -A no 2>/dev/null)" = "" ] || { echo "FAIL convert unwritable left files"; failures=$((failures + 1)); }

# The converted file is the program's own 4 KiB image: 256 data lines and the end record.
[ "$(wc -l <out.hex)" = 257 ] || { echo "FAIL convert: $(wc -l <out.hex) lines"; failures=$((failures + 1)); }
grep -q $'^:1000100042FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFAD\r$' out.hex ||
  { echo "FAIL convert: record 0010"; failures=$((failures + 1)); }

# Help names every command, option and device.
"$CLI" --help >help.txt || { echo "FAIL help exit"; failures=$((failures + 1)); }
for word in load convert devices --format --version .bin --device --help 89C51 89S8252 89C1051U 89C4051; do
  grep -q -- "$word" help.txt || { echo "FAIL help lacks $word"; failures=$((failures + 1)); }
done
grep -n ' $' help.txt && { echo "FAIL help has trailing blanks"; failures=$((failures + 1)); }

finish
