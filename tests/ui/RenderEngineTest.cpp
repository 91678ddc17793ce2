// Skin drawing: the descriptor language, the nine-grid on real pixels, colour
// fills, frames, clips and text placement.
#include "ui/core/RenderEngine.h"

#include <gtest/gtest.h>

#include "DrawTestSupport.h"
#include "platform/Text.h"
#include "ui/core/SkinFont.h"
#include "ui/utils/SkinImage.h"

using SkinUI::CPaintDC;
using SkinUI::CRenderEngine;
using SkinUI::CSurfaceUI;
using SkinUI::ImageDrawSpec;
using namespace drawtest;

namespace {

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(ImageDrawSpec, DescriptorsAndModifiers) {
  struct Case {
    const wchar_t* descriptor;
    const wchar_t* modifier;
    RECT item;
    const wchar_t* image;
    RECT dest;
    std::vector<std::wstring> pendingDraws;  // images drawn before the final one
    int count;
  } cases[] = {
      {L"close_n.png", L"", {0, 0, 30, 20}, L"close_n.png", {0, 0, 30, 20}, {}, 0},
      {L"file='background.png' dest='0,0,600,422'", L"", {0, 0, 600, 422}, L"background.png", {0, 0, 600, 422}, {}, 1},
      {L"file='a.png' dest='10,10,2000,2000'", L"", {50, 50, 150, 150}, L"a.png", {60, 60, 150, 150}, {}, 1},
      {L"file='expand.png' dest='73,8,81,14'", L"", {100, 200, 300, 230}, L"expand.png", {173, 208, 181, 214}, {}, 1},
      {L"bar.png", L"dest='0,0,300,5'", {10, 20, 410, 40}, L"bar.png", {10, 20, 310, 25}, {}, 0},
      {L"file='a.png' file='b.png'", L"", {0, 0, 9, 9}, L"b.png", {0, 0, 9, 9}, {L"a.png"}, 2},
      {L"file='a.png' dest='1,1,5,5' file='b.png'", L"dest='2,2,4,4'", {0, 0, 9, 9}, L"b.png", {2, 2, 4, 4},
       {L"a.png"}, 2},
      {L"file='a.png", L"", {0, 0, 9, 9}, L"file='a.png", {0, 0, 9, 9}, {}, 0},
      {L"file='a.png' dest='1,1,5,5'x file='b.png'", L"", {0, 0, 9, 9}, L"a.png", {1, 1, 5, 5}, {}, 1},
      {L"  file = 'a.png'   dest = '1,2,3,4'  ", L"", {0, 0, 9, 9}, L"a.png", {1, 2, 3, 4}, {}, 1},
      {L"file='' dest='0,0,1,1'", L"", {0, 0, 9, 9}, L"file='' dest='0,0,1,1'", {0, 0, 1, 1}, {}, 0},
      {L"res='108' restype='PNG'", L"", {0, 0, 9, 9}, L"108", {0, 0, 9, 9}, {}, 1},
      {L"file='a.png' restype='PNG'", L"", {0, 0, 9, 9}, L"a.png", {0, 0, 9, 9}, {L"a.png"}, 2},
      {L"file='a.png' unknown='1' dest='1,1,2,2'", L"", {0, 0, 9, 9}, L"a.png", {1, 1, 2, 2}, {}, 1},
  };
  for (const Case& c : cases) {
    std::vector<std::wstring> drawn;
    auto record = [&](const ImageDrawSpec& s) { drawn.push_back(s.m_strImage); };
    ImageDrawSpec drawSpec(c.descriptor, c.item);
    drawSpec.Parse(c.descriptor, c.item, record);
    drawSpec.Parse(c.modifier, c.item, record);
    std::string what = platform::WideToUtf8(c.descriptor);
    EXPECT_EQ(c.image, drawSpec.m_strImage) << what;
    EXPECT_TRUE(c.dest == drawSpec.m_rcDest) << what << ": " << Str(drawSpec.m_rcDest);
    EXPECT_EQ(c.pendingDraws, drawn) << what;
    EXPECT_EQ(c.count, drawSpec.m_nImageCount) << what;
  }
}

TEST(ImageDrawSpec, OtherKeys) {
  RECT item{0, 0, 50, 50};
  std::wstring d = L"file='a.png' source='1,2,3,4' corner='5,6,7,8' mask='#FFFF00FF' fade='128' hole='true' "
                   L"xtiled='true' ytiled='false' restype='PNG'";
  ImageDrawSpec drawSpec(d, item);
  drawSpec.Parse(d, item, nullptr);
  EXPECT_TRUE((RECT{1, 2, 3, 4}) == drawSpec.m_rcSource);
  EXPECT_TRUE((RECT{5, 6, 7, 8}) == drawSpec.m_rcCorner);
  EXPECT_EQ(0xFFFF00FFu, drawSpec.m_dwMask);
  EXPECT_EQ(128, drawSpec.m_uFade);
  EXPECT_TRUE(drawSpec.m_bHole);
  EXPECT_TRUE(drawSpec.m_bTiledX);
  EXPECT_FALSE(drawSpec.m_bTiledY);
  EXPECT_EQ(L"PNG", drawSpec.m_strResType);

  ImageDrawSpec other(L"", item);
  other.Parse(L"mask='0x00FF0000' fade='999' hole='1'", item, nullptr);
  EXPECT_EQ(0x00FF0000u, other.m_dwMask);
  EXPECT_EQ(255, other.m_uFade);
  EXPECT_FALSE(other.m_bHole) << "only \"true\" is true";

  EXPECT_TRUE((RECT{1, 2, 3, 4}) == SkinUI::ParseRectValue(L"1,2,3,4"));
  EXPECT_TRUE((RECT{1, -2, 0, 0}) == SkinUI::ParseRectValue(L"1 -2"));
  EXPECT_TRUE((RECT{7, 0, 0, 0}) == SkinUI::ParseRectValue(L"7"));
}

// An image whose every pixel is distinct: 0xFF, x, y, 0x80.
std::unique_ptr<SkinUI::SkinImage> CoordinateImage(int w, int h) {
  auto image = std::make_unique<SkinUI::SkinImage>();
  image->m_nWidth = w;
  image->m_nHeight = h;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image->m_pixels.push_back(0xFF000080u | (x << 16) | (y << 8));
  }
  return image;
}

