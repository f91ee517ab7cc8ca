// The port doctor: the names a port goes by, and what stands between this user and each port the
// machine has. The window's Port menu and "Port Check...", and kaldo-cli's --port and `ports`,
// take it from here.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "link/HostSystem.h"

namespace kaldo {

// A port name that names no port, or a base that cannot be a port's.
class PortNameError : public Error {
 public:
  using Error::Error;
};

// True for the forms a port may be given in: lpt1 to lpt3 (any case), 0x and 1 to 4 hexadecimal
// digits, /dev/parportN, or a bare index N.
bool IsPortName(const std::string& text);

// The base of the named port. The node and index forms are looked up in the ports listed (the
// kernel's, or the simulated PC's); a base below 0x100 or above kHighestLptBase is refused.
// The messages name the node and the base.
std::uint16_t ResolvePort(const std::string& text, const std::vector<KernelPort>& ports);

// "" when base can be a port's base, otherwise why not.
std::string PortBaseProblem(unsigned long base);

// "/dev/parport1 (0xD010)", or "0xD010" for a base none of the ports has.
std::string PortLabel(unsigned long base, const std::vector<KernelPort>& ports);

// Ports at these bases as a kernel lists the ports of a machine that has them: parport0,
// parport1, ... in the order given, each a plain SPP port that no driver holds. A simulated PC
// describes its ports so.
std::vector<KernelPort> KernelPortsAt(std::span<const std::uint16_t> bases);

// The ports of the machine as the Port menu lists them below LPT-1 to LPT-3: those at other bases.
std::vector<KernelPort> OtherPorts(const std::vector<KernelPort>& ports);

// Reads a port's status register without writing anything and says what it makes of it.
using StatusProbe = std::function<std::string(const KernelPort& port)>;

struct PortCheckReport {
  std::vector<std::string> Lines;
  bool Usable = false;  // at least one port can be reached
};

// One line per port the kernel lists (node, base, modes), then for each whether this user can
// open it, whether a driver or program holds it and whether direct port access would be allowed,
// each refusal with its remedy; a line for each USB printer adapter; with a probe, what the port's
// status register says.
PortCheckReport CheckPorts(const HostSystem& host, const StatusProbe& probe = {});

// The probe through ppdev on the real system: claims the port, reads its status register and
// releases it. The program writes nothing; the kernel sets the control register to its idle value
// as it claims and releases the port.
std::string ProbeThroughPpdev(const KernelPort& port);

// What a status byte read with nothing written says about the board.
std::string StatusVerdict(std::uint8_t status);

}  // namespace kaldo
