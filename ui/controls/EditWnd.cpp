// The single-line editor window: editing keys, mouse selection, clipboard,
// caret blinking and the input-method spot.
#include "ui/controls/EditWnd.h"

#include <algorithm>

#include "platform/window/NativeWindow.h"
#include "ui/controls/EditUI.h"
#include "ui/core/DrawTextFlags.h"
#include "ui/core/PaintDC.h"
#include "ui/core/SkinFont.h"

namespace SkinUI {
namespace {

constexpr UINT_PTR kCaretTimer = 1;
constexpr UINT kCaretMs = 530;
constexpr uint32_t kSelectionBk = 0xFF3399FF;
constexpr unsigned kTextFormat = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX;

}  // namespace

CEditWnd::CEditWnd(CEditUI& edit) : m_pOwner(&edit) {}

CEditWnd::~CEditWnd() = default;

CEditWnd* CEditWnd::Open(CWindowWnd& page, CEditUI& edit) {
  auto* self = new CEditWnd(edit);
  const RECT rc = edit.EditWindowRect();
  self->m_pFont = edit.EditFont();
  self->m_text = edit.Text();
  self->m_limit = edit.MaxChar();
  self->m_password = edit.IsPasswordMode() ? edit.PasswordChar() : 0;
  self->m_readOnly = edit.IsReadOnly();
  self->m_numberOnly = edit.IsNumberOnly();
  self->m_textColor = edit.NativeTextColor();
  if (edit.NativeBkColor() != 0xFFFFFFFF) self->m_bkColor = edit.NativeBkColor() | 0xFF000000;
  if (static_cast<int>(self->m_text.size()) > self->m_limit) self->m_text.resize(static_cast<size_t>(self->m_limit));
  self->m_caret = self->m_anchor = static_cast<int>(self->m_text.size());
  if (!self->Create(page.GetHWND(), L"", WS_CHILD, 0, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top)) {
    delete self;
    return nullptr;
  }
  platform::EnableWindow(self->m_hWnd, edit.IsEnabled());
  platform::ShowWindow(self->m_hWnd, SW_SHOWNOACTIVATE);
  platform::SetFocus(self->m_hWnd);
  self->m_init = true;
  return self;
}

std::wstring CEditWnd::Display() const {
  return m_password ? std::wstring(m_text.size(), m_password) : m_text;
}

int CEditWnd::PrefixWidth(int chars) const {
  if (chars <= 0) return 0;
  const std::wstring shown = Display().substr(0, static_cast<size_t>(chars));
  return CPaintDC::MeasureText(shown, m_pFont, kTextFormat).cx;
}

int CEditWnd::IndexAt(int x) const {
  const int target = x + m_scroll;
  const int n = static_cast<int>(m_text.size());
  int prev = 0;
  for (int i = 1; i <= n; ++i) {
    const int w = PrefixWidth(i);
    if (target < (prev + w) / 2) return i - 1;
    prev = w;
  }
  return n;
}

void CEditWnd::KeepCaretVisible() {
  RECT rc;
  platform::GetClientRect(m_hWnd, &rc);
  const int width = std::max(1, static_cast<int>(rc.right) - 1);
  const int x = PrefixWidth(m_caret);
  if (x - m_scroll > width) m_scroll = x - width;
  if (x - m_scroll < 0) m_scroll = x;
  const int total = PrefixWidth(static_cast<int>(m_text.size()));
  if (total - m_scroll < width) m_scroll = std::max(0, total - width);
}

void CEditWnd::UpdateIme() {
  if (!m_hWnd) return;
  RECT rc;
  platform::GetClientRect(m_hWnd, &rc);
  const int h = m_pFont ? m_pFont->TextMetrics().height : 16;
  POINT spot{PrefixWidth(m_caret) - m_scroll, std::max(0, (static_cast<int>(rc.bottom) - h) / 2)};
  platform::SetImeSpot(m_hWnd, spot, h, true);
}

void CEditWnd::MoveCaret(int pos, bool extend) {
  m_caret = std::clamp(pos, 0, static_cast<int>(m_text.size()));
  if (!extend) m_anchor = m_caret;
  m_caretOn = true;
  if (m_hWnd) platform::SetTimer(m_hWnd, kCaretTimer, kCaretMs, nullptr);
  KeepCaretVisible();
  UpdateIme();
  platform::InvalidateRect(m_hWnd, nullptr, false);
}

void CEditWnd::Changed() {
  KeepCaretVisible();
  platform::InvalidateRect(m_hWnd, nullptr, false);
  if (m_init && m_pOwner) m_pOwner->OnEditWindowTextChanged(m_text);
}

void CEditWnd::Replace(const std::wstring& input) {
  if (m_readOnly) return;
  std::wstring text;
  for (wchar_t ch : input) {
    if (ch == L'\r' || ch == L'\n') break;  // one line only
    if (ch < 0x20 || ch == 0x7F) continue;
    if (m_numberOnly && (ch < L'0' || ch > L'9')) continue;
    text.push_back(ch);
  }
  const int start = SelStart();
  const int end = SelEnd();
  const int room = m_limit - (static_cast<int>(m_text.size()) - (end - start));
  if (room < static_cast<int>(text.size())) text.resize(static_cast<size_t>(std::max(room, 0)));
  if (text.empty() && start == end) return;
  m_text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), text);
  m_caret = m_anchor = start + static_cast<int>(text.size());
  MoveCaret(m_caret, false);
  Changed();
}

