// The skin resource layer: skin files from the resource folder or the archive
// with their failure messages and size limit, image lookup order, and the
// packaged archive read once per process.
#include "ui/utils/SkinResources.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "DrawTestSupport.h"
#include "platform/ModulePath.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"
#include "ui/core/SkinMarkup.h"

namespace {

using platform::Utf8ToWide;

class SkinResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SkinUI::ResetSkinResourcesForTest();
    SkinUI::SetResourceFinderForTest(nullptr);
    mkdir(env.Path("res").c_str(), 0755);
    SkinUI::SetResourceFolder(Utf8ToWide(env.Path("res")).c_str());
  }
  void TearDown() override {
    SkinUI::ResetSkinResourcesForTest();
    SkinUI::SetResourceFinderForTest(nullptr);
  }
  void Write(const std::string& rel, const std::string& bytes) { testsupport::WriteFile(env.Path(rel), bytes); }

  // Reads a skin file; returns "" or the failure message.
  static std::string Read(const std::wstring& name, std::string* bytes = nullptr) {
    std::string ignored;
    std::wstring error;
    if (SkinUI::ReadSkinFile(name, bytes ? bytes : &ignored, &error)) return "";
    return platform::WideToUtf8(error);
  }

  testsupport::ScratchEnv env;
};

// A document of exactly `size` bytes: an element padded with blanks.
std::string SkinOfSize(std::size_t size) {
  std::string text = "<Window/>";
  text.resize(size, ' ');
  return text;
}

TEST_F(SkinResourcesTest, ResourceFolderPaths) {
  SkinUI::SetResourceFolder(L"/opt/skin");
  EXPECT_EQ(L"/opt/skin/", SkinUI::ResourcePath());
  SkinUI::SetResourceFolder(L"C:\\skin\\");
  EXPECT_EQ(L"C:\\skin\\", SkinUI::ResourcePath());
  SkinUI::SetResourceFolder(nullptr);
  EXPECT_EQ(L"", SkinUI::ResourcePath());

  EXPECT_EQ(L"", SkinUI::InstanceFolder()) << "no instance set";
  platform::SetModuleFileNameForTest("/opt/app/bin/installer");
  int instance = 0;
  SkinUI::SetModuleInstance(&instance);
  EXPECT_EQ(L"/opt/app/bin/", SkinUI::InstanceFolder());
  platform::SetModuleFileNameForTest("");
}

