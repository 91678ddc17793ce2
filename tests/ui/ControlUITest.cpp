// Control base and layout: floating placement by "pos", the vertical stacking
// rules, clipping of children, hit-testing and focus on hiding.
#include <gtest/gtest.h>

#include <string>

#include "FakeHost.h"
#include "ui/controls/ContainerUI.h"
#include "ui/controls/VerticalLayoutUI.h"

using namespace SkinUI;
using uitest::AttachXml;
using uitest::FakeHost;

namespace {

std::string Str(const RECT& rc) {
  return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) + "," +
         std::to_string(rc.bottom);
}

struct Page {
  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  CControlUI* root = nullptr;

  explicit Page(const std::wstring& body, int width = 600, int height = 422) {
    root = AttachXml(manager, L"<Window size=\"" + std::to_wstring(width) + L"," + std::to_wstring(height) +
                                  L"\">" + body + L"</Window>");
    host.Paint(true);
  }
  std::string RectOf(const wchar_t* name) {
    CControlUI* c = manager.ControlByName(name);
    return c != nullptr ? Str(c->Rect()) : "missing";
  }
};

TEST(FloatingPlacement, PosIsOffsetInParentAndNegativeCountsFromFarEdge) {
  struct Case {
    const wchar_t* pos;
    const char* expected;
  } cases[] = {
      {L"577,10,590,23", "577,10,590,23"},
      {L"-30,-20,-10,-5", "570,402,590,417"},  // 10 px from the right, 5 px from the bottom
      {L"-20,10,-5,30", "580,10,595,30"},   // 20 px from the right edge, 15 wide
      {L"290,267,0,0", "290,267,290,267"},     // no size known: empty until one is set
  };
  for (const auto& c : cases) {
    Page page(L"<VerticalLayout><Control name=\"c\" float=\"true\" pos=\"" + std::wstring(c.pos) +
              L"\"/></VerticalLayout>");
    EXPECT_EQ(page.RectOf(L"c"), c.expected) << "pos " << std::string(c.pos, c.pos + wcslen(c.pos));
  }
}

TEST(FloatingPlacement, NewFixedPositionTakesEffectAtNextPaint) {
  Page page(L"<VerticalLayout><Control name=\"c\" float=\"true\" pos=\"10,10,30,30\"/></VerticalLayout>");
  CControlUI* c = page.manager.ControlByName(L"c");
  c->SetFixedXY(SIZE{100, 50});
  page.host.Paint();
  EXPECT_EQ(Str(c->Rect()), "100,50,120,70");
}

TEST(VerticalLayout, StacksFixedAdjustableAndPaddedChildren) {
  struct Case {
    const char* what;
    int height;
    std::wstring body;
    std::vector<const char*> expected;  // rectangles of a, b, c
  } cases[] = {
      {"fixed, floating, fixed",
       422,
       L"<Control name=\"a\" height=\"270\"/><Control name=\"b\" float=\"true\" pos=\"20,300,60,340\"/>"
       L"<Control name=\"c\" height=\"30\" width=\"600\"/>",
       {"0,0,600,270", "20,300,60,340", "0,270,600,300"}},
      {"two adjustables, remainder to the last",
       423,
       L"<Control name=\"a\"/><Control name=\"b\"/>",
       {"0,0,600,211", "0,211,600,423"}},
      {"padding inside the rectangle, remainder to the bottom",
       422,
       L"<Control name=\"a\" height=\"20\" padding=\"0,10,0,5\"/><Control name=\"b\"/>",
       {"0,10,600,35", "0,35,600,422"}},
      {"child padding between children",
       422,
       L"<Control name=\"a\" height=\"100\"/><Control name=\"b\"/><Control name=\"c\"/>",
       {"0,0,600,100", "0,106,600,261", "0,267,600,422"}},
      {"side padding narrows, height limits clamp",
       422,
       L"<Control name=\"a\" height=\"50\" maxheight=\"40\" padding=\"10,0,20,0\"/>"
       L"<Control name=\"b\" height=\"10\" minheight=\"30\" width=\"100\"/>",
       {"10,0,580,40", "0,40,100,70"}},
  };
  for (const auto& c : cases) {
    std::wstring attrs = std::string(c.what) == "child padding between children" ? L" childpadding=\"6\"" : L"";
    Page page(L"<VerticalLayout" + attrs + L">" + c.body + L"</VerticalLayout>", 600, c.height);
    const wchar_t* names[] = {L"a", L"b", L"c"};
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(page.RectOf(names[i]), c.expected[i]) << c.what << ", child " << i;
    }
  }
}

