// Profile files with the Windows semantics, each test in its own Windows
// directory (KV_WINDIR).
#include "platform/kernel/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "tests/platform/test_support.h"

namespace {

using namespace kvp;

class Profiles : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = getenv(name);
      saved_.emplace_back(value != nullptr, value != nullptr ? value : "");
    }
    setenv("KV_WINDIR", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    for (size_t i = 0; i < std::size(kVariables); ++i) {
      if (saved_[i].first) {
        setenv(kVariables[i], saved_[i].second.c_str(), 1);
      } else {
        unsetenv(kVariables[i]);
      }
    }
  }

  std::string Get(const char* section, const char* key, const char* fallback = "",
                  const char* file = "KVDB4XX.INI", DWORD size = 256) {
    std::string buffer(size, '#');
    DWORD copied = GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, file);
    EXPECT_EQ(copied, std::strlen(buffer.c_str()));
    return buffer.substr(0, copied);
  }

  static constexpr const char* kVariables[] = {"KV_WINDIR", "XDG_CONFIG_HOME", "HOME"};
  std::vector<std::pair<bool, std::string>> saved_;
  kvtest::TempDir dir_;
};

TEST_F(Profiles, FileSectionAndKeyMatchWithoutRegardToCase) {
  kvtest::WriteWholeFile(dir_.File("kvdb4xx.ini"),
                         "; engine settings\n[Sort]\nAsciiSort = 0\n  DateSort=  french  \n");
  EXPECT_EQ(GetPrivateProfileIntA("sort", "asciisort", 1, "KVDB4XX.INI"), 0u);
  EXPECT_EQ(GetPrivateProfileIntA("SORT", "ASCIISORT", 1, "kvdb4xx.ini"), 0u);
  EXPECT_EQ(Get("sort", "datesort"), "french");
  EXPECT_EQ(Get(" Sort ", " DATESORT "), "french");
}

TEST_F(Profiles, MissingFilesSectionsAndKeysGiveTheDefault) {
  EXPECT_EQ(Get("sort", "datesort", "GREGOR"), "GREGOR");  // no file at all
  EXPECT_EQ(GetPrivateProfileIntA("sort", "asciisort", 1, "KVDB4XX.INI"), 1u);

  kvtest::WriteWholeFile(dir_.File("KVDB4XX.INI"), "[other]\ndatesort=JULIAN\n[sort]\nx=1\n");
  EXPECT_EQ(Get("sort", "datesort", "GREGOR"), "GREGOR");  // key in another section only
  EXPECT_EQ(Get("nosuch", "x", "d"), "d");
  EXPECT_EQ(Get("sort", "datesort", "padded   "), "padded");  // trailing blanks dropped
  EXPECT_EQ(Get("sort", "datesort", nullptr), "");
  EXPECT_EQ(GetPrivateProfileIntA("sort", "missing", -5, "KVDB4XX.INI"), static_cast<UINT>(-5));
}