class PaintTest : public ::testing::Test {
 protected:
  PaintTest() : surface(200, 120) {}
  bool Draw(const std::wstring& descriptor, const RECT& item, const std::wstring& modifier = L"") {
    CPaintDC dc(surface);
    return CRenderEngine::DrawImage(&dc, &resources, item, RECT{0, 0, 200, 120}, descriptor, modifier);
  }
  uint32_t At(int x, int y) const { return surface.PixelAt(x, y); }
  CSurfaceUI surface;
  FakeResources resources;
};

TEST_F(PaintTest, MissingPiecesAndImages) {
  CPaintDC dc(surface);
  EXPECT_FALSE(CRenderEngine::DrawImage(nullptr, &resources, RECT{0, 0, 9, 9}, RECT{0, 0, 9, 9}, L"a.png"));
  EXPECT_FALSE(CRenderEngine::DrawImage(&dc, nullptr, RECT{0, 0, 9, 9}, RECT{0, 0, 9, 9}, L"a.png"));
  EXPECT_TRUE(CRenderEngine::DrawImage(&dc, &resources, RECT{0, 0, 9, 9}, RECT{0, 0, 9, 9}, L"a.png"));
  EXPECT_TRUE(CRenderEngine::DrawImage(&dc, &resources, RECT{0, 0, 9, 9}, RECT{0, 0, 9, 9}, L"a.png"));
  EXPECT_EQ(2, resources.Lookups(L"a.png")) << "every paint asks again";
  EXPECT_EQ(0u, At(4, 4));
}

