// The window a CSkinManagerUI draws into, seen from the manager: the few native
// services the control tree needs. The window layer implements it; tests fake it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WinTypes.h"

namespace SkinUI {

class CEditUI;

// Native message numbers the manager's message entry (CSkinManagerUI::HandleMessage)
// and the message filters understand.
namespace UIMsg {
constexpr unsigned kClose = 0x0010;
constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kKeyUp = 0x0101;
constexpr unsigned kChar = 0x0102;
constexpr unsigned kSysKeyDown = 0x0104;
constexpr unsigned kSysChar = 0x0106;
constexpr unsigned kTimer = 0x0113;
constexpr unsigned kMouseMove = 0x0200;
constexpr unsigned kLButtonDown = 0x0201;
constexpr unsigned kLButtonUp = 0x0202;
constexpr unsigned kLButtonDblClk = 0x0203;
constexpr unsigned kRButtonDown = 0x0204;
constexpr unsigned kMouseWheel = 0x020A;
constexpr unsigned kMouseHover = 0x02A1;
constexpr unsigned kMouseLeave = 0x02A3;
constexpr unsigned kContextMenu = 0x007B;
// Posted by the manager to its own window: delete the controls queued for deletion.
constexpr unsigned kReapControls = 0x8000 + 1;
}  // namespace UIMsg

enum class UICursor { Arrow, Hand, IBeam };

// The native single-line editor that serves a CEditUI while it has the keyboard focus.
// It is owned by the window layer and ends itself when it loses the focus; at its end it
// calls CEditUI::OnEditWindowGone() exactly once (unless Forget() was called).
// The editor reports edits through CEditUI::OnEditWindowTextChanged and
// CEditUI::OnEditWindowReturn. UI thread only.
class IEditWindowUI {
 public:
  virtual void SetText(const std::wstring& text) = 0;
  virtual std::wstring Text() const = 0;
  // Selects [start, end) in characters; end -1 = to the end.
  virtual void SetSel(int start, int end) = 0;
  virtual void SetPasswordChar(wchar_t ch) = 0;  // 0 = show the text
  virtual void SetLimitText(int maxChars) = 0;
  virtual void SetReadOnly(bool readOnly) = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Client coordinates of the page window.
  virtual void SetPos(const RECT& rc) = 0;
  // The owning control is going away: never call it back, and close.
  virtual void Forget() = 0;

 protected:
  ~IEditWindowUI() = default;
};

// Native ids of timers: the manager owns them (it counts and never hands out an id that
// one of its entries still holds); the host only arms and kills them and reports a fired
// id through CSkinManagerUI::OnTimer. Ids are in 1..254. UI thread only.
class IManagerHostUI {
 public:
  // Schedules a repaint of a client rectangle; never paints on the spot. The window
  // later calls CSkinManagerUI::Paint for the accumulated area.
  virtual void Invalidate(const RECT& rc) = 0;
  virtual RECT ClientRect() const = 0;
  // Resizes the client area (the skin's "size" before a root exists).
  virtual void ResizeClient(int cx, int cy) = 0;

  // Arms (or re-arms with a new period) the native timer `nativeId`.
  virtual bool SetNativeTimer(unsigned nativeId, unsigned milliseconds) = 0;
  virtual void KillNativeTimer(unsigned nativeId) = 0;

  // Pointer capture: while set, mouse input goes to this window even outside it.
  virtual void SetCapture() = 0;
  virtual void ReleaseCapture() = 0;
  virtual void SetCursor(UICursor cursor) = 0;
  // Asks for one OnMouseHover after the pointer rests `hoverMs` and one OnMouseLeave
  // when it leaves the window; the manager calls it once per entry of the pointer.
  virtual void TrackMouse(unsigned hoverMs) = 0;

  // Tooltip over `rc` (client coordinates), at most `maxWidth` pixels wide.
  virtual void ShowToolTip(const std::wstring& text, const RECT& rc, int maxWidth) = 0;
  virtual void HideToolTip() = 0;

  // Keyboard focus of the native window itself.
  virtual bool HasNativeFocus() const = 0;
  virtual void SetNativeFocus() = 0;

  // Creates the native editor for `edit` (positioned at edit.EditWindowRect(), with
  // the edit's font, text, limit, password character, read-only state and colours),
  // shows it without activating and gives it the keyboard focus. Null on failure.
  // The returned object is not owned by the caller (see IEditWindowUI).
  virtual IEditWindowUI* CreateEditWindow(CEditUI& edit) = 0;

  // Posts a message to this window's own queue (never handled inline); the window
  // hands it back through CSkinManagerUI::HandleMessage.
  virtual void PostSelf(unsigned msg, uintptr_t wParam, intptr_t lParam) = 0;
  // Closes the window with a close code (posted).
  virtual void CloseWindow(int code) = 0;

  // The root was attached: the window creates its shadow from the manager's settings.
  virtual void RootAttached() {}

 protected:
  ~IManagerHostUI() = default;
};

}  // namespace SkinUI
