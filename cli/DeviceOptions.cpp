// The options of the device commands: where the board is, the program bits of a write, the trace
// and the simulated PC's faults.
#include <cctype>
#include <optional>
#include <string>

#include "cli/BoardConnection.h"
#include "cli/CliCommand.h"
#include "core/Convert.h"
#include "core/model/LptPorts.h"

namespace kaldo::cli {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "0x" and 1 to 4 hexadecimal digits.
std::optional<std::uint16_t> HexNumber(const std::string& value) {
  const std::string v = Lower(value);
  if (v.size() < 3 || v.size() > 6 || v.compare(0, 2, "0x") != 0) return std::nullopt;
  if (v.find_first_not_of("0123456789abcdef", 2) != std::string::npos) return std::nullopt;
  return static_cast<std::uint16_t>(std::stoul(v.substr(2), nullptr, 16));
}

void ApplySim(CliOptions& o, const std::string& value) {
  if (value.empty()) throw UsageError("option '--sim' needs a file name");
  o.SimState = value;
}

void ApplySimReset(CliOptions& o, const std::string&) {
  o.SimReset = true;
}

// The lpt and 0xBASE forms are checked here; /dev/parportN and N are looked up when the command
// runs, in the ports of the kernel or of the simulated PC.
void ApplyPort(CliOptions& o, const std::string& value) {
  if (!IsPortName(value))
    throw UsageError("unknown port '" + value + "' (lpt1, lpt2, lpt3, 0xBASE, /dev/parportN or N)");
  const std::string v = Lower(value);
  if (v.compare(0, 3, "lpt") == 0 || v.compare(0, 2, "0x") == 0) {
    try {
      o.PortBase = ResolvePort(value, {});
    } catch (const PortNameError& e) {
      throw UsageError(e.what());
    }
  }
  o.RealPort = true;
  o.PortName = value;
  o.PortNames.push_back(value);
}

void ApplyProbe(CliOptions& o, const std::string&) {
  o.Probe = true;
}

void ApplyTrace(CliOptions& o, const std::string& value) {
  if (value.empty()) throw UsageError("option '--trace' needs a file name");
  o.TraceFile = value;
}

void ApplyLock(CliOptions& o, const std::string& value) {
  static constexpr int kBits[] = {kLockBit1, kLockBit2, kLockBit3};
  std::size_t pos = 0;
  do {
    const std::size_t comma = value.find(',', pos);
    const std::string item = value.substr(pos, comma == std::string::npos ? comma : comma - pos);
    if (item != "1" && item != "2" && item != "3")
      throw UsageError("lock bits are 1, 2 or 3, separated by commas: '" + value + "'");
    o.ProgBits |= kBits[item[0] - '1'];
    pos = comma == std::string::npos ? comma : comma + 1;
  } while (pos != std::string::npos);
}

void ApplyIsp(CliOptions& o, const std::string&) {
  o.ProgBits |= kIspFuse;
}

void ApplyForce(CliOptions& o, const std::string&) {
  o.Force = true;
}

void ApplyNoBoard(CliOptions& o, const std::string&) {
  o.NoBoard = true;
}

void ApplyEmptySocket(CliOptions& o, const std::string&) {
  o.EmptySocket = true;
}

void ApplySocket(CliOptions& o, const std::string& value) {
  const int type = FindDeviceType(value);
  if (type < 0) throw UsageError("unknown device '" + value + "'");
  o.SocketType = type;
}

void ApplyStuck(CliOptions& o, const std::string& value) {
  const std::string v = Lower(value);
  const auto address = HexNumber(v.compare(0, 2, "0x") == 0 ? v : "0x" + v);
  if (!address || *address >= kBufferSize)
    throw UsageError("'" + value + "' is not a code address (hexadecimal, 0 to 7FFF)");
  o.StuckCells.push_back(*address);
}

void ApplyLocked(CliOptions& o, const std::string&) {
  o.Locked = true;
}

void ApplySimSupply(CliOptions& o, const std::string& value) {
  CheckSupplyList(value);
  o.SimSupply = value;
}

void ApplySimSupplied(CliOptions& o, const std::string& value) {
  const bool digits = !value.empty() && value.size() <= 5 &&
                      value.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stoi(value) == 0)
    throw UsageError("'" + value + "' is not the number of a supplied chip (1, 2, ...)");
  o.SimSupplied = std::stoi(value);
}

void ApplyCable(CliOptions& o, const std::string& value) {
  try {
    o.Cable = ParseCable(value);
  } catch (const CableSpecError& e) {
    throw UsageError(std::string("--cable: ") + e.what());
  }
}

