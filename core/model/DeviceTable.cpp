#include "core/model/DeviceTable.h"

namespace kaldo {

namespace {

constexpr bool RowsFollowTheirKeys() {
  for (int t = 0; t < kDeviceCount; ++t) {
    const DeviceRow& row = kDeviceRows[t];
    const DeviceInfo& d = DeviceTable[static_cast<std::size_t>(t)];
    if (static_cast<int>(row.Id) != t || d.Id != row.Id) return false;
    // A parent stands before its variants and is a device of its own.
    if (row.Parent && (*row.Parent >= row.Id || kDeviceRows[static_cast<int>(*row.Parent)].Parent))
      return false;
    if (d.SignatureCount != 2 && d.SignatureCount != 3) return false;
    if (d.Size == 0 || d.Size % 32 != 0) return false;
  }
  return true;
}
static_assert(RowsFollowTheirKeys(),
              "each row of the device table stands at its key's index, a variant after its parent");

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
