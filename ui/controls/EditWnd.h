// CEditWnd: the framework's own single-line editor, a child window over a
// CEditUI while it has the keyboard focus (caret, selection, clipboard,
// input-method composition). It ends itself when it loses the focus.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/ManagerHostUI.h"
#include "ui/core/WindowWnd.h"

namespace SkinUI {

class CEditUI;
class CSurfaceUI;
class SkinFont;

// UI thread only. Heap object that deletes itself when its window is gone.
class CEditWnd final : public CWindowWnd, public IEditWindowUI {
 public:
  // Creates the editor over `edit` inside `page` and gives it the focus.
  static CEditWnd* Open(CWindowWnd& page, CEditUI& edit);

  // IEditWindowUI.
  void SetText(const std::wstring& text) override;
  std::wstring Text() const override { return m_text; }
  void SetSel(int start, int end) override;
  void SetPasswordChar(wchar_t ch) override;
  void SetLimitText(int maxChars) override;
  void SetReadOnly(bool readOnly) override;
  void SetEnabled(bool enabled) override;
  void SetPos(const RECT& rc) override;
  void Forget() override;

  int SelStart() const { return std::min(m_anchor, m_caret); }
  int SelEnd() const { return std::max(m_anchor, m_caret); }

 protected:
  const wchar_t* WindowClassName() const override { return L"EditWnd"; }
  UINT WindowClassStyle() const override { return CS_DBLCLKS; }
  LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnWindowGone(HWND hwnd) override;

 private:
  explicit CEditWnd(CEditUI& edit);
  ~CEditWnd() override;

  std::wstring Display() const;
  int PrefixWidth(int chars) const;
  int IndexAt(int x) const;
  void MoveCaret(int pos, bool extend);
  void Replace(const std::wstring& text);  // the selection by text
  void Changed();
  void KeepCaretVisible();
  void Paint();
  void OnKey(UINT vk);
  void UpdateIme();

  CEditUI* m_pOwner;  // not owned; null once forgotten
  const SkinFont* m_pFont = nullptr;  // the edit's (the window owns it)
  std::wstring m_text;
  int m_caret = 0;
  int m_anchor = 0;
  int m_scroll = 0;  // pixels of text scrolled out on the left
  int m_limit = 255;
  wchar_t m_password = 0;
  bool m_readOnly = false;
  bool m_numberOnly = false;
  bool m_init = false;
  bool m_caretOn = true;
  bool m_dragging = false;
  uint32_t m_textColor = 0xFF000000;
  uint32_t m_bkColor = 0xFFFFFFFF;
  std::unique_ptr<CSurfaceUI> m_surface;
};

}  // namespace SkinUI
