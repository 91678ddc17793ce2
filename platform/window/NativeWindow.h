// The native window layer: windows, per-thread message queues, timers, focus,
// capture, pixels and the clipboard, with an X11 and a headless back end.
// Every window belongs to the thread that created it; calls that change a
// window (creation, destruction, showing, moving, focus, capture, timers)
// must be made on that thread. PostMessageW, SendMessageW, IsWindow and the
// geometry queries work from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/window/WinUser.h"

namespace platform {

enum class WindowBackend { Headless, X11 };

// Chooses the back end; only before the first window is made (false after).
bool SetWindowBackend(WindowBackend backend);
// The back end in use: the one set, else INSTALLER_WINDOW_BACKEND ("x11" or
// "headless"), else X11 when DISPLAY is set, else headless.
WindowBackend CurrentWindowBackend();
// Opens the calling thread's connection (done implicitly by the first call
// that needs it). False when the X server cannot be reached.
bool InitWindowSystem();

// --- classes and windows --------------------------------------------------
bool RegisterClassW(const WNDCLASSW& wc);  // true also when the class exists
bool GetClassInfoW(const wchar_t* className, WNDCLASSW* out);
// parent: the parent of a WS_CHILD window, else the owner. Sends WM_NCCREATE
// (lParam = CREATESTRUCTW*), WM_CREATE; a WM_NCCREATE of 0 or a WM_CREATE of
// -1 destroys the window and gives null. There is no non-client area: the
// window rectangle is the client rectangle (a window manager frame, if any,
// lies outside it).
HWND CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, void* param);
bool DestroyWindow(HWND hwnd);  // owning thread only; owned and child windows go first
bool IsWindow(HWND hwnd);
bool IsWindowOnCurrentThread(HWND hwnd);
HWND GetParent(HWND hwnd);  // parent of a child window, else null
HWND GetOwner(HWND hwnd);   // owner of a top-level window, else null
HWND GetAncestorRoot(HWND hwnd);
// The most recent top-level window of a class (and title, unless null); any
// thread.
HWND FindWindowW(const wchar_t* className, const wchar_t* title);

intptr_t GetWindowLongPtrW(HWND hwnd, int index);
intptr_t SetWindowLongPtrW(HWND hwnd, int index, intptr_t value);  // returns the old value
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
bool SetPropW(HWND hwnd, const wchar_t* name, void* value);
void* GetPropW(HWND hwnd, const wchar_t* name);
void* RemovePropW(HWND hwnd, const wchar_t* name);

bool SetWindowTextW(HWND hwnd, const std::wstring& text);  // _NET_WM_NAME (UTF-8)
std::wstring GetWindowTextW(HWND hwnd);
std::wstring GetClassNameW(HWND hwnd);

// --- showing and geometry (screen coordinates for top-level windows,
// parent-client coordinates for child windows) ------------------------------
bool ShowWindow(HWND hwnd, int cmd);  // true when it was visible before
bool IsWindowVisible(HWND hwnd);      // it and all its parents are shown
bool IsIconic(HWND hwnd);
bool IsZoomed(HWND hwnd);
bool EnableWindow(HWND hwnd, bool enable);  // true when it was disabled before
bool IsWindowEnabled(HWND hwnd);
bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint);
bool GetWindowRect(HWND hwnd, RECT* rc);  // always screen coordinates
bool GetClientRect(HWND hwnd, RECT* rc);  // (0, 0, width, height)
bool ClientToScreen(HWND hwnd, POINT* pt);
bool ScreenToClient(HWND hwnd, POINT* pt);
// The monitor holding most of the window (or the primary one for null):
// its rectangle and work area (minus panels and docks when the window
// manager publishes _NET_WORKAREA).
bool GetMonitorInfoForWindow(HWND hwnd, RECT* monitor, RECT* workArea);
int GetSystemMetrics(int index);
POINT GetCursorPos();
DWORD GetTickCount();

// --- painting ------------------------------------------------------------
// The update region is kept as its bounding rectangle. A window with a
// non-empty one gets WM_PAINT when its thread's queue has nothing else.
bool InvalidateRect(HWND hwnd, const RECT* rc, bool erase);  // null = whole client
bool ValidateRect(HWND hwnd, const RECT* rc);
bool GetUpdateRect(HWND hwnd, RECT* rc);  // false when nothing needs painting
bool UpdateWindow(HWND hwnd);             // sends WM_PAINT now if needed
// Copies `area` (client coordinates) of a premultiplied ARGB32 image whose
// origin is the client origin onto the window. stride in bytes.
bool PresentPixels(HWND hwnd, const uint32_t* pixels, int stride, int width, int height, const RECT& area);
// For WS_EX_LAYERED windows: moves and sizes the window to (pos, width x
// height) and shows the premultiplied ARGB32 image with per-pixel alpha.
bool UpdateLayeredWindowPixels(HWND hwnd, const uint32_t* pixels, int stride, int width, int height,
                               POINT pos);

