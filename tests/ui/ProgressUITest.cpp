// Progress bar: the value rule and the painted slice of the fore image,
// stretched or cut.
#include <gtest/gtest.h>

#include <vector>

#include "DrawTestSupport.h"
#include "FakeHost.h"
#include "support/ScratchEnv.h"
#include "ui/controls/ProgressUI.h"

using namespace SkinUI;
using uitest::AttachXml;
using uitest::FakeHost;

namespace {

class ProgressPage : public ::testing::Test {
 protected:
  // A 600 x 20 bar at the origin; its fore image is red on the left half, blue on the right.
  void Build(const std::wstring& attrs) {
    std::vector<uint32_t> px(600 * 20);
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 600; ++x) px[static_cast<size_t>(y * 600 + x)] = x < 300 ? 0xFFFF0000 : 0xFF0000FF;
    }
    std::string path = env.Path("fore.png");
    testsupport::WriteFile(path, drawtest::MakePng(600, 20, px));
    std::wstring wpath(path.begin(), path.end());
    ASSERT_NE(AttachXml(manager, L"<Window size=\"600,422\"><VerticalLayout>"
                                 L"<Progress name=\"p\" float=\"true\" pos=\"0,0,600,20\" foreimage=\"" +
                                     wpath + L"\" " + attrs + L"/></VerticalLayout></Window>"),
              nullptr);
    host.Paint(true);
    bar = static_cast<CProgressUI*>(manager.ControlByName(L"p"));
    ASSERT_NE(bar, nullptr);
  }

  testsupport::ScratchEnv env;
  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  CProgressUI* bar = nullptr;
};

TEST_F(ProgressPage, SetValueIgnoresOutOfRangeWithoutClamping) {
  Build(L"");
  struct Case {
    int set;
    int expected;
  } cases[] = {{50, 50}, {150, 50}, {-1, 50}, {100, 100}, {0, 0}};
  for (const auto& c : cases) {
    bar->SetValue(c.set);
    EXPECT_EQ(bar->Value(), c.expected) << "SetValue(" << c.set << ")";
  }
  host.invalidations.clear();
  bar->SetValue(0);
  EXPECT_TRUE(host.invalidations.empty()) << "an unchanged value does not repaint";
}

TEST_F(ProgressPage, HalfOf600FillsExactly300StretchingTheImage) {
  Build(L"");
  bar->SetValue(50);
  host.Paint();
  EXPECT_EQ(host.Pixel(0, 10), 0xFFFF0000u);
  EXPECT_EQ(host.Pixel(140, 10), 0xFFFF0000u);
  EXPECT_EQ(host.Pixel(160, 10), 0xFF0000FFu) << "the whole image squeezed into 300 px";
  EXPECT_EQ(host.Pixel(299, 10), 0xFF0000FFu);
  EXPECT_EQ(host.Pixel(300, 10), 0u);
  EXPECT_EQ(host.Pixel(599, 10), 0u);
}

TEST_F(ProgressPage, WithoutStretchingTheImageIsCut) {
  Build(L"isstretchfore=\"false\" value=\"50\"");
  EXPECT_EQ(host.Pixel(160, 10), 0xFFFF0000u);
  EXPECT_EQ(host.Pixel(299, 10), 0xFFFF0000u);
  EXPECT_EQ(host.Pixel(300, 10), 0u);
}

TEST_F(ProgressPage, LargeRangesDoNotOverflow) {
  Build(L"max=\"2000000000\"");
  bar->SetValue(1000000000);
  host.Paint();
  EXPECT_NE(host.Pixel(290, 10), 0u);
  EXPECT_EQ(host.Pixel(310, 10), 0u);
}

}  // namespace
