#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "core/Convert.h"
#include "core/Errors.h"
#include "core/formats/HexFile.h"
#include "tests/core/TempFolder.h"

namespace kaldo {
namespace {

// A well-formed record line (without its line end).
std::string Record(int type, unsigned address, const std::vector<int>& data) {
  std::string line = ":" + IntToHex(static_cast<unsigned>(data.size()), 2) + IntToHex(address, 4) +
                     IntToHex(static_cast<unsigned>(type), 2);
  unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) +
                 static_cast<unsigned>(type);
  for (int b : data) {
    line += IntToHex(static_cast<unsigned>(b), 2);
    sum += static_cast<unsigned>(b);
  }
  return line + IntToHex((256 - sum % 256) % 256, 2);
}

std::vector<int> Bytes(int count, int first) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back((first + i) & 0xFF);
  return v;
}

struct Loaded {
  ProgramState state;
  LoadOutcome outcome;
  std::string error;  // report text of a raised error
  std::size_t errorLine = 0;
};

Loaded LoadText(const std::string& text) {
  TempFolder folder;
  WriteBytes(folder / "in.hex", text);
  Loaded r;
  r.state.ResultText = "before";
  r.state.HexFileName = folder / "in.hex";
  try {
    r.outcome = LoadHexFile(r.state);
  } catch (const HexFieldError& e) {
    r.error = ErrorReportText(e);
    r.errorLine = e.Line();
  } catch (const Error& e) {
    r.error = ErrorReportText(e);
  }
  return r;
}

const std::string kEnd = ":00000001FF";