void CEditWnd::OnKey(UINT vk) {
  const bool shift = platform::IsKeyDown(VK_SHIFT);
  const bool ctrl = platform::IsKeyDown(VK_CONTROL);
  const int n = static_cast<int>(m_text.size());
  switch (vk) {
    case VK_LEFT:
      if (!shift && SelStart() != SelEnd()) {
        MoveCaret(SelStart(), false);
      } else {
        MoveCaret(m_caret - 1, shift);
      }
      break;
    case VK_RIGHT:
      if (!shift && SelStart() != SelEnd()) {
        MoveCaret(SelEnd(), false);
      } else {
        MoveCaret(m_caret + 1, shift);
      }
      break;
    case VK_HOME:
      MoveCaret(0, shift);
      break;
    case VK_END:
      MoveCaret(n, shift);
      break;
    case VK_BACK:
      if (m_readOnly) break;
      if (SelStart() == SelEnd() && m_caret > 0) m_anchor = m_caret - 1;
      Replace(L"");
      break;
    case VK_DELETE:
      if (m_readOnly) break;
      if (shift && SelStart() != SelEnd()) {  // Shift+Delete cuts
        platform::SetClipboardText(m_hWnd, m_text.substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelEnd() - SelStart())));
      } else if (SelStart() == SelEnd() && m_caret < n) {
        m_anchor = m_caret + 1;
      }
      Replace(L"");
      break;
    case 'A':
      if (ctrl) SetSel(0, -1);
      break;
    case 'C':
    case 'X':
      if (ctrl && SelStart() != SelEnd() && !m_password) {
        platform::SetClipboardText(m_hWnd, m_text.substr(static_cast<size_t>(SelStart()),
                                                         static_cast<size_t>(SelEnd() - SelStart())));
        if (vk == 'X') Replace(L"");
      }
      break;
    case 'V':
      if (ctrl) {
        std::wstring clip;
        if (platform::GetClipboardText(m_hWnd, &clip)) Replace(clip);
      }
      break;
    case VK_INSERT:
      if (shift) {
        std::wstring clip;
        if (platform::GetClipboardText(m_hWnd, &clip)) Replace(clip);
      } else if (ctrl && SelStart() != SelEnd() && !m_password) {
        platform::SetClipboardText(m_hWnd, m_text.substr(static_cast<size_t>(SelStart()),
                                                         static_cast<size_t>(SelEnd() - SelStart())));
      }
      break;
    default:
      break;
  }
}

void CEditWnd::Paint() {
  RECT rc;
  platform::GetClientRect(m_hWnd, &rc);
  platform::ValidateRect(m_hWnd, nullptr);
  if (rc.right <= 0 || rc.bottom <= 0) return;
  if (!m_surface || m_surface->Width() != rc.right || m_surface->Height() != rc.bottom) {
    m_surface = std::make_unique<CSurfaceUI>(rc.right, rc.bottom);
  }
  if (!m_surface->IsValid()) return;
  m_surface->Clear(m_bkColor);
  {
    CPaintDC dc(*m_surface);
    const std::wstring shown = Display();
    const RECT textRc{-m_scroll, 0, rc.right + PrefixWidth(static_cast<int>(m_text.size())), rc.bottom};
    const bool focused = platform::GetFocus() == m_hWnd;
    dc.DrawText(textRc, shown, m_textColor & 0xFFFFFF, m_pFont, kTextFormat);
    if (SelStart() != SelEnd() && focused) {
      const int x0 = PrefixWidth(SelStart()) - m_scroll;
      const int x1 = PrefixWidth(SelEnd()) - m_scroll;
      const RECT sel{x0, 0, x1, rc.bottom};
      dc.FillRect(sel, kSelectionBk);
      const int depth = dc.PushClipRect(sel);
      dc.DrawText(textRc, shown, 0xFFFFFF, m_pFont, kTextFormat);
      dc.PopClipTo(depth);
    }
    if (focused && m_caretOn) {
      const int x = PrefixWidth(m_caret) - m_scroll;
      const int h = m_pFont ? m_pFont->TextMetrics().height : rc.bottom;
      const int top = std::max(0, (static_cast<int>(rc.bottom) - h) / 2);
      dc.FillRect(RECT{x, top, x + 1, std::min(static_cast<int>(rc.bottom), top + h)}, 0xFF000000 | (m_textColor & 0xFFFFFF));
    }
  }
  platform::PresentPixels(m_hWnd, m_surface->Pixels(), m_surface->Stride(), m_surface->Width(), m_surface->Height(),
                          rc);
}

