// Inputs that once broke the animated image loader, kept so the suite guards them.
#include <gtest/gtest.h>

#include <string>

#include "ui/utils/AnimatedImage.h"
#include "support/ScratchEnv.h"

namespace {

std::string ReadInput(const char* name) { return testsupport::ReadRegressionInput("ui", name); }

// 1200 x 1200 canvas, four 1-pixel frames: red at (0,0) kept, green at the last
// pixel with "restore to previous", blue over it, red again. The decoder read the
// third frame's base from outside its buffer (a segmentation fault).
TEST(AnimatedImageFuzzRegression, RestoreToPreviousFromTheThirdFrameOn) {
  const std::string gif = ReadInput("restore_previous.gif");
  ASSERT_EQ(gif.size(), 118u);
  auto image = SkinUI::CAnimatedImage::Decode(gif.data(), gif.size());
  ASSERT_TRUE(image);
  ASSERT_EQ(image->FrameCount(), 4);
  ASSERT_EQ(image->Width(), 1200);
  const size_t last = 1200u * 1200u - 1;
  EXPECT_EQ(image->FramePixels(1)[0], 0xFFFF0000u) << "frame 1 kept";
  EXPECT_EQ(image->FramePixels(1)[last], 0xFF00FF00u);
  EXPECT_EQ(image->FramePixels(2)[last], 0xFF0000FFu);
  EXPECT_EQ(image->FramePixels(2)[0], 0xFFFF0000u);
  EXPECT_EQ(image->FramePixels(2)[1], 0u) << "untouched pixels stay transparent";
  EXPECT_EQ(image->DelayOf(3), 10);
}

// Frames are decoded whole: a tiny file naming a huge canvas, or very many
// frames of a large one, is refused instead of taking gigabytes.
TEST(AnimatedImageFuzzRegression, HugeDecodedSizeIsRefused) {
  auto makeGif = [](int w, int h, int frames) {
    std::string g = "GIF89a";
    g += {static_cast<char>(w & 255), static_cast<char>(w >> 8), static_cast<char>(h & 255),
          static_cast<char>(h >> 8), static_cast<char>(0x80), 0, 0};
    g += std::string("\0\0\0\xFF\xFF\xFF", 6);  // two-colour global table
    for (int i = 0; i < frames; ++i) {
      // 1 x 1 frame, code size 2: clear, index 0, end.
      g += std::string("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0", 15);
    }
    return g + ";";
  };
  const struct {
    int w, h, frames;
    bool decoded;
  } cases[] = {{9000, 9000, 1, false}, {4000, 4000, 5, false}, {4000, 4000, 4, true}, {2, 2, 3, true}};
  for (const auto& c : cases) {
    const std::string gif = makeGif(c.w, c.h, c.frames);
    auto image = SkinUI::CAnimatedImage::Decode(gif.data(), gif.size());
    EXPECT_EQ(static_cast<bool>(image), c.decoded) << c.w << "x" << c.h << " x" << c.frames;
    if (image) {
      EXPECT_EQ(image->FrameCount(), c.frames);
    }
  }
}

}  // namespace
