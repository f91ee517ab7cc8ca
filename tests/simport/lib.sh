# Shared by the tests of the simulated PC behind /dev/parportN: CLI (kaldo-cli), SIMPORT
# (scripts/simport.sh), the library, WORK and `fail`. A hardware-built program runs only once the
# library is seen inside one: the simulated ports must answer `kaldo-cli ports` through it.
#
# SCRIPT.sh KALDO-CLI SIMPORT.SH LIBRARY
. "$(dirname "${BASH_SOURCE[0]}")/../cli/lib.sh"
SIMPORT=$2
export KALDO_SIMPORT_LIB=$3
cd "$WORK" || exit 1
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

bash "$SIMPORT" probe.state -- "$CLI" ports >ports.txt 2>&1 &&
  grep -q '^/dev/parport0  0x0378' ports.txt || {
  echo "the simulated PC does not load: $(cat ports.txt)"
  exit 1
}
