// Edit fields: the editor window's life (opened on focus, ended when the focus goes),
// text changes and Return, tip text and password display.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeHost.h"
#include "ui/controls/EditUI.h"

using namespace SkinUI;
using uitest::AttachXml;
using uitest::FakeHost;
using uitest::Recorder;

namespace {

class EditPage : public ::testing::Test {
 protected:
  void Build(const std::wstring& attrs) {
    ASSERT_NE(AttachXml(manager, L"<Window size=\"600,422\"><VerticalLayout name=\"root\">"
                                 L"<Font name=\"Sans\" size=\"14\"/>"
                                 L"<Button name=\"first\" float=\"true\" pos=\"400,0,450,50\"/>"
                                 L"<Edit name=\"e\" font=\"0\" float=\"true\" pos=\"100,100,300,140\" " +
                                     attrs +
                                     L"/><Label name=\"l\" float=\"true\" pos=\"0,300,100,340\"/>"
                                     L"</VerticalLayout></Window>"),
              nullptr);
    manager.AddReceiver(&rec);
    host.Paint(true);
    edit = static_cast<CEditUI*>(manager.ControlByName(L"e"));
    ASSERT_NE(edit, nullptr);
  }
  void Click(int x, int y) {
    manager.OnMouseMove(POINT{x, y});
    manager.OnLButtonDown(POINT{x, y});
    manager.OnLButtonUp(POINT{x, y});
  }
  // The smallest channel value inside the edit's text area (white = 255).
  int DarkestInEdit() {
    host.Paint();
    int darkest = 255;
    for (int y = 104; y < 136; ++y) {
      for (int x = 104; x < 296; ++x) {
        uint32_t p = host.Pixel(x, y);
        darkest = std::min({darkest, static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                            static_cast<int>(p & 0xFF)});
      }
    }
    return darkest;
  }

  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  Recorder rec;
  CEditUI* edit = nullptr;
};

TEST_F(EditPage, ClickOpensEditorTypingReturnAndLeavingKeepTheText) {
  Build(L"text=\"old\"");
  Click(150, 120);
  uitest::FakeEditWindow* editor = host.LastEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(edit->EditWindow(), editor);
  EXPECT_EQ(editor->text, L"old");
  EXPECT_EQ(editor->selStart, 0);
  EXPECT_EQ(editor->selEnd, 3) << "all text selected";
  EXPECT_EQ(host.editors.size(), 1u) << "focus and click open one editor";

  editor->text.clear();
  editor->Type(L"ab");
  EXPECT_EQ(rec.Count(L"textchanged", L"e"), 2);
  editor->PressReturn();
  EXPECT_EQ(rec.Count(L"return", L"e"), 1);

  Click(50, 320);  // the label takes the focus; the editor ends
  EXPECT_TRUE(editor->ended);
  EXPECT_EQ(edit->EditWindow(), nullptr);
  EXPECT_EQ(edit->Text(), L"ab");
  EXPECT_FALSE(edit->IsFocused());
}

TEST_F(EditPage, EditorBandIsCentredFontHeight) {
  Build(L"");
  edit->TakeFocus();
  ASSERT_NE(host.LastEditor(), nullptr);
  RECT rc = host.LastEditor()->pos;
  EXPECT_EQ(rc.left, 104);
  EXPECT_EQ(rc.right, 296);
  int h = rc.bottom - rc.top;
  EXPECT_GT(h, 0);
  EXPECT_LE(h, 34);
  EXPECT_NEAR((rc.top + rc.bottom) / 2.0, 120.0, 1.0);
  // Moving the edit moves the editor; hiding it ends editing.
  edit->SetFixedXY(SIZE{120, 100});
  host.Paint();
  EXPECT_EQ(host.LastEditor()->pos.left, 124);
  edit->SetVisible(false);
  EXPECT_TRUE(host.LastEditor()->ended);
}

TEST_F(EditPage, SetTextRaisesTextChangedAndReachesTheEditor) {
  Build(L"");
  edit->SetText(L"x");
  EXPECT_EQ(rec.Count(L"textchanged", L"e"), 1);
  edit->TakeFocus();
  edit->SetText(L"yz");
  EXPECT_EQ(host.LastEditor()->text, L"yz");
  EXPECT_EQ(rec.Count(L"textchanged", L"e"), 2);
  edit->SetPasswordMode(true);
  edit->SetPasswordChar(L'#');
  EXPECT_EQ(host.LastEditor()->passwordChar, L'#');
}

TEST_F(EditPage, EmptyTextShowsTipInTipColourElseTextColour) {
  Build(L"tipvalue=\"type here\" textcolor=\"#FF000000\"");
  int tipDarkest = DarkestInEdit();
  EXPECT_LT(tipDarkest, 250) << "tip text drawn";
  EXPECT_GT(tipDarkest, 0x90) << "in the light tip colour";
  edit->SetText(L"type here");
  EXPECT_GT(DarkestInEdit(), 0x90) << "text equal to the tip shows as tip";
  edit->SetText(L"abc");
  EXPECT_LT(DarkestInEdit(), 0x60) << "real text in black";
}

TEST_F(EditPage, DisabledEditSwallowsMouseAndOpensNothing) {
  Build(L"enabled=\"false\"");
  Click(150, 120);
  EXPECT_TRUE(host.editors.empty());
  EXPECT_EQ(edit->ControlFlags(), 0u);
}

TEST_F(EditPage, DestroyedWhileEditingForgetsTheEditor) {
  Build(L"");
  edit->TakeFocus();
  uitest::FakeEditWindow* editor = host.LastEditor();
  ASSERT_NE(editor, nullptr);
  manager.DetachRoot().reset();
  EXPECT_TRUE(editor->forgotten);
}

}  // namespace
