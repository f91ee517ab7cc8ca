#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Errors.h"
#include "core/formats/HexFile.h"
#include "core/formats/Settings.h"
#include "tests/core/TempFolder.h"

namespace kaldo {
namespace {

TEST(Settings, SavedStateComesBackWithItsFile) {
  TempFolder folder;
  const std::string hex = folder / "a.hex";
  WriteBytes(hex, ":0100100042AD\r\n:00000001FF\r\n");
  {
    ProgramState s;
    s.DeviceType = DeviceTypeOf(Device::AT89S8252);
    s.ProgBits = 2;
    s.PortBase = 0x3BC;
    s.HexFileName = hex;
    Settings settings(s, folder.path());
    // A name or value that cannot stand on one line is left out, the others kept.
    settings.Keys() = {{"A", "1"}, {"B", "two\nlines"}, {"C=D", "x"}, {"E", "end\x1A"}, {"F", "6"}};
    settings.SaveSettings();
  }
  EXPECT_EQ(ReadBytes(folder / "Kaldo.set"), "6\r\n2\r\n956\r\n" + hex + "\r\nA=1\r\nF=6\r\n");

  ProgramState s;
  Settings settings(s, folder.path());
  const std::optional<LoadOutcome> outcome = settings.LoadSettings();
  EXPECT_EQ(s.DeviceType, 6);
  EXPECT_EQ(s.ProgBits, 2);
  EXPECT_EQ(s.PortBase, 0x3BC);
  EXPECT_EQ(s.HexFileName, hex);
  EXPECT_EQ(s.DataBuffer[0x10], 0x42);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->Text, kResultOK);
}

TEST(Settings, FileContents) {
  const struct {
    const char* name;
    std::string text;
    int deviceType, progBits, portBase;
    const char* hexFileName;  // "=" : the test's HEX file
    const char* error;        // the bad line and its text, empty when none
    const char* keys = "";    // the named settings read, "name=value;" each
  } cases[] = {
      {"defaults", "0\r\n0\r\n888\r\n\r\n", 0, 0, 888, "", ""},
      {"lf only", "5\n8\n632\n=\n", 5, 8, 632, "=", ""},
      {"no final line end", "5\r\n8\r\n632\r\n=", 5, 8, 632, "=", ""},
      {"leading blanks", " 5\r\n  3\r\n +632\r\n", 5, 3, 632, "", ""},
      {"three lines", "11\r\n7\r\n956\r\n", 11, 7, 956, "", ""},
      {"missing HEX file", "1\r\n0\r\n888\r\n/no/such/file.hex\r\n", 1, 0, 888, "", ""},
      {"folder as HEX file", "1\r\n0\r\n888\r\n/\r\n", 1, 0, 888, "", ""},
      {"port kept to 16 bits", "0\r\n0\r\n70000\r\n", 0, 0, 4464, "", ""},
      {"out-of-range values kept", "99\r\n-1\r\n-1\r\n", 99, -1, 65535, "", ""},
      {"hexadecimal text", "$C\r\n$f\r\n$378\r\n", 12, 15, 888, "", ""},
      {"two lines", "3\r\n4\r\n", 3, 4, 888, "x", "3: ''"},
      {"trailing blank", "5 \r\n4\r\n", 0, 0, 888, "x", "1: '5 '"},
      {"bad port", "2\r\n1\r\nLPT1\r\n=\r\n", 2, 1, 888, "x", "3: 'LPT1'"},
      {"empty file", "", 0, 0, 888, "x", "1: ''"},
      {"named settings after the fourth line",
       "1\r\n0\r\n888\r\n\r\nB=2\r\nno name\r\n=x\r\nA=1=2\r\nB=3\r\n", 1, 0, 888, "", "",
       "A=1=2;B=3;"},
      {"0x1A ends it",
       "4\r\n0\r\n\x1A"
       "888\r\n",
       4, 0, 888, "x", "3: ''"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const std::string hex = folder / "a.hex";
    WriteBytes(hex, ":0100100042AD\r\n");
    std::string text = c.text;
    if (std::string(c.hexFileName) == "=") text.replace(text.find('='), 1, hex);
    WriteBytes(folder / "Kaldo.set", text);

    ProgramState s;
    s.HexFileName = "x";
    std::string error;
    Settings settings(s, folder.path());
    try {
      settings.LoadSettings();
    } catch (const Error& e) {
      error = ErrorReportText(e);
    }
    const std::string expected =
        *c.error ? "The settings file " + folder / "Kaldo.set" + ", line " + c.error +
                       " is not a valid integer value\rThe settings from that line on keep the "
                       "values they had, and the file is written anew when the program ends."
                 : "";
    EXPECT_EQ(error, expected) << c.name;
    EXPECT_EQ(s.DeviceType, c.deviceType) << c.name;
    EXPECT_EQ(s.ProgBits, c.progBits) << c.name;
    EXPECT_EQ(s.PortBase, c.portBase) << c.name;
    const std::string expectedName = std::string(c.hexFileName) == "=" ? hex : c.hexFileName;
    EXPECT_EQ(s.HexFileName, expectedName) << c.name;
    EXPECT_EQ(s.DataBuffer[0x10], expectedName == hex ? 0x42 : 0xFF) << c.name;
    std::string keys;
    for (const auto& [name, value] : settings.Keys()) keys += name + "=" + value + ";";
    EXPECT_EQ(keys, c.keys) << c.name;
  }
}

TEST(Settings, LinesAreBounded) {
  const std::string atBound(kLongestSettingsLine - 1, '0');
  const struct {
    const char* name;
    std::string text;
    int deviceType;
    std::size_t nameLength;
    bool raises;
  } cases[] = {
      {"number at the bound", atBound + "5\r\n0\r\n888\r\n", 5, 0, false},
      {"number past the bound", atBound + "05\r\n0\r\n888\r\n", 0, 0, true},
      {"name at the bound", "1\r\n0\r\n888\r\n" + std::string(kLongestSettingsLine, 'n'), 1,
       kLongestSettingsLine, false},
      {"name past the bound", "1\r\n0\r\n888\r\n" + std::string(kLongestSettingsLine + 1, 'n'), 1,
       0, false},
  };
  for (const auto& c : cases) {
    ProgramState s;
    LineReader in(c.text);
    bool raised = false;
    try {
      ReadSettingsLines(s, in);
    } catch (const ConvertError&) {
      raised = true;
    }
    EXPECT_EQ(raised, c.raises) << c.name;
    EXPECT_EQ(s.DeviceType, c.deviceType) << c.name;
    EXPECT_EQ(s.HexFileName.size(), c.nameLength) << c.name;
  }

  // From the file, the reader keeps no more of a line than the bound and one character.
  TempFolder folder;
  WriteBytes(folder / "Kaldo.set", std::string(1 << 20, '7') + "\r\n0\r\n888\r\n");
  ProgramState s;
  try {
    Settings(s, folder.path()).LoadSettings();
    ADD_FAILURE() << "a 1 MB first line was taken";
  } catch (const ConvertError& e) {
    EXPECT_EQ(e.Text(), std::string(kLongestSettingsLine + 1, '7'));
  }
  EXPECT_EQ(s.DeviceType, 0);
}

TEST(Settings, NoFileKeepsEveryValue) {
  TempFolder folder;
  ProgramState s;
  s.HexFileName = "kept";
  Settings(s, folder.path()).LoadSettings();
  EXPECT_EQ(s.DeviceType, 0);
  EXPECT_EQ(s.PortBase, 0x378);
  EXPECT_EQ(s.HexFileName, "kept");
}

TEST(Settings, AFileThatCannotBeReadRaisesTheError) {
  TempFolder folder;
  WriteBytes(folder / "Kaldo.set", "5\r\n0\r\n888\r\n\r\n");
  ::chmod((folder / "Kaldo.set").c_str(), 0);
  ::chmod(folder.path().c_str(), 0755);
  ProgramState s;
  std::string report;
  {
    WithoutRoot user;
    ASSERT_TRUE(user.ok());
    try {
      Settings(s, folder.path()).LoadSettings();
    } catch (const InOutError& e) {
      report = ErrorReportText(e);
    }
  }
  EXPECT_EQ(report, "File access denied.");
  EXPECT_EQ(s.DeviceType, 0);
}

TEST(Settings, RememberedFileWithAFormatErrorStaysNamed) {
  TempFolder folder;
  const std::string hex = folder / "bad.hex";
  WriteBytes(hex, ":0100100042AD\r\n\r\n:0100200042AD\r\n");
  WriteBytes(folder / "Kaldo.set", "0\r\n0\r\n888\r\n" + hex + "\r\n");
  ProgramState s;
  const std::optional<LoadOutcome> outcome = Settings(s, folder.path()).LoadSettings();
  EXPECT_EQ(s.HexFileName, hex);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->Text, kInvalidHexFormat);
  EXPECT_EQ(s.DataBuffer[0x10], 0x42);
  EXPECT_EQ(s.DataBuffer[0x20], 0xFF);
}

// The remembered file is read in the format its name says, as the window opened it.
TEST(Settings, RememberedFileLoadsInTheFormatOfItsName) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"a.hex", ":0100100042AD\r\n"},
      {"a.BIN", std::string(16, '\xFF') + "\x42"},
      {"a.s19", "S0050000414277\r\nS104001042A9\r\nS5030001FB\r\nS9030000FC\r\n"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    WriteBytes(folder / c.name, c.bytes);
    WriteBytes(folder / "Kaldo.set", "0\r\n0\r\n888\r\n" + folder / c.name + "\r\n");
    ProgramState s;  // DeviceSize 0 until the settings name the device
    const std::optional<LoadOutcome> outcome = Settings(s, folder.path()).LoadSettings();
    ASSERT_TRUE(outcome) << c.name;
    EXPECT_EQ(outcome->Text, kResultOK) << c.name;
    EXPECT_EQ(s.DataBuffer[0x10], 0x42) << c.name;
  }
}

