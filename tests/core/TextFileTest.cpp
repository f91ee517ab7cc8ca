#include "core/system/TextFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include "core/Convert.h"
#include "core/Errors.h"
#include "core/formats/HexFile.h"
#include "core/formats/ImageFile.h"
#include "core/formats/Settings.h"
#include "tests/core/TempFolder.h"

namespace kaldo {
namespace {

std::vector<std::string> Lines(LineReader& in) {
  std::vector<std::string> lines;
  std::string line;
  while (!in.Eof()) {
    in.ReadLine(line);
    lines.push_back(line);
  }
  return lines;
}

TEST(LineReader, KeepsTheFirstCharactersOfEachLine) {
  const std::size_t chunk = 64 * 1024;
  const std::string longLine(3 * chunk + 7, 'x');
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"short lines whole", "ab\r\ncd\nef", {"ab", "cd", "ef"}},
      {"long line cut", "abcdef\r\ngh", {"abcd", "gh"}},
      {"exactly full", "abcd\r\nef", {"abcd", "ef"}},
      {"line feed after a cut carriage return", "abcdefg\r\nxy\n", {"abcd", "xy"}},
      {"0x1A in the cut part ends the file",
       "abcdef\x1A"
       "gh\r\n",
       {"abcd"}},
      {"cut last line", "ab\nabcdefgh", {"ab", "abcd"}},
      {"across read chunks", longLine + "\r\n" + longLine + "\r\n:", {"xxxx", "xxxx", ":"}},
      {"line end at a chunk's end", std::string(chunk - 1, 'y') + "\r\nz", {"yyyy", "z"}},
      {"line end at a chunk's start", std::string(chunk, 'y') + "\r\nz", {"yyyy", "z"}},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    LineReader inMemory(c.text, 4);
    EXPECT_EQ(Lines(inMemory), c.lines) << c.name;
    WriteBytes(folder / "in.txt", c.text);
    LineReader fromFile = LineReader::OpenFile(folder / "in.txt", 4);
    EXPECT_EQ(Lines(fromFile), c.lines) << c.name << " (file)";
  }
}

// The reader keeps what a record can hold of each line, and gives every line the outcome it would
// have whole.
TEST(LoadHexFile, VeryLongLinesHaveTheOutcomeOfTheWholeLine) {
  auto record = [](int count, int fill) {
    std::string line = ":" + IntToHex(static_cast<unsigned>(count), 2) + "010000";
    unsigned sum = static_cast<unsigned>(count) + 1;
    for (int i = 0; i < count; ++i) {
      line += IntToHex(static_cast<unsigned>(fill), 2);
      sum += static_cast<unsigned>(fill);
    }
    return line + IntToHex((256 - sum % 256) % 256, 2);
  };
  const std::string junk(1 << 20, '7');
  const std::string longest = record(255, 0x3C);
  ASSERT_EQ(longest.size(), kLongestRecord);
  const std::string texts[] = {
      longest + junk + "\r\n" + record(1, 0x11),
      longest.substr(0, kLongestRecord - 1) +
          junk,  // the checksum's last digit comes from the junk
      longest.substr(0, kLongestRecord - 1) + "Q" + junk,
      ":00000001FF" + junk + "\r\n:00",
      ":0000000" + junk,
      junk + ":00000001FF",
      record(2, 0x22) + junk + "\x1A" + "\r\n:",
  };
  TempFolder folder;
  for (const std::string& text : texts) {
    ProgramState whole, kept;
    LoadOutcome wholeOutcome, keptOutcome;
    std::string wholeError, keptError;
    try {
      LineReader in(text);
      wholeOutcome = LoadHexLines(whole, in);
    } catch (const Error& e) {
      wholeError = e.what();
    }
    WriteBytes(folder / "in.hex", text);
    kept.HexFileName = folder / "in.hex";
    try {
      keptOutcome = LoadHexFile(kept);
    } catch (const Error& e) {
      keptError = e.what();
    }
    const std::string name = text.substr(0, 12) + "...";
    EXPECT_EQ(keptError, wholeError) << name;
    EXPECT_EQ(keptOutcome.Text, wholeOutcome.Text) << name;
    EXPECT_EQ(keptOutcome.Line, wholeOutcome.Line) << name;
    EXPECT_TRUE(kept.DataBuffer == whole.DataBuffer) << name;
  }
}

