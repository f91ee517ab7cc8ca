#include "core/formats/HexFile.h"

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

// The checksum test of a record whose bytes before the checksum sum to `sum`; then the record must
// end the line: its checksum's last digit is at 1-based `last`.
LineOutcome RecordEnd(const std::string& line, unsigned sum, int checksum, std::size_t last) {
  if ((sum + static_cast<unsigned>(checksum)) % 256 != 0)
    return LoadOutcome{kDataChecksumError, 0,
                       "the record's checksum is " + IntToHex(static_cast<unsigned>(checksum), 2) +
                           ", its bytes call for " + IntToHex((256 - sum % 256) % 256, 2)};
  if (line.size() > last) return LoadOutcome{kInvalidHexFormat, 0, kTextAfterChecksum};
  return std::nullopt;
}

LineOutcome DataRecord(ProgramState& s, const std::string& line, std::uint64_t base) {
  const int count = Field(line, 2, 2);
  std::uint64_t address = static_cast<std::uint64_t>(Field(line, 4, 4));
  unsigned sum = static_cast<unsigned>(count) + static_cast<unsigned>(address & 0xFF) +
                 static_cast<unsigned>(address >> 8);
  std::size_t p = 10;
  for (int i = 0; i < count; ++i) {
    const std::uint64_t full = base + address;
    if (full >= kBufferSize)
      return LoadOutcome{kAddressOutOfRange, 0,
                         "a byte for address " + IntToHex(static_cast<std::uint32_t>(full), 4) +
                             ", past the last address " + IntToHex(kBufferSize - 1, 4)};
    const int value = Field(line, p, 2);
    s.DataBuffer[full] = static_cast<std::uint8_t>(value);
    sum += static_cast<unsigned>(value);
    ++address;
    p += 2;
  }
  return RecordEnd(line, sum, Field(line, p, 2), p + 1);
}

LineOutcome AddressRecord(const std::string& line, int type, std::uint64_t& base) {
  const int count = Field(line, 2, 2);
  const int address = Field(line, 4, 4);
  if (count != 2)
    return LoadOutcome{
        kInvalidHexFormat, 0,
        "an extended address record holds " + std::to_string(count) + " bytes, where it takes 2"};
  const int high = Field(line, 10, 2);
  const int low = Field(line, 12, 2);
  const unsigned sum =
      static_cast<unsigned>(count + (address >> 8) + (address & 0xFF) + type + high + low);
  if (LineOutcome end = RecordEnd(line, sum, Field(line, 14, 2), 15)) return end;
  const std::uint64_t value = static_cast<std::uint64_t>(high * 256 + low);
  base = type == kExtendedSegmentAddress ? value << 4 : value << 16;
  return std::nullopt;
}

LineOutcome Record(ProgramState& s, const std::string& line, std::uint64_t& base) {
  if (line.empty()) return LoadOutcome{kInvalidHexFormat, 0, "the line is empty"};
  if (line[0] != ':')
    return LoadOutcome{kInvalidHexFormat, 0, "the line does not begin with the record mark ':'"};
  const int type = Field(line, 8, 2);
  if (type == kDataRecord) return DataRecord(s, line, base);
  if (type == kExtendedSegmentAddress || type == kExtendedLinearAddress)
    return AddressRecord(line, type, base);
  if (type > kLastRecordType)
    return LoadOutcome{kInvalidHexFormat, 0,
                       "record type " + IntToHex(static_cast<unsigned>(type), 2) +
                           " is none of Intel HEX's types 00 to 05"};
  return std::nullopt;
}

}  // namespace

LoadOutcome LoadHexLines(ProgramState& s, LineReader& in) {
  std::uint64_t base = 0;
  std::string line;
  std::size_t number = 0;
  std::size_t endRecord = 0;  // the line of the first end-of-file record
  std::size_t dataAfterEnd = 0;
  while (!in.Eof()) {
    in.ReadLine(line);
    ++number;
    LineOutcome outcome;
    try {
      outcome = Record(s, line, base);
      // Record has converted the type of every line that begins with the mark.
      const int type = !line.empty() && line[0] == ':' ? Field(line, 8, 2) : -1;
      if (type == kEndOfFileRecord && !outcome && endRecord == 0) endRecord = number;
      if (type == kDataRecord && endRecord != 0 && dataAfterEnd == 0) dataAfterEnd = number;
    } catch (const ConvertError& e) {
      throw HexFieldError(e.Text(), number);
    }
    if (outcome) {
      outcome->Line = number;
      outcome->DataAfterEnd = dataAfterEnd;
      return *outcome;
    }
  }
  LoadOutcome whole;
  whole.DataAfterEnd = dataAfterEnd;
  return whole;
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