TEST(VerticalLayout, InsetShrinksTheContentArea) {
  Page page(L"<VerticalLayout inset=\"10,20,30,40\"><Control name=\"a\"/></VerticalLayout>");
  EXPECT_EQ(page.RectOf(L"a"), "10,20,570,382");
}

TEST(ContainerPaint, FloatingChildClippedToContainerOtherToInset) {
  // Both children are red and larger than the container at (100,100)-(200,200).
  Page page(L"<VerticalLayout>"
            L"<Container float=\"true\" pos=\"100,100,200,200\" inset=\"10,10,10,10\">"
            L"<Control float=\"true\" pos=\"50,50,150,150\" bkcolor=\"#FFFF0000\"/></Container>"
            L"<Container float=\"true\" pos=\"300,100,400,200\" inset=\"10,10,10,10\">"
            L"<Control bkcolor=\"#FF00FF00\" padding=\"-20,-20,0,0\"/></Container>"
            L"</VerticalLayout>");
  EXPECT_EQ(page.host.Pixel(160, 160), 0xFFFF0000u);
  EXPECT_EQ(page.host.Pixel(199, 199), 0xFFFF0000u);
  EXPECT_EQ(page.host.Pixel(205, 205), 0u) << "floating child outside its container";
  EXPECT_EQ(page.host.Pixel(350, 150), 0xFF00FF00u);
  EXPECT_EQ(page.host.Pixel(305, 150), 0u) << "non-floating child inside the inset band";
}

TEST(ControlPaint, BackgroundColoursAndBorders) {
  struct Case {
    std::wstring attrs;
    POINT at;
    uint32_t expected;
  } cases[] = {
      {L"bkcolor=\"#1C1C1E\"", {50, 50}, 0u},                             // alpha 0: nothing
      {L"bkcolor=\"0xFF1C1C1E\"", {50, 50}, 0xFF1C1C1Eu},
      {L"bkcolor=\" #FF102030\"", {50, 50}, 0xFF102030u},                 // blanks before '#'
      {L"enabled=\"false\"", {50, 50}, 0xFFF5F5F5u},                      // disabled background
      {L"bordercolor=\"#FF0000FF\" bordersize=\"2\"", {1, 50}, 0xFF0000FFu},
      {L"bordercolor=\"#FF0000FF\" bordersize=\"2\"", {3, 50}, 0u},
      {L"bordercolor=\"#FF0000FF\" bordersize=\"2\" borderpadding=\"5,5,5,5\"", {6, 50}, 0xFF0000FFu},
      {L"bordercolor=\"#FF0000FF\" leftbordersize=\"4\"", {98, 50}, 0u},  // only the left side
  };
  for (const auto& c : cases) {
    Page page(L"<VerticalLayout><Control float=\"true\" pos=\"0,0,100,100\" " + c.attrs + L"/></VerticalLayout>");
    EXPECT_EQ(page.host.Pixel(c.at.x, c.at.y), c.expected)
        << std::string(c.attrs.begin(), c.attrs.end()) << " at " << c.at.x << "," << c.at.y;
  }
}