// The 32 KiB image of an AT89C51RC over a small file.
struct InPlaceSave {
  TempFolder folder;
  const std::string name = folder / "a.hex";
  const std::string old = ":0100000055AA\r\n:00000001FF\r\n";
  ProgramState state;
  std::string report;

  InPlaceSave() {
    WriteBytes(name, old);
    state.DeviceType = DeviceTypeOf(Device::AT89C51RC);
    SetDeviceSize(state);
    state.HexFileName = name;
    state.ResultText = "before";
  }
  void Save() {
    try {
      SaveHexFile(state);
    } catch (const InOutError& e) {
      report = e.what();
    }
  }
  // The file's folder takes no new files, so the file is rewritten where it stands.
  void SaveWhereItStands() {
    ::chmod(name.c_str(), 0666);
    ::chmod(folder.path().c_str(), 0555);
    WithoutRoot user;
    ASSERT_TRUE(user.ok());
    Save();
  }
  void ExpectOldFileOnly(const char* what) {
    EXPECT_EQ(state.ResultText, "before") << what;
    EXPECT_EQ(ReadBytes(name), old) << what;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.hex"}) << what;
  }
};

TEST(SaveHexFile, InPlacePastAFileSizeLimitPutsTheOldBytesBack) {
  InPlaceSave t;
  {
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.ok());
    t.SaveWhereItStands();
  }
  EXPECT_EQ(t.report, "I/O error 27");
  t.ExpectOldFileOnly("file-size limit");
}

// A file system of 64 KiB, filled up: the old file is kept whether the new one goes through a
// temporary file or is written where it stands. Needs root for the mount, in a mount namespace of
// this test's own.
TEST(SaveHexFile, OnAFullFileSystemTheOldFileStays) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
    GTEST_SKIP() << "no mount namespace of our own";
  for (bool inPlace : {false, true}) {
    InPlaceSave t;
    if (::mount("kaldo-test", t.folder.path().c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
      GTEST_SKIP() << "tmpfs cannot be mounted here";
    WriteBytes(t.name, t.old);
    // Filled by a file that stays open after its name is gone.
    const int hold = ::open((t.folder / "hold").c_str(), O_WRONLY | O_CREAT, 0666);
    const std::string block(4096, 'h');
    while (::write(hold, block.data(), block.size()) > 0) {
    }
    ::unlink((t.folder / "hold").c_str());
    if (inPlace)
      t.SaveWhereItStands();
    else
      t.Save();
    ::close(hold);
    EXPECT_EQ(t.report, "I/O error 28") << inPlace;
    t.ExpectOldFileOnly(inPlace ? "in place" : "through a temporary file");
    ::chmod(t.folder.path().c_str(), 0777);
    ::umount2(t.folder.path().c_str(), MNT_DETACH);
  }
}

// A disk error at the end of a save (the new file's fsync or close, or its rename over the old
// one): the save raises naming the file, and the old file stays whole with nothing beside it.
TEST(SafeSave, AFailureAtTheEndKeepsTheOldFile) {
  for (const std::string name : {"Kaldo.set", "a.hex", "a.s19", "a.bin"}) {
    for (const char* call : {"fsync", "close", "rename"}) {
      TempFolder folder;
      const std::string file = folder / name;
      WriteBytes(file, "old");
      ProgramState s;
      SetDeviceSize(s);
      s.HexFileName = file;
      const FailingFileCall failing(call, EIO);
      const std::string what = name + ", " + call;
      try {
        if (name == kSettingsFileName)
          Settings(s, folder.path(), failing).SaveSettings();
        else
          SaveFileInFormat(s, FormatOfFileName(file), failing);
        ADD_FAILURE() << what << ": saved";
      } catch (const InOutError& e) {
        EXPECT_EQ(e.FullText(), "I/O error 5 writing " + file + ": Input/output error") << what;
      }
      EXPECT_EQ(ReadBytes(file), "old") << what;
      EXPECT_EQ(folder.Names(), std::vector<std::string>{name}) << what;
    }
  }
}

}  // namespace
}  // namespace kaldo
