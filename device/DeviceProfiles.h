// What the device routines need to know about each device: mode codes, how an address reaches
// the board, its waits, and the programming family whose routines serve it. One entry per routine
// set, keyed by the device that owns it; the device table says which set serves each device.
#pragma once

#include <cstdint>

#include "core/model/DeviceTable.h"
#include "device/CommandOutcome.h"
#include "link/Port.h"

namespace kaldo {

// The waits that the routines add after their own pulses, as calls on Port. DeviceOperations keeps
// one copy, so a test can replace one wait and watch the device refuse the shortened pulse.
struct RoutineWaits {
  using Wait = void (Port::*)();
  Wait EraseStrobe = &Port::Delay10ms;  // 40-pin Strobe erase and the 20-pin erase: one 10 ms pulse
  Wait EraseSelectInStep = &Port::Delay10ms;  // SelectIn erase: fifteen of these, 150 ms
  Wait ByteC51 = &Port::Delay2ms;             // AT89C51, C52, C55, S53, S8252 byte write
  Wait ByteS51 = &Port::Delay50us;            // AT89S51, S52 byte write
  Wait ByteC55WD = &Port::Delay100us;         // AT89C55WD, C51RC byte write
  Wait ByteC1051 = &Port::Delay2ms;           // AT89C1051, C1051U, C2051, C4051 byte write
  Wait LockStrobe = &Port::Delay2ms;          // one lock bit per Strobe pulse (C51 group, 20-pin)
  Wait LockSelectIn = &Port::Delay50us;       // one lock bit per SelectIn pulse (AT89S51, S52)
  Wait FuseS53 = &Port::Delay10ms;     // ISP fuse byte, a timed Strobe pulse (AT89S53, S8252)
  Wait LockByteS53 = &Port::Delay2ms;  // lock-bit byte after a Strobe pulse (AT89S53, S8252)
  Wait LockC55WD = &Port::Delay100us;  // timed Strobe pulse per lock bit (AT89C55WD, C51RC)
};

// How address a reaches the address registers.
enum class AddressForm {
  Plain,      // low byte, then a >> 8
  Bit4Set,    // AT89C51: address-high bit 4 is always 1
  A14ToBit7,  // AT89C55WD, C51RC: address bit 14 goes out on address-high bit 7, not bit 6
  Counter,    // 20-pin devices: no address pins; an internal counter stepped by address-high bit 0
};

// clang-format off
// Mode register codes (bits 0 and 7 are replaced from ModeBits at every shift-out). Bits 1-6 reach
// the socket's mode pins; 1 = high:
//   40-pin:  bit 2 P3.3   bit 3 P2.7   bit 4 P2.6   bit 5 P3.6   bit 6 P3.7   (bit 1 always 1)
//   20-pin:  bit 1 P3.3   bit 2 P3.5   bit 3 P3.4   bit 4 P3.7
//                                                  P3.3 P2.7 P2.6 P3.6 P3.7
inline constexpr int kModeRead40C = 0x66;        //   H    L    L    H    H   read code: C51, S53
inline constexpr int kModeRead40S = 0x62;        //   L    L    L    H    H   read code: S51, C55WD
inline constexpr int kModeErase40 = 0x16;        //   H    L    H    L    L   chip erase
inline constexpr int kModeWrite40 = 0x6E;        //   H    H    L    H    H   write code
inline constexpr int kModeLock40[3] = {0x7E,     //   H    H    H    H    H   lock bit 1
                                       0x1E,     //   H    H    H    L    L   lock bit 2
                                       0x36};    //   H    L    H    H    L   lock bit 3
inline constexpr int kModeFuseWriteS53 = 0x4E;   //   H    H    L    L    H   ISP fuse: S53, S8252
inline constexpr int kModeLockWriteS53 = 0x36;   //   H    L    H    H    L   lock byte: S53, S8252
inline constexpr int kModeSignatureC51 = 0x06;   //   H    L    L    L    L   signature: C51, S53
inline constexpr int kModeSignatureS51 = 0x02;   //   L    L    L    L    L   signature: S51
inline constexpr int kModeLockReadS51 = 0x3A;    //   L    H    H    H    L   lock byte: S51
inline constexpr int kModeLockReadS53 = 0x1E;    //   H    H    H    L    L   lock byte: S53
inline constexpr int kModeFuseReadS53 = 0x5E;    //   H    H    H    L    H   fuse byte: S53
//                                                  P3.3 P3.5 P3.4 P3.7
inline constexpr int kModeRead20 = 0x14;         //   L    H    L    H        read code
inline constexpr int kModeErase20 = 0x02;        //   H    L    L    L        chip erase
inline constexpr int kModeWrite20 = 0x1C;        //   L    H    H    H        write code
inline constexpr int kModeLock20[2] = {0x1E,     //   H    H    H    H        lock bit 1
                                       0x0A};    //   H    L    H    L        lock bit 2
inline constexpr int kModeSignature20 = 0x00;    //   L    L    L    L        signature
// clang-format on

// Address-high byte for the 20-pin devices: bit 0 is the address-counter step line, held low.
inline constexpr int kCounterIdle = 0xFE;

struct DeviceFamily;

struct RoutineSet {
  Device Owner;  // the device this routine set is written for; its part name heads the report
  const DeviceFamily* Family;
  int ReadMode;
  RoutineWaits::Wait RoutineWaits::*ByteWait;
  AddressForm Address = AddressForm::Plain;
  // AT89S53, S8252: SetModeBit0 and ClearAutoFeed before the work, SetAutoFeed after it.
  bool AutoFeedAround = false;
  // A 500 ms settle closing each erase cycle (SelectIn families).
  bool EraseSettles = false;

