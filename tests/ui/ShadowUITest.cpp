// The page shadow on the headless layer: image mode places a nine-grid window
// around the page and follows it (move, minimise, restore); computed mode
// paints a soft edge outside the page and nothing over it; setters refuse
// values out of range.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Text.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"
#include "support/ScratchEnv.h"
#include "ui/core/WindowImplBase.h"
#include "ui/utils/ShadowUI.h"
#include "ui/utils/SkinResources.h"

namespace {

using namespace SkinUI;
namespace hl = platform::headless;

class ShadowPage : public WindowImplBase {
 public:
  std::wstring xml;
  using WindowImplBase::Shadow;

 protected:
  const wchar_t* WindowClassName() const override { return L"ShadowPage"; }
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override { return xml; }
};

class ShadowUITest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SetWindowBackend(platform::WindowBackend::Headless));
    ResetSkinResourcesForTest();
    const std::string dir = env.Path("skin");
    std::filesystem::create_directories(dir);
    // A 60 x 60 shadow image: translucent black, with an opaque middle that the hole keeps out.
    hl::Image img;
    img.width = img.height = 60;
    img.argb.assign(3600, 0x80000000);
    for (int y = 20; y < 40; ++y)
      for (int x = 20; x < 40; ++x) img.argb[static_cast<size_t>(y) * 60 + x] = 0xFFFF0000;
    ASSERT_TRUE(hl::SavePng(img, dir + "/shadow.png"));
    SetResourceFolder(platform::Utf8ToWide(dir).c_str());
  }
  testsupport::ScratchEnv env;
};

TEST_F(ShadowUITest, ImageShadowSurroundsThePageAndFollowsIt) {
  ShadowPage page;
  page.xml = L"<Window size=\"600,422\" showshadow=\"true\" shadowimage=\"shadow.png\"><VerticalLayout "
             L"bkcolor=\"#FFFFFFFF\"/></Window>";
  ASSERT_NE(page.Create(nullptr, L"p", kPageStyle, 0, 300, 200), nullptr);
  page.ShowWindow();
  platform::UpdateWindow(page.GetHWND());  // a pending shadow update is made at the page's paint
  ASSERT_NE(page.Shadow(), nullptr);
  HWND shadow = page.Shadow()->ShadowWindow();
  ASSERT_NE(shadow, nullptr);
  EXPECT_TRUE(platform::GetWindowLongPtrW(shadow, GWL_EXSTYLE) & WS_EX_TRANSPARENT) << "clicks pass through";
  RECT pr, sr;
  platform::GetWindowRect(page.GetHWND(), &pr);
  platform::GetWindowRect(shadow, &sr);
  EXPECT_EQ(sr.left, pr.left - 23);
  EXPECT_EQ(sr.top, pr.top - 13);
  EXPECT_EQ(sr.right - sr.left, 600 + 46);
  EXPECT_EQ(sr.bottom - sr.top, 422 + 46);
  hl::Image img;
  ASSERT_TRUE(hl::CaptureWindow(shadow, &img));
  EXPECT_EQ(img.At(5, 5) >> 24, 0x80u) << "corner of the nine-grid";
  EXPECT_EQ(img.At(323, 234), 0u) << "the hole over the page stays clear";

  platform::SetWindowPos(page.GetHWND(), nullptr, 400, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  platform::GetWindowRect(shadow, &sr);
  EXPECT_EQ(sr.left, 400 - 23);
  EXPECT_EQ(sr.top, 250 - 13);

  platform::ShowWindow(page.GetHWND(), SW_MINIMIZE);
  EXPECT_FALSE(platform::IsWindowVisible(shadow));
  platform::ShowWindow(page.GetHWND(), SW_RESTORE);
  EXPECT_TRUE(platform::IsWindowVisible(shadow));

  EXPECT_FALSE(page.Shadow()->SetSize(21));
  EXPECT_FALSE(page.Shadow()->SetSharpness(-1));
  EXPECT_FALSE(page.Shadow()->SetDarkness(256));
  EXPECT_FALSE(page.Shadow()->SetPosition(0, 21));
  EXPECT_FALSE(page.Shadow()->SetImage(nullptr));
  EXPECT_FALSE(page.Shadow()->SetShadowCorner(-1, 0, 0, 0));
  EXPECT_EQ(page.Manager().Shadow().size, 0);
  EXPECT_TRUE(page.Shadow()->SetDarkness(255));

  platform::DestroyWindow(page.GetHWND());
  EXPECT_FALSE(platform::IsWindow(shadow));
}

TEST_F(ShadowUITest, ComputedShadowPaintsOnlyOutsideThePage) {
  ShadowPage page;
  page.xml = L"<Window size=\"200,100\" shadowsize=\"6\" shadowdarkness=\"200\" shadowsharpness=\"3\">"
             L"<VerticalLayout bkcolor=\"#FFFFFFFF\"/></Window>";
  ASSERT_NE(page.Create(nullptr, L"p", kPageStyle, 0, 100, 100), nullptr);
  page.ShowWindow();
  platform::UpdateWindow(page.GetHWND());
  ASSERT_NE(page.Shadow(), nullptr);
  HWND shadow = page.Shadow()->ShadowWindow();
  RECT sr;
  platform::GetWindowRect(shadow, &sr);
  EXPECT_EQ(sr.left, 94);
  EXPECT_EQ(sr.right - sr.left, 212);
  hl::Image img;
  ASSERT_TRUE(hl::CaptureWindow(shadow, &img));
  EXPECT_EQ(img.At(106, 56), 0u) << "over the page";
  EXPECT_EQ(img.At(5, 50) >> 24, 200u) << "inside the grown shape";
  EXPECT_LT(img.At(0, 50) >> 24, 200u) << "the soft edge";
  EXPECT_GT(img.At(0, 50) >> 24, 0u);
}

TEST_F(ShadowUITest, NoShadowWhenTheSkinSaysSo) {
  ShadowPage page;
  page.xml = L"<Window size=\"200,100\" showshadow=\"false\"><VerticalLayout/></Window>";
  ASSERT_NE(page.Create(nullptr, L"p", kPageStyle, 0), nullptr);
  EXPECT_EQ(page.Shadow(), nullptr);
}

}  // namespace
