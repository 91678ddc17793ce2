// Skin image decoding: premultiplied pixels, the alpha flag and the mask colour.
#include "ui/utils/SkinImage.h"

#include <gtest/gtest.h>

#include "DrawTestSupport.h"

namespace {

TEST(SkinImage, PremultipliesAndFlagsAlpha) {
  struct Case {
    const char* what;
    std::vector<uint32_t> straight;
    uint32_t mask;
    std::vector<uint32_t> expected;
    bool alpha;
  } cases[] = {
      {"all opaque", {0xFF102030, 0xFFFFFFFF, 0xFF000000, 0xFFFF00FF}, 0,
       {0xFF102030, 0xFFFFFFFF, 0xFF000000, 0xFFFF00FF}, false},
      {"one half-transparent pixel", {0xFF102030, 0x80FF8040, 0xFF000000, 0xFF000000}, 0,
       // 255*128/255, 128*128/255, 64*128/255 with integer division
       {0xFF102030, 0x80804020, 0xFF000000, 0xFF000000}, true},
      {"fully transparent keeps no colour", {0x00FFFFFF, 0xFF000000, 0xFF000000, 0xFF000000}, 0,
       {0x00000000, 0xFF000000, 0xFF000000, 0xFF000000}, true},
      {"magenta mask", {0xFFFF00FF, 0xFF102030, 0xFFFF00FF, 0xFFFE00FF}, 0xFFFF00FF,
       {0x00000000, 0xFF102030, 0x00000000, 0xFFFE00FF}, true},
      {"mask colour absent", {0xFF102030, 0xFF102030, 0xFF102030, 0xFF102030}, 0xFFFF00FF,
       {0xFF102030, 0xFF102030, 0xFF102030, 0xFF102030}, false},
  };
  for (const Case& c : cases) {
    std::string png = drawtest::MakePng(2, 2, c.straight);
    auto image = SkinUI::DecodeSkinImage(png.data(), png.size(), c.mask);
    ASSERT_TRUE(image) << c.what;
    EXPECT_EQ(2, image->m_nWidth);
    EXPECT_EQ(2, image->m_nHeight);
    EXPECT_EQ(c.expected, image->m_pixels) << c.what;
    EXPECT_EQ(c.alpha, image->m_bAlpha) << c.what;
    EXPECT_EQ(c.mask, image->m_dwMask) << c.what;
  }
}

TEST(SkinImage, RowsAreTopDown) {
  std::string png = drawtest::MakePng(1, 3, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF});
  auto image = SkinUI::DecodeSkinImage(png.data(), png.size(), 0);
  ASSERT_TRUE(image);
  EXPECT_EQ((std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF}), image->m_pixels);
  EXPECT_EQ(4, image->Stride());
}

TEST(SkinImage, UndecodableBytes) {
  const char junk[] = "\x89PNG\r\n\x1a\n truncated";
  EXPECT_FALSE(SkinUI::DecodeSkinImage(junk, sizeof(junk), 0));
  EXPECT_FALSE(SkinUI::DecodeSkinImage(nullptr, 10, 0));
  EXPECT_FALSE(SkinUI::DecodeSkinImage(junk, 0, 0));
}

}  // namespace
