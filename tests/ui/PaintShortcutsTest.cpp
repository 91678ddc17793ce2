// The drawing shortcuts (kept text layouts and stretched pieces, row copies of opaque
// pieces) against the general path: each case must paint exactly the same pixels.
#include "ui/core/PaintDC.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DrawTestSupport.h"
#include "ui/core/DrawTextFlags.h"
#include "ui/core/RenderEngine.h"
#include "ui/core/SkinFont.h"
#include "ui/utils/AnimatedImage.h"
#include "ui/utils/SkinImage.h"

using SkinUI::BitmapView;
using SkinUI::CPaintDC;
using SkinUI::CSurfaceUI;
using SkinUI::SkinImage;

namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 90;

// Premultiplied pixels with every alpha, so that blending mistakes show.
void FillPattern(CSurfaceUI& surface) {
  uint32_t* p = surface.Pixels();
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      uint32_t a = static_cast<uint32_t>(x * 7 + y * 13) & 0xFF;
      uint32_t r = a * static_cast<uint32_t>(x % 5) / 4, g = a * static_cast<uint32_t>(y % 3) / 2, b = a / 3;
      p[y * (surface.Stride() / 4) + x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
  surface.MarkDirty();
}

std::unique_ptr<SkinImage> RandomImage(int w, int h, bool opaque, unsigned seed) {
  std::mt19937 random(seed);
  auto image = std::make_unique<SkinImage>();
  image->m_nWidth = w;
  image->m_nHeight = h;
  image->m_bAlpha = !opaque;
  for (int i = 0; i < w * h; ++i) {
    uint32_t a = opaque ? 255 : (i % 4 == 0 ? 255 : random() & 0xFF);
    uint32_t r = random() % (a + 1), g = random() % (a + 1), b = random() % (a + 1);
    image->m_pixels.push_back(a << 24 | r << 16 | g << 8 | b);
  }
  return image;
}

struct Outcome {
  int firstDiffer = 0;  // shortcuts on, nothing kept yet
  int keptDiffer = 0;   // shortcuts on again, drawing from what the first run kept
  bool drew = false;    // the general path changed the surface at all
};

// Paints `draw` on a patterned surface through the general path and twice with the
// shortcuts on; counts the pixels that differ from the general result.
Outcome Compare(const std::function<void(CPaintDC&)>& draw) {
  auto paint = [&](bool shortcuts) {
    CPaintDC::SetShortcuts(shortcuts);
    auto surface = std::make_unique<CSurfaceUI>(kWidth, kHeight);
    FillPattern(*surface);
    {
      CPaintDC dc(*surface);
      draw(dc);
    }
    return surface;
  };
  auto differ = [](const CSurfaceUI& a, const CSurfaceUI& b) {
    int n = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) n += a.PixelAt(x, y) != b.PixelAt(x, y) ? 1 : 0;
    }
    return n;
  };
  std::unique_ptr<CSurfaceUI> general = paint(false);
  std::unique_ptr<CSurfaceUI> first = paint(true);
  std::unique_ptr<CSurfaceUI> kept = paint(true);
  CSurfaceUI blank(kWidth, kHeight);
  FillPattern(blank);
  CPaintDC::SetShortcuts(true);
  return Outcome{differ(*first, *general), differ(*kept, *general), differ(blank, *general) > 0};
}

class PaintShortcuts : public ::testing::Test {
 protected:
  void TearDown() override { CPaintDC::SetShortcuts(true); }
};

