#include "app/ProductionChoices.h"

#include <algorithm>

#include "core/Convert.h"
#include "core/Errors.h"
#include "device/CommandOutcome.h"
#include "production/ProductionLog.h"
#include "production/SerialCounter.h"

namespace kaldo {

namespace {

constexpr char kCountKey[] = "ProductionCount";
constexpr char kSerialKey[] = "ProductionSerial";
constexpr char kLogKey[] = "ProductionLog";
constexpr char kStopKey[] = "ProductionStopOnFailure";

}  // namespace

ProductionChoices ChoicesFromKeys(const SettingsKeys& keys) {
  ProductionChoices c;
  if (const std::string* count = FindSetting(keys, kCountKey)) {
    try {
      c.Count = std::max(0, StrToInt(*count));
    } catch (const ConvertError&) {
      // A count that does not read as one is forgotten.
    }
  }
  if (const std::string* serial = FindSetting(keys, kSerialKey)) c.Serial = *serial;
  if (const std::string* log = FindSetting(keys, kLogKey)) c.LogFile = *log;
  if (const std::string* stop = FindSetting(keys, kStopKey)) c.StopOnFailure = *stop == "1";
  return c;
}

void StoreChoices(const ProductionChoices& choices, SettingsKeys& keys) {
  keys[kCountKey] = IntToStr(choices.Count);
  keys[kSerialKey] = choices.Serial;
  keys[kLogKey] = choices.LogFile;
  keys[kStopKey] = choices.StopOnFailure ? "1" : "0";
}

ProductionCheck CheckProductionRun(const ProductionChoices& choices, const ProgramState& state) {
  ProductionCheck check;
  if (!FindDevice(state.DeviceType)) {
    check.Problem = kNoDeviceText;
    return check;
  }
  if (const std::optional<DataPastDevice> past = FindDataPastDevice(state)) {
    check.Problem =
        DataPastDeviceText(state, *past) + "\rChoose the device the program was built for.";
    return check;
  }
  if (choices.Serial.empty()) return check;
  if (choices.LogFile.empty()) {
    check.Problem = "A serial number needs a log file: the next number is kept beside the log.";
    return check;
  }
  try {
    const SerialSpec spec = ParseSerialSpec(choices.Serial);
    if ((check.Problem = SerialPlaceProblem(spec, state))) return check;
    SerialCounter counter(CounterFileOf(choices.LogFile), spec.Start, spec.Step);
    check.NextSerial = counter.Peek();
    if ((check.Problem = SerialRangeProblem(spec, check.NextSerial, choices.Count))) return check;
    check.Serial = spec;
    check.NextBytes = spec.Encode(check.NextSerial);
  } catch (const std::exception& e) {
    check.Problem = ErrorReportText(e);
  }
  return check;
}

std::string NextSerialText(const ProductionCheck& check) {
  if (!check.Serial) return {};
  return IntToHex(check.Serial->Address, 4) + ": " + HexByteList(check.NextBytes) + " (serial " +
         std::to_string(check.NextSerial) + ")";
}

}  // namespace kaldo
