#include "core/DeviceTable.h"

namespace kaldo {

namespace {

constexpr bool RowsFollowTheirKeys() {
  for (int t = 0; t < kDeviceCount; ++t) {
    const DeviceInfo& d = DeviceTable[static_cast<std::size_t>(t)];
    if (static_cast<int>(d.Id) != t) return false;
    // A shared routine set belongs to a device that runs its own.
    if (InfoOf(d.RoutineSet).RoutineSet != d.RoutineSet) return false;
    if (d.SignatureCount != 2 && d.SignatureCount != 3) return false;
  }
  return true;
}
static_assert(RowsFollowTheirKeys(), "each row of the device table stands at its key's index");

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

}  // namespace

std::string FullName(const DeviceInfo& device) {
  return std::string("AT") + device.PartName;
}

int FindDeviceType(std::string_view name) {
  if (name.size() > 2 && EqualIgnoringCase(name.substr(0, 2), "AT")) name.remove_prefix(2);
  for (const DeviceInfo& d : DeviceTable)
    if (EqualIgnoringCase(name, d.PartName)) return static_cast<int>(d.Id);
  return -1;
}

}  // namespace kaldo