TEST_F(PaintTest, DestinationIsClippedToTheControl) {
  resources.AddImage(L"red.png", SolidImage(100, 100, 0xFFFF0000));
  EXPECT_TRUE(Draw(L"file='red.png' dest='10,10,2000,2000'", RECT{50, 20, 150, 100}));
  EXPECT_EQ(0xFFFF0000u, At(60, 30));
  EXPECT_EQ(0xFFFF0000u, At(149, 99));
  EXPECT_EQ(0u, At(59, 30));
  EXPECT_EQ(0u, At(60, 29));
  EXPECT_EQ(0u, At(150, 99));
  EXPECT_EQ(0u, At(149, 100));
}

TEST_F(PaintTest, OneToOneAndStretched) {
  resources.AddImage(L"expand.png", CoordinateImage(8, 6));
  Draw(L"file='expand.png' dest='73,8,81,14'", RECT{10, 10, 110, 40});
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(0xFF000080u | (x << 16) | (y << 8), At(83 + x, 18 + y)) << x << "," << y;
  }
  EXPECT_EQ(0u, At(91, 18));

  // A bare name fills the control; a modifier picks the left part.
  resources.AddImage(L"green.png", SolidImage(4, 4, 0xFF00FF00));
  surface.Clear();
  Draw(L"green.png", RECT{0, 0, 40, 10});
  EXPECT_EQ(0xFF00FF00u, At(0, 0));
  EXPECT_EQ(0xFF00FF00u, At(39, 9));
  EXPECT_EQ(0u, At(40, 9));
  surface.Clear();
  Draw(L"green.png", RECT{0, 0, 400, 10}, L"dest='0,0,30,5'");
  EXPECT_EQ(0xFF00FF00u, At(29, 4));
  EXPECT_EQ(0u, At(30, 4));
  EXPECT_EQ(0u, At(29, 5));
}

TEST_F(PaintTest, NineGridKeepsCornersAndHoleKeepsTheMiddle) {
  resources.AddImage(L"frame.png", CoordinateImage(10, 10));
  const RECT item{20, 20, 120, 80};  // 100 x 60 from a 10 x 10 image
  Draw(L"file='frame.png' corner='3,3,3,3'", item);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(0xFF000080u | (x << 16) | (y << 8), At(20 + x, 20 + y)) << "top-left " << x << "," << y;
      EXPECT_EQ(0xFF000080u | ((7 + x) << 16) | ((7 + y) << 8), At(117 + x, 77 + y)) << "bottom-right";
    }
  }
  // The top edge is stretched horizontally only: its rows keep their source row.
  EXPECT_EQ(1, G(At(70, 21)));
  EXPECT_EQ(0xFF, A(At(70, 50)));

  surface.Clear(0xFF0000FFu);
  Draw(L"file='frame.png' corner='3,3,3,3' hole='true'", item);
  EXPECT_EQ(0xFF0000FFu, At(70, 50)) << "the middle stays untouched";
  EXPECT_EQ(0xFF0000FFu, At(23, 23));
  EXPECT_EQ(0xFF000080u, At(20, 20));
  EXPECT_NE(0xFF0000FFu, At(70, 21)) << "edges are drawn";
}

TEST_F(PaintTest, TiledMiddle) {
  resources.AddImage(L"tile.png", CoordinateImage(4, 4));  // middle: 2 x 2 at (1,1)
  Draw(L"file='tile.png' corner='1,1,1,1' xtiled='true' ytiled='true'", RECT{0, 0, 9, 8});
  // Middle spans x 1..7 (7 wide) and y 1..6: tiles of 2 repeat from the top-left.
  for (int x = 1; x < 8; ++x) {
    EXPECT_EQ(1 + (x - 1) % 2, R(At(x, 1))) << x;
    EXPECT_EQ(1 + (x - 1) % 2, R(At(x, 6))) << x;
  }
  for (int y = 1; y < 7; ++y) EXPECT_EQ(1 + (y - 1) % 2, G(At(4, y))) << y;
}

