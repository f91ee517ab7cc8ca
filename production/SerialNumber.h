// Serial numbers put into the image before each chip of a production run: where (a code address),
// how (the byte form and its width) and which numbers (a start and a step).
//
// A form is written "bin-le4", "bin-be2", "bcd3" or "ascii8"; the width is the number of bytes
// the number takes in the image. bin-le and bin-be: the number in binary, least or most
// significant byte first (1 to 8 bytes, 4 unless given); bcd: two decimal digits a byte, the most
// significant first (1 to 10 bytes, 4 unless given); ascii: decimal digits, zero-padded, no end
// mark (1 to 20 bytes, the width must be given).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Errors.h"
#include "core/model/ProgramState.h"

namespace kaldo {

enum class SerialForm { BinaryLittleEndian, BinaryBigEndian, Bcd, Ascii };

struct SerialSpec {
  std::uint16_t Address = 0;
  SerialForm Form = SerialForm::BinaryLittleEndian;
  int Width = 4;
  std::uint64_t Start = 0;
  std::uint64_t Step = 1;

  // The largest number the form and width can hold.
  std::uint64_t Largest() const;
  bool Fits(std::uint64_t number) const { return number <= Largest(); }
  // The number's bytes as they go into the image, from Address on; the number must fit.
  std::vector<std::uint8_t> Encode(std::uint64_t number) const;
};

// A --serial text (ADDR:FORM:START[:STEP]) that cannot be read.
class SerialSpecError : public Error {
 public:
  using Error::Error;
};

// "ADDR:FORM:START[:STEP]": ADDR hexadecimal (0x optional), START and STEP decimal (STEP 1 or
// more, 1 unless given). Raises SerialSpecError saying what is wrong.
SerialSpec ParseSerialSpec(const std::string& text);

// Why the serial numbers cannot go into the image of this device: they would run past its last
// address, or overwrite bytes of the image that are not blank. Empty when they can.
std::optional<std::string> SerialPlaceProblem(const SerialSpec& spec, const ProgramState& state);

// Why the numbers from `first` on cannot serve `chips` chips (1 for a run without a count): the
// last would not fit the form's width, or would pass 2^64. Empty when they can.
std::optional<std::string> SerialRangeProblem(const SerialSpec& spec, std::uint64_t first,
                                              int chips);

}  // namespace kaldo
