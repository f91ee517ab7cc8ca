#include "core/model/IspCables.h"

#include <algorithm>
#include <cctype>

#include "core/model/LptPins.h"

namespace kaldo {

namespace {

// clang-format off
constexpr IspCableRow kCables[] = {
    {"89isp",  "rst=17,sck=1,mosi=2,miso=10",
     "Atmel's AT89ISP download cable: no buffer"},
    {"stk200", "rst=9,sck=6,mosi=7,miso=10,en=4+5",
     "Atmel's STK200/STK300 dongle: a buffer enabled by D2 and D3 low"},
    {"dt006",  "rst=4,sck=5,mosi=2,miso=11",
     "the DT006 and Sample Electronics resistor cables: no buffer"},
};
// clang-format on

constexpr const char* kExample = "rst=17,sck=1,mosi=2,miso=10";
constexpr const char* kStatusPins = "10, 11, 12, 13 or 15";
constexpr const char* kOutputPins = "2-9 (data) or 1, 14, 16, 17 (control)";

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string CableNames() {
  std::string names;
  for (const IspCableRow& row : kCables) names += std::string(names.empty() ? "" : ", ") + row.Name;
  return names;
}

struct LineKey {
  const char* Key;
  bool Several;  // '+' joins several pins
};
constexpr LineKey kKeys[] = {{"rst", false},  {"sck", false}, {"mosi", false},
                             {"miso", false}, {"en", true},   {"vcc", true}};

CableLine ParseLine(const std::string& key, const std::string& item, std::string_view pinText) {
  CableLine line;
  if (!pinText.empty() && pinText.front() == '~') {
    line.Inverted = true;
    pinText.remove_prefix(1);
  }
  const bool digits = !pinText.empty() && pinText.size() <= 2 &&
                      std::all_of(pinText.begin(), pinText.end(), [](char c) {
                        return std::isdigit(static_cast<unsigned char>(c));
                      });
  if (!digits)
    throw CableSpecError("'" + item + "': a pin is a number from 1 to 17, with ~ before it when " +
                         "the cable inverts the line (" + key + "=~9)");
  line.Pin = std::stoi(std::string(pinText));
  const LptPin* pin = FindLptPin(line.Pin);
  if (line.Pin >= kFirstGroundPin && line.Pin <= kLastLptPin)
    throw CableSpecError("'" + item + "': pin " + std::to_string(line.Pin) +
                         " is a ground pin; the signals are on pins 1 to 17");
  if (!pin)
    throw CableSpecError("'" + item + "': the port has no pin " + std::to_string(line.Pin) +
                         "; the signals are on pins 1 to 17");
  const bool status = pin->Register == LptRegister::Status;
  if (key == "miso" && !status)
    throw CableSpecError("'" + item + "': MISO comes back from the target on a status pin (" +
                         kStatusPins + "), pin " + std::to_string(line.Pin) + " (" + pin->Name +
                         ") is an output");
  if (key != "miso" && status)
    throw CableSpecError("'" + item + "': pin " + std::to_string(line.Pin) + " (" + pin->Name +
                         ") is a status pin the program can only read; " + key +
                         " goes on an output pin, " + kOutputPins);
  return line;
}

}  // namespace

std::span<const IspCableRow> IspCableTable() {
  return kCables;
}

IspCable ParseCable(std::string_view text) {
  const std::string lower = Lower(text);
  for (const IspCableRow& row : kCables) {
    if (lower != row.Name) continue;
    IspCable cable = ParseCable(row.Wiring);
    cable.Name = row.Name;
    return cable;
  }
  if (lower.find('=') == std::string::npos)
    throw CableSpecError("unknown cable '" + std::string(text) + "': the cables are " +
                         CableNames() + ", or give your own wiring as " + kExample);
  IspCable cable;
  cable.Name = std::string(text);
  std::vector<std::string> seen;
  std::vector<std::pair<int, std::string>> pins;
  std::size_t pos = 0;
  while (pos <= lower.size()) {
    const std::size_t comma = std::min(lower.find(',', pos), lower.size());
    const std::string item = lower.substr(pos, comma - pos);
    pos = comma + 1;
    const std::size_t eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const LineKey* known = std::find_if(std::begin(kKeys), std::end(kKeys),
                                        [&](const LineKey& k) { return key == k.Key; });
    if (eq == std::string::npos || known == std::end(kKeys))
      throw CableSpecError("'" + item + "' is not a line of a cable: write rst, sck, mosi, miso, " +
                           "en and vcc with their pins, e.g. " + kExample);
    if (std::find(seen.begin(), seen.end(), key) != seen.end())
      throw CableSpecError(key + " is given twice: each line once" +
                           std::string(known->Several ? ", several pins joined by '+'" : ""));
    seen.push_back(key);
    std::vector<CableLine> lines;
    std::string_view rest = std::string_view(item).substr(eq + 1);
    for (;;) {
      const std::size_t plus = rest.find('+');
      if (plus != std::string_view::npos && !known->Several)
        throw CableSpecError("'" + item + "': " + key + " is one pin");
      lines.push_back(ParseLine(key, item, rest.substr(0, plus)));
      if (plus == std::string_view::npos) break;
      rest = rest.substr(plus + 1);
    }
    for (const CableLine& line : lines) {
      for (const auto& [pin, owner] : pins)
        if (pin == line.Pin)
          throw CableSpecError("pin " + std::to_string(pin) + " carries both " + owner + " and " +
                               key + ": each pin one line");
      pins.emplace_back(line.Pin, key);
    }
    if (key == "rst") cable.Reset = lines[0];
    if (key == "sck") cable.Sck = lines[0];
    if (key == "mosi") cable.Mosi = lines[0];
    if (key == "miso") cable.Miso = lines[0];
    if (key == "en") cable.Enables = lines;
    if (key == "vcc") cable.Supplies = lines;
  }
  for (const char* needed : {"rst", "sck", "mosi", "miso"})
    if (std::find(seen.begin(), seen.end(), needed) == seen.end())
      throw CableSpecError("the cable '" + std::string(text) + "' names no " + needed +
                           " pin: give all four signals, e.g. " + kExample);
  return cable;
}

std::string CableWiringText(const IspCable& cable) {
  const auto line = [](const CableLine& l) {
    return std::string(l.Inverted ? "~" : "") + std::to_string(l.Pin);
  };
  const auto several = [&](const char* key, const std::vector<CableLine>& lines) {
    std::string text;
    for (const CableLine& l : lines)
      text += (text.empty() ? std::string(",") + key + "=" : "+") + line(l);
    return text;
  };
  return "rst=" + line(cable.Reset) + ",sck=" + line(cable.Sck) + ",mosi=" + line(cable.Mosi) +
         ",miso=" + line(cable.Miso) + several("en", cable.Enables) +
         several("vcc", cable.Supplies);
}

}  // namespace kaldo