TEST_F(PaintShortcuts, BitmapsPaintWhatTheGeneralPathPaints) {
  enum Clip { kNone, kRect, kRound, kRoundThenRect, kRectPushedAndPopped };
  struct Piece {
    RECT src, dst;
  };
  struct Case {
    const char* what;
    bool opaque;
    std::vector<Piece> pieces;  // drawn in order with the same settings
    uint8_t fade;
    bool smooth;
    Clip clip;
  } cases[] = {
      {"opaque 1:1", true, {{{0, 0, 40, 30}, {10, 10, 50, 40}}}, 255, false, kNone},
      {"opaque 1:1 part of the image", true, {{{5, 7, 25, 27}, {3, 2, 23, 22}}}, 255, false, kNone},
      {"opaque 1:1 over the top-left edge", true, {{{0, 0, 40, 30}, {-10, -5, 30, 25}}}, 255, false, kNone},
      {"opaque 1:1 over the bottom-right edge", true, {{{0, 0, 40, 30}, {100, 70, 140, 100}}}, 255, false, kNone},
      {"opaque 1:1 source beyond the image", true, {{{30, 20, 60, 50}, {0, 0, 10, 10}}}, 255, false, kNone},
      {"opaque 1:1 in a rectangle clip", true, {{{0, 0, 40, 30}, {10, 10, 50, 40}}}, 255, false, kRect},
      {"opaque 1:1 in a round clip", true, {{{0, 0, 40, 30}, {0, 0, 40, 30}}}, 255, false, kRound},
      {"opaque 1:1 in a rectangle inside a round clip", true, {{{0, 0, 40, 30}, {0, 0, 40, 30}}}, 255, false,
       kRoundThenRect},
      {"opaque 1:1 after a clip was popped", true, {{{0, 0, 40, 30}, {10, 10, 50, 40}}}, 255, false,
       kRectPushedAndPopped},
      {"opaque 1:1 faded", true, {{{0, 0, 40, 30}, {10, 10, 50, 40}}}, 128, false, kNone},
      {"alpha 1:1", false, {{{0, 0, 40, 30}, {10, 10, 50, 40}}}, 255, false, kNone},
      {"alpha stretched", false, {{{0, 0, 40, 30}, {7, 9, 74, 32}}}, 255, true, kNone},
      {"alpha stretched and faded", false, {{{0, 0, 40, 30}, {7, 9, 74, 32}}}, 100, true, kNone},
      {"alpha stretched in a rectangle clip", false, {{{0, 0, 40, 30}, {7, 9, 74, 32}}}, 255, true, kRect},
      {"alpha stretched, cut by a round clip", false, {{{0, 0, 40, 30}, {0, 0, 110, 80}}}, 255, true, kRound},
      {"alpha stretched inside a round clip", false, {{{0, 0, 40, 30}, {0, 0, 40, 30}}}, 255, true, kRound},
      {"alpha stretched into a round clip's corners", false, {{{0, 0, 20, 10}, {0, 0, 40, 30}}}, 255, true, kRound},
      {"faded, into a round clip's corners", false, {{{0, 0, 20, 10}, {0, 0, 40, 30}}}, 90, true, kRound},
      {"alpha stretched over the edges", false, {{{0, 0, 40, 30}, {-13, 60, 131, 101}}}, 255, true, kNone},
      {"alpha stretched without smoothing", false, {{{0, 0, 40, 30}, {7, 9, 74, 32}}}, 255, false, kNone},
      {"opaque enlarged", true, {{{3, 3, 13, 9}, {0, 0, 97, 71}}}, 255, true, kNone},
      {"one piece at two places", false, {{{0, 0, 40, 30}, {2, 3, 29, 19}}, {{0, 0, 40, 30}, {61, 47, 88, 63}}},
       255, true, kNone},
      {"one piece over the edge twice, the same part visible", false,
       {{{0, 0, 40, 30}, {-20, 10, 40, 40}}, {{0, 0, 40, 30}, {-30, 10, 40, 40}}}, 255, true, kNone},
      {"two parts at one place", false, {{{0, 0, 20, 30}, {5, 5, 60, 45}}, {{20, 0, 40, 30}, {5, 5, 60, 45}}}, 255,
       true, kNone},
      {"one part at two sizes", false, {{{0, 0, 40, 30}, {5, 5, 60, 45}}, {{0, 0, 40, 30}, {5, 5, 61, 44}}}, 255,
       true, kNone},
  };
  for (const Case& c : cases) {
    std::unique_ptr<SkinImage> image = RandomImage(40, 30, c.opaque, 7);
    const BitmapView view = image->View();
    Outcome o = Compare([&](CPaintDC& dc) {
      int depth = 0;
      switch (c.clip) {
        case kNone: break;
        case kRect: depth = dc.PushClipRect(RECT{20, 15, 35, 30}); break;
        case kRound: depth = dc.PushClipRoundRect(RECT{0, 0, kWidth, kHeight}, RECT{0, 0, 40, 30}, 20, 16); break;
        case kRoundThenRect:
          depth = dc.PushClipRoundRect(RECT{0, 0, kWidth, kHeight}, RECT{0, 0, 40, 30}, 20, 16);
          dc.PushClipRect(RECT{0, 0, 30, 30});
          break;
        case kRectPushedAndPopped:
          dc.PopClipTo(dc.PushClipRect(RECT{20, 15, 35, 30}));
          break;
      }
      for (const Piece& p : c.pieces) dc.DrawBitmap(view, p.src, p.dst, c.fade, c.smooth);
      if (depth > 0) dc.PopClipTo(depth);
    });
    EXPECT_TRUE(o.drew) << c.what;
    EXPECT_EQ(0, o.firstDiffer) << c.what;
    EXPECT_EQ(0, o.keptDiffer) << c.what;
  }
}

