// Options: click and selection rules with and without a group, group membership
// through SetGroup and destruction, and the selected image.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "ui/controls/ContainerUI.h"
#include "ui/controls/OptionUI.h"

using namespace SkinUI;
using uitest::AttachXml;
using uitest::FakeHost;
using uitest::Recorder;

namespace {

class OptionPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(AttachXml(manager,
                        L"<Window size=\"600,422\"><VerticalLayout name=\"root\">"
                        L"<Option name=\"solo\" float=\"true\" pos=\"0,0,50,50\" selectedbkcolor=\"#FFFF0000\"/>"
                        L"<Option name=\"a\" group=\"g\" selected=\"true\" float=\"true\" pos=\"100,0,150,50\"/>"
                        L"<Option name=\"b\" group=\"g\" float=\"true\" pos=\"200,0,250,50\"/>"
                        L"<Option name=\"c\" group=\"g\" float=\"true\" pos=\"300,0,350,50\"/>"
                        L"</VerticalLayout></Window>"),
              nullptr);
    manager.AddReceiver(&rec);
    host.Paint(true);
  }
  COptionUI* Opt(const wchar_t* name) { return static_cast<COptionUI*>(manager.ControlByName(name)); }
  void Click(int x, int y) {
    manager.OnMouseMove(POINT{x, y});
    manager.OnLButtonDown(POINT{x, y});
    manager.OnLButtonUp(POINT{x, y});
  }

  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  Recorder rec;
};

TEST_F(OptionPage, UngroupedClickedTwiceTogglesBackWithTwoOfEach) {
  Click(25, 25);
  EXPECT_TRUE(Opt(L"solo")->IsSelected());
  host.Paint();
  EXPECT_EQ(host.Pixel(25, 25), 0xFFFF0000u) << "selected background colour";
  Click(25, 25);
  EXPECT_FALSE(Opt(L"solo")->IsSelected());
  EXPECT_EQ(rec.Count(L"click", L"solo"), 2);
  EXPECT_EQ(rec.Count(L"selectchanged", L"solo"), 2);
  host.Paint();
  EXPECT_EQ(host.Pixel(25, 25), 0u);
}

TEST_F(OptionPage, SelectingInGroupDeselectsOthersSilently) {
  ASSERT_TRUE(Opt(L"a")->IsSelected());
  Click(225, 25);
  EXPECT_TRUE(Opt(L"b")->IsSelected());
  EXPECT_FALSE(Opt(L"a")->IsSelected());
  EXPECT_EQ(rec.Count(L"selectchanged", L"b"), 1);
  EXPECT_EQ(rec.Count(L"selectchanged", L"a"), 0);
  // A selected grouped option stays selected when clicked again.
  Click(225, 25);
  EXPECT_TRUE(Opt(L"b")->IsSelected());
  EXPECT_EQ(rec.Count(L"click", L"b"), 2);
  EXPECT_EQ(rec.Count(L"selectchanged", L"b"), 1);
  // Deselecting a grouped option by code raises nothing.
  Opt(L"b")->Select(false);
  EXPECT_EQ(rec.Count(L"selectchanged"), 1);
}

TEST_F(OptionPage, SetGroupMovesBetweenGroups) {
  Opt(L"c")->SetGroup(L"other");
  Opt(L"c")->Select(true);
  EXPECT_TRUE(Opt(L"a")->IsSelected()) << "c no longer belongs to g";
  const auto* g = manager.OptionGroup(L"g");
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->size(), 2u);
  // Joining a group while selected keeps the group exclusive.
  Opt(L"c")->SetGroup(L"g");
  EXPECT_TRUE(Opt(L"c")->IsSelected());
  EXPECT_FALSE(Opt(L"a")->IsSelected());
}

TEST_F(OptionPage, RemovedOptionLeavesItsGroup) {
  auto* root = static_cast<CContainerUI*>(manager.Root());
  ASSERT_TRUE(root->Remove(Opt(L"c")));
  host.RunPosted();
  ASSERT_NE(manager.OptionGroup(L"g"), nullptr);
  EXPECT_EQ(manager.OptionGroup(L"g")->size(), 2u);
  Click(225, 25);  // walks the group: must not touch the removed option
  EXPECT_TRUE(Opt(L"b")->IsSelected());
}

}  // namespace