TEST(LoadHexFile, OutcomesAndStoredBytes) {
  const std::string r0 = Record(0, 0x0000, Bytes(16, 0x00));
  const std::string r1 = Record(0, 0x0010, Bytes(16, 0x40));
  const struct {
    const char* name;
    std::string text;
    const char* result;
    std::map<unsigned, int> bytes;  // address -> expected value (0xFF: still blank)
  } cases[] = {
      {"crlf", r0 + "\r\n" + r1 + "\r\n" + kEnd + "\r\n", kResultOK, {{0x00, 0x00}, {0x1F, 0x4F}}},
      {"lf only", r0 + "\n" + r1 + "\n" + kEnd + "\n", kResultOK, {{0x00, 0x00}, {0x1F, 0x4F}}},
      {"cr only", r0 + "\r" + r1 + "\r" + kEnd, kResultOK, {{0x1F, 0x4F}}},
      {"no final line end", r0 + "\r\n" + r1, kResultOK, {{0x1F, 0x4F}}},
      {"lower case", ":02123400abcd40\r\n", kResultOK, {{0x1234, 0xAB}, {0x1235, 0xCD}}},
      {"empty file", "", kResultOK, {{0, 0xFF}}},
      {"only the end record", kEnd + "\r\n", kResultOK, {{0, 0xFF}}},
      {"data after the end record", kEnd + "\r\n" + r1 + "\r\n", kResultOK, {{0x10, 0x40}}},
      {"other types skipped unread",
       ":FFZZZZ01QQ\r\n:0400000300001234FF\r\n:FFZZZZ05\r\n" + r0,
       kResultOK,
       {{0x0F, 0x0F}}},
      {"a type above 05", Record(6, 0, {1}) + "\r\n" + r0, kInvalidHexFormat, {{0x00, 0xFF}}},
      {"type FF", ":00000FFFF0\r\n" + r0, kInvalidHexFormat, {{0x00, 0xFF}}},
      {"a data record after an address record",
       Record(4, 0, {0, 0}) + r0 + "\r\n",
       kInvalidHexFormat,
       {{0x00, 0xFF}}},
      {"text after a data record", r0 + "anything at all\r\n", kInvalidHexFormat, {{0x0F, 0x0F}}},
      {"two data records on one line",
       r0 + r1 + "\r\n",
       kInvalidHexFormat,
       {{0x0F, 0x0F}, {0x10, 0xFF}}},
      {"a blank after the checksum", r0 + " \r\n" + r1, kInvalidHexFormat, {{0x10, 0xFF}}},
      {"a 255-byte record and one more character",
       Record(0, 0, Bytes(255, 0)) + "0",
       kInvalidHexFormat,
       {{0xFE, 0xFE}}},
      {"a 255-byte record alone", Record(0, 0, Bytes(255, 0)) + "\r\n", kResultOK, {{0xFE, 0xFE}}},
      {"a bad checksum before the text after it",
       ":0100200055AB junk",
       kDataChecksumError,
       {{0x20, 0x55}}},
      {"text after other records ignored",
       kEnd + "anything\r\n" + Record(3, 0, {0, 0, 0, 0}) + "xx",
       kResultOK,
       {}},
      {"count 0, checksum right", ":0000000000\r\n", kResultOK, {}},
      {"count 0, checksum wrong", ":0000000001\r\n", kDataChecksumError, {}},
      {"checksum wrong, earlier records kept",
       r0 + "\r\n:0100200055AA\r\n" + r1,
       kDataChecksumError,
       {{0x00, 0x00}, {0x20, 0x55}, {0x10, 0xFF}}},
      {"top record fits", Record(0, 0x7FF0, Bytes(16, 1)), kResultOK, {{0x7FFF, 16}}},
      {"record crossing 0x8000",
       Record(0, 0x7FF8, Bytes(16, 1)),
       kAddressOutOfRange,
       {{0x7FF8, 1}, {0x7FFF, 8}}},
      {"out of range before a bad checksum", ":0280000000007F\r\n", kAddressOutOfRange, {}},
      {"out of range before damaged data", ":02800000ZZZZ00\r\n", kAddressOutOfRange, {}},
      {"blank line", r0 + "\r\n\r\n" + r1, kInvalidHexFormat, {{0x00, 0x00}, {0x10, 0xFF}}},
      {"blank last line", r0 + "\r\n\r\n", kInvalidHexFormat, {{0x00, 0x00}}},
      {"no record mark", " " + r0, kInvalidHexFormat, {{0x00, 0xFF}}},
      {"0x1A ends the file", r0 + "\r\n\x1A" + "garbage\r\n", kResultOK, {{0x0F, 0x0F}}},
      {"0x1A inside a line", r0 + "\x1A" + "garbage", kResultOK, {{0x0F, 0x0F}}},
      // Extended address records move the data records that follow them.
      {"segment base",
       Record(2, 0, {0x07, 0x00}) + "\r\n" + Record(0, 0x0FF0, {0x12}),
       kResultOK,
       {{0x7FF0, 0x12}, {0x0FF0, 0xFF}}},
      {"linear base 0",
       Record(4, 0, {0, 0}) + "\r\n" + Record(0, 0x0100, {0x34}),
       kResultOK,
       {{0x0100, 0x34}}},
      {"linear base above the buffer",
       Record(4, 0, {0, 1}) + "\r\n" + Record(0, 0x0000, {0x34}),
       kAddressOutOfRange,
       {{0x0000, 0xFF}}},
      {"segment base past 0x8000",
       Record(2, 0, {0x08, 0x00}) + "\r\n" + Record(0, 0, {1}),
       kAddressOutOfRange,
       {{0, 0xFF}}},
      {"back to base 0",
       Record(4, 0, {0, 1}) + "\n" + Record(4, 0, {0, 0}) + "\n" + Record(0, 5, {9}),
       kResultOK,
       {{5, 9}}},
      {"address record checksum", ":020000040001F8\r\n", kDataChecksumError, {}},
      {"address record count", ":03000004000100F8\r\n", kInvalidHexFormat, {}},
  };
  for (const auto& c : cases) {
    Loaded r = LoadText(c.text);
    EXPECT_EQ(r.error, "") << c.name;
    EXPECT_EQ(r.outcome.Text, c.result) << c.name;
    EXPECT_EQ(r.state.ResultText, "before") << c.name;  // the window puts the text there
    for (const auto& [address, value] : c.bytes)
      EXPECT_EQ(r.state.DataBuffer[address], value) << c.name << " at " << IntToHex(address, 4);
  }
}

