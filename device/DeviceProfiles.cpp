#include "device/DeviceProfiles.h"

namespace kaldo {

namespace {

using AF = AddressForm;
using D = Device;
using W = RoutineWaits;

// A device whose row names a parent runs the parent's set and has none of its own.
constexpr RoutineSet kRoutineSets[] = {
    {.Owner = D::AT89C51,
     .Family = &kFamilyC51,
     .ReadMode = kModeRead40C,
     .ByteWait = &W::ByteC51,
     .Address = AF::Bit4Set},
    {.Owner = D::AT89C52, .Family = &kFamilyC51, .ReadMode = kModeRead40C, .ByteWait = &W::ByteC51},
    {.Owner = D::AT89C55, .Family = &kFamilyC51, .ReadMode = kModeRead40C, .ByteWait = &W::ByteC51},
    {.Owner = D::AT89S51,
     .Family = &kFamilyS51,
     .ReadMode = kModeRead40S,
     .ByteWait = &W::ByteS51,
     .EraseSettles = true},
    {.Owner = D::AT89S52,
     .Family = &kFamilyS51,
     .ReadMode = kModeRead40S,
     .ByteWait = &W::ByteS51,
     .EraseSettles = true},
    {.Owner = D::AT89S53,
     .Family = &kFamilyS53,
     .ReadMode = kModeRead40C,
     .ByteWait = &W::ByteC51,
     .AutoFeedAround = true},
    {.Owner = D::AT89S8252,
     .Family = &kFamilyS53,
     .ReadMode = kModeRead40C,
     .ByteWait = &W::ByteC51,
     .AutoFeedAround = true},
    {.Owner = D::AT89C55WD,
     .Family = &kFamilyC55WD,
     .ReadMode = kModeRead40S,
     .ByteWait = &W::ByteC55WD,
     .Address = AF::A14ToBit7,
     .EraseSettles = true},
    {.Owner = D::AT89C51RC,
     .Family = &kFamilyC55WD,
     .ReadMode = kModeRead40S,
     .ByteWait = &W::ByteC55WD,
     .Address = AF::A14ToBit7},
    {.Owner = D::AT89C1051,
     .Family = &kFamilyC1051,
     .ReadMode = kModeRead20,
     .ByteWait = &W::ByteC1051,
     .Address = AF::Counter},
    {.Owner = D::AT89C2051,
     .Family = &kFamilyC1051,
     .ReadMode = kModeRead20,
     .ByteWait = &W::ByteC1051,
     .Address = AF::Counter},
    {.Owner = D::AT89C4051,
     .Family = &kFamilyC1051,
     .ReadMode = kModeRead20,
     .ByteWait = &W::ByteC1051,
     .Address = AF::Counter},
};

constexpr const RoutineSet* OwnedRoutineSet(Device owner) {
  for (const RoutineSet& p : kRoutineSets)
    if (p.Owner == owner) return &p;
  return nullptr;
}

constexpr bool EveryDeviceHasItsRoutineSet() {
  for (const DeviceInfo& d : DeviceTable)
    if (OwnedRoutineSet(d.RoutineSet) == nullptr) return false;
  return true;
}
static_assert(EveryDeviceHasItsRoutineSet(), "the routine set the device table names is missing");

}  // namespace

const RoutineSet* FindRoutineSet(int deviceType) {
  const DeviceInfo* device = FindDevice(deviceType);
  return device ? OwnedRoutineSet(device->RoutineSet) : nullptr;
}

}  // namespace kaldo