TEST_F(PaintTest, FadeAndAlphaImages) {
  resources.AddImage(L"white.png", SolidImage(10, 10, 0xFFFFFFFF));
  Draw(L"file='white.png' fade='128'", RECT{0, 0, 10, 10});
  EXPECT_NEAR(128, A(At(5, 5)), 1);
  EXPECT_NEAR(128, R(At(5, 5)), 1);

  resources.AddImage(L"half.png", SolidImage(10, 10, 0x80FF0000));
  surface.Clear(0xFF000000u);
  Draw(L"half.png", RECT{0, 0, 20, 20});
  EXPECT_EQ(0xFF, A(At(5, 5)));
  EXPECT_NEAR(128, R(At(5, 5)), 1);
  EXPECT_EQ(0, B(At(5, 5)));
}

TEST_F(PaintTest, ColoursGradientsAndFrames) {
  CPaintDC dc(surface);
  CRenderEngine::DrawColor(&dc, RECT{0, 0, 50, 50}, 0x001C1C1E);
  EXPECT_EQ(0u, At(10, 10)) << "alpha 0 draws nothing";
  CRenderEngine::DrawColor(&dc, RECT{0, 0, 50, 50}, 0xFF1C1C1E);
  EXPECT_EQ(0xFF1C1C1Eu, At(10, 10));
  EXPECT_EQ(0xFF1C1C1Eu, At(49, 49));
  EXPECT_EQ(0u, At(50, 49));
  CRenderEngine::DrawColor(&dc, RECT{0, 0, 10, 10}, 0x80FFFFFF);
  EXPECT_NEAR(0x1C + (255 - 0x1C) * 128 / 255, R(At(5, 5)), 2);

  CRenderEngine::DrawGradient(&dc, RECT{100, 0, 110, 100}, 0xFFFF0000, 0xFF0000FF, 16);
  EXPECT_GT(R(At(105, 0)), 240);
  EXPECT_GT(B(At(105, 99)), 240);
  EXPECT_NEAR(R(At(105, 50)), B(At(105, 50)), 10);
  CRenderEngine::DrawGradient(&dc, RECT{120, 0, 130, 10}, 0xFF00FF00, 0x0000FF00, 16);
  EXPECT_NEAR(127, A(At(125, 5)), 1) << "the mean alpha";
  CRenderEngine::DrawGradient(&dc, RECT{140, 0, 150, 10}, 0x00FF0000, 0x000000FF, 16);
  EXPECT_EQ(0u, At(145, 5));

  CRenderEngine::DrawRect(&dc, RECT{60, 60, 80, 80}, 2, 0x0000FF00);  // alpha of the colour ignored
  EXPECT_EQ(0xFF00FF00u, At(60, 60));
  EXPECT_EQ(0xFF00FF00u, At(61, 70));
  EXPECT_EQ(0xFF00FF00u, At(79, 79));
  EXPECT_EQ(0u, At(62, 62));
  EXPECT_EQ(0u, At(80, 80));

  CRenderEngine::DrawLine(&dc, RECT{60, 100, 90, 100}, 1, 0xFFFF0000);
  EXPECT_EQ(0xFFFF0000u, At(70, 100));
  EXPECT_EQ(0u, At(70, 101));
  EXPECT_EQ(0u, At(70, 99));

  CRenderEngine::DrawRoundRect(&dc, RECT{150, 60, 190, 100}, 1, 10, 10, 0xFFFFFFFF);
  EXPECT_GT(A(At(170, 60)), 128) << "straight edge";
  EXPECT_EQ(0u, At(150, 60)) << "rounded corner";
  EXPECT_EQ(0u, At(170, 80)) << "not filled";
}