TEST_F(Profiles, ValuesAreCutToTheBuffer) {
  kvtest::WriteWholeFile(dir_.File("cut.ini"), "[s]\nk=abcdef\n");
  EXPECT_EQ(Get("s", "k", "", "cut.ini", 7), "abcdef");
  EXPECT_EQ(Get("s", "k", "", "cut.ini", 4), "abc");
  EXPECT_EQ(Get("s", "k", "", "cut.ini", 1), "");
  EXPECT_EQ(Get("s", "missing", "defaultvalue", "cut.ini", 5), "defa");

  char untouched[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", untouched, 0, "cut.ini"), 0u);
  EXPECT_EQ(untouched[0], '#');
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", nullptr, 100, "cut.ini"), 0u);
}

TEST_F(Profiles, BlanksAndOneLayerOfQuotesAreRemoved) {
  kvtest::WriteWholeFile(dir_.File("q.ini"),
                         "[q]\r\n"
                         "double = \"  spaced  \"\r\n"
                         "single='it'\r\n"
                         "nested=\"\"x\"\"\r\n"
                         "unmatched=\"open\r\n"
                         "lone=\"\r\n"
                         "empty=\r\n"
                         "equals=a=b\r\n");
  EXPECT_EQ(Get("q", "double", "", "q.ini"), "  spaced  ");
  EXPECT_EQ(Get("q", "single", "", "q.ini"), "it");
  EXPECT_EQ(Get("q", "nested", "", "q.ini"), "\"x\"");
  EXPECT_EQ(Get("q", "unmatched", "", "q.ini"), "\"open");
  EXPECT_EQ(Get("q", "lone", "", "q.ini"), "\"");
  EXPECT_EQ(Get("q", "empty", "d", "q.ini"), "");  // present but empty: not the default
  EXPECT_EQ(Get("q", "equals", "", "q.ini"), "a=b");
}

TEST_F(Profiles, IntegersAreReadAsWindowsReadsThem) {
  kvtest::WriteWholeFile(dir_.File("n.ini"),
                         "[n]\nplain=42\nneg=-12abc\nplus=+7\nhex=0x1F\nHEX=0XfF\n"
                         "word=abc\nempty=\nspaces=  19  \nhuge=4294967297\n");
  auto integer = [](const char* key, int fallback = -1) {
    return GetPrivateProfileIntA("n", key, fallback, "n.ini");
  };
  EXPECT_EQ(integer("plain"), 42u);
  EXPECT_EQ(integer("neg"), static_cast<UINT>(-12));
  EXPECT_EQ(integer("plus"), 7u);
  EXPECT_EQ(integer("hex"), 31u);
  EXPECT_EQ(integer("word"), 0u);
  EXPECT_EQ(integer("empty", 3), 3u);
  EXPECT_EQ(integer("spaces"), 19u);
  EXPECT_EQ(integer("huge"), 1u);  // beyond 32 bits: wraps, never undefined
  EXPECT_EQ(integer("absent", 99), 99u);
}

TEST_F(Profiles, WritesCreateTheDirectoryFileAndSection) {
  const std::string windir = dir_.File("deep/windows");
  setenv("KV_WINDIR", windir.c_str(), 1);
  ASSERT_TRUE(WritePrivateProfileStringA("Options", "Quality", "75", "KVIMG.INI"));
  EXPECT_EQ(kvtest::ReadWholeFile(windir + "/KVIMG.INI"), "[Options]\nQuality=75\n");
  ASSERT_TRUE(WritePrivateProfileStringA("Position", "x", "10", "kvimg.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("OPTIONS", "Dither", "1", "kvimg.ini"));
  EXPECT_EQ(kvtest::ReadWholeFile(windir + "/KVIMG.INI"),
            "[Options]\nQuality=75\nDither=1\n\n[Position]\nx=10\n");
  EXPECT_FALSE(kvtest::PathExists(windir + "/kvimg.ini"));  // the existing file was used
}

TEST_F(Profiles, WritesKeepEveryOtherLine) {
  const std::string path = dir_.File("keep.ini");
  kvtest::WriteWholeFile(path, "; comment\r\n[a]\r\nk1 = old\r\nk2=two\r\n\r\n[b]\r\nk1=b-one\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("A", "K1", "new", "keep.ini"));
  EXPECT_EQ(kvtest::ReadWholeFile(path),
            "; comment\r\n[a]\r\nK1=new\r\nk2=two\r\n\r\n[b]\r\nk1=b-one\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("a", "k3", "three", "keep.ini"));
  EXPECT_EQ(kvtest::ReadWholeFile(path),
            "; comment\r\n[a]\r\nK1=new\r\nk2=two\r\nk3=three\r\n\r\n[b]\r\nk1=b-one\r\n");

  ASSERT_TRUE(WritePrivateProfileStringA("a", "k2", nullptr, "keep.ini"));  // removes the key
  EXPECT_EQ(Get("a", "k2", "gone", "keep.ini"), "gone");
  ASSERT_TRUE(WritePrivateProfileStringA("b", nullptr, nullptr, "keep.ini"));  // the section
  EXPECT_EQ(kvtest::ReadWholeFile(path), "; comment\r\n[a]\r\nK1=new\r\nk3=three\r\n\r\n");

  // Removing what is not there leaves a missing file missing.
  ASSERT_TRUE(WritePrivateProfileStringA("a", "k", nullptr, "absent.ini"));
  EXPECT_FALSE(kvtest::PathExists(dir_.File("absent.ini")));
}

TEST_F(Profiles, WritesThatWouldForgeLinesAreRefused) {
  const std::string path = dir_.File("safe.ini");
  kvtest::WriteWholeFile(path, "[s]\nk=v\n");
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v\n[admin]\npassword=x", "safe.ini"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(WritePrivateProfileStringA("s]\n[t", "k", "v", "safe.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k=x", "v", "safe.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", "safe.ini"));
  EXPECT_EQ(kvtest::ReadWholeFile(path), "[s]\nk=v\n");
}

TEST_F(Profiles, NamesWithAFolderAreUsedWhereTheySay) {
  kvtest::TempDir elsewhere;
  kvtest::WriteWholeFile(elsewhere.File("kvrpcsrv.ini"), "[Passwords]\nguest=secret\n");
  kvtest::WriteWholeFile(dir_.File("KVRPCSRV.INI"), "[Passwords]\nguest=windows\n");
  const std::string path = elsewhere.File("KVRPCSRV.INI");
  EXPECT_EQ(Get("passwords", "guest", "", path.c_str()), "secret");
  ASSERT_TRUE(WritePrivateProfileStringA("Passwords", "admin", "pw", path.c_str()));
  EXPECT_EQ(kvtest::ReadWholeFile(elsewhere.File("kvrpcsrv.ini")),
            "[Passwords]\nguest=secret\nadmin=pw\n");
  EXPECT_EQ(Get("passwords", "guest", "", "KVRPCSRV.INI"), "windows");
  // A folder that does not exist is not made for such a name.
  const std::string missing = elsewhere.File("nowhere/x.ini");
  EXPECT_FALSE(WritePrivateProfileStringA("s", "k", "v", missing.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Profiles, WindowsDirectoryFollowsTheEnvironment) {
  char buffer[512];
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), dir_.path().size());
  EXPECT_EQ(buffer, dir_.path());

  unsetenv("KV_WINDIR");
  setenv("XDG_CONFIG_HOME", "/config/here/", 1);
  GetWindowsDirectoryA(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "/config/here/kv");

  setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the base-directory rules say
  setenv("HOME", "/home/someone", 1);
  GetWindowsDirectoryA(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "/home/someone/.config/kv");
  EXPECT_EQ(GetWindowsDirectoryA(buffer, 5), std::strlen("/home/someone/.config/kv") + 1);

  // The profiles follow it.
  setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
  ASSERT_TRUE(WritePrivateProfileStringA("sort", "datesort", "YMD", "KVDB4XX.INI"));
  EXPECT_EQ(kvtest::ReadWholeFile(dir_.File("kv/KVDB4XX.INI")), "[sort]\ndatesort=YMD\n");
}

TEST_F(Profiles, TheSystemProfileIsWinIni) {
  kvtest::WriteWholeFile(dir_.File("WIN.INI"),
                         "[windows]\ndevice=PDF,cups,/dev/null\n[Ports]\nCOM1:=9600,n,8,1\n");
  char buffer[64];
  EXPECT_EQ(GetProfileStringA("Windows", "Device", "", buffer, sizeof buffer), 18u);
  EXPECT_STREQ(buffer, "PDF,cups,/dev/null");
  EXPECT_EQ(GetProfileIntA("ports", "com1:", 0), 9600u);
  ASSERT_TRUE(WriteProfileStringA("Ports", "COM2:", "1200,e,7,1"));
  EXPECT_EQ(Get("ports", "com2:", "", "win.ini"), "1200,e,7,1");
  EXPECT_EQ(Get("ports", "com2:", "", nullptr), "1200,e,7,1");  // a null name is win.ini
}

TEST_F(Profiles, NullSectionOrKeyListsNames) {
  kvtest::WriteWholeFile(dir_.File("list.ini"), "[one]\na=1\nbb=2\n[two]\n[ONE]\nccc=3\n");
  char buffer[64];
  DWORD copied = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, "list.ini");
  EXPECT_EQ(std::string(buffer, copied + 1), std::string("one\0two\0\0", 9));
  copied = GetPrivateProfileStringA("one", nullptr, "", buffer, sizeof buffer, "list.ini");
  EXPECT_EQ(std::string(buffer, copied + 1), std::string("a\0bb\0ccc\0\0", 10));
  // Cut: the last name shortened, two NULs at the end, size - 2 returned.
  std::memset(buffer, '#', sizeof buffer);
  copied = GetPrivateProfileStringA("one", nullptr, "", buffer, 6, "list.ini");
  EXPECT_EQ(copied, 4u);
  EXPECT_EQ(std::string(buffer, 6), std::string("a\0bb\0\0", 6));
  copied = GetPrivateProfileStringA("two", nullptr, "", buffer, sizeof buffer, "list.ini");
  EXPECT_EQ(copied, 0u);
  EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
