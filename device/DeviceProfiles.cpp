#include "device/DeviceProfiles.h"

#include <array>

namespace kaldo {

namespace {

using AF = AddressForm;
using PF = ProgramFamily;
using LS = LockSequence;
using SP = SignatureProcedure;
using W = RoutineWaits;

// clang-format off
//                                 read mode     address form   AutoFeed  family  byte wait        erase: Init  settle  lock            signature  heading
constexpr RoutineProfile kC51   {kModeRead40C, AF::Bit4Set,   false,    PF::A,  &W::ByteC51,     false,       false,  LS::L1Strobe,   SP::C51,   "89C51"};
constexpr RoutineProfile kC52   {kModeRead40C, AF::Plain,     false,    PF::A,  &W::ByteC51,     false,       false,  LS::L1Strobe,   SP::C51,   "89C52"};
constexpr RoutineProfile kC55   {kModeRead40C, AF::Plain,     false,    PF::A,  &W::ByteC51,     false,       false,  LS::L1Strobe,   SP::C51,   "89C55"};
constexpr RoutineProfile kS51   {kModeRead40S, AF::Plain,     false,    PF::B,  &W::ByteS51,     false,       true,   LS::L1SelectIn, SP::S51,   "89S51"};
constexpr RoutineProfile kS52   {kModeRead40S, AF::Plain,     false,    PF::B,  &W::ByteS51,     false,       true,   LS::L1SelectIn, SP::S51,   "89S52"};
constexpr RoutineProfile kS53   {kModeRead40C, AF::Plain,     true,     PF::A,  &W::ByteC51,     false,       false,  LS::L2,         SP::S53,   "89S53"};
constexpr RoutineProfile kS8252 {kModeRead40C, AF::Plain,     true,     PF::A,  &W::ByteC51,     false,       false,  LS::L2,         SP::S53,   "89S8252"};
constexpr RoutineProfile kC55WD {kModeRead40S, AF::A14ToBit7, false,    PF::B,  &W::ByteC55WD,   true,        true,   LS::L3,         SP::S51,   "89C55WD"};
constexpr RoutineProfile kC51RC {kModeRead40S, AF::A14ToBit7, false,    PF::B,  &W::ByteC55WD,   true,        false,  LS::L3,         SP::S51,   "89C51RC"};
constexpr RoutineProfile kC1051 {kModeRead20,  AF::Counter,   false,    PF::C,  &W::Byte20Pin,   false,       false,  LS::L4,         SP::Pin20, "89C1051"};
constexpr RoutineProfile kC2051 {kModeRead20,  AF::Counter,   false,    PF::C,  &W::Byte20Pin,   false,       false,  LS::L4,         SP::Pin20, "89C2051"};
constexpr RoutineProfile kC4051 {kModeRead20,  AF::Counter,   false,    PF::C,  &W::Byte20Pin,   false,       false,  LS::L4,         SP::Pin20, "89C4051"};
// clang-format on

// Indexed by DeviceType. The AT89C1051U runs the AT89C1051's routines, heading included.
constexpr std::array<const RoutineProfile*, 13> kRoutines = {
    &kC51,   &kC52,   &kC55,   &kS51,   &kS52,   &kS53,   &kS8252,
    &kC55WD, &kC51RC, &kC1051, &kC1051, &kC2051, &kC4051,
};

}  // namespace

const RoutineProfile* FindRoutines(int deviceType) {
  if (deviceType < 0 || deviceType >= static_cast<int>(kRoutines.size())) return nullptr;
  return kRoutines[static_cast<std::size_t>(deviceType)];
}

}  // namespace kaldo
