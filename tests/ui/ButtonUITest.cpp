// Buttons: mouse and key sequences into exactly the right "click"s, state images
// under the mouse and while pressed, disabled state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DrawTestSupport.h"
#include "FakeHost.h"
#include "support/ScratchEnv.h"
#include "ui/controls/ButtonUI.h"

using namespace SkinUI;
using uitest::AttachXml;
using uitest::FakeHost;
using uitest::Recorder;

namespace {

// A page with one button at (100,100)-(200,140); solid images for its states.
class ButtonPage : public ::testing::Test {
 protected:
  void Build(const std::wstring& buttonAttrs) {
    for (const auto& [name, colour] : std::vector<std::pair<std::string, uint32_t>>{
             {"normal", 0xFF0000FF}, {"hot", 0xFF00FF00}, {"pushed", 0xFFFF0000}, {"disabled", 0xFF808080}}) {
      testsupport::WriteFile(env.Path(name + ".png"), drawtest::MakeSolidPng(100, 40, colour));
    }
    auto img = [&](const char* name) {
      std::string p = env.Path(std::string(name) + ".png");
      return std::wstring(p.begin(), p.end());
    };
    std::wstring xml = L"<Window size=\"600,422\"><VerticalLayout name=\"root\">"
                       L"<Button name=\"b\" float=\"true\" pos=\"100,100,200,140\" normalimage=\"" +
                       img("normal") + L"\" hotimage=\"" + img("hot") + L"\" pushedimage=\"" + img("pushed") +
                       L"\" disabledimage=\"" + img("disabled") + L"\" " + buttonAttrs +
                       L"/></VerticalLayout></Window>";
    ASSERT_NE(AttachXml(manager, xml), nullptr);
    manager.AddReceiver(&rec);
    host.Paint(true);
    button = static_cast<CButtonUI*>(manager.ControlByName(L"b"));
    ASSERT_NE(button, nullptr);
  }
  uint32_t Shown() {
    host.Paint();
    return host.Pixel(150, 120);
  }

  testsupport::ScratchEnv env;
  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  Recorder rec;
  CButtonUI* button = nullptr;
};

enum Step { Move, Down, Up, Key };
struct Input {
  Step step;
  int x, y;  // point, or the key for Key
};

void Feed(CSkinManagerUI& m, const std::vector<Input>& inputs) {
  for (const Input& in : inputs) {
    POINT pt{in.x, in.y};
    switch (in.step) {
      case Move:
        m.OnMouseMove(pt);
        break;
      case Down:
        m.OnMouseMove(pt);
        m.OnLButtonDown(pt);
        break;
      case Up:
        m.OnLButtonUp(pt);
        break;
      case Key:
        m.OnKeyDown(static_cast<unsigned>(in.x));
        m.OnKeyUp(static_cast<unsigned>(in.x));
        break;
    }
  }
}

struct SequenceCase {
  const char* what;
  std::wstring attrs;
  std::vector<Input> inputs;
  int clicks;
};

class ButtonSequences : public ButtonPage, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(ButtonSequences, RaiseTheExpectedClicks) {
  const SequenceCase& c = GetParam();
  Build(c.attrs);
  Feed(manager, c.inputs);
  EXPECT_EQ(rec.Count(L"click", L"b"), c.clicks) << c.what;
  EXPECT_EQ(button->ButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED), 0u) << c.what;
  EXPECT_FALSE(host.captured) << c.what;
}

const POINT kIn{150, 120};
const POINT kOut{400, 300};

