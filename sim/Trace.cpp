#include "sim/Trace.h"

#include <cstdio>

namespace kaldo::sim {

namespace {
std::string Hex2(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
  return buf;
}
}  // namespace

std::string FormatAccess(const Access& access) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%llu %c %04X %02X",
                static_cast<unsigned long long>(access.timeNs / 1000), access.write ? 'W' : 'R',
                static_cast<unsigned>(access.port), static_cast<unsigned>(access.value));
  return buf;
}

std::string BoardEvent::Text() const {
  switch (kind) {
    case EventKind::Latch:
      return "latch D=" + Hex2(data) + " AL=" + Hex2(addressLow) + " AH=" + Hex2(addressHigh) +
             " M=" + Hex2(mode) + (driven ? " drive" : "");
    case EventKind::Control:
      return "control " + Hex2(value);
    case EventKind::Pulse:
      return line == PulseLine::Strobe ? "pulse Strobe" : "pulse SelectIn";
    case EventKind::Wait:
      return "wait " + std::to_string(count);
    case EventKind::Capture:
      return "capture " + Hex2(value);
    case EventKind::Cycle: {
      std::string text = std::string("cycle ") + ChipOpName(op);
      if (op == ChipOp::WriteByte) {
        char buf[16];
        std::snprintf(buf, sizeof buf, " %04X=%02X", address, value);
        text += buf;
      } else if (op == ChipOp::WriteLockByte || op == ChipOp::WriteFuse) {
        text += " " + Hex2(value);
      }
      if (!lost.empty()) text += " lost: " + lost;
      return text;
    }
    case EventKind::Isp:
      return "isp " + note;
    case EventKind::IspFlag:
      return "isp flag " + note;
  }
  return "?";
}

void Trace::WriteAccesses(std::ostream& out) const {
  for (const Access& a : accesses) out << FormatAccess(a) << '\n';
}

std::vector<std::string> Trace::EventTexts() const {
  std::vector<std::string> texts;
  texts.reserve(events.size());
  for (const BoardEvent& e : events) texts.push_back(e.Text());
  return texts;
}

std::vector<std::string> Trace::EventTexts(EventKind kind) const {
  std::vector<std::string> texts;
  for (const BoardEvent& e : events) {
    if (e.kind == kind) texts.push_back(e.Text());
  }
  return texts;
}

}  // namespace kaldo::sim
