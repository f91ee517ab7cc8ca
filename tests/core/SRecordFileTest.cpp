#include "core/formats/SRecordFile.h"

#include <gtest/gtest.h>

#include <map>

#include "core/Convert.h"
#include "core/formats/ImageFile.h"
#include "tests/core/TempFolder.h"

namespace kaldo {
namespace {

// A well-formed record of type `type` (without its line end).
std::string SRec(int type, std::uint32_t address, const std::vector<int>& data) {
  static constexpr int kAddressBytes[10] = {2, 2, 3, 4, 2, 2, 3, 4, 3, 2};
  const int addressBytes = kAddressBytes[type];
  const unsigned count = static_cast<unsigned>(addressBytes) + data.size() + 1;
  std::string line = "S" + std::to_string(type) + IntToHex(count, 2);
  unsigned sum = count;
  for (int i = addressBytes - 1; i >= 0; --i) {
    const unsigned byte = (address >> (8 * i)) & 0xFF;
    line += IntToHex(byte, 2);
    sum += byte;
  }
  for (int b : data) {
    line += IntToHex(static_cast<unsigned>(b), 2);
    sum += static_cast<unsigned>(b);
  }
  return line + IntToHex(~sum & 0xFF, 2);
}

std::vector<int> Bytes(int count, int first) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back((first + i) & 0xFF);
  return v;
}

TEST(LoadSRecordFile, OutcomesLinesAndStoredBytes) {
  const std::string head = SRec(0, 0, {'h', 'i'});
  const std::string a = SRec(1, 0x0000, Bytes(16, 0x00));
  const std::string b = SRec(1, 0x0010, Bytes(16, 0x40));
  const std::string start = SRec(9, 0, {});
  const std::string longest = SRec(3, 0, Bytes(250, 0x10));  // count FF
  const struct {
    const char* name;
    std::string text;
    const char* result;
    std::size_t line;               // the line that ended the load; 0: none
    std::map<unsigned, int> bytes;  // address -> value (0xFF: still blank)
  } cases[] = {
      {"header, data, count, start",
       head + "\r\n" + a + "\r\n" + b + "\r\n" + SRec(5, 2, {}) + "\r\n" + start + "\r\n",
       kResultOK,
       0,
       {{0x00, 0x00}, {0x1F, 0x4F}}},
      {"lf only", a + "\n" + b + "\n", kResultOK, 0, {{0x1F, 0x4F}}},
      {"cr only, no header, no last line end", a + "\r" + b, kResultOK, 0, {{0x1F, 0x4F}}},
      {"lower-case digits", "S1051234abcd3c", kResultOK, 0, {{0x1234, 0xAB}, {0x1235, 0xCD}}},
      {"empty file", "", kResultOK, 0, {{0, 0xFF}}},
      {"empty lines are passed over",
       "\r\n" + a + "\r\n\r\n\n" + b + "\r\n\r\n",
       kResultOK,
       0,
       {{0x1F, 0x4F}}},
      {"a data record without data", SRec(1, 0x10, {}), kResultOK, 0, {{0x10, 0xFF}}},
      {"S2 and S3 below 0x8000",
       SRec(2, 0x001234, {0x12}) + "\n" + SRec(3, 0x00007FFF, {0x34}) + "\n" + SRec(8, 0, {}),
       kResultOK,
       0,
       {{0x1234, 0x12}, {0x7FFF, 0x34}}},
      {"S2 past 0xFFFF",
       a + "\n" + SRec(2, 0x010000, {0x12}),
       kAddressOutOfRange,
       2,
       {{0x0000, 0x00}}},
      {"S1 crossing 0x8000",
       SRec(1, 0x7FFE, {1, 2, 3}),
       kAddressOutOfRange,
       1,
       {{0x7FFE, 1}, {0x7FFF, 2}}},
      {"S3 at the top of its address space",
       SRec(3, 0xFFFFFFFF, {1, 2}),
       kAddressOutOfRange,
       1,
       {}},
      {"a record of 255 bytes", longest, kResultOK, 0, {{0x00F9, 0x09}}},
      {"count records that match",
       SRec(5, 0, {}) + "\n" + a + "\n" + SRec(6, 1, {}) + "\n" + b + "\n" + SRec(5, 2, {}),
       kResultOK,
       0,
       {{0x1F, 0x4F}}},
      {"a count record that does not",
       a + "\n" + SRec(5, 2, {}) + "\n" + b,
       kInvalidHexFormat,
       2,
       {{0x0F, 0x0F}, {0x10, 0xFF}}},
      {"a 24-bit count record that does not",
       a + "\n" + SRec(6, 2, {}) + "\n" + b,
       kInvalidHexFormat,
       2,
       {{0x0F, 0x0F}, {0x10, 0xFF}}},
      {"data after the start record", start + "\n" + a, kResultOK, 0, {{0x0F, 0x0F}}},
      {"checksum wrong, earlier records kept",
       a + "\r\nS1050020AABB74\r\n" + b,
       kDataChecksumError,
       2,
       {{0x0F, 0x0F}, {0x20, 0xFF}, {0x10, 0xFF}}},
      {"checksum wrong in the header", "S00500006869FF\n" + a, kDataChecksumError, 1, {}},
      {"a count longer than the line", "S1060000AABB95", kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"a count shorter than the line", "S1040000AABB95", kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"a digit short", a.substr(0, a.size() - 1), kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"text after the checksum", a + "00", kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"a blank after the checksum", a + " ", kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"a line past the longest record", longest + "00", kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"no hexadecimal digit", "S1050000AAGB95", kInvalidHexFormat, 1, {}},
      {"trailing text on a line of its own",
       a + "\r\nend of file\r\n",
       kInvalidHexFormat,
       2,
       {{0x0F, 0x0F}}},
      {"a blank before the mark", " " + a, kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"a lower-case mark", "s" + a.substr(1), kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"an Intel HEX line", ":0100000055AA", kInvalidHexFormat, 1, {}},
      {"S4 is no record type", "S4" + a.substr(2), kInvalidHexFormat, 1, {{0, 0xFF}}},
      {"only the mark", "S", kInvalidHexFormat, 1, {}},
      {"shorter than its address", "S10200FD", kInvalidHexFormat, 1, {}},
      {"a start record with data", SRec(9, 0, {0x12}), kInvalidHexFormat, 1, {}},
      {"0x1A ends the file", a + "\r\n\x1A" + "garbage\r\n", kResultOK, 0, {{0x0F, 0x0F}}},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    WriteBytes(folder / "in.s19", c.text);
    ProgramState s;
    s.HexFileName = folder / "in.s19";
    const LoadOutcome outcome = LoadSRecordFile(s);
    EXPECT_EQ(outcome.Text, c.result) << c.name;
    EXPECT_EQ(outcome.Line, c.line) << c.name;
    // A refusal says why, for the command line.
    EXPECT_EQ(outcome.Detail.empty(), outcome.Loaded()) << c.name;
    EXPECT_TRUE(s.ResultText.empty()) << c.name;
    for (const auto& [address, value] : c.bytes)
      EXPECT_EQ(s.DataBuffer[address], value) << c.name << " at " << IntToHex(address, 4);
  }
}

TEST(SRecordFileText, Layout) {
  ProgramState s;
  s.DeviceType = DeviceTypeOf(Device::AT89C1051);  // 1 KiB
  SetDeviceSize(s);
  const std::string text = SRecordFileText(s);
  const std::string header = "S00800004B414C444F8C\r\n";
  EXPECT_EQ(text.substr(0, header.size() + 44),
            header + "S1130000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFC\r\n");
  EXPECT_EQ(text.substr(text.size() - 68),
            "S11303F0FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF09\r\nS5030040BC\r\nS9030000FC\r\n");
  EXPECT_EQ(text.size(), header.size() + 64u * 44 + 24);

  s.DeviceSize = 0;
  EXPECT_EQ(SRecordFileText(s), header + "S5030000FC\r\nS9030000FC\r\n");

  s.DeviceType = DeviceTypeOf(Device::AT89C51);  // 4 KiB: nothing above it is written
  SetDeviceSize(s);
  s.DataBuffer[0x1000] = 0x00;
  s.DataBuffer[0x1001] = 0x00;
  EXPECT_EQ(SRecordFileText(s).find("S1131000"), std::string::npos);
}

TEST(FormatOfFileName, ByTheExtensionInAnyCase) {
  const struct {
    const char* name;
    FileFormat format;
  } cases[] = {
      {"/a/b.hex", FileFormat::IntelHex},    {"b.ihx", FileFormat::IntelHex},
      {"noextension", FileFormat::IntelHex}, {"/a.bin/b", FileFormat::IntelHex},
      {"b.s19.txt", FileFormat::IntelHex},   {"b.BIN", FileFormat::Binary},
      {"b.s19", FileFormat::SRecord},        {"B.S28", FileFormat::SRecord},
      {"b.s37", FileFormat::SRecord},        {"b.Srec", FileFormat::SRecord},
      {"b.mot", FileFormat::SRecord},        {"b.s1", FileFormat::IntelHex},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatOfFileName(c.name), c.format) << c.name;
}

TEST(SaveFileInFormat, EveryFormatRoundTripsEveryDevice) {
  TempFolder folder;
  for (const auto& [format, name] : {std::pair{FileFormat::IntelHex, "out.hex"},
                                     {FileFormat::Binary, "out.bin"},
                                     {FileFormat::SRecord, "out.s19"}}) {
    for (int t = 0; t < kDeviceCount; ++t) {
      ProgramState s;
      s.DeviceType = t;
      SetDeviceSize(s);
      for (int a = 0; a < kBufferSize; ++a) s.DataBuffer[a] = static_cast<std::uint8_t>(a * 7 + t);
      s.HexFileName = folder / name;
      SaveFileInFormat(s, format);

      ProgramState back;
      back.DeviceType = t;
      SetDeviceSize(back);
      back.HexFileName = s.HexFileName;
      EXPECT_EQ(LoadFileInFormat(back, FormatOfFileName(name)).Text, kResultOK) << name << t;
      EXPECT_TRUE(std::equal(s.DataBuffer.begin(), s.DataBuffer.begin() + s.DeviceSize,
                             back.DataBuffer.begin()))
          << name << " " << t;
      if (s.DeviceSize < kBufferSize) {
        EXPECT_EQ(back.DataBuffer[s.DeviceSize], kBlank) << name;
      }
    }
  }
}

}  // namespace
}  // namespace kaldo