TEST_F(PaintTest, ClipsRestoreWhenReleased) {
  CPaintDC dc(surface);
  {
    SkinUI::CRenderClip outer = CRenderEngine::ClipTo(&dc, RECT{10, 10, 100, 100});
    {
      SkinUI::CRenderClip inner = CRenderEngine::ClipTo(&dc, RECT{50, 50, 150, 150});
      EXPECT_EQ(2, dc.ClipDepth());
      CRenderEngine::DrawColor(&dc, RECT{0, 0, 200, 120}, 0xFFFF0000);
    }
    EXPECT_EQ(1, dc.ClipDepth());
    CRenderEngine::DrawColor(&dc, RECT{0, 0, 200, 40}, 0xFF00FF00);
  }
  EXPECT_EQ(0, dc.ClipDepth());
  CRenderEngine::DrawColor(&dc, RECT{190, 110, 200, 120}, 0xFF0000FF);
  {
    SkinUI::CRenderClip round = CRenderEngine::ClipToRound(&dc, RECT{0, 0, 200, 120}, RECT{150, 0, 190, 40}, 20, 20);
    CRenderEngine::DrawColor(&dc, RECT{0, 0, 200, 120}, 0xFFFFFFFF);
  }
  EXPECT_EQ(0xFFFF0000u, At(60, 60));
  EXPECT_EQ(0xFFFF0000u, At(99, 99));
  EXPECT_EQ(0u, At(100, 60)) << "outside the outer clip";
  EXPECT_EQ(0u, At(49, 49)) << "outside the inner clip";
  EXPECT_EQ(0xFF00FF00u, At(20, 20));
  EXPECT_EQ(0u, At(5, 5));
  EXPECT_EQ(0xFF0000FFu, At(195, 115)) << "no clip left";
  EXPECT_EQ(0xFFFFFFFFu, At(170, 20));
  EXPECT_EQ(0u, At(150, 0)) << "rounded corner cut";
  EXPECT_EQ(0u, At(145, 20)) << "outside the rounded rectangle";
}

// Bounding box of the pixels with any ink.
RECT InkBox(const CSurfaceUI& surface) {
  RECT box{surface.Width(), surface.Height(), -1, -1};
  for (int y = 0; y < surface.Height(); ++y) {
    for (int x = 0; x < surface.Width(); ++x) {
      if (A(surface.PixelAt(x, y)) == 0) continue;
      box.left = std::min<int>(box.left, x);
      box.top = std::min<int>(box.top, y);
      box.right = std::max<int>(box.right, x + 1);
      box.bottom = std::max<int>(box.bottom, y + 1);
    }
  }
  return box;
}

class TextTest : public ::testing::Test {
 protected:
  TextTest() : surface(320, 80) {
    resources.AddFont(std::make_unique<SkinUI::SkinFont>(L"微软雅黑", 14));
    resources.AddFont(std::make_unique<SkinUI::SkinFont>(L"微软雅黑", 20, true));
  }
  RECT Draw(const std::wstring& text, const RECT& rect, unsigned style, int font = 0) {
    surface.Clear();
    {
      CPaintDC dc(surface);
      CRenderEngine::DrawText(&dc, &resources, rect, text, 0xFFFFFFFF, font, style);
    }
    return InkBox(surface);
  }
  CSurfaceUI surface;
  FakeResources resources;
};

TEST_F(TextTest, CentredSingleLineInsideItsRectangle) {
  const unsigned centred = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  for (const wchar_t* text : {L"Install", L"立即安装", L"安装 Setup 1.0"}) {
    const RECT rect{40, 10, 280, 70};
    RECT ink = Draw(text, rect, centred);
    std::string what = platform::WideToUtf8(text);
    ASSERT_LT(ink.left, ink.right) << what << ": nothing drawn";
    EXPECT_GE(ink.left, rect.left) << what;
    EXPECT_LE(ink.right, rect.right) << what;
    EXPECT_NEAR(ink.left - rect.left, rect.right - ink.right, 3) << what << " " << Str(ink);
    EXPECT_NEAR(ink.top - rect.top, rect.bottom - ink.bottom, 6) << what << " " << Str(ink);
    uint32_t strongest = 0;
    for (int y = ink.top; y < ink.bottom; ++y) {
      for (int x = ink.left; x < ink.right; ++x) strongest = std::max(strongest, surface.PixelAt(x, y));
    }
    EXPECT_EQ(0xFFFFFFFFu, strongest) << what << ": solid white strokes";
  }
  // Left and right alignment, top placement without DT_VCENTER.
  RECT left = Draw(L"Install", RECT{40, 10, 280, 70}, DT_LEFT | DT_SINGLELINE);
  EXPECT_LE(left.left, 43);
  EXPECT_LE(left.top, 16);
  RECT right = Draw(L"Install", RECT{40, 10, 280, 70}, DT_RIGHT | DT_SINGLELINE);
  EXPECT_GE(right.right, 277);
  EXPECT_LE(right.right, 280);
}

