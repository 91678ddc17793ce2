// CWindowWnd: the framework's wrapper of a native window, with class
// registration, the window procedure that binds the object, the modal loop
// with close codes, and the geometry helpers every page uses.
#pragma once

#include <string>

#include "platform/window/NativeWindow.h"
#include "platform/window/WinUser.h"
#include "ui/core/UserUIMessage.h"

namespace SkinUI {

// Style the pages are created with (caption, system menu, frame, minimise box).
constexpr DWORD kPageStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

// UI thread only, except PostUICall / IsClosing (any thread).
class CWindowWnd : public CUserUIMessageT<CWindowWnd> {
 public:
  CWindowWnd();
  virtual ~CWindowWnd();
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // Registers the class (once) and creates the window; null on failure.
  HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT);
  // Shows the window and serves this thread's messages until it is gone; the
  // result is the code of the last posted WM_CLOSE (0 when the system closed
  // it). The owner is disabled meanwhile. 0 at once without a window.
  int RunModal();
  // Marks the window closing (cross-thread calls are refused from now on) and
  // posts WM_CLOSE with `code`. Does not wait.
  void Close(int code = IDOK);
  // Centres on the owner (or the work area), then clamps into the work area.
  void CenterOnOwner();
  // Client size; -1 keeps a dimension.
  void SetClientSize(int cx, int cy);
  // Window icon from the packaged icon group 101 (an ICO file).
  void ApplyAppIcon();
  void ShowWindow(bool show = true, bool takeFocus = true);
  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  bool IsModal() const { return m_bModal; }

 protected:
  virtual const wchar_t* WindowClassName() const = 0;
  // Non-null: the window superclasses that registered class.
  virtual const wchar_t* SuperclassName() const { return nullptr; }
  virtual UINT WindowClassStyle() const { return 0; }
  virtual LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // After the native window is gone (the object may delete itself here).
  virtual void OnWindowGone(HWND hwnd);
  // The modal loop offers every message of this thread to the window whose
  // tree it belongs to before dispatching it; true consumes it.
  virtual bool PreMessage(const MSG& msg);

  static LRESULT CALLBACK_WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK_SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
  WNDPROC m_OldWndProc = nullptr;
  bool m_bSubclassed = false;
  bool m_bModal = false;

 private:
  bool RegisterWindowClass();
  bool RegisterSuperclass();
  static LRESULT Route(CWindowWnd* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// The framework window object bound to a native window, or null.
CWindowWnd* WindowFromHandle(HWND hwnd);

// Decodes the best image of an ICO file for a size x size icon, scaled to it.
bool DecodeIcoImage(const unsigned char* data, size_t size, int wanted, platform::IconImage* out);

}  // namespace SkinUI
