#include "device/DeviceProfiles.h"

namespace kaldo {

namespace {

using AF = AddressForm;
using D = Device;
using PF = ProgramFamily;
using LS = LockSequence;
using SP = SignatureProcedure;
using W = RoutineWaits;

// clang-format off
constexpr RoutineProfile kRoutineSets[] = {
//  owner          read mode     address form   AutoFeed  family  byte wait        erase: Init  settle  lock            signature
    {D::AT89C51,   kModeRead40C, AF::Bit4Set,   false,    PF::A,  &W::ByteC51,     false,       false,  LS::L1Strobe,   SP::C51},
    {D::AT89C52,   kModeRead40C, AF::Plain,     false,    PF::A,  &W::ByteC51,     false,       false,  LS::L1Strobe,   SP::C51},
    {D::AT89C55,   kModeRead40C, AF::Plain,     false,    PF::A,  &W::ByteC51,     false,       false,  LS::L1Strobe,   SP::C51},
    {D::AT89S51,   kModeRead40S, AF::Plain,     false,    PF::B,  &W::ByteS51,     false,       true,   LS::L1SelectIn, SP::S51},
    {D::AT89S52,   kModeRead40S, AF::Plain,     false,    PF::B,  &W::ByteS51,     false,       true,   LS::L1SelectIn, SP::S51},
    {D::AT89S53,   kModeRead40C, AF::Plain,     true,     PF::A,  &W::ByteC51,     false,       false,  LS::L2,         SP::S53},
    {D::AT89S8252, kModeRead40C, AF::Plain,     true,     PF::A,  &W::ByteC51,     false,       false,  LS::L2,         SP::S53},
    {D::AT89C55WD, kModeRead40S, AF::A14ToBit7, false,    PF::B,  &W::ByteC55WD,   true,        true,   LS::L3,         SP::S51},
    {D::AT89C51RC, kModeRead40S, AF::A14ToBit7, false,    PF::B,  &W::ByteC55WD,   true,        false,  LS::L3,         SP::S51},
    {D::AT89C1051, kModeRead20,  AF::Counter,   false,    PF::C,  &W::Byte20Pin,   false,       false,  LS::L4,         SP::Pin20},
    {D::AT89C2051, kModeRead20,  AF::Counter,   false,    PF::C,  &W::Byte20Pin,   false,       false,  LS::L4,         SP::Pin20},
    {D::AT89C4051, kModeRead20,  AF::Counter,   false,    PF::C,  &W::Byte20Pin,   false,       false,  LS::L4,         SP::Pin20},
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
