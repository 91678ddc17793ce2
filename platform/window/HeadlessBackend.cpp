// The headless back end: virtual windows on a virtual screen. Input comes
// from the test hooks (through the same pipeline as real events) and the
// presented pixels are kept so tests can read windows back as images.
#include <algorithm>
#include <cstring>
#include <mutex>

#include <cairo.h>

#include "platform/window/Headless.h"
#include "platform/window/Internal.h"

namespace platform {
namespace detail {

std::vector<HWND> ZOrderSnapshot();

namespace {

std::mutex g_screenMu;
RECT g_monitor{0, 0, 1920, 1080};
RECT g_work{0, 0, 1920, 1080};
std::mutex g_clipMu;
std::wstring g_clipboard;

class HeadlessBackend final : public Backend {
 public:
  bool InitThread(ThreadQueue&) override { return true; }
  void EndThread(ThreadQueue&) override {}
  int ConnectionFd(ThreadQueue&) override { return -1; }
  void Pump(ThreadQueue&) override {}
  void Flush(ThreadQueue&) override {}
  bool CreateNative(ThreadQueue&, WindowRec&) override { return true; }
  void DestroyNative(ThreadQueue&, WindowRec&) override {}
  void Show(ThreadQueue&, WindowRec&, bool, bool) override {}
  void Iconify(ThreadQueue&, WindowRec&, bool) override {}
  void ApplyGeometry(ThreadQueue&, WindowRec&) override {}
  void ApplyStyle(ThreadQueue&, WindowRec&) override {}
  void SetTitle(ThreadQueue&, WindowRec&) override {}
  void SetRegion(ThreadQueue&, WindowRec&) override {}
  void Present(ThreadQueue&, WindowRec& w, const uint32_t* px, int stride, int width, int height,
               const RECT& area) override {
    if (w.imageW != width || w.imageH != height) {
      w.image.assign(static_cast<size_t>(width) * height, 0);
      w.imageW = width;
      w.imageH = height;
    }
    for (int y = area.top; y < area.bottom; ++y) {
      const uint8_t* src = reinterpret_cast<const uint8_t*>(px) + static_cast<size_t>(y) * stride + area.left * 4;
      std::memcpy(&w.image[static_cast<size_t>(y) * width + area.left], src,
                  static_cast<size_t>(area.right - area.left) * 4);
    }
  }
  void PresentLayered(ThreadQueue&, WindowRec&) override {}
  void FocusTop(ThreadQueue&, WindowRec&) override {}
  void SetCursor(ThreadQueue&, WindowRec*, int) override {}
  bool WmMoveResize(ThreadQueue&, WindowRec&, LRESULT, POINT) override { return false; }
  void SetIcon(ThreadQueue&, WindowRec&) override {}
  bool SetClipboard(ThreadQueue&, WindowRec*, const std::wstring& text) override {
    std::lock_guard<std::mutex> guard(g_clipMu);
    g_clipboard = text;
    return true;
  }
  bool GetClipboard(ThreadQueue&, WindowRec*, std::wstring* text, int) override {
    std::lock_guard<std::mutex> guard(g_clipMu);
    *text = g_clipboard;
    return true;
  }
  void ImeSpot(ThreadQueue&, WindowRec&, POINT, int, bool) override {}
  bool HasCompositor(ThreadQueue&) override { return true; }
  void Screen(ThreadQueue&, RECT* monitor, RECT* work) override {
    std::lock_guard<std::mutex> guard(g_screenMu);
    *monitor = g_monitor;
    *work = g_work;
  }
  POINT CursorPos(ThreadQueue& q) override { return q.cursor; }
};

bool QueueFor(HWND hwnd, InputEvent ev) {
  auto rec = Rec(hwnd);
  if (!rec) return false;
  ev.hwnd = GetAncestorRoot(hwnd);
  QueueInput(*rec->queue, std::move(ev));
  return true;
}

}  // namespace

std::unique_ptr<Backend> MakeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace detail

namespace headless {

using namespace detail;

bool InjectMouse(HWND hwnd, Mouse action, int x, int y) {
  POINT p{x, y};
  if (!ClientToScreen(hwnd, &p)) return false;
  InputEvent ev;
  ev.screen = p;
  switch (action) {
    case Mouse::Move:
      ev.kind = InputEvent::EvPointerMove;
      break;
    case Mouse::LeftDown:
      ev.kind = InputEvent::EvButtonDown;
      ev.button = 1;
      break;
    case Mouse::LeftUp:
      ev.kind = InputEvent::EvButtonUp;
      ev.button = 1;
      break;
    case Mouse::RightDown:
      ev.kind = InputEvent::EvButtonDown;
      ev.button = 3;
      break;
    case Mouse::RightUp:
      ev.kind = InputEvent::EvButtonUp;
      ev.button = 3;
      break;
    case Mouse::WheelUp:
      ev.kind = InputEvent::EvWheel;
      ev.button = 1;
      break;
    case Mouse::WheelDown:
      ev.kind = InputEvent::EvWheel;
      ev.button = -1;
      break;
  }
  return QueueFor(hwnd, std::move(ev));
}

bool Click(HWND hwnd, int x, int y) {
  return InjectMouse(hwnd, Mouse::Move, x, y) && InjectMouse(hwnd, Mouse::LeftDown, x, y) &&
         InjectMouse(hwnd, Mouse::LeftUp, x, y);
}

bool Key(HWND hwnd, UINT vk, const std::wstring& text, unsigned mods) {
  InputEvent down;
  down.kind = InputEvent::EvKeyDown;
  down.vk = vk;
  down.text = text;
  down.mods = (mods & (MK_SHIFT | MK_CONTROL)) | ((mods & kAlt) ? kAltMod : 0);
  InputEvent up = down;
  up.kind = InputEvent::EvKeyUp;
  up.text.clear();
  return QueueFor(hwnd, std::move(down)) && QueueFor(hwnd, std::move(up));
}

bool CommitText(HWND hwnd, const std::wstring& text) {
  InputEvent ev;
  ev.kind = InputEvent::EvText;
  ev.text = text;
  return QueueFor(hwnd, std::move(ev));
}

bool RequestClose(HWND hwnd) {
  InputEvent ev;
  ev.kind = InputEvent::EvCloseRequest;
  return QueueFor(hwnd, std::move(ev));
}

bool CaptureWindow(HWND hwnd, Image* out) {
  auto rec = Rec(hwnd);
  if (!rec || !out || rec->imageW == 0) return false;
  out->width = rec->imageW;
  out->height = rec->imageH;
  out->argb = rec->image;
  RECT base;
  GetWindowRect(hwnd, &base);
  // Children drawn over their parent, bottom to top.
  std::vector<HWND> stack(rec->children.begin(), rec->children.end());
  for (size_t i = 0; i < stack.size(); ++i) {
    auto c = Rec(stack[i]);
    if (!c) continue;
    for (HWND g : c->children) stack.push_back(g);
  }
  for (HWND ch : stack) {
    auto c = Rec(ch);
    if (!c || !IsWindowVisible(ch) || c->imageW == 0) continue;
    RECT rc;
    GetWindowRect(ch, &rc);
    for (int y = 0; y < c->imageH; ++y) {
      int ty = rc.top - base.top + y;
      if (ty < 0 || ty >= out->height) continue;
      for (int x = 0; x < c->imageW; ++x) {
        int tx = rc.left - base.left + x;
        if (tx < 0 || tx >= out->width) continue;
        out->argb[static_cast<size_t>(ty) * out->width + tx] = c->image[static_cast<size_t>(y) * c->imageW + x];
      }
    }
  }
  if (rec->region) {
    for (int y = 0; y < out->height; ++y) {
      for (int x = 0; x < out->width; ++x) {
        if (!rec->region->Contains(x, y)) out->argb[static_cast<size_t>(y) * out->width + x] = 0;
      }
    }
  }
  return true;
}

int PresentCount(HWND hwnd) {
  auto rec = Rec(hwnd);
  return rec ? rec->presents : 0;
}

bool SavePng(const Image& image, const std::string& path) {
  if (image.width <= 0 || image.height <= 0) return false;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(data + static_cast<size_t>(y) * stride, &image.argb[static_cast<size_t>(y) * image.width],
                static_cast<size_t>(image.width) * 4);
  }
  cairo_surface_mark_dirty(s);
  const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

void SetScreen(int width, int height, const RECT& workArea) {
  std::lock_guard<std::mutex> guard(g_screenMu);
  g_monitor = RECT{0, 0, width, height};
  g_work = workArea;
}

}  // namespace headless
}  // namespace platform
