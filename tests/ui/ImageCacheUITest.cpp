// A window's image cache: one image per name, failures not cached, resource
// names that must be numbers.
#include "ui/utils/ImageCacheUI.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "DrawTestSupport.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"
#include "ui/utils/SkinResources.h"

namespace {

bool PngFinder(const std::string& type, int id, platform::ResourceBlob* out) {
  static const std::string png = drawtest::MakeSolidPng(2, 2, 0xFFFF00FF);
  if (type != "PNG" || id != 111) return false;
  out->data = reinterpret_cast<const unsigned char*>(png.data());
  out->size = png.size();
  return true;
}

class ImageCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SkinUI::ResetSkinResourcesForTest();
    SkinUI::SetResourceFinderForTest(PngFinder);
    mkdir(env.Path("res").c_str(), 0755);
    SkinUI::SetResourceFolder(platform::Utf8ToWide(env.Path("res")).c_str());
  }
  void TearDown() override {
    SkinUI::ResetSkinResourcesForTest();
    SkinUI::SetResourceFinderForTest(nullptr);
  }
  testsupport::ScratchEnv env;
  SkinUI::CImageCacheUI cache;
};

TEST_F(ImageCacheTest, FirstRequestDecidesTypeAndMask) {
  testsupport::WriteFile(env.Path("res/btn.png"), drawtest::MakeSolidPng(3, 3, 0xFFFF00FF));
  EXPECT_EQ(nullptr, cache.CachedImage(L"btn.png"));
  const SkinUI::SkinImage* first = cache.ImageFor(L"btn.png", L"", 0);
  ASSERT_NE(nullptr, first);
  EXPECT_FALSE(first->m_bAlpha);
  EXPECT_EQ(first, cache.ImageFor(L"btn.png", L"", 0xFFFF00FF)) << "a later mask does not reload";
  EXPECT_EQ(first, cache.CachedImage(L"btn.png"));
  EXPECT_EQ(first, cache.CacheImage(L"btn.png", L"", 0xFFFF00FF)) << "the cached image stays";
  EXPECT_EQ(0u, first->m_dwMask);
  EXPECT_EQ(1u, cache.Count());

  const SkinUI::SkinImage* masked = cache.ImageFor(L"111", L"PNG", 0xFFFF00FF);
  ASSERT_NE(nullptr, masked);
  EXPECT_EQ(L"PNG", masked->m_strResType);
  EXPECT_TRUE(masked->m_bAlpha);
  EXPECT_EQ(0u, masked->m_pixels[0]);
  EXPECT_EQ(nullptr, cache.ImageFor(L"res111", L"PNG", 0)) << "a typed name must be a number";

  cache.ClearImages();
  EXPECT_EQ(0u, cache.Count());
  EXPECT_EQ(nullptr, cache.CachedImage(L"btn.png"));
}

TEST_F(ImageCacheTest, MissingImagesAreRetried) {
  EXPECT_EQ(nullptr, cache.ImageFor(L"late.png", L"", 0));
  EXPECT_EQ(0u, cache.Count());
  testsupport::WriteFile(env.Path("res/late.png"), drawtest::MakeSolidPng(1, 1, 0xFF000000));
  EXPECT_NE(nullptr, cache.ImageFor(L"late.png", L"", 0));
  EXPECT_EQ(1u, cache.Count());
}

}  // namespace