// MHz with up to six decimals: "11.0592" -> 11059200; 1 to 33 MHz, the crystals these chips take.
std::uint32_t Megahertz(const std::string& option, const std::string& value) {
  const std::size_t dot = value.find('.');
  const std::string whole = value.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? "" : value.substr(dot + 1);
  const auto digits = [](const std::string& t) {
    return t.find_first_not_of("0123456789") == std::string::npos;
  };
  std::uint64_t hz = 0;
  if (!whole.empty() && whole.size() <= 2 && digits(whole) && fraction.size() <= 6 &&
      digits(fraction) && (dot == std::string::npos || !fraction.empty())) {
    hz = std::stoull(whole) * 1'000'000;
    if (!fraction.empty()) hz += std::stoull(fraction + std::string(6 - fraction.size(), '0'));
  }
  if (hz < 1'000'000 || hz > 33'000'000)
    throw UsageError(option + " takes the crystal in MHz, 1 to 33 (e.g. 11.0592): '" + value + "'");
  return static_cast<std::uint32_t>(hz);
}

void ApplyCrystal(CliOptions& o, const std::string& value) {
  o.CrystalHz = Megahertz("--crystal", value);
}

void ApplyEeprom(CliOptions& o, const std::string&) {
  o.Eeprom = true;
}

void ApplyByteMode(CliOptions& o, const std::string&) {
  o.ByteMode = true;
}

void ApplySimCrystal(CliOptions& o, const std::string& value) {
  o.SimCrystalHz = Megahertz("--sim-crystal", value);
}

void ApplySimResetInverted(CliOptions& o, const std::string&) {
  o.SimResetInverted = true;
}

void ApplySimNoCrystal(CliOptions& o, const std::string&) {
  o.SimNoCrystal = true;
}

void ApplySimMisoStuck(CliOptions& o, const std::string& value) {
  if (value != "0" && value != "1")
    throw UsageError("--sim-miso-stuck takes the level MISO is held at, 0 or 1: '" + value + "'");
  o.SimMisoStuck = value[0] - '0';
}

void ApplySimFuseOff(CliOptions& o, const std::string&) {
  o.SimFuseOff = true;
}

void ApplySimOtherPort(CliOptions& o, const std::string&) {
  o.SimOtherPort = true;
}

