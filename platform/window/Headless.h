// Test hooks of the headless back end: synthetic input delivered through the
// same pointer and keyboard paths as real X events, and read-back of window
// images. Safe to call from any thread; input is queued to the window's
// thread and handled there in order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/window/WinUser.h"

namespace platform {
namespace headless {

enum class Mouse { Move, LeftDown, LeftUp, RightDown, RightUp, WheelUp, WheelDown };

// x, y: client coordinates of hwnd (converted to the screen; the window that
// is under that screen point, or the capture window, receives it).
bool InjectMouse(HWND hwnd, Mouse action, int x, int y);
// A click: LeftDown then LeftUp at the same point.
bool Click(HWND hwnd, int x, int y);
// A key press (down then up) to the top-level window of hwnd, going to its
// thread's focus window. text: what the key types (may be empty); mods:
// MK_SHIFT | MK_CONTROL, plus kAlt.
constexpr unsigned kAlt = 0x100;
bool Key(HWND hwnd, UINT vk, const std::wstring& text = L"", unsigned mods = 0);
// Committed input-method text (as a composition that ends), one WM_CHAR each.
bool CommitText(HWND hwnd, const std::wstring& text);
// The user closes the window from its title bar (the window manager's close).
bool RequestClose(HWND hwnd);

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // premultiplied, row-major
  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
};
// The last pixels presented to a window, its children composited over it
// and its region applied (outside = 0). False when never presented.
bool CaptureWindow(HWND hwnd, Image* out);
// How many frames were presented to the window so far.
int PresentCount(HWND hwnd);
// Writes an image as PNG (for test artefacts).
bool SavePng(const Image& image, const std::string& path);

// Screen size of the virtual display (default 1920 x 1080, work area = all).
void SetScreen(int width, int height, const RECT& workArea);

// Answers of the headless dialogs (message box, folder chooser); without a
// hook the message box answers IDOK and the chooser cancels.
void SetMessageBoxAnswer(std::function<int(const std::wstring& text, const std::wstring& caption, unsigned type)> fn);
void SetFolderAnswer(std::function<bool(const std::wstring& title, std::wstring* path)> fn);

}  // namespace headless
}  // namespace platform