TEST(HitTest, TopmostFirstMouseChildAndInset) {
  Page page(L"<VerticalLayout name=\"root\">"
            L"<Container name=\"box\" float=\"true\" pos=\"0,0,100,100\" inset=\"10,10,10,10\">"
            L"<Control name=\"inner\"/></Container>"
            L"<Control name=\"under\" float=\"true\" pos=\"200,0,300,100\"/>"
            L"<Control name=\"over\" float=\"true\" pos=\"250,0,350,100\"/>"
            L"<Container name=\"closed\" mousechild=\"false\" float=\"true\" pos=\"400,0,500,100\">"
            L"<Control name=\"hidden\"/></Container>"
            L"</VerticalLayout>");
  auto nameAt = [&](int x, int y) {
    CControlUI* c = page.manager.FindControl(POINT{x, y});
    return c != nullptr ? c->Name() : std::wstring(L"none");
  };
  EXPECT_EQ(nameAt(50, 50), L"inner");
  EXPECT_EQ(nameAt(5, 5), L"box") << "outside the inset the child does not count";
  EXPECT_EQ(nameAt(275, 50), L"over");
  EXPECT_EQ(nameAt(225, 50), L"under");
  EXPECT_EQ(nameAt(450, 50), L"closed");
  EXPECT_EQ(nameAt(150, 300), L"root");
  page.manager.ControlByName(L"over")->SetVisible(false);
  EXPECT_EQ(nameAt(275, 50), L"under");
}

TEST(Visibility, HidingFocusedControlOrItsAncestorLeavesNoFocus) {
  Page page(L"<VerticalLayout><Container name=\"box\" float=\"true\" pos=\"0,0,100,100\">"
            L"<Button name=\"b\"/></Container><Button name=\"c\" float=\"true\" pos=\"200,0,300,50\"/>"
            L"</VerticalLayout>");
  uitest::Recorder rec;
  page.manager.AddReceiver(&rec);
  CControlUI* b = page.manager.ControlByName(L"b");
  b->TakeFocus();
  ASSERT_EQ(page.manager.FocusedControl(), b);
  b->SetVisible(false);
  EXPECT_EQ(page.manager.FocusedControl(), nullptr);
  EXPECT_FALSE(b->IsFocused());
  EXPECT_EQ(rec.Count(L"killfocus", L"b"), 1);

  b->SetVisible(true);
  b->TakeFocus();
  page.manager.ControlByName(L"box")->SetVisible(false);
  EXPECT_FALSE(b->IsVisible()) << "hidden through its container";
  EXPECT_EQ(page.manager.FocusedControl(), nullptr);
  page.manager.ControlByName(L"box")->SetVisible(true);
  EXPECT_TRUE(b->IsVisible());
}

TEST(Invalidation, ClippedByAncestorsAndNothingWhenHidden) {
  Page page(L"<VerticalLayout><Container float=\"true\" pos=\"0,0,100,100\">"
            L"<Control name=\"c\" float=\"true\" pos=\"50,50,150,150\"/></Container></VerticalLayout>");
  CControlUI* c = page.manager.ControlByName(L"c");
  page.host.invalidations.clear();
  c->Invalidate();
  ASSERT_EQ(page.host.invalidations.size(), 1u);
  EXPECT_EQ(Str(page.host.invalidations[0]), "50,50,100,100");
  c->SetVisible(false);
  page.host.Paint();
  page.host.invalidations.clear();
  c->Invalidate();
  EXPECT_TRUE(page.host.invalidations.empty());
}

TEST(Events, UnhandledEventsBubbleToTheParent) {
  Page page(L"<VerticalLayout><Container name=\"box\" float=\"true\" pos=\"0,0,100,100\">"
            L"<Control name=\"c\"/></Container></VerticalLayout>");
  CControlUI* box = page.manager.ControlByName(L"box");
  page.manager.OnMouseMove(POINT{50, 50});
  EXPECT_TRUE(page.manager.ControlByName(L"c")->IsHot());
  EXPECT_TRUE(box->IsHot()) << "MouseEnter continues to the parent";
  page.manager.OnMouseMove(POINT{300, 300});
  EXPECT_FALSE(box->IsHot());
}

}  // namespace
