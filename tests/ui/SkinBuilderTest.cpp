// The skin builder: value syntaxes, the Window vocabulary, fonts in file order,
// Default lists (first wins), unknown elements, Include, and parents that are no
// containers.
#include <gtest/gtest.h>

#include <string>

#include "FakeHost.h"
#include "support/ScratchEnv.h"
#include "ui/controls/AttributeValue.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/ContainerUI.h"
#include "ui/core/SkinBuilder.h"
#include "ui/core/SkinFont.h"
#include "ui/utils/SkinResources.h"

using namespace SkinUI;
using uitest::AttachXml;
using uitest::FakeHost;

namespace {

std::string N(const std::wstring& w) { return std::string(w.begin(), w.end()); }
std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(AttributeValues, BoolsIntegersPairsRectanglesColours) {
  struct BoolCase {
    const wchar_t* text;
    bool value;
  } bools[] = {{L"true", true}, {L"True", false}, {L"1", false}, {L"", false}, {L"true ", false}};
  for (const auto& c : bools) EXPECT_EQ(ParseBool(c.text), c.value) << N(c.text);

  struct IntCase {
    const wchar_t* text;
    int value;
  } ints[] = {{L"12", 12}, {L"  -7", -7}, {L"+3px", 3}, {L"abc", 0}, {L"", 0}};
  for (const auto& c : ints) EXPECT_EQ(ParseInt(c.text), c.value) << N(c.text);

  struct RectCase {
    const wchar_t* text;
    bool ok;
    RECT rc;
  } rects[] = {
      {L"1,2,3,4", true, {1, 2, 3, 4}},
      {L"-30;-20 -10x-5", true, {-30, -20, -10, -5}},  // any one-character separator
      {L"1,2,3", false, {}},                           // a number missing
      {L"1,2,3,", false, {}},
      {L"", false, {}},
  };
  for (const auto& c : rects) {
    RECT rc{9, 9, 9, 9};
    EXPECT_EQ(ParseRect(c.text, rc), c.ok) << N(c.text);
    if (c.ok) {
      EXPECT_EQ(rc.left, c.rc.left);
      EXPECT_EQ(rc.top, c.rc.top);
      EXPECT_EQ(rc.right, c.rc.right);
      EXPECT_EQ(rc.bottom, c.rc.bottom) << N(c.text);
    } else {
      EXPECT_EQ(rc.left, 9) << "unchanged on failure: " << N(c.text);
    }
  }
  SIZE sz{};
  EXPECT_TRUE(ParsePair(L"600,422", sz));
  EXPECT_EQ(sz.cx, 600);
  EXPECT_EQ(sz.cy, 422);
  EXPECT_FALSE(ParsePair(L"600", sz));

  struct ColourCase {
    const wchar_t* text;
    bool skipBlanks;
    uint32_t value;
  } colours[] = {
      {L"#FFFFFFFF", false, 0xFFFFFFFF}, {L"0xFFFFFFFF", false, 0xFFFFFFFF}, {L"#1C1C1E", false, 0x001C1C1E},
      {L"FF102030", false, 0xFF102030},  {L"  #FF102030", true, 0xFF102030}, {L"  #FF102030", false, 0},
      {L"#123456789", false, 0xFFFFFFFF},
  };
  for (const auto& c : colours) EXPECT_EQ(ParseColor(c.text, c.skipBlanks), c.value) << N(c.text);

  EXPECT_EQ(ParseToolTipText(L"a<n>b<n>"), L"a\r\nb\r\n");
}

TEST(AttributeValues, AttributeListStopsAtFirstMalformedPair) {
  struct Case {
    const wchar_t* list;
    const char* expected;
  } cases[] = {
      {L"a=\"1\" b=\"x y\"", "a=1;b=x y;"},
      {L"a=\"1\"  b=\"2\"", "a=1; b=2;"},     // two blanks: the name keeps one (no such attribute)
      {L"a=\"1\",b=\"2\"", "a=1;"},           // wrong separator
      {L"a=1 b=\"2\"", ""},                   // value without quotes
      {L"a=\"1\" b=\"2", "a=1;"},             // unterminated value
      {L"a=\"\"", "a=;"},
  };
  for (const auto& c : cases) {
    std::string got;
    ParseAttributeList(c.list, [&](const std::wstring& n, const std::wstring& v) { got += N(n) + "=" + N(v) + ";"; });
    EXPECT_EQ(got, c.expected) << N(c.list);
  }
}

struct Built {
  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  CControlUI* root = nullptr;
  explicit Built(const std::wstring& xml) { root = AttachXml(manager, xml); }
  CControlUI* Get(const wchar_t* name) { return manager.ControlByName(name); }
};

TEST(SkinBuilder, WindowAttributesReachTheManager) {
  Built b(L"<Window size=\"640,480\" sizebox=\"4,4,6,6\" caption=\"0,0,0,312\" roundcorner=\"4,4\" "
          L"mininfo=\"300,200\" maxinfo=\"800,600\" alpha=\"200\" showdirty=\"true\" "
          L"defaultfontcolor=\"#FF112233\" disabledfontcolor=\"#FF445566\" selectedcolor=\"#FF010203\" "
          L"shadowsize=\"30\" shadowsharpness=\"7\" shadowdarkness=\"99\" shadowpositon=\"2,3\" "
          L"shadowcolor=\"#FF000000\" shadowcorner=\"10,11,12,13\" shadowimage=\"shadow.png\" showshadow=\"false\" "
          L"unknown=\"1\"><VerticalLayout/></Window>");
  ASSERT_NE(b.root, nullptr);
  CSkinManagerUI& m = b.manager;
  EXPECT_EQ(m.InitSize().cx, 640);
  EXPECT_EQ(b.host.ClientRect().right, 640) << "resized before a root exists";
  EXPECT_EQ(m.SizeBox().right, 6);
  EXPECT_EQ(m.CaptionRect().bottom, 312);
  EXPECT_EQ(m.RoundCorner().cx, 4);
  EXPECT_EQ(m.MinInfo().cy, 200);
  EXPECT_EQ(m.MaxInfo().cx, 800);
  EXPECT_EQ(m.Alpha(), 200);
  EXPECT_TRUE(m.IsLayered());
  EXPECT_TRUE(m.ShowDirty());
  EXPECT_EQ(m.DefaultFontColor(), 0xFF112233u);
  EXPECT_EQ(m.DefaultDisabledColor(), 0xFF445566u);
  EXPECT_EQ(m.DefaultSelectedBkColor(), 0xFF010203u);
  EXPECT_EQ(m.DefaultLinkFontColor(), 0xFF0000FFu) << "default kept";
  const ShadowSettingsUI& s = m.Shadow();
  EXPECT_EQ(s.size, 0) << "30 is out of range";
  EXPECT_EQ(s.sharpness, 7);
  EXPECT_EQ(s.darkness, 99);
  EXPECT_EQ(s.offsetX, 2);
  EXPECT_EQ(s.offsetY, 3);
  EXPECT_EQ(s.color, 0xFF000000u);
  EXPECT_EQ(s.corner.bottom, 13);
  EXPECT_EQ(s.image, L"shadow.png");
  EXPECT_TRUE(s.imageMode);
  EXPECT_FALSE(s.show);
}

TEST(SkinBuilder, FontsNumberedInFileOrderAndDefault) {
  Built b(L"<Window><Font id=\"5\" name=\"FaceA\" size=\"18\" bold=\"true\"/>"
          L"<Font id=\"0\" name=\"FaceB\" size=\"14\" default=\"true\"/><Font size=\"9\"/>"
          L"<VerticalLayout/></Window>");
  ASSERT_EQ(b.manager.FontCount(), 2) << "a Font without a name is skipped";
  EXPECT_EQ(b.manager.FontAt(0)->Face(), L"FaceA");
  EXPECT_EQ(b.manager.FontAt(0)->Size(), 18);
  EXPECT_TRUE(b.manager.FontAt(0)->Bold());
  EXPECT_EQ(b.manager.FontAt(1)->Face(), L"FaceB");
  EXPECT_EQ(b.manager.DefaultFont(), b.manager.FontAt(1));
  EXPECT_EQ(b.manager.FontAt(-1), b.manager.FontAt(1)) << "out of range: the default font";
  EXPECT_EQ(b.manager.FontAt(7), b.manager.FontAt(1));
}

TEST(SkinBuilder, CommonAttributesAndPos) {
  Built b(L"<Window><VerticalLayout>"
          L"<Control name=\"a\" float=\"true\" width=\"40\" pos=\"290,267,0,0\"/>"
          L"<Control name=\"b\" float=\"true\" pos=\"-20,10,-5,30\"/>"
          L"<Control name=\"c\" enabled=\"False\" visible=\"1\" mouse=\"false\" keyboard=\"false\" "
          L"tooltip=\"x<n>y\" userdata=\"u\" shortcut=\"Qz\" text=\"hello\" menu=\"true\"/>"
          L"<Control name=\"d\" width=\"-5\" height=\"7\" minwidth=\"3\" maxheight=\"-1\"/>"
          L"</VerticalLayout></Window>");
  CControlUI* a = b.Get(L"a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->FixedXY().cx, 290);
  EXPECT_EQ(a->FixedXY().cy, 267);
  EXPECT_EQ(a->FixedWidth(), 40) << "a negative size in pos keeps the previous value";
  CControlUI* bb = b.Get(L"b");
  EXPECT_EQ(bb->FixedXY().cx, -5);
  EXPECT_EQ(bb->FixedXY().cy, 10);
  EXPECT_EQ(bb->FixedWidth(), 15);
  EXPECT_EQ(bb->FixedHeight(), 20);
  CControlUI* c = b.Get(L"c");
  EXPECT_FALSE(c->IsEnabled());
  EXPECT_FALSE(c->IsVisible());
  EXPECT_FALSE(c->IsMouseEnabled());
  EXPECT_FALSE(c->IsKeyboardEnabled());
  EXPECT_EQ(c->ToolTip(), L"x\r\ny");
  EXPECT_EQ(c->UserData(), L"u");
  EXPECT_EQ(c->Shortcut(), L'Q');
  EXPECT_EQ(c->Text(), L"hello");
  EXPECT_TRUE(c->UsesContextMenu());
  CControlUI* d = b.Get(L"d");
  EXPECT_EQ(d->FixedWidth(), 0);
  EXPECT_EQ(d->FixedHeight(), 7);
  EXPECT_EQ(d->MinWidth(), 3);
  EXPECT_EQ(d->MaxHeight(), 999999);
}

TEST(SkinBuilder, ElementNamesSelectClassesAndUnknownOnesAreSkipped) {
  Built b(L"<Window><VerticalLayout name=\"root\">"
          L"<Foo name=\"foo\"><Button name=\"inside\"/></Foo>"
          L"<HorizontalLayout name=\"h\"/>"
          L"<Control name=\"c1\"/><Container name=\"c2\"/><Label name=\"c3\"/><Button name=\"c4\"/>"
          L"<Option name=\"c5\"/><Edit name=\"c6\"/><Progress name=\"c7\"/><GifAnim name=\"c8\"/>"
          L"<button name=\"lower\"/>"
          L"</VerticalLayout></Window>");
  ASSERT_NE(b.root, nullptr);
  EXPECT_EQ(b.root->ClassName(), std::wstring(L"VerticalLayoutUI"));
  EXPECT_EQ(b.Get(L"foo"), nullptr);
  EXPECT_EQ(b.Get(L"inside"), nullptr) << "skipped with its subtree";
  EXPECT_EQ(b.Get(L"h"), nullptr);
  EXPECT_EQ(b.Get(L"lower"), nullptr) << "names are case-sensitive";
  const wchar_t* classes[] = {L"ControlUI", L"ContainerUI", L"LabelUI",  L"ButtonUI",
                              L"OptionUI",  L"EditUI",      L"ProgressUI", L"GifAnimUI"};
  for (int i = 0; i < 8; ++i) {
    std::wstring name = L"c" + std::to_wstring(i + 1);
    CControlUI* c = b.Get(name.c_str());
    ASSERT_NE(c, nullptr) << N(name);
    EXPECT_EQ(c->ClassName(), std::wstring(classes[i]));
  }
  EXPECT_EQ(static_cast<CContainerUI*>(b.root)->Count(), 8);
}

TEST(SkinBuilder, DefaultListsFirstWinsOwnAttributesAfter) {
  Built b(L"<Window>"
          L"<Default name=\"Button\" value=\"bkcolor=&quot;#FFFF0000&quot; textcolor=&quot;#FF00FF00&quot;\"/>"
          L"<Default name=\"Button\" value=\"bkcolor=&quot;#FF0000FF&quot;\"/>"
          L"<VerticalLayout><Button name=\"plain\"/><Button name=\"own\" textcolor=\"#FF123456\"/>"
          L"<Label name=\"label\"/></VerticalLayout></Window>");
  auto* plain = static_cast<CButtonUI*>(b.Get(L"plain"));
  auto* own = static_cast<CButtonUI*>(b.Get(L"own"));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->BkColor(), 0xFFFF0000u);
  EXPECT_EQ(plain->TextColor(), 0xFF00FF00u);
  EXPECT_EQ(own->BkColor(), 0xFFFF0000u);
  EXPECT_EQ(own->TextColor(), 0xFF123456u);
  EXPECT_EQ(b.Get(L"label")->BkColor(), 0u);
}

TEST(SkinBuilder, ParentWithoutContainerInterfaceStopsTheBuild) {
  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  CSkinBuilder builder;
  EXPECT_EQ(builder.Create(L"<Window><Label><Button/></Label></Window>", L"", nullptr, &manager), nullptr);
  EXPECT_EQ(builder.Create(L"<Window><VerticalLayout a=1/></Window>", L"", nullptr, &manager), nullptr) << "parse error";
  EXPECT_EQ(builder.Create(L"no-such-skin.xml", L"", nullptr, &manager), nullptr);
}

TEST(SkinBuilder, WithoutManagerNoAttributesAreApplied) {
  CSkinBuilder builder;
  auto root = builder.Create(L"<Window><VerticalLayout name=\"x\"><Button/></VerticalLayout></Window>", L"",
                             nullptr, nullptr);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Name(), L"");
  EXPECT_EQ(static_cast<CContainerUI*>(root.get())->Count(), 1);
}

class IncludeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = env.Path("skin");
    testsupport::WriteFile(folder + "/part.xml",
                           "<Window><Button name=\"inc\"/><Label name=\"lbl\"/></Window>");
    testsupport::WriteFile(folder + "/self.xml", "<Window><Label/><Include source=\"self.xml\"/></Window>");
    std::wstring wfolder(folder.begin(), folder.end());
    SetResourceFolder(wfolder.c_str());
  }
  void TearDown() override { ResetSkinResourcesForTest(); }
  testsupport::ScratchEnv env;
};

TEST_F(IncludeTest, CountBuildsTheIncludedChildrenThatOften) {
  Built b(L"<Window><VerticalLayout name=\"root\"><Label name=\"before\"/>"
          L"<Include source=\"part.xml\" count=\"2\"/><Include source=\"part.xml\" count=\"0\"/>"
          L"<Include source=\"missing.xml\"/><Label name=\"after\"/></VerticalLayout></Window>");
  ASSERT_NE(b.root, nullptr);
  auto* root = static_cast<CContainerUI*>(b.root);
  ASSERT_EQ(root->Count(), 6);
  EXPECT_EQ(root->ItemAt(0)->Name(), L"before");
  EXPECT_EQ(root->ItemAt(1)->Name(), L"inc");
  EXPECT_EQ(root->ItemAt(3)->Name(), L"inc");
  EXPECT_EQ(root->ItemAt(5)->Name(), L"after");
  EXPECT_EQ(root->ItemAt(1)->ClassName(), std::wstring(L"ButtonUI"));
}

