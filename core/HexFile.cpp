#include "core/HexFile.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/Convert.h"
#include "core/Errors.h"

namespace kaldo {

namespace {

// The field of `length` characters at 1-based `position`, cut short by the end of the line, read as
// "$" followed by the field's text.
int Field(const std::string& line, std::size_t position, std::size_t length) {
  std::string_view field;
  if (position - 1 < line.size()) field = std::string_view(line).substr(position - 1, length);
  int value = 0;
  for (char c : field) {
    int digit = HexDigitValue(c);
    if (digit < 0) {
      value = -1;
      break;
    }
    value = value * 16 + digit;
  }
  if (field.empty() || value < 0) throw ConvertError("$" + std::string(field));
  return value;
}

// What one line says: nothing when the reader goes on with the next line.
using LineOutcome = std::optional<LoadOutcome>;

LineOutcome DataRecord(ProgramState& s, const std::string& line, std::uint64_t base) {
  const int count = Field(line, 2, 2);
  std::uint64_t address = static_cast<std::uint64_t>(Field(line, 4, 4));
  unsigned sum = static_cast<unsigned>(count) + static_cast<unsigned>(address & 0xFF) +
                 static_cast<unsigned>(address >> 8);
  std::size_t p = 10;
  for (int i = 0; i < count; ++i) {
    const std::uint64_t full = base + address;
    if (full >= kBufferSize) return LoadOutcome{kAddressOutOfRange};
    const int value = Field(line, p, 2);
    s.DataBuffer[full] = static_cast<std::uint8_t>(value);
    sum += static_cast<unsigned>(value);
    ++address;
    p += 2;
  }
  sum += static_cast<unsigned>(Field(line, p, 2));
  if (sum % 256 != 0) return LoadOutcome{kDataChecksumError};
  // A second record on the same line would otherwise be lost without a word.
  if (line.size() > p + 1) return LoadOutcome{kInvalidHexFormat, 0, kTextAfterChecksum};
  return std::nullopt;
}

LineOutcome AddressRecord(const std::string& line, int type, std::uint64_t& base) {
  const int count = Field(line, 2, 2);
  const int address = Field(line, 4, 4);
  if (count != 2) return LoadOutcome{kInvalidHexFormat};
  const int high = Field(line, 10, 2);
  const int low = Field(line, 12, 2);
  const int checksum = Field(line, 14, 2);
  const int sum = count + (address >> 8) + (address & 0xFF) + type + high + low + checksum;
  if (sum % 256 != 0) return LoadOutcome{kDataChecksumError};
  const std::uint64_t value = static_cast<std::uint64_t>(high * 256 + low);
  base = type == kExtendedSegmentAddress ? value << 4 : value << 16;
  return std::nullopt;
}

}  // namespace

LoadOutcome LoadHexLines(ProgramState& s, LineReader& in) {
  std::uint64_t base = 0;
  std::string line;
  std::size_t number = 0;
  while (!in.Eof()) {
    in.ReadLine(line);
    ++number;
    LineOutcome outcome;
    if (line.empty() || line[0] != ':') {
      outcome = LoadOutcome{kInvalidHexFormat};
    } else {
      const int type = Field(line, 8, 2);
      if (type == kDataRecord)
        outcome = DataRecord(s, line, base);
      else if (type == kExtendedSegmentAddress || type == kExtendedLinearAddress)
        outcome = AddressRecord(line, type, base);
    }
    if (outcome) {
      outcome->Line = number;
      return *outcome;
    }
  }
  return {};
}

LoadOutcome LoadHexFile(ProgramState& s) {
  LineReader in = LineReader::OpenFile(s.HexFileName, kLongestRecord + 1);
  return LoadHexLines(s, in);
}

std::string HexFileText(const ProgramState& s) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  const int records = s.DeviceSize / 16;
  text.reserve(static_cast<std::size_t>(records) * 45 + 13);
  auto put = [&](unsigned byte) {
    text += kDigits[(byte >> 4) & 0xF];
    text += kDigits[byte & 0xF];
  };
  for (int r = 0; r < records; ++r) {
    const unsigned a = static_cast<unsigned>(r) * 16;
    text += ":10";
    put(a >> 8);
    put(a & 0xFF);
    text += "00";
    unsigned sum = 16 + (a & 0xFF) + (a >> 8);
    for (unsigned i = 0; i < 16; ++i) {
      const unsigned value = s.DataBuffer[a + i];
      put(value);
      sum += value;
    }
    put((256 - sum % 256) % 256);
    text += "\r\n";
  }
  text += ":00000001FF\r\n";
  return text;
}

void SaveHexFile(const ProgramState& s, const FileCalls& files) {
  WriteFileReplacing(s.HexFileName, HexFileText(s), files);
}

}  // namespace kaldo