TEST_F(TextTest, EndEllipsisWhenTooLong) {
  const std::wstring text = L"安装目录 C:\\Program Files\\DevAdazuZirev\\very\\long\\path";
  const RECT rect{10, 10, 130, 40};
  const SIZE natural = CRenderEngine::MeasureText(&resources, text, 0, DT_SINGLELINE);
  EXPECT_GT(natural.cx, 120);
  const SIZE cut = CRenderEngine::MeasureText(&resources, text, 0, DT_SINGLELINE | DT_END_ELLIPSIS, 120);
  EXPECT_LE(cut.cx, 120);
  EXPECT_GT(cut.cx, 60);
  EXPECT_EQ(natural.cy, cut.cy) << "one line, cut short, not wrapped";

  RECT clipped = Draw(text, rect, DT_SINGLELINE | DT_VCENTER);
  std::vector<uint32_t> clippedPixels(surface.Pixels(), surface.Pixels() + 320 * 80);
  RECT ellipsized = Draw(text, rect, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  EXPECT_LE(clipped.right, rect.right) << "text is clipped to its rectangle";
  EXPECT_LE(ellipsized.right, rect.right);
  EXPECT_GE(ellipsized.left, rect.left);
  EXPECT_GT(ellipsized.right, rect.right - 20) << "the ellipsis ends the line";
  EXPECT_LE(ellipsized.bottom - ellipsized.top, natural.cy) << "a single line of ink";
  EXPECT_NE(clippedPixels, std::vector<uint32_t>(surface.Pixels(), surface.Pixels() + 320 * 80));
}

TEST_F(TextTest, FontsPrefixesAndWrapping) {
  EXPECT_EQ(0, Draw(L"", RECT{0, 0, 320, 80}, DT_SINGLELINE).right + 1) << "no text, no ink";
  RECT small = Draw(L"Setup", RECT{0, 0, 320, 80}, DT_SINGLELINE, 0);
  RECT large = Draw(L"Setup", RECT{0, 0, 320, 80}, DT_SINGLELINE, 1);
  RECT fallback = Draw(L"Setup", RECT{0, 0, 320, 80}, DT_SINGLELINE, 7);
  EXPECT_GT(large.right - large.left, small.right - small.left);
  EXPECT_TRUE(fallback == small) << "an index out of range uses the default font";

  // '&' is shown: measuring with and without it differs.
  SIZE amp = CRenderEngine::MeasureText(&resources, L"A&B", 0, DT_SINGLELINE);
  SIZE plain = CRenderEngine::MeasureText(&resources, L"AB", 0, DT_SINGLELINE);
  EXPECT_GT(amp.cx, plain.cx);

  SIZE one = CRenderEngine::MeasureText(&resources, L"安装", 0, DT_SINGLELINE);
  SIZE wrapped = CRenderEngine::MeasureText(&resources, L"安装 安装 安装 安装 安装 安装", 0, DT_WORDBREAK, 60);
  EXPECT_LE(wrapped.cx, 60);
  EXPECT_GE(wrapped.cy, 2 * one.cy);
  SIZE lines = CRenderEngine::MeasureText(&resources, L"a\nb", 0, 0);
  SIZE single = CRenderEngine::MeasureText(&resources, L"a\nb", 0, DT_SINGLELINE);
  EXPECT_GT(lines.cy, single.cy);
}

}  // namespace
