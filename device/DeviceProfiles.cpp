#include "device/DeviceProfiles.h"

namespace kaldo {

namespace {

using AF = AddressForm;
using D = Device;
using W = RoutineWaits;

// clang-format off
constexpr RoutineProfile kRoutineSets[] = {
//  owner          family          read mode     address form   AutoFeed  byte wait       erase settles
    {D::AT89C51,   &kFamilyC51,    kModeRead40C, AF::Bit4Set,   false,    &W::ByteC51,    false},
    {D::AT89C52,   &kFamilyC51,    kModeRead40C, AF::Plain,     false,    &W::ByteC51,    false},
    {D::AT89C55,   &kFamilyC51,    kModeRead40C, AF::Plain,     false,    &W::ByteC51,    false},
    {D::AT89S51,   &kFamilyS51,    kModeRead40S, AF::Plain,     false,    &W::ByteS51,    true},
    {D::AT89S52,   &kFamilyS51,    kModeRead40S, AF::Plain,     false,    &W::ByteS51,    true},
    {D::AT89S53,   &kFamilyS53,    kModeRead40C, AF::Plain,     true,     &W::ByteC51,    false},
    {D::AT89S8252, &kFamilyS53,    kModeRead40C, AF::Plain,     true,     &W::ByteC51,    false},
    {D::AT89C55WD, &kFamilyC55WD,  kModeRead40S, AF::A14ToBit7, false,    &W::ByteC55WD,  true},
    {D::AT89C51RC, &kFamilyC55WD,  kModeRead40S, AF::A14ToBit7, false,    &W::ByteC55WD,  false},
    {D::AT89C1051, &kFamily20Pin,  kModeRead20,  AF::Counter,   false,    &W::Byte20Pin,  false},
    {D::AT89C2051, &kFamily20Pin,  kModeRead20,  AF::Counter,   false,    &W::Byte20Pin,  false},
    {D::AT89C4051, &kFamily20Pin,  kModeRead20,  AF::Counter,   false,    &W::Byte20Pin,  false},
};
// clang-format on

constexpr const RoutineProfile* FindRoutineSet(Device owner) {
  for (const RoutineProfile& p : kRoutineSets)
    if (p.Owner == owner) return &p;
  return nullptr;
}

constexpr bool EveryDeviceHasItsRoutineSet() {
  for (const DeviceInfo& d : DeviceTable)
    if (FindRoutineSet(d.RoutineSet) == nullptr) return false;
  return true;
}
static_assert(EveryDeviceHasItsRoutineSet(), "the routine set the device table names is missing");

}  // namespace

const RoutineProfile* FindRoutines(int deviceType) {
  const DeviceInfo* device = FindDevice(deviceType);
  return device ? FindRoutineSet(device->RoutineSet) : nullptr;
}

}  // namespace kaldo
