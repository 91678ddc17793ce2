// Shared state of the window layer (records, thread queues) and the back-end
// interface that the X11 and headless implementations fill in. Not part of
// the layer's public interface.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/window/NativeWindow.h"

namespace platform {
namespace detail {

struct ThreadQueue;

struct WindowRec {
  HWND handle = nullptr;
  std::shared_ptr<ThreadQueue> queue;  // the owning UI thread
  std::wstring className;
  std::wstring title;
  WNDPROC proc = nullptr;
  UINT classStyle = 0;
  int classCursor = 0;
  HWND parent = nullptr;  // WS_CHILD windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;  // bottom to top
  intptr_t userData = 0;
  std::vector<std::pair<std::wstring, void*>> props;
  // Set on the owning thread when DestroyWindow starts; read by senders.
  std::atomic<bool> destroying{false};

  // Guarded by the registry lock (read from other threads).
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect;  // screen for top-level windows, parent client for children
  bool visible = false;
  bool enabled = true;
  bool minimized = false;
  bool maximized = false;
  RECT restoreRect;

  // Owner thread only.
  bool hasUpdate = false;
  RECT update;
  std::unique_ptr<WindowRegion> region;
  // Last presented pixels (kept by the headless back end, and by X11 for
  // layered windows so they can be redrawn on expose).
  std::vector<uint32_t> image;
  int imageW = 0;
  int imageH = 0;
  int presents = 0;
  std::vector<IconImage> icons;
  void* native = nullptr;  // back-end data
  uint64_t nativeId = 0;   // X window id (0 headless)
};

struct InputEvent {
  enum Kind {
    EvPointerMove,
    EvButtonDown,
    EvButtonUp,
    EvWheel,
    EvPointerLeave,
    EvKeyDown,
    EvKeyUp,
    EvText,
    EvCloseRequest,
    EvConfigure,
    EvExpose,
    EvFocusIn,
    EvFocusOut,
    EvIconified,
    EvDeiconified,
  };
  Kind kind = EvPointerMove;
  HWND hwnd = nullptr;  // the window the native event came for
  POINT screen;         // pointer position (screen)
  int button = 0;       // 1 left, 3 right; Wheel: +1 up, -1 down
  UINT vk = 0;
  unsigned mods = 0;  // MK_SHIFT | MK_CONTROL | kAltMod
  std::wstring text;
  RECT rect;  // Configure: new screen rect; Expose: client rect
};
constexpr unsigned kAltMod = 0x100;

struct SentItem {
  HWND hwnd = nullptr;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  bool done = false;  // guarded by sender->mu
  std::shared_ptr<ThreadQueue> sender;
};

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  UINT ms = 0;
  TIMERPROC proc = nullptr;
  uint64_t due = 0;
};

struct ThreadQueue {
  std::thread::id tid;
  int wakeFd = -1;  // eventfd

  std::mutex mu;
  std::condition_variable cv;  // sent items arrived or a reply came
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentItem>> sent;
  std::deque<InputEvent> input;
  bool dead = false;

  // Owner thread only.
  std::deque<MSG> front;  // input messages and translated characters
  std::vector<HWND> windows;
  std::vector<Timer> timers;
  UINT_PTR nextThreadTimer = 1;
  bool quit = false;
  int quitCode = 0;
  HWND focus = nullptr;
  HWND capture = nullptr;
  HWND active = nullptr;  // top-level that has the native input focus
  unsigned mods = 0;
  unsigned buttons = 0;  // MK_LBUTTON | MK_RBUTTON held
  POINT cursor;
  HWND trackHwnd = nullptr;
  DWORD trackFlags = 0;
  DWORD hoverMs = 400;
  uint64_t hoverDue = 0;
  HWND lastDown = nullptr;
  uint64_t lastDownTime = 0;
  POINT lastDownPt;
  struct Drag {
    HWND hwnd = nullptr;
    LRESULT hit = 0;
    POINT start;
    RECT startRect;
  } drag;
  int cursorId = IDC_ARROW;
  void* native = nullptr;  // back-end per-thread data
  bool nativeReady = false;

  ThreadQueue();
  ~ThreadQueue();
  void Wake();
};

// The calling thread's queue (made on first use).
ThreadQueue& Self();
std::shared_ptr<ThreadQueue> SelfShared();
std::shared_ptr<WindowRec> Rec(HWND hwnd);
uint64_t NowMs();

// Called by back ends (owner thread) or by the headless injectors (any thread).
void QueueInput(ThreadQueue& q, InputEvent ev);
// Screen rectangle of any window (children included).
RECT ScreenRect(const WindowRec& rec);

class Backend {
 public:
  virtual ~Backend() = default;
  virtual bool InitThread(ThreadQueue& q) = 0;
  virtual void EndThread(ThreadQueue& q) = 0;
  virtual int ConnectionFd(ThreadQueue& q) = 0;  // -1: none
  // Reads pending native events into q.input; flushes requests.
  virtual void Pump(ThreadQueue& q) = 0;
  virtual void Flush(ThreadQueue& q) = 0;
  virtual bool CreateNative(ThreadQueue& q, WindowRec& w) = 0;
  virtual void DestroyNative(ThreadQueue& q, WindowRec& w) = 0;
  virtual void Show(ThreadQueue& q, WindowRec& w, bool show, bool activate) = 0;
  virtual void Iconify(ThreadQueue& q, WindowRec& w, bool iconic) = 0;
  virtual void ApplyGeometry(ThreadQueue& q, WindowRec& w) = 0;
  virtual void ApplyStyle(ThreadQueue& q, WindowRec& w) = 0;
  virtual void SetTitle(ThreadQueue& q, WindowRec& w) = 0;
  virtual void SetRegion(ThreadQueue& q, WindowRec& w) = 0;
  virtual void Present(ThreadQueue& q, WindowRec& w, const uint32_t* px, int stride, int width, int height,
                       const RECT& area) = 0;
  virtual void PresentLayered(ThreadQueue& q, WindowRec& w) = 0;  // from w.image
  virtual void FocusTop(ThreadQueue& q, WindowRec& w) = 0;
  virtual void SetCursor(ThreadQueue& q, WindowRec* w, int id) = 0;
  // Hands a move or resize to the window manager; false = do it ourselves.
  virtual bool WmMoveResize(ThreadQueue& q, WindowRec& w, LRESULT hit, POINT screen) = 0;
  virtual void SetIcon(ThreadQueue& q, WindowRec& w) = 0;
  virtual bool SetClipboard(ThreadQueue& q, WindowRec* w, const std::wstring& text) = 0;
  virtual bool GetClipboard(ThreadQueue& q, WindowRec* w, std::wstring* text, int timeoutMs) = 0;
  virtual void ImeSpot(ThreadQueue& q, WindowRec& w, POINT client, int lineHeight, bool enable) = 0;
  virtual bool HasCompositor(ThreadQueue& q) = 0;
  virtual void Screen(ThreadQueue& q, RECT* monitor, RECT* work) = 0;
  virtual POINT CursorPos(ThreadQueue& q) = 0;
};

Backend& TheBackend();
std::unique_ptr<Backend> MakeHeadlessBackend();
std::unique_ptr<Backend> MakeX11Backend();

// The calling thread's queue with its back end connected (nullptr when the
// connection cannot be made).
ThreadQueue* UiSelf();

}  // namespace detail
}  // namespace platform