INSTANTIATE_TEST_SUITE_P(
    Cases, ButtonSequences,
    ::testing::Values(
        SequenceCase{"press, release", L"", {{Down, 150, 120}, {Up, 150, 120}}, 1},
        SequenceCase{"press, drag out, drag in, release",
                     L"",
                     {{Down, 150, 120}, {Move, 400, 300}, {Move, 160, 125}, {Up, 160, 125}},
                     1},
        SequenceCase{"press, drag out, release outside", L"", {{Down, 150, 120}, {Move, 400, 300}, {Up, 400, 300}}, 0},
        SequenceCase{"press outside, release over", L"", {{Down, 400, 300}, {Move, 150, 120}, {Up, 150, 120}}, 0},
        SequenceCase{"double click gives two", L"",
                     {{Down, 150, 120}, {Up, 150, 120}, {Down, 150, 120}, {Up, 150, 120}}, 2},
        SequenceCase{"disabled", L"enabled=\"false\"", {{Down, 150, 120}, {Up, 150, 120}, {Key, 0x20, 0}}, 0},
        SequenceCase{"not mouse-enabled", L"mouse=\"false\"", {{Down, 150, 120}, {Up, 150, 120}}, 0},
        SequenceCase{"release without press", L"", {{Move, 150, 120}, {Up, 150, 120}}, 0}));

TEST_F(ButtonPage, SpaceAndReturnActivateTheFocusedButton) {
  Build(L"");
  button->TakeFocus();
  Feed(manager, {{Key, 0x20, 0}, {Key, 0x0D, 0}, {Key, 'A', 0}});
  EXPECT_EQ(rec.Count(L"click", L"b"), 2);
  button->SetKeyboardEnabled(false);
  Feed(manager, {{Key, 0x20, 0}});
  EXPECT_EQ(rec.Count(L"click", L"b"), 2) << "keyboard disabled";
}

TEST_F(ButtonPage, ShowsHotImageUnderMouseAndPushedWhilePressed) {
  Build(L"");
  // The first paint focuses the first Tab stop, and focus shows the hot image...
  EXPECT_EQ(manager.FocusedControl(), button);
  EXPECT_EQ(Shown(), 0xFF00FF00u);
  // ...until the mouse has left it once.
  manager.OnMouseMove(kIn);
  manager.OnMouseMove(kOut);
  EXPECT_EQ(Shown(), 0xFF0000FFu) << "normal";
  manager.OnMouseMove(kIn);
  EXPECT_EQ(Shown(), 0xFF00FF00u) << "hot under the mouse";
  manager.OnLButtonDown(kIn);
  EXPECT_EQ(Shown(), 0xFFFF0000u) << "pushed while pressed";
  manager.OnMouseMove(kOut);
  EXPECT_EQ(Shown(), 0xFF0000FFu) << "dragged out: neither pushed nor hot";
  manager.OnMouseMove(kIn);
  EXPECT_EQ(Shown(), 0xFFFF0000u) << "dragged back in";
  manager.OnLButtonUp(kIn);
  EXPECT_EQ(Shown(), 0xFF00FF00u) << "released: hot again";
  manager.OnMouseMove(kOut);
  EXPECT_EQ(Shown(), 0xFF0000FFu);
}

TEST_F(ButtonPage, DisabledShowsOnlyDisabledImageAndEnablingClearsState) {
  Build(L"");
  manager.OnMouseMove(kIn);
  manager.OnLButtonDown(kIn);
  button->SetEnabled(false);
  EXPECT_EQ(Shown(), 0xFF808080u);
  EXPECT_EQ(button->ButtonState() & (UISTATE_HOT | UISTATE_PUSHED | UISTATE_CAPTURED), 0u);
  manager.OnLButtonUp(kIn);
  button->SetEnabled(true);
  EXPECT_EQ(Shown(), 0xFF0000FFu) << "normal, not hot or pushed";
  EXPECT_EQ(rec.Count(L"click"), 0);
}

TEST_F(ButtonPage, HandCursorOnlyWhenEnabled) {
  Build(L"");
  EXPECT_TRUE(manager.OnSetCursor(kIn));
  EXPECT_EQ(host.cursor, UICursor::Hand);
  button->SetEnabled(false);
  EXPECT_FALSE(manager.OnSetCursor(kIn));
}

TEST_F(ButtonPage, ClosingWhilePressedIsNoClick) {
  Build(L"");
  manager.OnMouseMove(kIn);
  manager.OnLButtonDown(kIn);
  manager.OnClose();
  EXPECT_EQ(rec.Count(L"click"), 0);
  EXPECT_EQ(button->ButtonState() & UISTATE_PUSHED, 0u);
}

}  // namespace
