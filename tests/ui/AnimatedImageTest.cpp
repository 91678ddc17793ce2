// Animated images: every GIF frame with its delay, still images as one frame,
// and a frame drawn stretched into a rectangle.
#include "ui/utils/AnimatedImage.h"

#include <gtest/gtest.h>

#include "DrawTestSupport.h"
#include "platform/Text.h"
#include "support/ScratchEnv.h"
#include "ui/core/PaintDC.h"
#include "ui/utils/SkinResources.h"

namespace {

TEST(AnimatedImage, FramesAndDelays) {
  testsupport::ScratchEnv env;
  std::string gif = drawtest::MakeGif(env.Root(), 4, 3, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF}, {10, 25, 0});
  if (gif.empty()) GTEST_SKIP() << "ImageMagick not installed";
  auto image = SkinUI::CAnimatedImage::Decode(gif.data(), gif.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(3, image->FrameCount());
  EXPECT_EQ(4, image->Width());
  EXPECT_EQ(3, image->Height());
  EXPECT_TRUE(image->HasDelays());
  EXPECT_EQ((std::vector<int>{10, 25, 0}), image->Delays());
  EXPECT_EQ(25, image->DelayOf(1));
  EXPECT_EQ(0, image->DelayOf(9));
  const uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
  for (int f = 0; f < 3; ++f) {
    ASSERT_NE(nullptr, image->FramePixels(f));
    EXPECT_EQ(colours[f], image->FramePixels(f)[0]) << f;
    EXPECT_EQ(colours[f], image->FramePixels(f)[11]) << f;
  }
  EXPECT_EQ(nullptr, image->FramePixels(3));

  // Drawn stretched: frame 1 into 20 x 10 at (5, 5).
  SkinUI::CSurfaceUI surface(40, 30);
  {
    SkinUI::CPaintDC dc(surface);
    image->DrawFrame(dc, 1, RECT{5, 5, 25, 15});
  }
  EXPECT_EQ(0xFF00FF00u, surface.PixelAt(5, 5));
  EXPECT_EQ(0xFF00FF00u, surface.PixelAt(24, 14));
  EXPECT_EQ(0u, surface.PixelAt(25, 14));
  EXPECT_EQ(0u, surface.PixelAt(4, 5));

  // Through the resources, from the folder.
  SkinUI::ResetSkinResourcesForTest();
  testsupport::WriteFile(env.Path("res/environment.gif"), gif);
  SkinUI::SetResourceFolder(platform::Utf8ToWide(env.Path("res")).c_str());
  auto loaded = SkinUI::LoadAnimatedImage(L"environment.gif");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(3, loaded->FrameCount());
  EXPECT_FALSE(SkinUI::LoadAnimatedImage(L"missing.gif"));
  SkinUI::ResetSkinResourcesForTest();
}

TEST(AnimatedImage, StillImageIsOneFrameWithoutDelays) {
  std::string png = drawtest::MakeSolidPng(2, 2, 0x80FFFFFF);
  auto image = SkinUI::CAnimatedImage::Decode(png.data(), png.size());
  ASSERT_TRUE(image);
  EXPECT_EQ(1, image->FrameCount());
  EXPECT_FALSE(image->HasDelays());
  EXPECT_EQ(0x80808080u, image->FramePixels(0)[0]) << "premultiplied";
  EXPECT_FALSE(SkinUI::CAnimatedImage::Decode("GIF89a garbage", 14));
}

}  // namespace