// The nine-grid of the render engine, with tiles, corners and holes, stretches
// many pieces of one image.
TEST_F(PaintShortcuts, NineGridPaintsWhatTheGeneralPathPaints) {
  struct Case {
    const char* what;
    RECT corner;
    bool hole, xtiled, ytiled;
  } cases[] = {
      {"stretched", {0, 0, 0, 0}, false, false, false},
      {"corners", {6, 5, 7, 4}, false, false, false},
      {"corners and a hole", {6, 5, 7, 4}, true, false, false},
      {"tiled", {6, 5, 7, 4}, false, true, true},
      {"columns", {3, 3, 3, 3}, false, true, false},
      {"rows", {3, 3, 3, 3}, false, false, true},
  };
  for (bool opaque : {true, false}) {
    std::unique_ptr<SkinImage> image = RandomImage(40, 30, opaque, 11);
    for (const Case& c : cases) {
      Outcome o = Compare([&](CPaintDC& dc) {
        const RECT item{4, 6, 113, 85};
        SkinUI::CRenderEngine::DrawSkinImage(dc, *image, item, RECT{0, 0, kWidth, kHeight}, item, RECT{},
                                             c.corner, 255, c.hole, c.xtiled, c.ytiled);
      });
      EXPECT_TRUE(o.drew) << c.what;
      EXPECT_EQ(0, o.firstDiffer) << c.what << (opaque ? " opaque" : " alpha");
      EXPECT_EQ(0, o.keptDiffer) << c.what << (opaque ? " opaque" : " alpha");
    }
  }
}

// An image whose pixels change takes a new id; the kept piece of the old pixels
// must not come back.
TEST_F(PaintShortcuts, ChangedImageWithNewIdIsStretchedAgain) {
  std::unique_ptr<SkinImage> image = RandomImage(40, 30, false, 3);
  auto draw = [&](CPaintDC& dc) { dc.DrawBitmap(image->View(), RECT{0, 0, 40, 30}, RECT{5, 5, 70, 50}, 255, true); };
  CSurfaceUI before(kWidth, kHeight);
  {
    CPaintDC dc(before);
    draw(dc);  // keeps the piece
  }
  image->m_pixels = RandomImage(40, 30, false, 4)->m_pixels;  // same storage, new pixels
  image->m_uCacheId = SkinUI::NewBitmapCacheId();
  CSurfaceUI after(kWidth, kHeight);
  FillPattern(after);
  {
    CPaintDC dc(after);
    draw(dc);
  }
  CPaintDC::SetShortcuts(false);
  CSurfaceUI general(kWidth, kHeight);
  FillPattern(general);
  {
    CPaintDC dc(general);
    draw(dc);
  }
  int differ = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) differ += after.PixelAt(x, y) != general.PixelAt(x, y) ? 1 : 0;
  }
  EXPECT_EQ(0, differ);
}

// Animation frames: opaque ones are copied when drawn 1:1, others blended.
TEST_F(PaintShortcuts, AnimationFramesPaintWhatTheGeneralPathPaints) {
  std::vector<uint32_t> opaque, translucent;
  for (int i = 0; i < 40 * 30; ++i) {
    opaque.push_back(0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8));
    translucent.push_back((static_cast<uint32_t>(i * 37) & 0xFF) << 24 | 0x3080C0);
  }
  for (const auto* pixels : {&opaque, &translucent}) {
    std::string png = drawtest::MakePng(40, 30, *pixels);
    std::unique_ptr<SkinUI::CAnimatedImage> image = SkinUI::CAnimatedImage::Decode(png.data(), png.size());
    ASSERT_NE(nullptr, image);
    for (const RECT& rect : {RECT{10, 20, 50, 50}, RECT{0, 0, 97, 80}}) {
      Outcome o = Compare([&](CPaintDC& dc) { image->DrawFrame(dc, 0, rect); });
      EXPECT_TRUE(o.drew);
      EXPECT_EQ(0, o.firstDiffer) << (pixels == &opaque ? "opaque " : "translucent ") << rect.right;
      EXPECT_EQ(0, o.keptDiffer);
    }
  }
}