TEST(Settings, SaveCreatesTheFolderAndReplacesWhole) {
  TempFolder folder;
  const std::string where = folder / "config/kaldo";
  ProgramState s;
  s.PortBase = 4464;
  Settings settings(s, where);
  EXPECT_EQ(settings.FileName(), where + "/Kaldo.set");
  settings.SaveSettings();
  EXPECT_EQ(ReadBytes(where + "/Kaldo.set"), "0\r\n0\r\n4464\r\n\r\n");

  // A settings folder that cannot be made: the error, and the old file as it was.
  WriteBytes(folder / "plain", "not a folder");
  Settings blocked(s, folder / "plain/kaldo");
  EXPECT_THROW(blocked.SaveSettings(), InOutError);
  EXPECT_EQ(ReadBytes(folder / "plain"), "not a folder");
}

bool Never(const std::string&) {
  return false;
}
bool Always(const std::string&) {
  return true;
}

TEST(ChooseSettingsFolder, BesideTheExecutableOrPerUser) {
  TempFolder exe;
  TempFolder holding;
  WriteBytes(holding / "Kaldo.set", "0\r\n0\r\n888\r\n\r\n");
  const struct {
    const char* name;
    std::string exeFolder;
    bool (*writable)(const std::string&);
    std::string xdg, home, expected;
  } cases[] = {
      {"writable", exe.path(), Always, "/x", "/h", exe.path()},
      {"holds the file", holding.path(), Never, "/x", "/h", holding.path()},
      {"xdg", exe.path(), Never, "/x", "/h", "/x/kaldo"},
      {"relative xdg", exe.path(), Never, "rel", "/h", "/h/.config/kaldo"},
      {"home", exe.path(), Never, "", "/h", "/h/.config/kaldo"},
      {"nothing else", exe.path(), Never, "", "", exe.path()},
      {"installed, run as root", "/usr/bin", Always, "/x", "/h", "/x/kaldo"},
      {"installed by hand", "/usr/local/bin", Always, "", "/h", "/h/.config/kaldo"},
  };
  for (const auto& c : cases) {
    SettingsEnvironment env{c.exeFolder, c.xdg, c.home};
    EXPECT_EQ(ChooseSettingsFolder(env, c.writable), c.expected) << c.name;
  }
}

