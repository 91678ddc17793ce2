// Animated images: frames advance on timer 100 with each frame's delay, visibility
// stops and restarts play, still and missing images never play.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DrawTestSupport.h"
#include "FakeHost.h"
#include "support/ScratchEnv.h"
#include "ui/controls/GifAnimUI.h"

using namespace SkinUI;
using uitest::AttachXml;
using uitest::FakeHost;

namespace {

// A GIF89a of solid frames (3 x 2 pixels) from a two-colour table (red, blue), each
// frame with its delay in hundredths. LZW codes of 3 bits: a clear code before every
// pixel keeps the code width fixed.
std::string MakeGif(const std::vector<int>& frameColourIndex, const std::vector<int>& delays) {
  std::string g = "GIF89a";
  auto u16 = [&](int v) {
    g.push_back(static_cast<char>(v & 0xFF));
    g.push_back(static_cast<char>((v >> 8) & 0xFF));
  };
  u16(3);
  u16(2);
  g += std::string("\x80\x00\x00", 3);                          // global table of 2 colours
  g += std::string("\xFF\x00\x00\x00\x00\xFF", 6);              // red, blue
  for (size_t f = 0; f < frameColourIndex.size(); ++f) {
    g += std::string("\x21\xF9\x04\x04", 4);                    // graphic control, disposal 1
    u16(delays[f]);
    g += std::string("\x00\x00", 2);
    g += std::string("\x2C", 1);
    u16(0);
    u16(0);
    u16(3);
    u16(2);
    g.push_back('\0');
    g.push_back('\x02');                                        // minimum code size
    std::vector<int> codes;
    for (int i = 0; i < 6; ++i) {
      codes.push_back(4);
      codes.push_back(frameColourIndex[f]);
    }
    codes.push_back(5);
    std::string data;
    unsigned bits = 0, nbits = 0;
    for (int c : codes) {
      bits |= static_cast<unsigned>(c) << nbits;
      nbits += 3;
      while (nbits >= 8) {
        data.push_back(static_cast<char>(bits & 0xFF));
        bits >>= 8;
        nbits -= 8;
      }
    }
    if (nbits > 0) data.push_back(static_cast<char>(bits & 0xFF));
    g.push_back(static_cast<char>(data.size()));
    g += data;
    g.push_back('\0');
  }
  g.push_back('\x3B');
  return g;
}

class GifPage : public ::testing::Test {
 protected:
  void Build(const std::string& fileBytes, const std::wstring& attrs, const char* file = "anim.gif") {
    std::string path = env.Path(file);
    if (!fileBytes.empty()) testsupport::WriteFile(path, fileBytes);
    std::wstring wpath(path.begin(), path.end());
    ASSERT_NE(AttachXml(manager, L"<Window size=\"600,422\"><VerticalLayout name=\"root\">"
                                 L"<GifAnim name=\"g\" float=\"true\" pos=\"0,0,30,20\" bkimage=\"" +
                                     wpath + L"\" " + attrs + L"/></VerticalLayout></Window>"),
              nullptr);
    host.Paint(true);
    gif = static_cast<CGifAnimUI*>(manager.ControlByName(L"g"));
    ASSERT_NE(gif, nullptr);
  }
  // The period of the only armed timer, or 0.
  unsigned ArmedPeriod() const { return host.timers.size() == 1 ? host.timers.begin()->second : 0; }
  void Tick() {
    ASSERT_EQ(host.timers.size(), 1u);
    host.Fire(host.timers.begin()->first);
    host.Paint();
  }

  testsupport::ScratchEnv env;
  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  CGifAnimUI* gif = nullptr;
};

TEST_F(GifPage, FramesAlternateWithTheirDelaysZeroMeaning100ms) {
  Build(MakeGif({0, 1}, {0, 5}), L"");
  ASSERT_EQ(gif->FrameCount(), 2);
  EXPECT_TRUE(gif->IsPlaying());
  EXPECT_EQ(ArmedPeriod(), 100u) << "frame 0 has no delay";
  EXPECT_EQ(host.Pixel(15, 10), 0xFFFF0000u);
  Tick();
  EXPECT_EQ(gif->CurrentFrame(), 1);
  EXPECT_EQ(ArmedPeriod(), 50u);
  EXPECT_EQ(host.Pixel(15, 10), 0xFF0000FFu);
  Tick();
  EXPECT_EQ(gif->CurrentFrame(), 0);
  EXPECT_EQ(ArmedPeriod(), 100u);
  EXPECT_EQ(host.Pixel(15, 10), 0xFFFF0000u);
}

TEST_F(GifPage, HidingStopsAndRewindsShowingPlaysAgain) {
  Build(MakeGif({0, 1}, {10, 10}), L"");
  Tick();
  ASSERT_EQ(gif->CurrentFrame(), 1);
  gif->SetVisible(false);
  EXPECT_TRUE(host.timers.empty());
  EXPECT_EQ(gif->CurrentFrame(), 0);
  gif->SetVisible(true);
  EXPECT_EQ(ArmedPeriod(), 100u);
}

TEST_F(GifPage, AutoPlayOffAndAutoSize) {
  Build(MakeGif({0, 1}, {10, 10}), L"autoplay=\"false\" autosize=\"true\" pos=\"10,10,0,0\"");
  EXPECT_FALSE(gif->IsPlaying());
  EXPECT_TRUE(host.timers.empty());
  RECT rc = gif->Rect();
  EXPECT_EQ(rc.left, 10);
  EXPECT_EQ(rc.right - rc.left, 3);
  EXPECT_EQ(rc.bottom - rc.top, 2);
}

TEST_F(GifPage, StillImageIsDrawnButNeverPlays) {
  Build(drawtest::MakeSolidPng(4, 4, 0xFF00FF00), L"", "still.png");
  EXPECT_EQ(host.Pixel(15, 10), 0xFF00FF00u);
  EXPECT_FALSE(gif->IsPlaying());
  gif->SetVisible(false);
  gif->SetVisible(true);
  EXPECT_TRUE(host.timers.empty());
}

TEST_F(GifPage, MissingImageDrawsNothingAndNeverPlays) {
  Build("", L"", "missing.gif");
  EXPECT_EQ(host.Pixel(15, 10), 0u);
  EXPECT_TRUE(host.timers.empty());
}

TEST_F(GifPage, SwallowsMouseEventsAndStopsItsTimerWhenDestroyed) {
  Build(MakeGif({0, 1}, {10, 10}), L"");
  manager.OnMouseMove(POINT{15, 10});
  EXPECT_FALSE(manager.Root()->IsHot()) << "MouseEnter does not reach the parent";
  manager.DetachRoot().reset();
  EXPECT_TRUE(host.timers.empty());
}

}  // namespace
