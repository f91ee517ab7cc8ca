// In-system programming cables: which DB-25 pin of the parallel port carries each of the four
// signals to the target (RST, SCK, MOSI out; MISO back), and the lines that enable a cable's
// buffer or feed its supply. The table names the cables people have; a user's own is written in
// the same text form:
//
//   rst=17,sck=1,mosi=2,miso=10          pins as numbers, 1-17
//   rst=~9,...                           ~: the cable inverts the line between pin and target
//   en=4+5                               buffer enables, low at the pin while the cable is in use
//                                        (~: high); '+' joins several
//   vcc=3+5                              supply lines, held high while the cable is in use
//
// Every signal once; MISO on a status pin (10, 11, 12, 13, 15); every other line on a data pin
// (2-9) or a control pin (1, 14, 16, 17); no pin twice.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Errors.h"

namespace kaldo {

struct CableLine {
  int Pin = 0;
  bool Inverted = false;  // the cable inverts the line: the target sees the opposite of the pin
  bool operator==(const CableLine&) const = default;
};

struct IspCable {
  std::string Name;  // the table's name, or the text the user gave
  CableLine Reset;   // to RST, active high on these chips
  CableLine Sck;
  CableLine Mosi;
  CableLine Miso;  // from the target, on a status pin
  std::vector<CableLine> Enables;
  std::vector<CableLine> Supplies;
  bool operator==(const IspCable&) const = default;
};

struct IspCableRow {
  const char* Name;
  const char* Wiring;  // in the text form above
  const char* Description;
};

// The cables known by name.
std::span<const IspCableRow> IspCableTable();

// A cable given as text that cannot be used: the message says what is wrong and what to write.
class CableSpecError : public Error {
 public:
  using Error::Error;
};

// The cable of the table named `text` (case-insensitive), or the wiring `text` spells; raises
// CableSpecError.
IspCable ParseCable(std::string_view text);

// The wiring in the text form: "rst=17,sck=1,mosi=2,miso=10".
std::string CableWiringText(const IspCable& cable);

}  // namespace kaldo