// A window region as a mask in window coordinates; outside it the window is
// not drawn and takes no input.
struct WindowRegion {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> inside;  // width * height, row-major, 1 = inside
  bool Contains(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && inside[static_cast<size_t>(y) * width + x] != 0;
  }
};
// The region of a rectangle [left, right) x [top, bottom) whose corners are
// quarter ellipses of width cx and height cy (as the classic call: pass
// width + 1 and height + 1 for a window of width x height).
WindowRegion CreateRoundRectRgn(int left, int top, int right, int bottom, int cx, int cy);
bool SetWindowRgn(HWND hwnd, const WindowRegion* region, bool redraw);  // null removes it
bool GetWindowRgn(HWND hwnd, WindowRegion* region);                     // false without one

// --- the message queue ---------------------------------------------------
// Posting to a window that is gone (or to null) fails and returns false.
bool PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs the window procedure on the window's thread and returns its result.
// From another thread it waits for that thread (serving messages sent to the
// caller meanwhile); a window that is gone, or goes while the call waits,
// gives 0 at once.
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Waits for the next message of the calling thread (hwnd filter not
// supported: pass null). False on WM_QUIT.
bool GetMessageW(MSG* msg);
// Like GetMessageW but gives up after timeoutMs (false, msg->message =
// WM_NULL); a WM_QUIT gives false with msg->message = WM_QUIT.
bool GetMessageTimeout(MSG* msg, int timeoutMs);
bool PeekMessageW(MSG* msg, bool remove);  // does not wait; false when empty
bool TranslateMessage(const MSG* msg);     // key-down with text -> WM_CHAR next
LRESULT DispatchMessageW(const MSG* msg);  // timer callbacks run here
void PostQuitMessage(int exitCode);
// A posted message whose window is gone before it is fetched (or whose
// thread ends) is handed to the drop handler registered for its number, so
// payloads carried in wParam/lParam can be freed. Process-wide.
using PostedDropFn = void (*)(UINT msg, WPARAM wParam, LPARAM lParam);
void SetPostedDropHandler(UINT msg, PostedDropFn fn);

// --- timers --------------------------------------------------------------
// Per-window ids, like the classic call; re-setting an id re-arms it. With
// a null window a fresh id is returned. The callback, if given, runs from
// DispatchMessageW instead of the window procedure.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
bool KillTimer(HWND hwnd, UINT_PTR id);

// --- input state (per UI thread) -------------------------------------------
HWND SetFocus(HWND hwnd);  // returns the previous focus window of this thread
HWND GetFocus();
HWND SetCapture(HWND hwnd);
bool ReleaseCapture();
HWND GetCapture();
bool SetForegroundWindow(HWND hwnd);  // raises and gives it the X input focus
// WM_MOUSEHOVER after hoverMs of rest and WM_MOUSELEAVE when the pointer
// leaves the client area, once per call (TME_HOVER | TME_LEAVE).
bool TrackMouseEvent(HWND hwnd, DWORD flags, DWORD hoverMs);
void SetCursor(int cursorId);
bool IsKeyDown(UINT vk);  // shift, control and alt state of the current message
// Moves the input-method spot (over-the-spot composition) to a client point of
// hwnd; lineHeight is the text height. enable=false stops composition.
void SetImeSpot(HWND hwnd, POINT client, int lineHeight, bool enable);
// Starts a window move (HTCAPTION) or resize (HTLEFT..HTBOTTOMRIGHT) from the
// current press: the window manager's when there is one, else our own.
bool BeginMoveResize(HWND hwnd, LRESULT hitCode);

// --- window icon and clipboard --------------------------------------------
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // straight (not premultiplied) ARGB, row-major
};
bool SetWindowIcon(HWND hwnd, const std::vector<IconImage>& images);  // _NET_WM_ICON
// The CLIPBOARD selection. Get waits up to timeoutMs for the owner.
bool SetClipboardText(HWND owner, const std::wstring& text);
bool GetClipboardText(HWND requester, std::wstring* text, int timeoutMs = 1000);

// --- tooltips (override-redirect popup) ------------------------------------
// Shows text in a tooltip below (or inside) the screen rectangle `anchor`,
// wrapped at maxWidth pixels (0 = no wrap). One tooltip per UI thread.
void ShowTooltip(HWND owner, const std::wstring& text, const RECT& anchor, int maxWidth);
void HideTooltip();
HWND TooltipWindow();  // null when none has been shown

// --- drawing helpers for the layer's own windows ---------------------------
// Whether a compositing manager owns _NET_WM_CM_S<screen> (ARGB windows then
// blend; without one a layered window would show black). Always true headless.
bool HasCompositingManager();

}  // namespace platform