TEST(ChooseSettingsFolder, RealPermissions) {
  TempFolder exe;
  SettingsEnvironment env{exe.path(), "/x", ""};
  EXPECT_EQ(ChooseSettingsFolder(env), exe.path());
  EXPECT_FALSE(ExecutableFolder().empty());
  ::chmod(exe.path().c_str(), 0555);
  std::string chosen;
  {
    WithoutRoot user;
    ASSERT_TRUE(user.ok());
    chosen = ChooseSettingsFolder(env);
  }
  EXPECT_EQ(chosen, "/x/kaldo");
}

TEST(ChooseSettingsFolder, AFileHeldInAReadOnlyFolderIsKeptThere) {
  TempFolder exe;
  WriteBytes(exe / "Kaldo.set", "0\r\n0\r\n888\r\n\r\n");
  ::chmod((exe / "Kaldo.set").c_str(), 0666);
  ::chmod(exe.path().c_str(), 0555);
  ProgramState s;
  s.DeviceType = DeviceTypeOf(Device::AT89S51);
  {
    WithoutRoot user;
    ASSERT_TRUE(user.ok());
    const std::string folder = ChooseSettingsFolder({exe.path(), "/x", ""});
    EXPECT_EQ(folder, exe.path());
    Settings(s, folder).SaveSettings();
  }
  EXPECT_EQ(ReadBytes(exe / "Kaldo.set"), "3\r\n0\r\n888\r\n\r\n");
}

}  // namespace
}  // namespace kaldo