TEST_F(IncludeTest, SelfIncludeEndsInsteadOfRecursingForever) {
  Built b(L"<Window><VerticalLayout><Include source=\"self.xml\"/></VerticalLayout></Window>");
  ASSERT_NE(b.root, nullptr);
  int n = static_cast<CContainerUI*>(b.root)->Count();
  EXPECT_GT(n, 1);
  EXPECT_LT(n, 100);
}

}  // namespace

namespace {

// The installer's own six skins build, lay out and paint with the packaged images.
TEST(SkinBuilderRealSkins, AllSixBuildLayOutAndPaint) {
  std::wstring folder = W(std::string(INSTALLER_SOURCE_DIR) + "/res/skin");
  SetResourceFolder(folder.c_str());
  struct Case {
    const wchar_t* file;
    const wchar_t* control;  // a control that must exist
  } cases[] = {{L"CheckWnd.xml", L"oempng"},          {L"InstallWnd.xml", L"install"},
               {L"ProcessWnd.xml", L"process"},       {L"StartUpdateWnd.xml", L"button"},
               {L"CompleteWnd.xml", L"start"},        {L"MainWnd.xml", L"BtnOk"}};
  for (const auto& c : cases) {
    CSkinManagerUI manager;
    FakeHost host{manager, 100, 100};
    CSkinBuilder builder;
    std::unique_ptr<CControlUI> root = builder.Create(c.file, L"", nullptr, &manager);
    ASSERT_NE(root, nullptr) << N(c.file) << ": " << N(builder.LastError());
    ASSERT_TRUE(manager.AttachRoot(std::move(root)));
    EXPECT_GT(manager.InitSize().cx, 0) << N(c.file);
    host.Paint(true);
    CControlUI* control = manager.ControlByName(c.control);
    ASSERT_NE(control, nullptr) << N(c.file);
    EXPECT_FALSE(UIIsRectEmpty(control->Rect()) && control->IsVisible()) << N(c.file);
    EXPECT_NE(host.Pixel(host.ClientRect().right / 2, 5), 0u) << N(c.file) << " painted";
  }
  ResetSkinResourcesForTest();
}

}  // namespace