TEST_F(SkinResourcesTest, SkinFilesFromTheFolder) {
  Write("res/ok.xml", "<Window/>");
  Write("res/empty.xml", "");
  Write("res/limit.xml", SkinOfSize(SkinUI::kMaxSkinFileSize));
  Write("res/over.xml", SkinOfSize(SkinUI::kMaxSkinFileSize + 1));
  Write("res/sub/inner.xml", "<Inner/>");
  mkdir(env.Path("res/folder.xml").c_str(), 0755);
  struct Case {
    const wchar_t* name;
    const char* error;
  } cases[] = {
      {L"ok.xml", ""},
      {L"sub\\inner.xml", ""},
      {L"missing.xml", "Error opening file"},
      {L"folder.xml", "Error opening file"},
      {L"empty.xml", "File is empty"},
      {L"limit.xml", ""},
      {L"over.xml", "File too large"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.error, Read(c.name)) << platform::WideToUtf8(c.name);

  SkinUI::CSkinMarkup doc;
  EXPECT_TRUE(doc.LoadFromFile(L"limit.xml"));
  EXPECT_STREQ(L"Window", doc.Root().Name());
  EXPECT_FALSE(doc.LoadFromFile(L"over.xml"));
  EXPECT_STREQ(L"File too large", doc.LastError());
  EXPECT_STREQ(L"", doc.LastErrorLocation());
  EXPECT_FALSE(doc.IsValid());
}

TEST_F(SkinResourcesTest, SkinFilesFromAnArchiveFile) {
  drawtest::ZipBuilder zip;
  zip.Add("CheckWnd.xml", "<Window caption=\"0,0,0,30\"/>");
  zip.Add("empty.xml", "");
  zip.Add("limit.xml", SkinOfSize(SkinUI::kMaxSkinFileSize));
  zip.Add("over.xml", SkinOfSize(SkinUI::kMaxSkinFileSize + 1));
  zip.AddRaw("odd.xml", "<Window/>", 14);
  Write("res/skin.zip", zip.Build());
  Write("res/Other.xml", "<Window/>");  // beside the archive, never used while it is set

  SkinUI::SetArchiveFile(L"skin.zip");
  EXPECT_EQ(L"skin.zip", SkinUI::ArchiveName());
  struct Case {
    const wchar_t* name;
    const char* error;
  } cases[] = {
      {L"checkwnd.XML", ""},
      {L"Other.xml", "Could not find ziped file"},
      {L"empty.xml", "File is empty"},
      {L"limit.xml", ""},
      {L"over.xml", "File too large"},
      {L"odd.xml", "Could not unzip file"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.error, Read(c.name)) << platform::WideToUtf8(c.name);

  SkinUI::CSkinMarkup doc;
  ASSERT_TRUE(doc.LoadFromFile(L"CheckWnd.xml"));
  EXPECT_STREQ(L"0,0,0,30", doc.Root().AttributeValue(L"caption"));

  // The same name again keeps the open archive, even when the file changes.
  Write("res/skin.zip", "garbage");
  SkinUI::SetArchiveFile(L"skin.zip");
  EXPECT_EQ("", Read(L"CheckWnd.xml"));

  SkinUI::SetArchiveFile(L"absent.zip");
  EXPECT_EQ("Error opening zip file", Read(L"CheckWnd.xml"));
  SkinUI::SetArchiveFile(nullptr);
  EXPECT_EQ("", Read(L"Other.xml")) << "no archive: the folder again";
}

const std::string& PackagedZip() {
  static const std::string bytes = [] {
    drawtest::ZipBuilder zip;
    zip.Add("MainWnd.xml", "<Window/>");
    zip.Add("img/Close.png", drawtest::MakeSolidPng(3, 2, 0xFF00FF00));
    return zip.Build();
  }();
  return bytes;
}

int g_finderCalls = 0;
bool CountingFinder(const std::string& type, int id, platform::ResourceBlob* out) {
  ++g_finderCalls;
  static const std::string png = drawtest::MakeSolidPng(2, 2, 0xFF123456);
  if (type == "ZIPRES" && id == 102) {
    out->data = reinterpret_cast<const unsigned char*>(PackagedZip().data());
    out->size = PackagedZip().size();
    return true;
  }
  if (type == "ZIPRES" && id == 103) {  // present but empty
    out->data = reinterpret_cast<const unsigned char*>(png.data());
    out->size = 0;
    return true;
  }
  if (type == "PNG" && id == 108) {
    out->data = reinterpret_cast<const unsigned char*>(png.data());
    out->size = png.size();
    return true;
  }
  return false;
}

TEST_F(SkinResourcesTest, PackagedArchiveIsReadOnce) {
  SkinUI::SetResourceFinderForTest(CountingFinder);
  g_finderCalls = 0;
  EXPECT_FALSE(SkinUI::UseArchiveResource(101)) << "missing";
  EXPECT_FALSE(SkinUI::UseArchiveResource(103)) << "empty";
  EXPECT_EQ(L"", SkinUI::ArchiveName());

  g_finderCalls = 0;
  // Two windows, one after the other.
  for (int window = 0; window < 2; ++window) {
    ASSERT_TRUE(SkinUI::UseArchiveResource(102));
    SkinUI::CSkinMarkup doc;
    EXPECT_TRUE(doc.LoadFromFile(L"MainWnd.xml")) << window;
  }
  EXPECT_EQ(1, g_finderCalls);
  EXPECT_EQ(L"membuffer", SkinUI::ArchiveName());

  // A later block does not replace the first one.
  drawtest::ZipBuilder other;
  other.Add("Other.xml", "<Window/>");
  std::string bytes = other.Build();
  SkinUI::SetArchiveMemory(std::vector<unsigned char>(bytes.begin(), bytes.end()));
  EXPECT_EQ("", Read(L"MainWnd.xml"));
  EXPECT_EQ("Could not find ziped file", Read(L"Other.xml"));

  auto image = SkinUI::LoadSkinImage(L"IMG\\close.PNG", L"", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(3, image->m_nWidth);
  EXPECT_EQ(0xFF00FF00u, image->m_pixels[0]);
}

TEST_F(SkinResourcesTest, ImageLookupOrder) {
  SkinUI::SetResourceFinderForTest(CountingFinder);
  Write("res/inFolder.png", drawtest::MakeSolidPng(4, 4, 0xFF0000FF));
  Write("outside/abs.png", drawtest::MakeSolidPng(5, 1, 0xFFFF0000));
  const std::wstring absolute = Utf8ToWide(env.Path("outside/abs.png"));

  auto folder = SkinUI::LoadSkinImage(L"inFolder.png", L"", 0);
  ASSERT_TRUE(folder);
  EXPECT_EQ(L"", folder->m_strResType);

  auto typed = SkinUI::LoadSkinImage(L"108", L"PNG", 0xFF00FF00);
  ASSERT_TRUE(typed);
  EXPECT_EQ(L"PNG", typed->m_strResType);
  EXPECT_EQ(0xFF00FF00u, typed->m_dwMask);
  EXPECT_EQ(0xFF123456u, typed->m_pixels[0]);
  EXPECT_FALSE(SkinUI::LoadSkinImage(L"109", L"PNG", 0));

  // With an archive set, the folder is not searched, but a full path still loads.
  drawtest::ZipBuilder zip;
  zip.Add("background.png", drawtest::MakeSolidPng(6, 6, 0xFF00FF00));
  Write("res/skin.zip", zip.Build());
  SkinUI::SetArchiveFile(L"skin.zip");
  auto entry = SkinUI::LoadSkinImage(L"Background.PNG", L"", 0);
  ASSERT_TRUE(entry);
  EXPECT_EQ(6, entry->m_nWidth);
  EXPECT_FALSE(SkinUI::LoadSkinImage(L"inFolder.png", L"", 0));
  auto outside = SkinUI::LoadSkinImage(absolute, L"", 0);
  ASSERT_TRUE(outside);
  EXPECT_EQ(5, outside->m_nWidth);

  Write("res/skin.zip.txt", "not an image");
  EXPECT_FALSE(SkinUI::LoadSkinImage(Utf8ToWide(env.Path("res/skin.zip.txt")), L"", 0)) << "undecodable";
  EXPECT_FALSE(SkinUI::LoadAnimatedImage(L"missing.gif"));
  EXPECT_FALSE(SkinUI::LoadSkinImage(L"", L"", 0));
}

}  // namespace
