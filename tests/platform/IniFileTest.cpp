// The INI reader: lookup rules, trimming, defaults, capacity and the GBK fallback.
#include <gtest/gtest.h>

#include "platform/IniFile.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

namespace {

struct IniCase {
  const char* name;
  std::string text;  // file bytes
  std::wstring section, key, def;
  size_t capacity;
  std::wstring expected;
  size_t expectedCount;
};

class IniFileTest : public ::testing::Test {
 protected:
  testsupport::ScratchEnv env;
};

TEST_F(IniFileTest, LookupTable) {
  const std::string sample =
      "; comment\r\n"
      "[Installer]\r\n"
      "  InstallerPath =  My Folder  \r\n"
      "Empty=\r\n"
      "Quoted=\" padded \"\r\n"
      "NoEquals\r\n"
      "[ Public ]\n"
      "channel=ch-1\n"
      "channel=second\n"
      "[Other]\n"
      "epCode=other\n";
  const IniCase cases[] = {
      {"case-insensitive section and key", sample, L"installer", L"INSTALLERPATH", L"d", 4096, L"My Folder", 9},
      {"value and key trimmed", sample, L"Installer", L"InstallerPath", L"", 4096, L"My Folder", 9},
      {"empty value copies nothing", sample, L"Installer", L"Empty", L"", 4096, L"", 0},
      {"quotes dropped, inner blanks kept", sample, L"Installer", L"Quoted", L"", 4096, L" padded ", 8},
      {"section name trimmed", sample, L"Public", L"channel", L"", 4096, L"ch-1", 4},
      {"key of another section not seen", sample, L"Public", L"epCode", L"def", 4096, L"def", 3},
      {"missing section gives default", sample, L"Nope", L"channel", L"dflt", 4096, L"dflt", 4},
      {"missing key gives default", sample, L"Installer", L"Missing", L"", 4096, L"", 0},
      {"comment line is no key", sample, L"Installer", L"; comment", L"x", 4096, L"x", 1},
      {"capacity keeps capacity - 1", sample, L"Installer", L"InstallerPath", L"", 4, L"My ", 3},
      {"capacity cuts the default too", sample, L"Nope", L"k", L"default", 3, L"de", 2},
      {"capacity 0 copies nothing", sample, L"Installer", L"InstallerPath", L"", 0, L"", 0},
      {"UTF-8 with BOM", "\xEF\xBB\xBF[Installer]\nInstallerShortcut=\xE4\xBA\x91\xE7\x94\xB5\xE8\x84\x91\n",
       L"Installer", L"InstallerShortcut", L"", 4096, L"云电脑", 3},
      {"GBK file", "[Installer]\r\nInstallerShortcut=\xD4\xC6\xB5\xE7\xC4\xD4\r\n", L"Installer",
       L"InstallerShortcut", L"", 4096, L"云电脑", 3},
  };
  for (const IniCase& c : cases) {
    const std::string path = env.Path("case.ini");
    testsupport::WriteFile(path, c.text);
    std::wstring out = L"garbage";
    size_t n = platform::GetPrivateProfileStringW(c.section, c.key, c.def, &out, c.capacity,
                                                  platform::Utf8ToWide(path));
    EXPECT_EQ(out, c.expected) << c.name;
    EXPECT_EQ(n, c.expectedCount) << c.name;
  }
}

TEST_F(IniFileTest, MissingFileGivesDefaultAndLongValueIsCutAt4095) {
  std::wstring out;
  EXPECT_EQ(platform::GetPrivateProfileStringW(L"a", L"b", L"", &out, 4096, platform::Utf8ToWide(env.Path("none.ini"))),
            0u);
  EXPECT_EQ(out, L"");

  testsupport::WriteFile(env.Path("long.ini"), "[Public]\nchannel=" + std::string(5000, 'x') + "\n");
  EXPECT_EQ(platform::GetPrivateProfileStringW(L"Public", L"channel", L"", &out, 4096,
                                               platform::Utf8ToWide(env.Path("long.ini"))),
            4095u);
  EXPECT_EQ(out, std::wstring(4095, L'x'));
}

TEST(TextTest, Conversions) {
  EXPECT_EQ(platform::Utf8ToWide("a\xE4\xBA\x91z"), L"a云z");
  EXPECT_EQ(platform::WideToUtf8(L"a云\U0001F600"), "a\xE4\xBA\x91\xF0\x9F\x98\x80");
  EXPECT_EQ(platform::Utf8ToWide("a\xFFz"), L"a\xFFFDz");
  EXPECT_FALSE(platform::IsValidUtf8("\xC0\x80"));  // overlong
  EXPECT_FALSE(platform::IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_TRUE(platform::IsValidUtf8("plain"));
  // GBK with an odd trailing byte: the rest still decodes.
  EXPECT_EQ(platform::DecodeIniText("\xD4\xC6\xFF"), L"云\xFFFD");
}

}  // namespace
