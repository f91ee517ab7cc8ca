// What the device routines need to know about each device: mode codes, how an address reaches
// the board, the programming family with its pulse line and waits, the lock-bit sequence and the
// signature procedure. One entry per routine set, keyed by the device that owns it; the device
// table says which set serves each device.
#pragma once

#include <cstdint>

#include "core/DeviceTable.h"
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

// Programming families. A: erase and byte pulses on Strobe. B: on SelectIn, two erase cycles.
// C: the 20-pin devices, Strobe pulses and the address counter.
enum class ProgramFamily { A, B, C };

// Lock-bit sequences. L1 one mode-coded pulse per bit (Strobe + 2 ms, or SelectIn + 50 us on the
// AT89S51/S52); L2 the ISP fuse byte and then the lock-bit byte as data; L3 timed 100 us Strobe
// pulses with Init low; L4 the 20-pin devices' two lock bits.
enum class LockSequence { L1Strobe, L1SelectIn, L2, L3, L4 };

enum class SignatureProcedure {
  C51,    // three bytes at 0x30..0x32 under mode 0x06
  S51,    // three bytes at 0x000, 0x100, 0x200 under 0x02, then the lock byte under 0x3A
  S53,    // two bytes at 0x30, 0x31 under 0x06, the lock byte under 0x1E, the fuse under 0x5E
  Pin20,  // two bytes from the address counter under 0x00
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

struct RoutineProfile {
  Device Owner;  // the device this routine set is written for; its part name heads the report
  int ReadMode;
  AddressForm Address;
  // AT89S53, S8252: SetModeBit0 and ClearAutoFeed before the work, SetAutoFeed after it.
  bool AutoFeedAround;
  ProgramFamily Family;
  RoutineWaits::Wait RoutineWaits::*ByteWait;
  // Family B only: ClearInit in each erase cycle; a 500 ms settle closing each erase cycle.
  bool EraseClearsInit;
  bool EraseSettles;
  LockSequence Lock;
  SignatureProcedure Signature;

  const char* SignatureName() const { return InfoOf(Owner).PartName; }
};

// The routine set the device table names for DeviceType; null for a type outside 0..12.
const RoutineProfile* FindRoutines(int deviceType);

}  // namespace kaldo
