// CWindowWnd helpers: the window icon taken from an ICO file (PNG and DIB
// entries, best size, transparency mask), centring on the owner or the work
// area with the left/top edge winning, and the client size.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/ScratchEnv.h"
#include "ui/core/WindowWnd.h"

namespace {

using namespace SkinUI;

void Put16(std::string& s, int v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<int>(v & 0xFFFF));
  Put16(s, static_cast<int>(v >> 16));
}

// A 24-bit DIB icon image: red with a transparent top-left quarter (AND mask).
std::string Dib24(int size) {
  std::string s;
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(size));
  Put32(s, static_cast<uint32_t>(size * 2));
  Put16(s, 1);
  Put16(s, 24);
  for (int i = 0; i < 6; ++i) Put32(s, 0);
  const int xorStride = (size * 3 + 3) / 4 * 4;
  for (int y = 0; y < size; ++y) {  // bottom-up
    std::string row;
    for (int x = 0; x < size; ++x) row += std::string("\x00\x00\xFF", 3);
    row.resize(static_cast<size_t>(xorStride), '\0');
    s += row;
  }
  const int andStride = (size + 31) / 32 * 4;
  for (int y = 0; y < size; ++y) {
    const int top = size - 1 - y;
    std::string row(static_cast<size_t>(andStride), '\0');
    for (int x = 0; x < size / 2 && top < size / 2; ++x) row[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
    s += row;
  }
  return s;
}

std::string Ico(const std::vector<std::pair<int, std::string>>& images) {
  std::string s;
  Put16(s, 0);
  Put16(s, 1);
  Put16(s, static_cast<int>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (const auto& [size, data] : images) {
    s.push_back(static_cast<char>(size >= 256 ? 0 : size));
    s.push_back(static_cast<char>(size >= 256 ? 0 : size));
    s.push_back(0);
    s.push_back(0);
    Put16(s, 1);
    Put16(s, 32);
    Put32(s, static_cast<uint32_t>(data.size()));
    Put32(s, offset);
    offset += static_cast<uint32_t>(data.size());
  }
  for (const auto& image : images) s += image.second;
  return s;
}

TEST(WindowWndIconTest, PicksTheBestEntryAndKeepsItsTransparency) {
  testsupport::ScratchEnv env;
  platform::headless::Image green;
  green.width = green.height = 48;
  green.argb.assign(48 * 48, 0xFF00FF00);
  const std::string pngPath = env.Path("g.png");
  ASSERT_TRUE(platform::headless::SavePng(green, pngPath));
  const std::string png = testsupport::ReadFile(pngPath);

  const std::string both = Ico({{16, Dib24(16)}, {32, Dib24(32)}, {48, png}});
  platform::IconImage img;
  ASSERT_TRUE(DecodeIcoImage(reinterpret_cast<const unsigned char*>(both.data()), both.size(), 32, &img));
  EXPECT_EQ(img.width, 32);
  EXPECT_EQ(img.argb[31 * 32 + 31], 0xFFFF0000u) << "the exact 32 DIB, opaque red";
  EXPECT_EQ(img.argb[0], 0u) << "masked top-left quarter";

  const std::string pngOnly = Ico({{48, png}, {16, Dib24(16)}});
  ASSERT_TRUE(DecodeIcoImage(reinterpret_cast<const unsigned char*>(pngOnly.data()), pngOnly.size(), 32, &img));
  EXPECT_EQ(img.width, 32) << "scaled to the wanted size";
  EXPECT_EQ(img.argb[5 * 32 + 5], 0xFF00FF00u) << "the larger PNG entry beats the smaller one";

  const std::string broken = both.substr(0, 40);
  EXPECT_FALSE(DecodeIcoImage(reinterpret_cast<const unsigned char*>(broken.data()), broken.size(), 32, &img));
  EXPECT_FALSE(DecodeIcoImage(nullptr, 0, 32, &img));
}

class Plain : public CWindowWnd {
 protected:
  const wchar_t* WindowClassName() const override { return L"PlainWnd"; }
};

TEST(WindowWndGeometryTest, CentresOnOwnerOrWorkAreaAndClampsLeftTopFirst) {
  ASSERT_TRUE(platform::SetWindowBackend(platform::WindowBackend::Headless));
  platform::headless::SetScreen(1000, 800, RECT{0, 40, 1000, 800});
  Plain owner, child, big;
  ASSERT_NE(owner.Create(nullptr, L"o", WS_POPUP, 0, 100, 100, 400, 300), nullptr);
  ASSERT_NE(child.Create(owner, L"c", WS_POPUP, 0, 0, 0, 200, 100), nullptr);
  child.CenterOnOwner();
  RECT rc;
  platform::GetWindowRect(child, &rc);
  EXPECT_EQ(rc.left, 200);
  EXPECT_EQ(rc.top, 200);
  ASSERT_NE(big.Create(nullptr, L"b", WS_POPUP, 0, 0, 0, 1200, 900), nullptr);
  big.CenterOnOwner();
  platform::GetWindowRect(big, &rc);
  EXPECT_EQ(rc.left, 0) << "wider than the work area: starts at its left edge";
  EXPECT_EQ(rc.top, 40);
  big.SetClientSize(-1, 500);
  platform::GetClientRect(big, &rc);
  EXPECT_EQ(rc.right, 1200);
  EXPECT_EQ(rc.bottom, 500);
  platform::headless::SetScreen(1920, 1080, RECT{0, 0, 1920, 1080});
}

}  // namespace
