// The records that travel through the skin framework: input events handed from the
// manager into a control, and notifications a control raises for its page.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WinTypes.h"

namespace SkinUI {

class CControlUI;

// Kinds of UIEvent (the values are kept stable; pages and controls compare them).
enum UIEventKind : int {
  UIEVENT_KEYDOWN = 3,
  UIEVENT_KEYUP = 4,
  UIEVENT_CHAR = 5,
  UIEVENT_SYSKEY = 6,
  UIEVENT_MOUSEMOVE = 9,
  UIEVENT_MOUSELEAVE = 10,
  UIEVENT_MOUSEENTER = 11,
  UIEVENT_MOUSEHOVER = 12,
  UIEVENT_BUTTONDOWN = 13,
  UIEVENT_BUTTONUP = 14,
  UIEVENT_RBUTTONDOWN = 15,
  UIEVENT_DBLCLICK = 16,
  UIEVENT_CONTEXTMENU = 17,
  UIEVENT_SCROLLWHEEL = 18,
  UIEVENT_KILLFOCUS = 20,
  UIEVENT_SETFOCUS = 21,
  UIEVENT_WINDOWSIZE = 22,
  UIEVENT_SETCURSOR = 23,
  UIEVENT_TIMER = 24,
};

// Key-state bits of mouse events (same values as the native MK_* flags).
constexpr uint16_t UIKEY_LBUTTON = 0x0001;
constexpr uint16_t UIKEY_RBUTTON = 0x0002;
constexpr uint16_t UIKEY_SHIFT = 0x0004;
constexpr uint16_t UIKEY_CONTROL = 0x0008;

// Virtual key codes the framework itself reacts to.
constexpr unsigned UIVK_TAB = 0x09;
constexpr unsigned UIVK_RETURN = 0x0D;
constexpr unsigned UIVK_ESCAPE = 0x1B;
constexpr unsigned UIVK_SPACE = 0x20;

// An input event delivered into one control. Points are client coordinates.
struct UIEvent {
  int kind = 0;
  CControlUI* sender = nullptr;  // not owned
  uint32_t timestamp = 0;        // ms, monotonic
  POINT mousePos;
  wchar_t key = 0;       // virtual key (KeyDown/KeyUp) or character (Char)
  uint16_t keyState = 0; // UIKEY_* bits
  uintptr_t wParam = 0;  // TimerTick: the control-local timer id; ScrollWheel: the delta
  intptr_t lParam = 0;
};

// A notification raised by a control (or the manager) for the page.
struct UINotification {
  std::wstring type;           // "click", "selectchanged", "windowinit", ...
  std::wstring virtualWindow;  // empty unless a control names one
  CControlUI* sender = nullptr;  // not owned
  uint32_t timestamp = 0;      // ms, monotonic
  POINT mousePos;              // last client mouse position
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// Receives every notification of a window, after the sender's own OnNotify list.
class INotifyUI {
 public:
  virtual void OnNotification(UINotification& msg) = 0;

 protected:
  ~INotifyUI() = default;
};

// Sees a window's messages before the controls do. A filter sets `handled` to consume
// the message. Message numbers are the native ones (see UIMsg in ManagerHostUI.h).
class IMessageFilterUI {
 public:
  virtual intptr_t MessageHandler(unsigned msg, uintptr_t wParam, intptr_t lParam,
                                  bool& handled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

// Monotonic milliseconds, the time stamp of events and notifications.
uint32_t UITickCount();

}  // namespace SkinUI
