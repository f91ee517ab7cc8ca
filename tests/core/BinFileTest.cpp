#include "core/formats/BinFile.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/Errors.h"
#include "tests/core/TempFolder.h"

namespace kaldo {
namespace {

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + 7);
  return bytes;
}

ProgramState ForDevice(int deviceType) {
  ProgramState s;
  s.DeviceType = deviceType;
  SetDeviceSize(s);
  return s;
}

TEST(LoadBinFile, FileLengthAgainstTheDevice) {
  struct Case {
    int deviceType;
    std::size_t fileSize;
    const char* result;
  };
  const Case cases[] = {
      {0, 0, kResultOK},                 // an empty file leaves the image blank
      {0, 1, kResultOK},                 //
      {11, 2047, kResultOK},             // one byte short of the AT89C2051
      {11, 2048, kResultOK},             // exactly its size
      {11, 2049, kAddressOutOfRange},    // one byte too many
      {6, 10240, kResultOK},             // AT89S8252, not a power of two
      {9, 4096, kAddressOutOfRange},     // an AT89C51 image for the AT89C1051
      {8, 32768, kResultOK},             // the largest device fills the buffer
      {8, 32769, kAddressOutOfRange},    //
      {0, 1 << 20, kAddressOutOfRange},  // far too long: read only as far as needed
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "device " << c.deviceType << ", " << c.fileSize << " bytes");
    const std::string bytes = Pattern(c.fileSize);
    WriteBytes(folder / "in.bin", bytes);
    ProgramState s = ForDevice(c.deviceType);
    s.HexFileName = folder / "in.bin";
    const LoadOutcome outcome = LoadBinFile(s);
    EXPECT_EQ(outcome.Text, c.result);
    EXPECT_EQ(outcome.Detail.empty(), outcome.Loaded());
    // The bytes that fit are stored from address 0; everything after them stays blank.
    const std::size_t stored = std::min<std::size_t>(c.fileSize, s.DeviceSize);
    EXPECT_EQ(std::string(s.DataBuffer.begin(), s.DataBuffer.begin() + stored),
              bytes.substr(0, stored));
    EXPECT_TRUE(std::all_of(s.DataBuffer.begin() + stored, s.DataBuffer.end(),
                            [](std::uint8_t b) { return b == kBlank; }));
  }
}

TEST(LoadBinFile, FilesThatCannotBeRead) {
  TempFolder folder;
  const struct {
    std::string name;
    const char* message;
  } cases[] = {{folder / "missing.bin", "File not found"}, {folder.path(), "I/O error 21"}};
  for (const auto& c : cases) {
    ProgramState s = ForDevice(0);
    s.ResultText = "before";
    s.HexFileName = c.name;
    try {
      LoadBinFile(s);
      ADD_FAILURE() << c.name;
    } catch (const InOutError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(s.ResultText, "before");
  }
}

TEST(SaveBinFile, ExactlyTheDeviceAndBackOnEveryDevice) {
  TempFolder folder;
  const std::string all = Pattern(kBufferSize);
  for (int t = 0; t < kDeviceCount; ++t) {
    ProgramState s = ForDevice(t);
    std::copy(all.begin(), all.end(), s.DataBuffer.begin());
    s.HexFileName = folder / "out.bin";
    SaveBinFile(s);
    // Bytes above the device's code memory are not written.
    EXPECT_EQ(ReadBytes(s.HexFileName), all.substr(0, s.DeviceSize)) << t;

    ProgramState back = ForDevice(t);
    back.HexFileName = s.HexFileName;
    EXPECT_EQ(LoadBinFile(back).Text, kResultOK);
    EXPECT_EQ(BufferChecksum(back), BufferChecksum(s)) << t;
  }
}

TEST(SaveBinFile, AFailedSaveRaisesAndLeavesResultText) {
  TempFolder folder;
  ProgramState s = ForDevice(0);
  s.HexFileName = folder / "no/out.bin";
  s.ResultText = "before";
  try {
    SaveBinFile(s);
    ADD_FAILURE();
  } catch (const InOutError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  EXPECT_EQ(s.ResultText, "before");
  EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
}  // namespace kaldo
