#include "app/ProgrammerChoice.h"

#include <algorithm>
#include <cctype>

#include "core/model/DeviceTable.h"
#include "device/IspSession.h"

namespace kaldo {

namespace {

constexpr char kProgrammerKey[] = "Programmer";
constexpr char kCableKey[] = "IspCable";
constexpr char kCrystalKey[] = "IspCrystalMHz";
constexpr char kBoardValue[] = "Board";
constexpr char kCableValue[] = "Cable";

bool Digits(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

ProgrammerChoice ProgrammerChoiceFromKeys(const SettingsKeys& keys) {
  ProgrammerChoice choice;
  bool cableKept = true;
  if (const std::string* cable = FindSetting(keys, kCableKey)) {
    try {
      ParseCable(*cable);
      choice.Cable = *cable;
    } catch (const CableSpecError&) {
      // A wiring that no longer reads as one is forgotten, and the board is used.
      cableKept = false;
    }
  }
  if (const std::string* crystal = FindSetting(keys, kCrystalKey)) {
    const std::optional<std::uint32_t> hz = ParseMegahertz(*crystal);
    if (hz && !CrystalProblem(*hz, -1)) choice.CrystalHz = *hz;
  }
  if (const std::string* programmer = FindSetting(keys, kProgrammerKey))
    choice.UseCable = *programmer == kCableValue && cableKept;
  return choice;
}

void StoreProgrammerChoice(const ProgrammerChoice& choice, SettingsKeys& keys) {
  keys[kProgrammerKey] = choice.UseCable ? kCableValue : kBoardValue;
  keys[kCableKey] = choice.Cable;
  keys[kCrystalKey] = MegahertzText(choice.CrystalHz);
}

std::optional<CableUse> CableUseOf(const ProgrammerChoice& choice) {
  if (!choice.UseCable) return std::nullopt;
  CableUse use;
  use.Cable = ParseCable(choice.Cable);
  use.CrystalHz = choice.CrystalHz;
  return use;
}

int FirstIspDeviceType() {
  for (int type = 0; type < kDeviceCount; ++type)
    if (FindIspFamily(type)) return type;
  return -1;
}

std::optional<std::uint32_t> ParseMegahertz(std::string_view text) {
  auto trim = [&text] {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  };
  trim();
  if (text.size() >= 3) {
    std::string unit(text.substr(text.size() - 3));
    std::transform(unit.begin(), unit.end(), unit.begin(),
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    if (unit == "mhz") {
      text.remove_suffix(3);
      trim();
    }
  }
  const std::size_t dot = text.find_first_of(".,");
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction = dot == std::string_view::npos ? "" : text.substr(dot + 1);
  if (whole.empty() || whole.size() > 3 || !Digits(whole) || fraction.size() > 6 ||
      !Digits(fraction) || (dot != std::string_view::npos && fraction.empty()))
    return std::nullopt;
  std::uint32_t hz = static_cast<std::uint32_t>(std::stoul(std::string(whole))) * 1'000'000;
  if (!fraction.empty())
    hz += static_cast<std::uint32_t>(
        std::stoul(std::string(fraction) + std::string(6 - fraction.size(), '0')));
  return hz;
}

std::string MegahertzText(std::uint32_t hz) {
  std::string text = std::to_string(hz / 1'000'000);
  std::string fraction = std::to_string(hz % 1'000'000);
  fraction.insert(0, 6 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  return fraction.empty() ? text : text + "." + fraction;
}

std::optional<std::string> CrystalProblem(std::uint32_t hz, int deviceType) {
  const IspFamily* family = FindIspFamily(deviceType);
  const DeviceInfo* device = FindDevice(deviceType);
  const bool slow = family == &kIspFamilyS53;
  const std::uint32_t fastest = slow ? kFastestCrystalS53Hz : kFastestCrystalS51Hz;
  if (hz >= CableUse::kSlowestCrystalHz && hz <= fastest) return std::nullopt;
  const std::string chips = slow && device ? "The " + FullName(*device) + " runs"
                                           : std::string("The AT89S51 and S52 run");
  return chips + " on a crystal of " + MegahertzText(CableUse::kSlowestCrystalHz) + " to " +
         MegahertzText(fastest) + " MHz" + (slow ? "" : " (the AT89S53 and S8252 up to 24 MHz)") +
         ", not " + MegahertzText(hz) + " MHz: state the crystal of the target board.";
}

}  // namespace kaldo
