// Which chip sits in the socket. The board reads signatures with a handful of procedures, one for
// each group of devices whose routines read it alike (device/Family*.cpp). Identification reads
// the chip with each of them in turn, reads only, and stops at the first whose bytes are the
// signature of a device that procedure serves: a chip answers only the procedure of its own
// group, so another group's bytes (or none) say nothing about it.
//
// The procedures that keep the programming voltage off run first; the AT89S53 group's, which puts
// it on for its whole read, runs only when no other procedure found the chip.
//
// The guard before a command that reads or writes the chip reads the selected device's signature
// first, with its own procedure alone, and identifies the chip only when that does not match.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/SignatureCheck.h"

namespace kaldo {

struct SignatureProcedure {
  int DeviceType;           // it runs as the Signature command of this device, the first it serves
  std::vector<int> Serves;  // the devices whose own signature read it is, in the table's order
  bool RaisesVoltage;       // the programming voltage is on while it reads
};

// Every distinct procedure once, in the order identification runs them: those that keep the
// programming voltage off first, then by the first device each serves.
std::vector<SignatureProcedure> SignatureProcedures();

struct ChipIdentity {
  enum class Kind {
    Known,     // a procedure read the signature of a device it serves
    NoAnswer,  // every procedure read all FF or all 00: no board, no power or no chip
    Unknown,   // bytes came back, but no procedure read a signature of its own group
  };

  Kind Result = Kind::NoAnswer;
  int DeviceType = -1;                  // Known: the device
  std::vector<std::uint8_t> Signature;  // Known: its bytes as read; Unknown: the first answer
  bool Found() const { return Result == Kind::Known; }
};

// The device among those `procedure` serves whose signature `read` is; none for another group's
// signature, for no answer (all FF or all 00) and for bytes no device has.
std::optional<int> DeviceOfReading(const SignatureProcedure& procedure,
                                   const std::vector<std::uint8_t>& read);

// What kaldo-cli identify prints: "AT89S52 (signature 1E 52 06)", "no chip answered: ..." or
// "unknown chip: signature 12 34 56".
std::string IdentityText(const ChipIdentity& identity);

// The signature guard's finding on the chip in the socket for a device.
struct SocketCheck {
  int DeviceType = -1;
  SignatureVerdict Verdict;            // by the device's own procedure
  std::optional<ChipIdentity> Inside;  // identified when the verdict is neither a match nor
                                       // NoDeviceSelected
  // Through a cable: why nothing answered, with its likely causes; or, for NotReadable, why the
  // signature could not be read ("hides its signature behind its lock bits"), empty when the device
  // has none over a cable.
  std::string Note;
  bool Passed() const {
    return Verdict.Passed() || Verdict.Result == SignatureVerdict::Kind::NoDeviceSelected ||
           Verdict.Result == SignatureVerdict::Kind::NotReadable;
  }
  // The chip answered, but is not the device: another device's chip, or an unknown one.
  bool WrongChip() const;
};

// Why the guard refused the chip, one line (empty when it passed): "Wrong chip: the socket holds
// an AT89C51 (1E 51 FF) where the AT89S51 has 1E 51 06." (or "... holds an unknown chip
// (signature 12 34 56) ..."); for no answer "No chip answered (signature FF FF FF): is the board
// connected and the chip seated?" with the bytes of the device's own procedure; and a chip that
// gave the device's signature only the second time is asked to be seated firmly.
std::string SocketCheckText(const SocketCheck& check);

}  // namespace kaldo
