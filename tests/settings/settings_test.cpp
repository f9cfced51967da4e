#include "settings/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "settings/paths.h"
#include "settings/text.h"
#include "settings_fixture.h"

namespace tvr::settings {
namespace {

using tvr::testing::ReadFile;
using tvr::testing::WriteFile;

TEST_F(SettingsTest, FileBesideTheProgramWinsOverTheWindowsDirectory) {
  struct Case {
    int line;
    bool beside;
    const char* in_windows_dir;  // file name there, or nullptr
    std::string expected_file;   // relative to the temporary directory
  };
  const Case cases[] = {
      {__LINE__, true, "Tulvar.ini", "cgi-bin/tulvar.ini"},
      {__LINE__, false, "Tulvar.ini", "etc/Tulvar.ini"},
      {__LINE__, false, "tulvar.ini", "etc/tulvar.ini"},
      {__LINE__, false, nullptr, "etc/Tulvar.ini"},
  };
  for (const Case& c : cases) {
    ::unlink(BesideIni().c_str());
    ::unlink(dir_.File("etc/Tulvar.ini").c_str());
    ::unlink(dir_.File("etc/tulvar.ini").c_str());
    if (c.beside) WriteFile(BesideIni(), "[Main]\nWhere=beside\n");
    if (c.in_windows_dir) {
      WriteFile(dir_.File(std::string("etc/") + c.in_windows_dir), "[Main]\nWhere=windows\n");
    }
    LoadSettings();
    EXPECT_EQ(SettingsFilePath(), dir_.File(c.expected_file)) << "case at line " << c.line;
    EXPECT_EQ(ProgramDirectory(), dir_.File("cgi-bin"));
    EXPECT_EQ(GetSetting("Main", "Where"), c.beside           ? "beside"
                                           : c.in_windows_dir ? "windows"
                                                              : "")
        << "case at line " << c.line;
  }
}

TEST_F(SettingsTest, EmptyAndAbsentValuesGiveTheDefault) {
  using namespace std::string_literals;
  WriteFile(BesideIni(), "[Main]\r\nEmpty=\r\nSet=x\r\nNul=ab\0cd\r\n"s);
  EXPECT_EQ(GetSetting("Main", "Empty", "dflt"), "dflt");
  EXPECT_EQ(GetSetting("Main", "Absent", "dflt"), "dflt");
  EXPECT_EQ(GetSetting("Main", "Absent"), "");
  EXPECT_EQ(GetSetting("Main", "Set", "dflt"), "x");
  EXPECT_EQ(GetSetting("Main", "Nul"), "ab");
}

TEST_F(SettingsTest, SavedValuesAreSeenByTheNextReadAndCutAt1023) {
  SaveSetting("Main", "Long", std::string(1500, 'v'));
  SaveSetting("Debug", "k", "1");
  EXPECT_EQ(GetSetting("Main", "Long"), std::string(1023, 'v'));
  EXPECT_EQ(GetSetting("Debug", "K"), "1");
  ClearSection("Debug");
  EXPECT_EQ(GetSetting("Debug", "k"), "");
  EXPECT_EQ(GetSetting("Main", "Long").size(), 1023u);
}

TEST_F(SettingsTest, SaveThatCannotBeWrittenIsReported) {
  ::unlink(BesideIni().c_str());
  system_.windows = dir_.File("no-such-dir");
  LoadSettings();
  EXPECT_ANY_THROW(SaveSetting("Main", "k", "v"));
  EXPECT_EQ(GetSetting("Main", "k"), "");
}

TEST_F(SettingsTest, LogSwitch) {
  const std::pair<const char*, bool> cases[] = {
      {"", true}, {"Log=1\r\n", true}, {"Log=0\r\n", false}, {"Log=yes\r\n", false}};
  for (const auto& [line, on] : cases) {
    WriteFile(BesideIni(), std::string("[Main]\r\n") + line);
    LoadSettings();
    EXPECT_EQ(LogSwitch(), on) << line;
  }
}

TEST_F(SettingsTest, TempDirectoryFallsBackToTheSystemTemporaryPath) {
  ::mkdir(dir_.File("work").c_str(), 0755);
  struct Case {
    int line;
    std::string setting;
    std::string expected;
  };
  const Case cases[] = {
      {__LINE__, "", dir_.File("tmp/")},
      {__LINE__, dir_.File("work"), dir_.File("work/")},
      {__LINE__, dir_.File("work/"), dir_.File("work/")},
      {__LINE__, dir_.File("missing"), dir_.File("tmp/")},
  };
  for (const Case& c : cases) {
    SaveSetting("Main", "TempDirectory", c.setting);
    EXPECT_EQ(TempDirectory(), c.expected) << "case at line " << c.line;
  }
  EXPECT_EQ(SystemTempPath(), dir_.File("tmp/"));
  EXPECT_EQ(WindowsDirectory(), dir_.File("etc/"));
}

TEST(Paths, DirectoryOfAndStripAtNul) {
  EXPECT_EQ(DirectoryOf("/a/b/file.log"), "/a/b/");
  EXPECT_EQ(DirectoryOf("file.log"), "");
  EXPECT_EQ(DirectoryOf("/file.log"), "/");
  EXPECT_EQ(StripAtNul(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(StripAtNul("abc"), "abc");
}

TEST(Paths, FileExistsWithWildcardsAndDirExists) {
  tvr::testing::TempDir dir;
  WriteFile(dir.File("orders.dbf"), "");
  WriteFile(dir.File("a.log"), "");
  ::mkdir(dir.File("sub.dbf").c_str(), 0755);
  struct Case {
    int line;
    std::string pattern;
    bool expected;
  };
  const Case cases[] = {
      {__LINE__, dir.File("orders.dbf"), true},
      {__LINE__, dir.File("*.dbf"), true},
      {__LINE__, dir.File("?.log"), true},
      {__LINE__, dir.File("??.log"), false},
      {__LINE__, dir.File("*.*"), true},
      {__LINE__, dir.File("o*s.d?f"), true},
      {__LINE__, dir.File("*.ndx"), false},
      {__LINE__, dir.File("sub.dbf"), false},
      {__LINE__, dir.File("ORDERS.DBF"), false},
      {__LINE__, dir.File("nodir/*"), false},
      {__LINE__, "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileExists(c.pattern), c.expected) << "case at line " << c.line;
  }
  char before[4096];
  ASSERT_TRUE(::getcwd(before, sizeof before));
  EXPECT_TRUE(DirExists(dir.path()));
  EXPECT_TRUE(DirExists(dir.File("sub.dbf/")));
  EXPECT_FALSE(DirExists(dir.File("orders.dbf")));
  EXPECT_FALSE(DirExists(dir.File("missing")));
  EXPECT_FALSE(DirExists(""));
  char after[4096];
  ASSERT_TRUE(::getcwd(after, sizeof after));
  EXPECT_STREQ(before, after);
}

TEST(Text, ReplaceText) {
  struct Case {
    int line;
    const char* text;
    const char* find;
    const char* replacement;
    const char* expected;
  };
  const Case cases[] = {
      {__LINE__, "a b  c", " ", "+", "a+b++c"},
      {__LINE__, "AxAx", "x", "xx", "AxxAxx"},
      {__LINE__, "abc", "", "z", "abc"},
      {__LINE__, "ABC", "b", "-", "A-C"},
      {__LINE__, "aaa", "aa", "b", "ba"},
      {__LINE__,
       "Stra\xDF"
       "e \xE4",
       "\xC4", "Ae",
       "Stra\xDF"
       "e Ae"},
      {__LINE__, "", "x", "y", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.find, c.replacement), c.expected) << "case at line " << c.line;
  }
}

}  // namespace
}  // namespace tvr::settings