TEST(LoadHexFile, RaisedErrorsKeepResultTextAndStoredBytes) {
  const struct {
    const char* name;
    std::string text;
    const char* report;
  } cases[] = {
      {"only a mark", ":", "'$' is not a valid integer value."},
      {"bad data field", Record(0, 0, {1}) + "\r\n:01000100G0FF",
       "'$G0' is not a valid integer value."},
      {"bad type field", ":000000X0", "'$X0' is not a valid integer value."},
      {"one-digit field converts, then nothing", ":010000000", "'$' is not a valid integer value."},
      {"sign in a field", ":01000000-1FF", "'$-1' is not a valid integer value."},
      {"short address record", ":02000004", "'$' is not a valid integer value."},
      {"third line", Record(0, 0, {1}) + "\r\n" + kEnd + "\r\n:01000000" + "3GFF",
       "'$3G' is not a valid integer value."},
  };
  for (const auto& c : cases) {
    Loaded r = LoadText(c.text);
    EXPECT_EQ(r.error, c.report) << c.name;
    EXPECT_EQ(r.state.ResultText, "before") << c.name;
    EXPECT_EQ(r.errorLine, std::count(c.text.begin(), c.text.end(), '\r') + 1) << c.name;
  }
  EXPECT_EQ(LoadText(cases[1].text).state.DataBuffer[0], 1);
  EXPECT_EQ(LoadText(":010000000").state.DataBuffer[0], 0);  // the "0" was stored
}