LRESULT CEditWnd::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFOCUS:
      m_caretOn = true;
      platform::SetTimer(m_hWnd, kCaretTimer, kCaretMs, nullptr);
      UpdateIme();
      platform::InvalidateRect(m_hWnd, nullptr, false);
      return 0;
    case WM_KILLFOCUS:
      // Editing ends when the field loses the focus.
      platform::KillTimer(m_hWnd, kCaretTimer);
      platform::SetImeSpot(m_hWnd, POINT{}, 0, false);
      platform::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_TIMER:
      if (wParam == kCaretTimer) {
        m_caretOn = !m_caretOn;
        platform::InvalidateRect(m_hWnd, nullptr, false);
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        if (m_pOwner) m_pOwner->OnEditWindowReturn();
        return 0;
      }
      if (wParam == VK_TAB) return 0;
      OnKey(static_cast<UINT>(wParam));
      return 0;
    case WM_CHAR:
      if (wParam >= 0x20 && wParam != 0x7F && !platform::IsKeyDown(VK_CONTROL)) {
        Replace(std::wstring(1, static_cast<wchar_t>(wParam)));
      }
      return 0;
    case WM_LBUTTONDOWN:
      platform::SetCapture(m_hWnd);
      m_dragging = true;
      MoveCaret(IndexAt(GET_X_LPARAM(lParam)), (wParam & MK_SHIFT) != 0);
      return 0;
    case WM_MOUSEMOVE:
      if (m_dragging && (wParam & MK_LBUTTON)) MoveCaret(IndexAt(GET_X_LPARAM(lParam)), true);
      return 0;
    case WM_LBUTTONUP:
      if (m_dragging) platform::ReleaseCapture();
      m_dragging = false;
      return 0;
    case WM_LBUTTONDBLCLK:
      SetSel(0, -1);
      return 0;
    case WM_SETCURSOR:
      platform::SetCursor(IDC_IBEAM);
      return 1;
    case WM_CLOSE:
      platform::DestroyWindow(m_hWnd);
      return 0;
    default:
      return platform::DefWindowProcW(m_hWnd, msg, wParam, lParam);
  }
}

void CEditWnd::OnWindowGone(HWND) {
  CEditUI* owner = m_pOwner;
  m_pOwner = nullptr;
  if (owner) owner->OnEditWindowGone();
  delete this;
}

void CEditWnd::SetText(const std::wstring& text) {
  std::wstring t = text;
  if (static_cast<int>(t.size()) > m_limit) t.resize(static_cast<size_t>(m_limit));
  if (t == m_text) return;
  m_text = t;
  m_caret = m_anchor = static_cast<int>(m_text.size());
  KeepCaretVisible();
  platform::InvalidateRect(m_hWnd, nullptr, false);
}

void CEditWnd::SetSel(int start, int end) {
  const int n = static_cast<int>(m_text.size());
  if (end < 0) end = n;
  m_anchor = std::clamp(start, 0, n);
  MoveCaret(std::clamp(end, 0, n), true);
}

void CEditWnd::SetPasswordChar(wchar_t ch) {
  m_password = ch;
  KeepCaretVisible();
  platform::InvalidateRect(m_hWnd, nullptr, false);
}

void CEditWnd::SetLimitText(int maxChars) { m_limit = std::max(0, maxChars); }

void CEditWnd::SetReadOnly(bool readOnly) { m_readOnly = readOnly; }

void CEditWnd::SetEnabled(bool enabled) {
  if (m_hWnd) platform::EnableWindow(m_hWnd, enabled);
}

void CEditWnd::SetPos(const RECT& rc) {
  if (m_hWnd) platform::MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, true);
}

void CEditWnd::Forget() {
  m_pOwner = nullptr;
  HWND hwnd = m_hWnd;
  // Last statement: the window's end deletes this object.
  if (hwnd && platform::IsWindow(hwnd)) platform::DestroyWindow(hwnd);
}

}  // namespace SkinUI
