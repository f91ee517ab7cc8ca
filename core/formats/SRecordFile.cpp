#include "core/formats/SRecordFile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/Convert.h"

namespace kaldo {

namespace {

// The header the writer puts in its S0 record.
constexpr std::string_view kHeaderText = "KALDO";

// Bytes of the address field of each record type, S0 to S9; 0 for S4, which is no record type.
constexpr int kAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

bool IsDataRecord(int type) {
  return type >= 1 && type <= 3;
}
bool IsCountRecord(int type) {
  return type == 5 || type == 6;
}

LoadOutcome Invalid(std::string detail) {
  return LoadOutcome{kInvalidHexFormat, 0, std::move(detail)};
}

// A record's bytes after "Sn": the count and the 255 bytes it can count.
constexpr std::size_t kMostRecordBytes = 256;
using RecordBytes = std::array<std::uint8_t, kMostRecordBytes>;

// Reads the pairs of hexadecimal digits of `digits` (an even number of them, at most
// 2 * kMostRecordBytes) into `bytes`; false when a character is no hexadecimal digit.
bool ReadDigitPairs(std::string_view digits, RecordBytes& bytes) {
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexDigitValue(digits[i]);
    const int low = HexDigitValue(digits[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i / 2] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return true;
}

class SRecordReader {
 public:
  explicit SRecordReader(ProgramState& s) : s_(s) {}

  // Nothing when the reader goes on with the next line.
  std::optional<LoadOutcome> Line(const std::string& line) {
    if (line.empty()) return std::nullopt;
    if (line.size() < 2 || line[0] != 'S' || line[1] < '0' || line[1] > '9' ||
        kAddressBytes[line[1] - '0'] == 0)
      return Invalid("the line is no S-record");
    const int type = line[1] - '0';
    const std::size_t addressBytes = static_cast<std::size_t>(kAddressBytes[type]);
    const std::string_view digits = std::string_view(line).substr(2);
    // The count is of the bytes after it: address, data and checksum.
    const std::size_t size = digits.size() / 2;
    if (digits.size() % 2 != 0 || size == 0 || size > kMostRecordBytes)
      return Invalid("the record's byte count is not its length");
    if (!ReadDigitPairs(digits, bytes_))
      return Invalid("the record holds a character that is no hexadecimal digit");
    const RecordBytes& b = bytes_;
    if (b[0] != size - 1) return Invalid("the record's byte count is not its length");
    if (size < addressBytes + 2) return Invalid("the record is too short for its address");
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < size; ++i) sum += b[i];
    if ((sum + b[size - 1]) % 256 != 0xFF)
      return LoadOutcome{kDataChecksumError, 0,
                         "the record's checksum is " + IntToHex(b[size - 1], 2) +
                             ", its bytes call for " + IntToHex(~sum & 0xFF, 2)};

    std::uint64_t address = 0;
    for (std::size_t i = 1; i <= addressBytes; ++i) address = address << 8 | b[i];
    const std::size_t dataStart = 1 + addressBytes;
    const std::size_t dataEnd = size - 1;
    if (IsDataRecord(type)) {
      ++dataRecords_;
      for (std::size_t i = dataStart; i < dataEnd; ++i, ++address) {
        if (address >= kBufferSize)
          return LoadOutcome{kAddressOutOfRange, 0,
                             "a byte for address " +
                                 IntToHex(static_cast<std::uint32_t>(address), 4) +
                                 ", past the last address " + IntToHex(kBufferSize - 1, 4)};
        s_.DataBuffer[address] = b[i];
      }
      return std::nullopt;
    }
    if (type == 0) return std::nullopt;  // the header: any text
    if (dataEnd != dataStart) return Invalid("a count or start record holds more than its number");
    if (IsCountRecord(type) && address != dataRecords_)
      return Invalid("the count record says " + std::to_string(address) + " data records, " +
                     std::to_string(dataRecords_) + " came before it");
    return std::nullopt;
  }

 private:
  ProgramState& s_;
  std::uint64_t dataRecords_ = 0;
  RecordBytes bytes_{};
};

// One record: "S", the type, the count, the address in `addressBytes` bytes, the data and the
// checksum, all in upper-case digits, and CR LF.
void PutRecord(std::string& text, int type, int addressBytes, std::uint32_t address,
               std::string_view data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto put = [&](unsigned byte) {
    text += kDigits[(byte >> 4) & 0xF];
    text += kDigits[byte & 0xF];
  };
  const unsigned count = static_cast<unsigned>(addressBytes) + data.size() + 1;
  text += 'S';
  text += static_cast<char>('0' + type);
  put(count);
  unsigned sum = count;
  for (int i = addressBytes - 1; i >= 0; --i) {
    const unsigned byte = (address >> (8 * i)) & 0xFF;
    put(byte);
    sum += byte;
  }
  for (char c : data) {
    const unsigned byte = static_cast<unsigned char>(c);
    put(byte);
    sum += byte;
  }
  put(~sum & 0xFF);
  text += "\r\n";
}

}  // namespace

LoadOutcome LoadSRecordLines(ProgramState& s, LineReader& in) {
  SRecordReader reader(s);
  std::string line;
  std::size_t number = 0;
  while (!in.Eof()) {
    in.ReadLine(line);
    ++number;
    if (std::optional<LoadOutcome> outcome = reader.Line(line)) {
      outcome->Line = number;
      return *outcome;
    }
  }
  return {};
}

LoadOutcome LoadSRecordFile(ProgramState& s) {
  LineReader in = LineReader::OpenFile(s.HexFileName, kLongestSRecord + 1);
  return LoadSRecordLines(s, in);
}

std::string SRecordFileText(const ProgramState& s) {
  const unsigned records = s.DeviceSize / 16u;
  std::string text;
  text.reserve(records * 44 + 48);
  PutRecord(text, 0, 2, 0, kHeaderText);
  const std::string_view buffer(reinterpret_cast<const char*>(s.DataBuffer.data()),
                                s.DataBuffer.size());
  for (unsigned r = 0; r < records; ++r) PutRecord(text, 1, 2, r * 16, buffer.substr(r * 16, 16));
  PutRecord(text, 5, 2, records, {});
  PutRecord(text, 9, 2, 0, {});  // the 8051 starts at its reset vector, address 0
  return text;
}

void SaveSRecordFile(const ProgramState& s, const FileCalls& files) {
  WriteFileReplacing(s.HexFileName, SRecordFileText(s), files);
}

}  // namespace kaldo