TEST(LoadHexFile, FilesThatCannotBeRead) {
  TempFolder folder;
  ProgramState s;
  s.ResultText = "before";
  s.HexFileName = folder / "missing.hex";
  try {
    LoadHexFile(s);
    FAIL();
  } catch (const InOutError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  s.HexFileName = folder.path();
  try {
    LoadHexFile(s);
    FAIL();
  } catch (const InOutError& e) {
    EXPECT_STREQ(e.what(), "I/O error 21");
  }
  EXPECT_EQ(s.ResultText, "before");
}

TEST(LoadHexFile, TheFailingLineIsNamedWithWhy) {
  const std::string r0 = Record(0, 0, {1});
  const struct {
    const char* name;
    std::string text;
    std::size_t line;
    std::string detail;
    std::size_t dataAfterEnd;
  } cases[] = {
      {"whole file", r0 + "\r\n" + kEnd, 0, "", 0},
      {"second record on line 3", r0 + "\n" + kEnd + "\r\n" + r0 + r0, 3, kTextAfterChecksum, 3},
      {"data after the end record", kEnd + "\r\n" + kEnd + "\r\n" + r0, 0, "", 3},
      {"blank line 2", r0 + "\r\n\r\n", 2, "the line is empty", 0},
      {"no mark", "x" + r0, 1, "the line does not begin with the record mark ':'", 0},
      {"checksum on line 1", ":01000000FF01", 1,
       "the record's checksum is 01, its bytes call for 00", 0},
      {"address record checksum", ":020000040001F8", 1,
       "the record's checksum is F8, its bytes call for F9", 0},
      {"address record count", ":03000004000100F8", 1,
       "an extended address record holds 3 bytes, where it takes 2", 0},
      {"type 06", r0 + "\r\n:00000006FA", 2, "record type 06 is none of Intel HEX's types 00 to 05",
       0},
      {"above the buffer", Record(4, 0, {0, 1}) + "\r\n" + Record(0, 0x10, {1}), 2,
       "a byte for address 10010, past the last address 7FFF", 0},
  };
  for (const auto& c : cases) {
    const LoadOutcome stop = LoadText(c.text).outcome;
    EXPECT_EQ(stop.Line, c.line) << c.name;
    EXPECT_EQ(stop.Detail, c.detail) << c.name;
    EXPECT_EQ(stop.DataAfterEnd, c.dataAfterEnd) << c.name;
  }
}

TEST(LoadHexFile, LinesAcrossTheReadChunks) {
  // A line far longer than one read, then a CR LF split between two reads.
  const std::size_t chunk = 64 * 1024;
  std::string text = kEnd + std::string(200000, 'x') + "\r\n";
  text += Record(0, 0x0000, Bytes(16, 0x00)) + "\r\n" + Record(0, 0x10, {0x66}) + "\r\n" + kEnd;
  text += std::string(chunk - 1 - text.size() % chunk, 'y');
  ASSERT_EQ(text.size() % chunk, chunk - 1);
  text += "\r\n" + Record(0, 0x20, {0x77});
  Loaded r = LoadText(text);
  EXPECT_EQ(r.outcome.Text, kResultOK);
  EXPECT_EQ(r.state.DataBuffer[0x0F], 0x0F);
  EXPECT_EQ(r.state.DataBuffer[0x10], 0x66);
  EXPECT_EQ(r.state.DataBuffer[0x20], 0x77);
}

TEST(HexFileText, Layout) {
  ProgramState s;
  s.DeviceType = DeviceTypeOf(Device::AT89C1051);
  SetDeviceSize(s);
  const std::string text = HexFileText(s);
  EXPECT_EQ(text.substr(0, 45), ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\n");
  EXPECT_EQ(text.substr(text.size() - 58),
            ":1003F000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0D\r\n:00000001FF\r\n");
  EXPECT_EQ(text.size(), 64u * 45 + 13);

  s.DeviceSize = 0;
  EXPECT_EQ(HexFileText(s), ":00000001FF\r\n");

  s.DeviceType = DeviceTypeOf(Device::AT89C51);
  SetDeviceSize(s);
  s.DataBuffer[0x0FFF] = 0x00;
  s.DataBuffer[0x1000] = 0x00;  // above the device: not written
  const std::string t = HexFileText(s);
  EXPECT_EQ(t.size(), 256u * 45 + 13);
  EXPECT_NE(t.find(":100FF000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0000\r\n"), std::string::npos);
}

TEST(SaveHexFile, RoundTripsEveryDevice) {
  TempFolder folder;
  for (int t = 0; t < kDeviceCount; ++t) {
    ProgramState s;
    s.DeviceType = t;
    SetDeviceSize(s);
    for (int a = 0; a < kBufferSize; ++a) s.DataBuffer[a] = static_cast<std::uint8_t>(a * 7 + t);
    s.HexFileName = folder / "out.hex";
    SaveHexFile(s);

    ProgramState back;
    back.DeviceType = t;
    SetDeviceSize(back);
    back.HexFileName = s.HexFileName;
    EXPECT_EQ(LoadHexFile(back).Text, kResultOK);
    EXPECT_EQ(BufferChecksum(back), BufferChecksum(s)) << t;
    EXPECT_TRUE(std::equal(s.DataBuffer.begin(), s.DataBuffer.begin() + s.DeviceSize,
                           back.DataBuffer.begin()));
    if (s.DeviceSize < kBufferSize) {
      EXPECT_EQ(back.DataBuffer[s.DeviceSize], 0xFF);
    }
  }
}

TEST(SaveHexFile, ReplacesAndKeepsPermissions) {
  TempFolder folder;
  const std::string name = folder / "a.hex";
  WriteBytes(name, "old contents that are longer than what replaces them");
  ::chmod(name.c_str(), 0640);
  ::symlink(name.c_str(), (folder / "link.hex").c_str());
  ProgramState s;
  s.HexFileName = folder / "link.hex";
  SaveHexFile(s);
  EXPECT_EQ(ReadBytes(name), ":00000001FF\r\n");
  struct stat st;
  ASSERT_EQ(::lstat((folder / "link.hex").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(folder.Names().size(), 2u);

  s.HexFileName = folder / std::string(250, 'n');  // the longest names a folder takes
  SaveHexFile(s);
  EXPECT_EQ(ReadBytes(s.HexFileName), ":00000001FF\r\n");
}

// The error that saving raises for an ordinary user; empty when it raises none.
std::string SaveReportAsUser(ProgramState& s) {
  WithoutRoot user;
  if (!user.ok()) return "could not run as an ordinary user";
  try {
    SaveHexFile(s);
  } catch (const InOutError& e) {
    return e.what();
  }
  return "";
}

TEST(SaveHexFile, LinksPipesAndReadOnlyFiles) {
  TempFolder folder;
  ProgramState s;
  s.DeviceType = DeviceTypeOf(Device::AT89C1051);
  SetDeviceSize(s);
  const std::string text = HexFileText(s);

  // A link to a file that does not exist yet creates that file and stays a link.
  ::symlink("made.hex", (folder / "dangling.hex").c_str());
  s.HexFileName = folder / "dangling.hex";
  SaveHexFile(s);
  EXPECT_TRUE(ReadBytes(folder / "made.hex") == text);
  struct stat st;
  ASSERT_EQ(::lstat((folder / "dangling.hex").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // A pipe, named directly or through a link, receives the file and stays a pipe.
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  ::symlink(fifo.c_str(), (folder / "to-fifo").c_str());
  const int reader = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  for (const std::string& name : {fifo, folder / "to-fifo"}) {
    s.HexFileName = name;
    SaveHexFile(s);
    std::string got(text.size() + 1, '\0');
    const ssize_t n = ::read(reader, got.data(), got.size());
    EXPECT_TRUE(n >= 0 && got.substr(0, static_cast<std::size_t>(n)) == text) << name;
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
  }
  ::close(reader);

  // A file that may not be written is refused, not replaced.
  const std::string locked = folder / "locked.hex";
  WriteBytes(locked, "old");
  ::chmod(locked.c_str(), 0444);
  ::chmod(folder.path().c_str(), 0777);
  s.HexFileName = locked;
  s.ResultText = "before";
  EXPECT_EQ(SaveReportAsUser(s), "File access denied");
  EXPECT_EQ(s.ResultText, "before");
  EXPECT_EQ(ReadBytes(locked), "old");
  EXPECT_EQ(folder.Names().size(), 5u);
}

TEST(SaveHexFile, AWritableFileInAFolderThatTakesNoNewFiles) {
  TempFolder folder;
  const std::string name = folder / "a.hex";
  WriteBytes(name, "old");
  ::chmod(name.c_str(), 0666);
  ::chmod(folder.path().c_str(), 0555);
  ProgramState s;
  s.HexFileName = name;
  {
    WithoutRoot user;
    ASSERT_TRUE(user.ok());
    SaveHexFile(s);
  }
  EXPECT_EQ(ReadBytes(name), ":00000001FF\r\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.hex"});
}

TEST(SaveHexFile, AFailureHalfWayLeavesTheOldFile) {
  TempFolder folder;
  const std::string name = folder / "a.hex";
  const std::string old = ":0100000055AA\r\n:00000001FF\r\n";
  WriteBytes(name, old);

  ProgramState s;
  s.DeviceType = DeviceTypeOf(Device::AT89C51RC);
  SetDeviceSize(s);
  s.HexFileName = name;
  s.ResultText = "before";
  std::string report;
  {
    // Files may grow to 4 KiB only: the 32 KiB image fails part of the way through.
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.ok());
    try {
      SaveHexFile(s);
    } catch (const InOutError& e) {
      report = e.what();
    }
  }

  EXPECT_EQ(report, "I/O error 27");
  EXPECT_EQ(s.ResultText, "before");
  EXPECT_EQ(ReadBytes(name), old);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.hex"});
}

TEST(SaveHexFile, FoldersThatCannotTakeTheFile) {
  TempFolder folder;
  ProgramState s;
  s.HexFileName = folder / "missing/a.hex";
  try {
    SaveHexFile(s);
    FAIL();
  } catch (const InOutError& e) {
    EXPECT_STREQ(e.what(), "File not found");
  }
  s.HexFileName = folder.path();  // a folder where the file should be
  EXPECT_THROW(SaveHexFile(s), InOutError);
  EXPECT_TRUE(folder.Names().empty());

  ::chmod(folder.path().c_str(), 0555);
  s.HexFileName = folder / "a.hex";
  EXPECT_EQ(SaveReportAsUser(s), "File access denied");
  EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
}  // namespace kaldo
