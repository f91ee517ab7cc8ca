// Which programmer the window's device commands go through, as the Port menu takes it and the
// settings file keeps it: the programmer board, or an in-system programming cable to a target
// board whose crystal the user states.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/formats/Settings.h"
#include "device/IspOperations.h"

namespace kaldo {

struct ProgrammerChoice {
  bool UseCable = false;
  // The cable the cable items name: a name of the cable table, or the user's own wiring. Kept
  // while the board is in use, for the next choice of a cable.
  std::string Cable = "89isp";
  std::uint32_t CrystalHz = CableUse::kSlowestCrystalHz;
  bool operator==(const ProgrammerChoice&) const = default;
};

// The last choice, from the settings' named lines; a line that does not read as its setting is
// forgotten, and what the lines do not give stays as above (a file of four lines: the board).
ProgrammerChoice ProgrammerChoiceFromKeys(const SettingsKeys& keys);
void StoreProgrammerChoice(const ProgrammerChoice& choice, SettingsKeys& keys);

// The cable and crystal the session uses; none for the board. Raises CableSpecError for a
// wiring ParseCable refuses.
std::optional<CableUse> CableUseOf(const ProgrammerChoice& choice);

// The first device of the table that a cable can program: the one the device box gives way to
// when a cable is chosen for a device without in-system programming.
int FirstIspDeviceType();

// The crystals the in-system programmable chips run on, by the data sheets: 3 to 33 MHz for the
// AT89S51 and S52, 3 to 24 MHz for the AT89S53 and S8252.
inline constexpr std::uint32_t kFastestCrystalS51Hz = 33'000'000;
inline constexpr std::uint32_t kFastestCrystalS53Hz = 24'000'000;

// "11.0592" or "12 MHz": the frequency in Hz, to the hertz; none for a text that is no number of
// MHz with up to six decimals.
std::optional<std::uint32_t> ParseMegahertz(std::string_view text);
// "11.0592", "3": the frequency in MHz without trailing zeros.
std::string MegahertzText(std::uint32_t hz);
// Why the chip of deviceType cannot run on the crystal, or none: outside 3 to 33 MHz for every
// chip, above 24 MHz for the AT89S53 and S8252 (a device without in-system programming is judged
// as the AT89S51).
std::optional<std::string> CrystalProblem(std::uint32_t hz, int deviceType);

}  // namespace kaldo
