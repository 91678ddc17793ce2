// Tooltips: one override-redirect popup per UI thread, drawn with the
// layer's canvas.
#include <algorithm>
#include <string>

#include "platform/window/DrawKit.h"
#include "platform/window/NativeWindow.h"

namespace platform {
namespace {

constexpr int kTextPx = 12;
constexpr int kPad = 4;

struct TipState {
  HWND hwnd = nullptr;
  std::wstring text;
  int maxWidth = 0;
};
thread_local TipState t_tip;

void PaintTip(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  Canvas canvas(rc.right, rc.bottom);
  canvas.Fill(rc, 0xFFFFFFE1);
  canvas.Frame(rc, 0xFF767676);
  RECT text{kPad, kPad, rc.right - kPad, rc.bottom - kPad};
  canvas.Text(text, t_tip.text, kTextPx, 0xFF000000, 0, t_tip.maxWidth > 0);
  canvas.Present(hwnd);
  ValidateRect(hwnd, nullptr);
}

LRESULT TipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      PaintTip(hwnd);
      return 0;
    case WM_NCHITTEST:
      return HTNOWHERE;
    case WM_NCDESTROY:
      if (t_tip.hwnd == hwnd) t_tip.hwnd = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

void ShowTooltip(HWND owner, const std::wstring& text, const RECT& anchor, int maxWidth) {
  if (text.empty()) {
    HideTooltip();
    return;
  }
  if (!t_tip.hwnd) {
    WNDCLASSW wc;
    wc.lpfnWndProc = TipProc;
    wc.lpszClassName = L"tooltips_class32";
    RegisterClassW(wc);
    t_tip.hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_TRANSPARENT, L"tooltips_class32", L"",
                                 WS_POPUP, 0, 0, 1, 1, owner, nullptr);
    if (!t_tip.hwnd) return;
  }
  t_tip.text = text;
  t_tip.maxWidth = maxWidth;
  SIZE sz = Canvas::Measure(text, kTextPx, maxWidth > 0 ? maxWidth - 2 * kPad : 0);
  const int w = sz.cx + 2 * kPad;
  const int h = sz.cy + 2 * kPad;
  RECT work;
  GetMonitorInfoForWindow(owner, nullptr, &work);
  POINT cursor = GetCursorPos();
  // Below the pointer when it is over the anchor, else below the anchor.
  int x = anchor.left;
  int y = anchor.bottom + 2;
  if (cursor.x >= anchor.left && cursor.x < anchor.right && cursor.y >= anchor.top && cursor.y < anchor.bottom) {
    x = cursor.x;
    y = cursor.y + 20;
  }
  x = std::max(work.left, std::min(x, work.right - w));
  if (y + h > work.bottom) y = anchor.top - h - 2;
  SetWindowPos(t_tip.hwnd, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(t_tip.hwnd, SW_SHOWNA);
  InvalidateRect(t_tip.hwnd, nullptr, false);
}

void HideTooltip() {
  if (t_tip.hwnd) ShowWindow(t_tip.hwnd, SW_HIDE);
}

HWND TooltipWindow() { return t_tip.hwnd; }

}  // namespace platform
