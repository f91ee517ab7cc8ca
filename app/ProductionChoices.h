// What a production run from the window is asked to do, as the dialog takes it and the settings
// file keeps it, and what the run would give the next chip or why it cannot start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/formats/Settings.h"
#include "core/model/ProgramState.h"
#include "production/SerialNumber.h"

namespace kaldo {

struct ProductionChoices {
  int Count = 0;        // 0: until stopped
  std::string Serial;   // "ADDR:FORM:START:STEP"; empty: no serial numbers
  std::string LogFile;  // empty: no log
  bool StopOnFailure = false;
  bool operator==(const ProductionChoices&) const = default;
};

// The last choices, from the settings' named lines; what a line does not give stays as above.
ProductionChoices ChoicesFromKeys(const SettingsKeys& keys);
void StoreChoices(const ProductionChoices& choices, SettingsKeys& keys);

// The run the choices make of the loaded image on the selected device, checked before the first
// chip: the serial numbers need a log (their counter is kept beside it), must land on blank bytes
// inside the device, and must fit their width for every chip of the count; the image must fit
// the device.
struct ProductionCheck {
  std::optional<std::string> Problem;  // why the run cannot start; the rest is then unset
  std::optional<SerialSpec> Serial;
  std::uint64_t NextSerial = 0;         // what the counter hands out next
  std::vector<std::uint8_t> NextBytes;  // its bytes in the image, from Serial->Address on
};
ProductionCheck CheckProductionRun(const ProductionChoices& choices, const ProgramState& state);

// "0010: 30 30 30 37 (serial 7)": where the next chip's number goes and its bytes.
std::string NextSerialText(const ProductionCheck& check);

}  // namespace kaldo