  const char* SignatureName() const { return InfoOf(Owner).PartName; }
};

class RoutineContext;

// What a reading pass does with each byte it reads.
enum class PassUse { Store, BlankTest, Compare };

// A programming family: its routines, one table filled by one file (device/Family*.cpp).
struct DeviceFamily {
  // Blank check (BlankTest), read (Store) and verify (Compare); false at the first failing byte.
  bool (*Read)(RoutineContext& c, const RoutineSet& p, PassUse use);
  // Erase, write every byte that is not blank, verify; false at the first byte that differs.
  bool (*EraseWriteVerify)(RoutineContext& c, const RoutineSet& p);
  // The lock bits (and the ISP fuse) the program bits select, after a verified write.
  void (*WriteLockBits)(RoutineContext& c, const RoutineSet& p);
  // The signature bytes (and lock and fuse bytes) as read, with the report.
  SignatureReading (*ReadSignature)(RoutineContext& c, const RoutineSet& p);
  // The signature read sends its addresses in the routine set's address form (the AT89C51 keeps
  // address-high bit 4 set); otherwise it is the same read for every device of the family.
  bool SignatureFollowsAddressForm = false;
  // The signature read drops AutoFeed, which puts the programming voltage on the chip.
  bool SignatureRaisesVoltage = false;
  // The signature read reports the lock bits too (SignatureReading::ProgrammedBits).
  bool SignatureReadsLockBits = false;
};

// Erase and byte pulses on Strobe: AT89C51, C52, C55.
extern const DeviceFamily kFamilyC51;
// Strobe, with AutoFeed around the work and an ISP fuse: AT89S53, S8252.
extern const DeviceFamily kFamilyS53;
// Erase and byte pulses on SelectIn, lock bits too: AT89S51, S52.
extern const DeviceFamily kFamilyS51;
// SelectIn, Init low while erasing, timed Strobe lock pulses: AT89C55WD, C51RC.
extern const DeviceFamily kFamilyC55WD;
// The 20-pin devices: no address pins, an internal address counter: AT89C1051, C2051, C4051.
extern const DeviceFamily kFamilyC1051;

// The routine set the device table names for DeviceType; null for a type outside the table.
const RoutineSet* FindRoutineSet(int deviceType);

}  // namespace kaldo
