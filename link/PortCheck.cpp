#include "link/PortCheck.h"

#include <algorithm>
#include <cctype>

#include "core/Convert.h"
#include "core/model/LptPorts.h"
#include "link/ClockTimer.h"
#include "link/Ppdev.h"
#include "link/PpdevSystem.h"

namespace kaldo {

namespace {

struct NamedPort {
  const char* Name;
  std::uint16_t Base;
};
constexpr NamedPort kNamedPorts[] = {{"lpt1", kLpt1Base}, {"lpt2", kLpt2Base}, {"lpt3", kLpt3Base}};

constexpr char kNodePrefix[] = "/dev/parport";

// The status register's bit 7 is the inverted Busy line; the board drives it with its read-back
// output, while on a port with nothing attached it floats high and reads 0.
constexpr std::uint8_t kBusyBit = 0x80;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Digits(const std::string& text, std::size_t from, std::size_t most) {
  return text.size() > from && text.size() - from <= most &&
         text.find_first_not_of("0123456789", from) == std::string::npos;
}

bool HexBase(const std::string& v) {
  return v.size() >= 3 && v.size() <= 6 && v.compare(0, 2, "0x") == 0 &&
         v.find_first_not_of("0123456789abcdef", 2) == std::string::npos;
}

std::string KnownPorts(const std::vector<KernelPort>& ports) {
  if (ports.empty()) return "none";
  std::string known;
  for (const KernelPort& p : ports) known += (known.empty() ? "" : ", ") + PortLabel(p.base, ports);
  return known;
}

const KernelPort* FindNumber(const std::vector<KernelPort>& ports, int number) {
  auto it = std::find_if(ports.begin(), ports.end(),
                         [number](const KernelPort& p) { return p.number == number; });
  return it == ports.end() ? nullptr : &*it;
}

std::string OpenLine(const HostSystem& host, const KernelPort& port, bool& can) {
  can = false;
  switch (host.Access(port.Node())) {
    case NodeAccess::Allowed:
      can = true;
      return "open: yes";
    case NodeAccess::Missing:
      return "open: no, " + port.Node() + " is missing: " + MissingNodeRemedy(host, port.Node());
    case NodeAccess::Denied:
      if (host.ListedInGroup("lp") && !host.HasGroup("lp"))
        return "open: no, you are in the group lp but this login began before you were added: "
               "log out and in again";
      return "open: no permission: add your user to the group lp (\"sudo usermod -aG lp "
             "$USER\") and log in again";
  }
  return {};
}

std::string HeldLine(const KernelPort& port) {
  std::string others;
  for (const std::string& d : port.drivers)
    if (d != port.holder && d.compare(0, 5, "ppdev") != 0)
      others += (others.empty() ? "" : ", ") + PrintableText(d);
  if (!port.holder.empty())
    return "held: yes, " + HeldPortText(port.Node(), port.holder).substr(port.Node().size() + 1);
  if (others.empty()) return "held: no";
  return "held: no (" + others +
         " registered, idle: it takes the port only while it prints; \"sudo rmmod lp\" unloads it)";
}

std::string DirectLine(const HostSystem& host, bool& can) {
  can = false;
  const std::string lockdown = host.Lockdown();
  if (!lockdown.empty() && lockdown != "none")
    return "direct port access: no, the kernel is locked down (" + PrintableText(lockdown) +
           ", as Secure Boot leaves it) and refuses port instructions even to root";
  if (!host.IsRoot()) return "direct port access: no, it needs root (ppdev does not)";
  can = true;
  return "direct port access: yes (root)";
}

}  // namespace

bool IsPortName(const std::string& text) {
  const std::string v = Lower(text);
  for (const NamedPort& p : kNamedPorts)
    if (v == p.Name) return true;
  return HexBase(v) || Digits(v, 0, 3) ||
         (v.compare(0, sizeof kNodePrefix - 1, kNodePrefix) == 0 &&
          Digits(v, sizeof kNodePrefix - 1, 3));
}

std::string PortBaseProblem(unsigned long base) {
  if (base < kLowestLptBase)
    return "port " + IoAddressText(static_cast<std::uint32_t>(base)) +
           " is refused: addresses below 0x0100 belong to the PC's system devices";
  if (base > kHighestLptBase)
    return "port " + IoAddressText(static_cast<std::uint32_t>(base)) +
           " is refused: its registers (base to base + 2) must lie below 0x10000, so the highest "
           "base is " +
           IoAddressText(kHighestLptBase);
  return {};
}

std::uint16_t ResolvePort(const std::string& text, const std::vector<KernelPort>& ports) {
  const std::string v = Lower(text);
  if (!IsPortName(v))
    throw PortNameError("unknown port '" + text + "' (lpt1, lpt2, lpt3, 0xBASE, " + kNodePrefix +
                        "N or N)");
  for (const NamedPort& p : kNamedPorts)
    if (v == p.Name) return p.Base;
  unsigned long base = 0;
  if (HexBase(v)) {
    base = std::stoul(v.substr(2), nullptr, 16);
  } else {
    const bool node = v[0] == '/';
    const int number = std::stoi(node ? v.substr(sizeof kNodePrefix - 1) : v);
    const KernelPort* port = FindNumber(ports, number);
    if (port == nullptr)
      throw PortNameError("there is no port " + std::string(kNodePrefix) + std::to_string(number) +
                          ": the ports listed are " + KnownPorts(ports));
    base = port->base;
  }
  const std::string problem = PortBaseProblem(base);
  if (!problem.empty()) throw PortNameError(problem);
  return static_cast<std::uint16_t>(base);
}

std::string PortLabel(unsigned long base, const std::vector<KernelPort>& ports) {
  const std::string address = IoAddressText(static_cast<std::uint32_t>(base));
  const KernelPort* port = FindPortAt(ports, base);
  return port ? port->Node() + " (" + address + ")" : address;
}

std::vector<KernelPort> KernelPortsAt(std::span<const std::uint16_t> bases) {
  std::vector<KernelPort> ports;
  for (std::uint16_t base : bases)
    ports.push_back({static_cast<int>(ports.size()), base, "PCSPP", {}, {}});
  return ports;
}

std::vector<KernelPort> OtherPorts(const std::vector<KernelPort>& ports) {
  std::vector<KernelPort> others;
  for (const KernelPort& p : ports) {
    const bool named = std::any_of(std::begin(kNamedPorts), std::end(kNamedPorts),
                                   [&p](const NamedPort& n) { return n.Base == p.base; });
    if (!named) others.push_back(p);
  }
  return others;
}

std::string StatusVerdict(std::uint8_t status) {
  const std::string read = "status " + IoAddressText(status, 2) + ": ";
  return read + ((status & kBusyBit) ? "Busy is driven, a board (or another device) seems to answer"
                                     : "nothing drives Busy, no board seems to answer (or it has "
                                       "no power)");
}

PortCheckReport CheckPorts(const HostSystem& host, const StatusProbe& probe) {
  PortCheckReport report;
  std::vector<std::string>& out = report.Lines;
  const std::vector<std::string> usb = host.UsbPrinters();
  if (!host.HasParportDriver()) {
    out.push_back(
        "No parallel port is known to the kernel: /proc/sys/dev/parport is missing. Load the "
        "drivers with \"sudo modprobe parport_pc ppdev\"");
  } else if (host.Parports().empty()) {
    out.push_back(
        "The kernel lists no parallel port in /proc/sys/dev/parport: the module parport_pc finds "
        "them (\"sudo modprobe parport_pc\"); a card's port it finds with \"sudo modprobe "
        "parport_pc io=0xBASE\"");
  }
  for (const KernelPort& port : host.Parports()) {
    out.push_back(port.Node() + "  " + IoAddressText(static_cast<std::uint32_t>(port.base)) +
                  "  modes " + (port.modes.empty() ? "unknown" : PrintableText(port.modes)));
    bool canOpen = false, canDirect = false;
    out.push_back("    " + OpenLine(host, port, canOpen));
    out.push_back("    " + HeldLine(port));
    out.push_back("    " + DirectLine(host, canDirect));
    const bool free = port.holder.empty();
    const bool usable = free && (canOpen || canDirect);
    if (probe && usable) out.push_back("    board: " + probe(port));
    out.push_back(std::string("    usable: ") + (!usable   ? "no"
                                                 : canOpen ? "yes, through ppdev"
                                                           : "yes, by direct port access"));
    report.Usable = report.Usable || usable;
  }
  for (const std::string& printer : usb) out.push_back(UsbPrintersText({printer}));
  if (!report.Usable && host.Parports().empty() && !usb.empty())
    out.push_back(
        "This machine has only USB printer adapters, none of which can drive a programmer board");
  return report;
}

std::string ProbeThroughPpdev(const KernelPort& port) {
  LinuxPpdevSystem system;
  SteadyClock clock;
  const auto base = static_cast<std::uint16_t>(port.base);
  PpdevIoSpace io(system, base, clock);
  try {
    const std::uint8_t status = io.read(static_cast<std::uint16_t>(base + 1));
    io.close();
    return StatusVerdict(status);
  } catch (const Error& e) {
    return std::string("not read: ") + e.what();
  }
}

}  // namespace kaldo