const CliOption kDeviceOptions[] = {
    {"--sim", "STATE",
     "run the device commands on the simulated PC, whose drawer holds a chip of every type; the "
     "socket holds the one of --device. STATE is the file that keeps the chips from run to run "
     "(created when missing; another kind of file, or a damaged one, is refused and left as it "
     "is; a second kaldo-cli on the same STATE waits until the first is done)",
     ApplySim},
    {"--sim-reset", nullptr,
     "with --sim: start from fresh chips instead of those STATE holds, and save them to STATE "
     "after the command (for a STATE that is damaged)",
     ApplySimReset},
    {"--port", "PORT",
     "run the device commands on the programmer board at a real parallel port: lpt1 (0x378), "
     "lpt2 (0x278), lpt3 (0x3BC), an I/O base 0xBASE (0x100 to 0xFFFD, e.g. 0xD010 for a PCI "
     "card), the kernel's node /dev/parportN or its index N (looked up in "
     "/proc/sys/dev/parport). With --sim: the simulated PC's port, /dev/parport0 (0x378, the "
     "default) or /dev/parport1 (0xD010, a PCI card); the board is on the port chosen. produce "
     "takes it more than once: one board on each port, all at once",
     ApplyPort},
    {"--probe", nullptr,
     "ports: also read each usable port's status register (kaldo-cli writes nothing) and say "
     "whether a board seems to answer",
     ApplyProbe},
    {"--lock", "LIST",
     "write: program these lock bits after a verified write, e.g. 1,2,3 (a bit the device does "
     "not have is refused)",
     ApplyLock},
    {"--isp", nullptr, "write: program the ISP fuse after a verified write (AT89S53, AT89S8252)",
     ApplyIsp},
    {"--force", nullptr,
     "blank, read, verify, write: go on without checking first that the chip answers with the "
     "signature of --device (a chip that gives none, or another device's, is refused otherwise); "
     "write, verify: use the part of an image that fits the device, leaving out its data past "
     "the device's last address",
     ApplyForce},
    {"--trace", "FILE",
     "with --sim: write every port access of the simulated PC to FILE, one line each: the "
     "simulated time in microseconds, W or R, the port (4 hex digits) and the value (2 hex "
     "digits), e.g. '1503 W 0378 44'",
     ApplyTrace},
    {"--no-board", nullptr, "simulator fault: no programmer board on the port", ApplyNoBoard},
    {"--empty-socket", nullptr, "simulator fault: no chip in the socket", ApplyEmptySocket},
    {"--socket", "NAME",
     "simulator fault: the drawer's chip of device NAME sits in the socket instead of the one "
     "of --device",
     ApplySocket},
    {"--stuck", "ADDR",
     "simulator fault: the cell at hexadecimal address ADDR of the chip in the socket will not "
     "program (for this run; may be given again)",
     ApplyStuck},
    {"--locked", nullptr,
     "simulator fault: lock bits 1 to 3 of the chip in the socket are programmed before the "
     "command (kept in STATE until the chip is erased)",
     ApplyLocked},
    {"--sim-supply", "LIST",
     "with --sim: an operator feeds the socket from LIST instead of the drawer, taking each chip "
     "out once the program is done with it and, after a moment with the socket empty, putting in "
     "the next; comma-separated: good (an erased chip of --device), empty (the socket stays "
     "empty a moment more), a device NAME (an erased chip of that device), stuck:ADDR (a chip of "
     "--device whose cell ADDR will not program), locked (lock bits 1 to 3 programmed), ITEM*N "
     "for N of them. The chips, numbered from 1, are kept in STATE in place of the last supply's",
     ApplySimSupply},
    {"--cable", "NAME|WIRING",
     "run blank, read, write, verify, signature, identify and produce through an in-system "
     "programming cable on --port instead of the programmer board (AT89S51, S52, S53, S8252 "
     "only; identify and produce see only the S51 and S52): 89isp (Atmel's AT89ISP: RST 17, SCK "
     "1, MOSI 2, MISO 10), stk200 (D7 RST, D4 SCK, D5 MOSI, ACK MISO, buffer on D2/D3 low) or "
     "dt006 (RST 4, SCK 5, MOSI 2, MISO 11), or your own wiring by DB-25 pin: "
     "rst=17,sck=1,mosi=2,miso=10; ~ before a pin for a line the cable inverts (rst=~9), "
     "en=4+5 for buffer enables held low (~: high), vcc=3+5 for supply lines held high. MISO "
     "goes on a status pin (10-13, 15), the others on data (2-9) or control pins (1, 14, 16, 17). "
     "RST is active high on these chips",
     ApplyCable},
    {"--crystal", "MHZ",
     "with --cable: the target's crystal in MHz (e.g. 11.0592); SCK is never faster than the chip "
     "allows at it. Default 3, the slowest the chips allow, which is within their limits at any "
     "crystal",
     ApplyCrystal},
    {"--eeprom", nullptr,
     "with --cable, AT89S8252: blank, read, write and verify its 2 KiB data EEPROM (addresses "
     "0-7FF of the file) instead of its code memory; a write changes only the bytes that differ "
     "and erases nothing else",
     ApplyEeprom},
    {"--byte-mode", nullptr,
     "with --cable, AT89S51/S52: read and write byte by byte instead of in pages of 256",
     ApplyByteMode},
    {"--sim-crystal", "MHZ",
     "simulator fault with --cable: the target's crystal is this one, not the one of --crystal",
     ApplySimCrystal},
    {"--sim-reset-inverted", nullptr,
     "simulator fault with --cable: the target's reset line is inverted once more, as a cable "
     "wired for AVR chips has it (RST high at rest)",
     ApplySimResetInverted},
    {"--sim-no-crystal", nullptr, "simulator fault with --cable: the target's chip has no clock",
     ApplySimNoCrystal},
    {"--sim-miso-stuck", "LEVEL", "simulator fault with --cable: the MISO line is held at 0 or 1",
     ApplySimMisoStuck},
    {"--sim-fuse-off", nullptr,
     "simulator fault with --cable: the serial programming fuse of the AT89S53 or S8252 is off",
     ApplySimFuseOff},
    {"--sim-other-port", nullptr,
     "simulator fault with --cable: the cable sits on the PC's other parallel port",
     ApplySimOtherPort},
    {"--sim-supplied", "N",
     "with --sim: supplied chip N of the last --sim-supply sits in the socket, as it was left",
     ApplySimSupplied},
};

// "lock bits 1 and 2 and no ISP fuse"
std::string ProgramBitsText(const DeviceInfo& d) {
  return std::string(d.HasLockBit3 ? "lock bits 1, 2 and 3" : "lock bits 1 and 2") +
         (d.HasIspFuse ? " and an ISP fuse" : " and no ISP fuse");
}

}  // namespace

int SupplyDeviceType(std::string_view name) {
  const int type = FindDeviceType(name);
  return type >= 0 ? type : FindDeviceType("89" + std::string(name));
}

std::span<const CliOption> DeviceOptions() {
  return kDeviceOptions;
}

void CheckProgramBits(const CliOptions& o) {
  const DeviceInfo* d = FindDevice(o.DeviceType);
  if (d == nullptr) return;
  const bool noLock3 = (o.ProgBits & kLockBit3) && !d->HasLockBit3;
  const bool noIsp = (o.ProgBits & kIspFuse) && !d->HasIspFuse;
  if (!noLock3 && !noIsp) return;
  const std::string refused = noLock3 && noIsp ? "--lock 3 and --isp are"
                              : noLock3        ? "--lock 3 is"
                                               : "--isp is";
  throw UsageError(refused + " not possible: AT" + d->PartName + " has " + ProgramBitsText(*d));
}

}  // namespace kaldo::cli
