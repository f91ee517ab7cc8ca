# The simulated operator's supply of chips: --sim-supply feeds the socket, the chips are kept in
# the state file and --sim-supplied puts one back.
. "$(dirname "$0")/lib.sh"
cd "$WORK"

printf ':10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n' >a.hex
printf ':10000000000102FF0405060708090A0B0C0D0E0F7C\r\n' >stuck.hex
usage="\nTry 'kaldo-cli --help'."
S="--sim st --device 89s52"

check "a chip that will not program" 1 'Program Verify Error @ Address  0003\nData Read  =  FF\nProg Data   =  03' '' \
  $S --sim-supply 'stuck:3,good*2' write a.hex
check "it comes back"                0 'Data Reading Complete' ''  $S --sim-supplied 1 read back.hex
head -1 back.hex >first.hex
same "as it was left" stuck.hex first.hex
check "the next, never in the socket" 0 'Blank Check O.K' ''       $S --sim-supplied 3 blank
check "past the last"                2 '' 'there is no supplied chip 4: the state file keeps 3.' \
  $S --sim-supplied 4 blank
check "another group's chip"         1 'Wrong chip: the socket holds an AT89C2051 (1E 21) where the AT89S52 has 1E 52 06.\nPut an AT89S52 in the socket, or give the --device of the chip that is there; --force skips this check.' '' \
  $S --sim-supply 'C2051,good' write a.hex
check "a new supply replaces it"     2 '' 'there is no supplied chip 3: the state file keeps 2.' \
  $S --sim-supplied 3 blank
# The socket stays empty while the guard, finding no chip, looks for one with every procedure.
check "an empty moment first"        1 'No chip answered (signature FF FF FF): is the board connected and the chip seated?' '' \
  $S --sim-supply 'empty,good' verify a.hex
check "a file without a supply"      2 '' 'there is no supplied chip 1: the state file keeps none.' \
  --sim fresh --device 89s52 --sim-supplied 1 blank

bad="bad item 'stuck:8000' in the supply list: the address is not hexadecimal from 0 to 7FFF"
check "a bad item"          2 '' "kaldo-cli: $bad$usage"              $S --sim-supply good,stuck:8000 blank
check "chip 0"              2 '' "kaldo-cli: '0' is not the number of a supplied chip (1, 2, ...)$usage" \
  $S --sim-supplied 0 blank
check "both"                2 '' "kaldo-cli: --sim-supply and --sim-supplied exclude each other$usage" \
  $S --sim-supply good --sim-supplied 1 blank
check "with a socket fault" 2 '' "kaldo-cli: --sim-supply and --sim-supplied decide what the socket holds: --empty-socket, --socket, --stuck and --locked do not go with them$usage" \
  $S --sim-supply good --locked blank

# A supply that cannot reach --count ends the run with its own message instead of waiting for a
# chip that will not come (the chip in the socket at the start is taken out unwritten); without
# --count the run ends where the supply does.
short='The supply of chips ran out after 1 of 2 chips: no more will come. Give --sim-supply a chip for each chip of --count (a chip in the socket when the run starts is not written).'
while IFS='|' read -r name want supply count said; do
  timeout 300 "$CLI" --sim "st-$want" --device 89s52 --sim-supply "$supply" $count produce a.hex >out 2>err
  rc=$?
  if [ "$rc" != "$want" ] || ! grep -qxF "$said" out || grep -q 'insert chip 2 of' out; then
    echo "FAIL $name: exit $rc (want $want): $(cat out err)"
    failures=$((failures + 1))
  fi
done <<EOF
short of the count|1|good*2|--count 2|$short
without a count|0|empty,good*2||The supply of chips ran out after 2 chips: no more will come.
EOF
finish
