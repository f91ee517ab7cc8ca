// What the device routines need to know about each device: mode codes, how an address reaches
// the board, its waits, and the programming family whose routines serve it. One entry per routine
// set, keyed by the device that owns it; the device table says which set serves each device.
#pragma once

#include <cstdint>

#include "core/DeviceTable.h"
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
  Wait Byte20Pin = &Port::Delay2ms;           // AT89C1051, C1051U, C2051, C4051 byte write
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

// Mode register codes (bits 0 and 7 are replaced from ModeBits at every shift-out).
inline constexpr int kModeRead40C = 0x66;  // read code memory, AT89C51, C52, C55, S53, S8252
inline constexpr int kModeRead40S = 0x62;  // read code memory, AT89S51, S52, C55WD, C51RC
inline constexpr int kModeRead20 = 0x14;   // read code memory, 20-pin
inline constexpr int kModeErase40 = 0x16;
inline constexpr int kModeWrite40 = 0x6E;
inline constexpr int kModeErase20 = 0x02;
inline constexpr int kModeWrite20 = 0x1C;
inline constexpr int kModeLock40[3] = {0x7E, 0x1E, 0x36};  // lock bits 1, 2, 3, one pulse each
inline constexpr int kModeLock20[2] = {0x1E, 0x0A};        // lock bits 1, 2 of the 20-pin devices
inline constexpr int kModeFuseWriteS53 = 0x4E;
inline constexpr int kModeLockWriteS53 = 0x36;
inline constexpr int kModeSignatureC51 = 0x06;  // also AT89S53, S8252
inline constexpr int kModeSignatureS51 = 0x02;
inline constexpr int kModeLockReadS51 = 0x3A;
inline constexpr int kModeLockReadS53 = 0x1E;
inline constexpr int kModeFuseReadS53 = 0x5E;
inline constexpr int kModeSignature20 = 0x00;

// Address-high byte for the 20-pin devices: bit 0 is the address-counter step line, held low.
inline constexpr int kCounterIdle = 0xFE;

struct DeviceFamily;

struct RoutineProfile {
  Device Owner;  // the device this routine set is written for; its part name heads the report
  const DeviceFamily* Family;
  int ReadMode;
  AddressForm Address;
  // AT89S53, S8252: SetModeBit0 and ClearAutoFeed before the work, SetAutoFeed after it.
  bool AutoFeedAround;
  RoutineWaits::Wait RoutineWaits::*ByteWait;
  // A 500 ms settle closing each erase cycle (SelectIn families).
  bool EraseSettles;

  const char* SignatureName() const { return InfoOf(Owner).PartName; }
};

class RoutineContext;

// What a reading pass does with each byte it reads.
enum class PassUse { Store, BlankTest, Compare };

// A programming family: its routines, one table filled by one file (device/Family*.cpp).
struct DeviceFamily {
  // Blank check (BlankTest), read (Store) and verify (Compare); false at the first failing byte.
  bool (*Read)(RoutineContext& c, const RoutineProfile& p, PassUse use);
  // Erase, write every byte that is not blank, verify; false at the first byte that differs.
  bool (*EraseWriteVerify)(RoutineContext& c, const RoutineProfile& p);
  // The lock bits (and the ISP fuse) the program bits select, after a verified write.
  void (*WriteLockBits)(RoutineContext& c, const RoutineProfile& p);
  // The signature bytes (and lock and fuse bytes) as read, with the report.
  SignatureReading (*ReadSignature)(RoutineContext& c, const RoutineProfile& p);
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
extern const DeviceFamily kFamily20Pin;

// The routine set the device table names for DeviceType; null for a type outside the table.
const RoutineProfile* FindRoutines(int deviceType);

}  // namespace kaldo
