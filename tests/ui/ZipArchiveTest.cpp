// The skin archive reader: lookups that ignore ASCII case and slash direction,
// stored and deflate entries, and archives or entries that cannot be read.
#include "ui/utils/ZipArchive.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cwchar>

#include "DrawTestSupport.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"

using SkinUI::CZipArchive;
using SkinUI::ZipResult;

namespace {

std::vector<unsigned char> Bytes(const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); }

TEST(ZipArchive, LookupsIgnoreCaseAndSlashDirection) {
  drawtest::ZipBuilder zip;
  zip.Add("background.png", "png bytes");
  zip.Add("skin/CheckWnd.xml", std::string(5000, 'x'), drawtest::ZipBuilder::kStored);
  zip.Add("中文/图.png", "cjk");
  zip.Add("Background.png", "second entry of the same folded name");
  CZipArchive archive;
  ASSERT_TRUE(archive.OpenMemory(Bytes(zip.Build())));

  struct Case {
    const wchar_t* name;
    int index;
  } cases[] = {
      {L"background.png", 0}, {L"Background.PNG", 0},   {L"BACKGROUND.png", 0},
      {L"skin\\checkwnd.xml", 1}, {L"skin/CheckWnd.xml", 1}, {L"SKIN\\CHECKWND.XML", 1},
      {L"中文\\图.png", 2},    {L"background.pn", -1},    {L"checkwnd.xml", -1}, {L"", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.index, archive.Find(c.name)) << platform::WideToUtf8(c.name);
  }
  std::wstring longName(256, L'a');
  EXPECT_EQ(-1, archive.Find(longName));

  std::string out;
  ASSERT_EQ(ZipResult::Ok, archive.Extract(0, &out));
  EXPECT_EQ("png bytes", out);
  ASSERT_EQ(ZipResult::Ok, archive.Extract(1, &out));
  EXPECT_EQ(std::string(5000, 'x'), out);
  EXPECT_EQ(ZipResult::NotFound, archive.Extract(7, &out));
}

TEST(ZipArchive, EntriesThatCannotBeRead) {
  drawtest::ZipBuilder zip;
  zip.AddRaw("bzip2.bin", "whatever", 12);
  zip.Add("good.txt", "hello world hello world hello world");
  std::string bytes = zip.Build();
  CZipArchive archive;
  ASSERT_TRUE(archive.OpenMemory(Bytes(bytes)));
  std::string out;
  EXPECT_EQ(ZipResult::Unsupported, archive.Extract(archive.Find(L"bzip2.bin"), &out));

  // Damage the deflated data of the second entry: the CRC no longer matches.
  std::size_t at = bytes.find("good.txt") + 8 + 2;  // inside its data, after the local name
  bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
  CZipArchive damaged;
  ASSERT_TRUE(damaged.OpenMemory(Bytes(bytes)));
  EXPECT_NE(ZipResult::Ok, damaged.Extract(damaged.Find(L"good.txt"), &out));
}

TEST(ZipArchive, NotAnArchive) {
  CZipArchive archive;
  EXPECT_FALSE(archive.OpenMemory(Bytes("not a zip at all, just some text that is long enough")));
  EXPECT_FALSE(archive.IsOpen());
  EXPECT_FALSE(archive.OpenMemory({}));
  EXPECT_EQ(-1, archive.Find(L"x"));
  // A directory that points past the end.
  drawtest::ZipBuilder zip;
  zip.Add("a", "b");
  std::string bytes = zip.Build();
  bytes[bytes.size() - 6] = 0x7F;  // directory offset
  EXPECT_FALSE(archive.OpenMemory(Bytes(bytes)));
}

TEST(ZipArchive, OpensFilesAndArchivesMadeByZip) {
  testsupport::ScratchEnv env;
  drawtest::ZipBuilder zip;
  zip.Add("a.xml", "<Window/>");
  testsupport::WriteFile(env.Path("skin.zip"), zip.Build());
  CZipArchive archive;
  ASSERT_TRUE(archive.OpenFile(platform::Utf8ToWide(env.Path("skin.zip"))));
  std::string out;
  EXPECT_EQ(ZipResult::Ok, archive.Extract(archive.Find(L"A.XML"), &out));
  EXPECT_EQ("<Window/>", out);
  EXPECT_FALSE(archive.OpenFile(platform::Utf8ToWide(env.Path("missing.zip"))));

  // An archive made by the zip tool, with a folder entry and an archive comment.
  if (access("/usr/bin/zip", X_OK) != 0) GTEST_SKIP() << "zip not installed";
  testsupport::WriteFile(env.Path("src/img/Icon.txt"), std::string(3000, 'q') + "end");
  std::string command = "cd '" + env.Path("src") + "' && echo comment | /usr/bin/zip -q -r -z ../tool.zip img";
  ASSERT_EQ(0, system(command.c_str()));
  ASSERT_TRUE(archive.OpenFile(platform::Utf8ToWide(env.Path("tool.zip"))));
  ASSERT_EQ(ZipResult::Ok, archive.Extract(archive.Find(L"IMG\\icon.TXT"), &out));
  EXPECT_EQ(std::string(3000, 'q') + "end", out);
}

}  // namespace