struct TextCase {
  const char* what;
  std::wstring text;
  int font;  // index into the fonts below; -1 = none
  unsigned format;
  RECT rect;
};

// Texts that share some of what a layout depends on, drawn one after the other, so a
// layout kept for one of them must not be taken for another.
const std::vector<TextCase>& TextCases() {
  static const std::vector<TextCase> cases = {
      {"centred", L"立即体验 Setup", 0, DT_SINGLELINE | DT_CENTER | DT_VCENTER, {0, 0, 120, 30}},
      {"same text right-aligned", L"立即体验 Setup", 0, DT_SINGLELINE | DT_RIGHT | DT_VCENTER, {0, 0, 120, 30}},
      {"same text, bigger font", L"立即体验 Setup", 1, DT_SINGLELINE | DT_CENTER | DT_VCENTER, {0, 30, 120, 60}},
      {"same text, bold", L"立即体验 Setup", 2, DT_SINGLELINE | DT_CENTER, {0, 60, 120, 90}},
      {"underlined", L"Underlined words", 3, DT_SINGLELINE, {0, 0, 120, 20}},
      {"no font", L"Underlined words", -1, DT_SINGLELINE, {0, 20, 120, 40}},
      {"wrapped wide", L"words that wrap inside a box of some width", 0, DT_WORDBREAK, {0, 0, 120, 90}},
      {"wrapped narrow", L"words that wrap inside a box of some width", 0, DT_WORDBREAK, {0, 0, 70, 90}},
      {"ellipsized", L"words that wrap inside a box of some width", 0, DT_SINGLELINE | DT_END_ELLIPSIS,
       {0, 40, 90, 60}},
      {"line breaks kept", L"two\nlines & more", 0, 0, {0, 0, 120, 90}},
      {"line breaks as blanks", L"two\nlines & more", 0, DT_SINGLELINE, {0, 50, 120, 70}},
      {"prefix read", L"two\nlines & more", 0, DT_SINGLELINE | DT_NOPREFIX, {0, 70, 120, 90}},
  };
  return cases;
}

class TextShortcuts : public PaintShortcuts {
 protected:
  TextShortcuts() {
    fonts.push_back(std::make_unique<SkinUI::SkinFont>(L"微软雅黑", 14));
    fonts.push_back(std::make_unique<SkinUI::SkinFont>(L"微软雅黑", 18));
    fonts.push_back(std::make_unique<SkinUI::SkinFont>(L"微软雅黑", 14, true));
    fonts.push_back(std::make_unique<SkinUI::SkinFont>(L"微软雅黑", 14, false, true));
  }
  const SkinUI::SkinFont* Font(int index) const { return index < 0 ? nullptr : fonts[index].get(); }
  std::vector<std::unique_ptr<SkinUI::SkinFont>> fonts;
};

TEST_F(TextShortcuts, KeptLayoutsPaintWhatFreshOnesPaint) {
  for (const TextCase& c : TextCases()) {
    Outcome o = Compare([&](CPaintDC& dc) { dc.DrawText(c.rect, c.text, 0x204080, Font(c.font), c.format); });
    EXPECT_TRUE(o.drew) << c.what;
    EXPECT_EQ(0, o.firstDiffer) << c.what;
    EXPECT_EQ(0, o.keptDiffer) << c.what;
  }
  // All of them on one surface: each later text finds the earlier ones kept.
  Outcome all = Compare([&](CPaintDC& dc) {
    for (const TextCase& c : TextCases()) dc.DrawText(c.rect, c.text, 0x204080, Font(c.font), c.format);
  });
  EXPECT_EQ(0, all.firstDiffer);
  EXPECT_EQ(0, all.keptDiffer);
}

// Far more texts than are kept: the oldest layouts go, and the texts still paint
// what the general path paints.
TEST_F(TextShortcuts, MoreTextsThanKept) {
  Outcome o = Compare([&](CPaintDC& dc) {
    for (int i = 0; i < 600; ++i) {
      std::wstring text = L"正在安装 " + std::to_wstring(i) + L"% of a rather long label that costs space";
      dc.DrawText(RECT{0, (i % 9) * 10, 120, (i % 9) * 10 + 12}, text, 0x102030 * (i % 5), Font(i % 4),
                  DT_SINGLELINE | DT_END_ELLIPSIS);
    }
  });
  EXPECT_TRUE(o.drew);
  EXPECT_EQ(0, o.firstDiffer);
  EXPECT_EQ(0, o.keptDiffer);
}

}  // namespace
