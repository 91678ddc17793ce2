// Windows, classes, geometry, painting state and the back-end choice; the
// back-end independent half of the window layer.
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

#include "platform/window/Internal.h"

namespace platform {
namespace detail {

namespace {

std::mutex g_mu;  // registry, classes, geometry fields of every record
std::unordered_map<uintptr_t, std::shared_ptr<WindowRec>> g_windows;
std::map<std::wstring, WNDCLASSW> g_classes;
std::vector<std::wstring> g_classNames;  // keeps lpszClassName storage alive
std::vector<HWND> g_zorder;              // top-level windows, bottom to top
std::atomic<uintptr_t> g_nextId{0x10000};

std::mutex g_backendMu;
std::unique_ptr<Backend> g_backend;
bool g_backendChosen = false;
WindowBackend g_backendKind = WindowBackend::Headless;

WindowBackend DefaultBackendKind() {
  const char* env = std::getenv("INSTALLER_WINDOW_BACKEND");
  if (env && std::strcmp(env, "headless") == 0) return WindowBackend::Headless;
  if (env && std::strcmp(env, "x11") == 0) return WindowBackend::X11;
  const char* display = std::getenv("DISPLAY");
  return (display && *display) ? WindowBackend::X11 : WindowBackend::Headless;
}

struct QueueHolder {
  std::shared_ptr<ThreadQueue> q;
  ~QueueHolder();
};
thread_local QueueHolder t_holder;

}  // namespace

uint64_t NowMs() {
  using namespace std::chrono;
  static const steady_clock::time_point start = steady_clock::now();
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now() - start).count()) + 1;
}

ThreadQueue::ThreadQueue() : tid(std::this_thread::get_id()), wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ThreadQueue::~ThreadQueue() {
  if (wakeFd >= 0) close(wakeFd);
}

void ThreadQueue::Wake() {
  uint64_t one = 1;
  if (wakeFd >= 0) {
    ssize_t n = write(wakeFd, &one, sizeof one);
    (void)n;
  }
  cv.notify_all();
}

std::shared_ptr<ThreadQueue> SelfShared() {
  if (!t_holder.q) t_holder.q = std::make_shared<ThreadQueue>();
  return t_holder.q;
}

ThreadQueue& Self() { return *SelfShared(); }

Backend& TheBackend() {
  std::lock_guard<std::mutex> guard(g_backendMu);
  if (!g_backend) {
    if (!g_backendChosen) g_backendKind = DefaultBackendKind();
    g_backendChosen = true;
    g_backend = g_backendKind == WindowBackend::X11 ? MakeX11Backend() : MakeHeadlessBackend();
  }
  return *g_backend;
}

ThreadQueue* UiSelf() {
  ThreadQueue& q = Self();
  if (!q.nativeReady) {
    if (!TheBackend().InitThread(q)) return nullptr;
    q.nativeReady = true;
  }
  return &q;
}

std::shared_ptr<WindowRec> Rec(HWND hwnd) {
  if (!hwnd) return nullptr;
  std::lock_guard<std::mutex> guard(g_mu);
  auto it = g_windows.find(reinterpret_cast<uintptr_t>(hwnd));
  return it == g_windows.end() ? nullptr : it->second;
}

RECT ScreenRect(const WindowRec& rec) {
  // Caller holds no lock; children add their parents' origins.
  RECT rc;
  HWND parent;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    rc = rec.rect;
    parent = rec.parent;
  }
  while (parent) {
    auto p = Rec(parent);
    if (!p) break;
    std::lock_guard<std::mutex> guard(g_mu);
    rc.left += p->rect.left;
    rc.right += p->rect.left;
    rc.top += p->rect.top;
    rc.bottom += p->rect.top;
    parent = p->parent;
  }
  return rc;
}

// Runs the current window procedure of a record (owner thread).
LRESULT CallProc(const std::shared_ptr<WindowRec>& rec, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = rec->proc;
  if (!proc) return DefWindowProcW(rec->handle, msg, wParam, lParam);
  return proc(rec->handle, msg, wParam, lParam);
}

// Defined in MessageQueue.cpp.
void CompleteSendsFor(ThreadQueue& q, HWND hwnd);
void ForgetWindowInput(ThreadQueue& q, HWND hwnd);
void EndThreadQueue(ThreadQueue& q);

namespace {
QueueHolder::~QueueHolder() {
  if (q) EndThreadQueue(*q);
}
}  // namespace

void SetRectFromRecord(WindowRec& rec, const RECT& rc) {
  std::lock_guard<std::mutex> guard(g_mu);
  rec.rect = rc;
}

std::vector<HWND> ZOrderSnapshot() {
  std::lock_guard<std::mutex> guard(g_mu);
  return g_zorder;
}

void RaiseInZOrder(HWND hwnd) {
  std::lock_guard<std::mutex> guard(g_mu);
  auto it = std::find(g_zorder.begin(), g_zorder.end(), hwnd);
  if (it != g_zorder.end()) g_zorder.erase(it);
  g_zorder.push_back(hwnd);
}

}  // namespace detail

using namespace detail;

bool SetWindowBackend(WindowBackend backend) {
  std::lock_guard<std::mutex> guard(g_backendMu);
  if (g_backend) return g_backendKind == backend;
  g_backendKind = backend;
  g_backendChosen = true;
  return true;
}

WindowBackend CurrentWindowBackend() {
  std::lock_guard<std::mutex> guard(g_backendMu);
  return g_backendChosen ? g_backendKind : DefaultBackendKind();
}

bool InitWindowSystem() { return UiSelf() != nullptr; }

bool RegisterClassW(const WNDCLASSW& wc) {
  if (!wc.lpszClassName || !*wc.lpszClassName) return false;
  std::lock_guard<std::mutex> guard(g_mu);
  std::wstring name = wc.lpszClassName;
  if (g_classes.count(name)) return true;
  WNDCLASSW copy = wc;
  g_classNames.push_back(name);
  copy.lpszClassName = nullptr;  // filled by GetClassInfoW from the map key
  g_classes[name] = copy;
  return true;
}

bool GetClassInfoW(const wchar_t* className, WNDCLASSW* out) {
  if (!className) return false;
  std::lock_guard<std::mutex> guard(g_mu);
  auto it = g_classes.find(className);
  if (it == g_classes.end()) return false;
  if (out) {
    *out = it->second;
    out->lpszClassName = it->first.c_str();
  }
  return true;
}

HWND CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, void* param) {
  WNDCLASSW wc;
  if (!GetClassInfoW(className, &wc)) return nullptr;
  ThreadQueue* q = UiSelf();
  if (!q) return nullptr;
  auto rec = std::make_shared<WindowRec>();
  rec->handle = reinterpret_cast<HWND>(g_nextId.fetch_add(1));
  rec->queue = SelfShared();
  rec->className = className;
  rec->title = title ? title : L"";
  rec->proc = wc.lpfnWndProc;
  rec->classStyle = wc.style;
  rec->classCursor = wc.hCursor;
  const bool child = (style & WS_CHILD) != 0;
  std::shared_ptr<WindowRec> parentRec = Rec(parent);
  if (child && !parentRec) return nullptr;
  if (child) {
    rec->parent = parent;
  } else if (parentRec) {
    rec->owner = GetAncestorRoot(parent);
  }
  if (x == CW_USEDEFAULT) {
    x = child ? 0 : 80;
    y = child ? 0 : 60;
  }
  if (width == CW_USEDEFAULT) {
    width = 400;
    height = 300;
  }
  rec->style = style & ~WS_VISIBLE;
  rec->exStyle = exStyle;
  rec->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  {
    std::lock_guard<std::mutex> guard(g_mu);
    g_windows[reinterpret_cast<uintptr_t>(rec->handle)] = rec;
    if (child) {
      parentRec->children.push_back(rec->handle);
    } else {
      g_zorder.push_back(rec->handle);
    }
  }
  q->windows.push_back(rec->handle);
  if (!TheBackend().CreateNative(*q, *rec)) {
    DestroyWindow(rec->handle);
    return nullptr;
  }
  CREATESTRUCTW cs;
  cs.lpCreateParams = param;
  cs.hwndParent = parent;
  cs.x = x;
  cs.y = y;
  cs.cx = width;
  cs.cy = height;
  cs.style = style;
  cs.exStyle = exStyle;
  cs.lpszName = rec->title.c_str();
  cs.lpszClass = rec->className.c_str();
  HWND hwnd = rec->handle;
  if (CallProc(rec, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == 0 ||
      CallProc(rec, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;
  RECT rc;
  GetWindowRect(hwnd, &rc);
  RECT own;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    own = rec->rect;
  }
  CallProc(rec, WM_SIZE, SIZE_RESTORED, MAKELPARAM(own.right - own.left, own.bottom - own.top));
  CallProc(rec, WM_MOVE, 0, MAKELPARAM(own.left, own.top));
  if ((style & WS_VISIBLE) && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOW);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

bool DestroyWindow(HWND hwnd) {
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return false;
  if (rec->destroying) return true;
  rec->destroying = true;
  ThreadQueue& q = Self();
  // Senders from other threads are answered now: the window's handlers may
  // wait for those threads (a page joining its worker), and this thread will
  // not serve the window again.
  CompleteSendsFor(q, hwnd);
  // Owned windows go first, then this window, then its children.
  std::vector<HWND> owned;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    for (auto& [id, other] : g_windows) {
      if (other->owner == hwnd) owned.push_back(other->handle);
    }
  }
  for (HWND o : owned) DestroyWindow(o);
  if (IsWindowVisible(hwnd)) {
    TheBackend().Show(q, *rec, false, false);
    std::lock_guard<std::mutex> guard(g_mu);
    rec->visible = false;
  }
  CallProc(rec, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    children = rec->children;
  }
  for (HWND c : children) DestroyWindow(c);
  q.timers.erase(std::remove_if(q.timers.begin(), q.timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                 q.timers.end());
  ForgetWindowInput(q, hwnd);
  CallProc(rec, WM_NCDESTROY, 0, 0);
  TheBackend().DestroyNative(q, *rec);
  {
    std::lock_guard<std::mutex> guard(g_mu);
    g_windows.erase(reinterpret_cast<uintptr_t>(hwnd));
    g_zorder.erase(std::remove(g_zorder.begin(), g_zorder.end(), hwnd), g_zorder.end());
    if (rec->parent) {
      auto it = g_windows.find(reinterpret_cast<uintptr_t>(rec->parent));
      if (it != g_windows.end()) {
        auto& list = it->second->children;
        list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
      }
    }
  }
  q.windows.erase(std::remove(q.windows.begin(), q.windows.end(), hwnd), q.windows.end());
  CompleteSendsFor(q, hwnd);
  return true;
}

bool IsWindow(HWND hwnd) { return Rec(hwnd) != nullptr; }

bool IsWindowOnCurrentThread(HWND hwnd) {
  auto rec = Rec(hwnd);
  return rec && rec->queue->tid == std::this_thread::get_id();
}

HWND GetParent(HWND hwnd) {
  auto rec = Rec(hwnd);
  return rec ? rec->parent : nullptr;
}

HWND GetOwner(HWND hwnd) {
  auto rec = Rec(hwnd);
  return rec ? rec->owner : nullptr;
}

HWND GetAncestorRoot(HWND hwnd) {
  auto rec = Rec(hwnd);
  while (rec && rec->parent) {
    auto p = Rec(rec->parent);
    if (!p) break;
    rec = p;
  }
  return rec ? rec->handle : nullptr;
}

HWND FindWindowW(const wchar_t* className, const wchar_t* title) {
  std::lock_guard<std::mutex> guard(g_mu);
  for (auto it = g_zorder.rbegin(); it != g_zorder.rend(); ++it) {
    auto w = g_windows.find(reinterpret_cast<uintptr_t>(*it));
    if (w == g_windows.end()) continue;
    if (className && w->second->className != className) continue;
    if (title && w->second->title != title) continue;
    return w->second->handle;
  }
  return nullptr;
}

intptr_t GetWindowLongPtrW(HWND hwnd, int index) {
  auto rec = Rec(hwnd);
  if (!rec) return 0;
  std::lock_guard<std::mutex> guard(g_mu);
  switch (index) {
    case GWL_STYLE:
      return static_cast<intptr_t>(rec->style | (rec->visible ? WS_VISIBLE : 0) | (rec->enabled ? 0 : WS_DISABLED) |
                                   (rec->minimized ? WS_MINIMIZE : 0) | (rec->maximized ? WS_MAXIMIZE : 0));
    case GWL_EXSTYLE:
      return static_cast<intptr_t>(rec->exStyle);
    case GWLP_WNDPROC:
      return reinterpret_cast<intptr_t>(rec->proc);
    case GWLP_USERDATA:
      return rec->userData;
    default:
      return 0;
  }
}

intptr_t SetWindowLongPtrW(HWND hwnd, int index, intptr_t value) {
  auto rec = Rec(hwnd);
  if (!rec) return 0;
  intptr_t old = GetWindowLongPtrW(hwnd, index);
  bool styleChanged = false;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    switch (index) {
      case GWL_STYLE:
        rec->style = static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
        styleChanged = true;
        break;
      case GWL_EXSTYLE:
        rec->exStyle = static_cast<DWORD>(value);
        styleChanged = true;
        break;
      case GWLP_WNDPROC:
        rec->proc = reinterpret_cast<WNDPROC>(value);
        break;
      case GWLP_USERDATA:
        rec->userData = value;
        break;
      default:
        return 0;
    }
  }
  if (styleChanged && IsWindowOnCurrentThread(hwnd)) TheBackend().ApplyStyle(Self(), *rec);
  return old;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc) return DefWindowProcW(hwnd, msg, wParam, lParam);
  return proc(hwnd, msg, wParam, lParam);
}

bool SetPropW(HWND hwnd, const wchar_t* name, void* value) {
  auto rec = Rec(hwnd);
  if (!rec || !name) return false;
  for (auto& p : rec->props) {
    if (p.first == name) {
      p.second = value;
      return true;
    }
  }
  rec->props.emplace_back(name, value);
  return true;
}

void* GetPropW(HWND hwnd, const wchar_t* name) {
  auto rec = Rec(hwnd);
  if (!rec || !name) return nullptr;
  for (auto& p : rec->props) {
    if (p.first == name) return p.second;
  }
  return nullptr;
}

void* RemovePropW(HWND hwnd, const wchar_t* name) {
  auto rec = Rec(hwnd);
  if (!rec || !name) return nullptr;
  for (auto it = rec->props.begin(); it != rec->props.end(); ++it) {
    if (it->first == name) {
      void* v = it->second;
      rec->props.erase(it);
      return v;
    }
  }
  return nullptr;
}

bool SetWindowTextW(HWND hwnd, const std::wstring& text) {
  auto rec = Rec(hwnd);
  if (!rec) return false;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    rec->title = text;
  }
  if (IsWindowOnCurrentThread(hwnd)) TheBackend().SetTitle(Self(), *rec);
  return true;
}

std::wstring GetWindowTextW(HWND hwnd) {
  auto rec = Rec(hwnd);
  if (!rec) return L"";
  std::lock_guard<std::mutex> guard(g_mu);
  return rec->title;
}

std::wstring GetClassNameW(HWND hwnd) {
  auto rec = Rec(hwnd);
  return rec ? rec->className : L"";
}

namespace {

bool WithinWindow(HWND inner, HWND outer) {
  while (inner) {
    if (inner == outer) return true;
    inner = GetParent(inner);
  }
  return false;
}

void SendSize(const std::shared_ptr<WindowRec>& rec) {
  RECT rc;
  WPARAM kind;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    rc = rec->rect;
    kind = rec->minimized ? SIZE_MINIMIZED : rec->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
  }
  LPARAM lp = kind == SIZE_MINIMIZED ? 0 : MAKELPARAM(rc.right - rc.left, rc.bottom - rc.top);
  CallProc(rec, WM_SIZE, kind, lp);
}

}  // namespace

bool ShowWindow(HWND hwnd, int cmd) {
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return false;
  ThreadQueue& q = Self();
  bool wasVisible;
  bool minimized, maximized;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    wasVisible = rec->visible;
    minimized = rec->minimized;
    maximized = rec->maximized;
  }
  const bool topLevel = rec->parent == nullptr;
  auto show = [&](bool activate) {
    if (!IsWindowVisible(hwnd) || !wasVisible) {
      bool already;
      {
        std::lock_guard<std::mutex> guard(g_mu);
        already = rec->visible;
      }
      if (!already) {
        CallProc(rec, WM_SHOWWINDOW, 1, 0);
        if (!IsWindow(hwnd)) return;
        {
          std::lock_guard<std::mutex> guard(g_mu);
          rec->visible = true;
        }
        TheBackend().Show(q, *rec, true, activate && topLevel);
        InvalidateRect(hwnd, nullptr, false);
      }
    }
    if (activate && topLevel) {
      RaiseInZOrder(hwnd);
      TheBackend().FocusTop(q, *rec);
      q.active = hwnd;
      if (!q.focus || !WithinWindow(q.focus, hwnd)) SetFocus(hwnd);
    }
  };
  switch (cmd) {
    case SW_HIDE:
      if (wasVisible) {
        CallProc(rec, WM_SHOWWINDOW, 0, 0);
        {
          std::lock_guard<std::mutex> guard(g_mu);
          rec->visible = false;
        }
        TheBackend().Show(q, *rec, false, false);
        if (q.capture && WithinWindow(q.capture, hwnd)) ReleaseCapture();
        if (q.focus && WithinWindow(q.focus, hwnd)) SetFocus(rec->parent ? GetAncestorRoot(hwnd) : nullptr);
      }
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      if (!minimized) {
        {
          std::lock_guard<std::mutex> guard(g_mu);
          rec->minimized = true;
        }
        if (!wasVisible) show(false);
        TheBackend().Iconify(q, *rec, true);
        SendSize(rec);
      }
      break;
    case SW_MAXIMIZE: {
      if (!maximized) {
        RECT monitor, work;
        GetMonitorInfoForWindow(hwnd, &monitor, &work);
        {
          std::lock_guard<std::mutex> guard(g_mu);
          rec->restoreRect = rec->rect;
          rec->maximized = true;
          rec->minimized = false;
          rec->rect = work;
        }
        TheBackend().ApplyGeometry(q, *rec);
        if (minimized) TheBackend().Iconify(q, *rec, false);
        show(true);
        SendSize(rec);
        CallProc(rec, WM_MOVE, 0, MAKELPARAM(work.left, work.top));
        InvalidateRect(hwnd, nullptr, false);
      } else {
        show(true);
      }
      break;
    }
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      if (minimized) {
        {
          std::lock_guard<std::mutex> guard(g_mu);
          rec->minimized = false;
        }
        TheBackend().Iconify(q, *rec, false);
        show(true);
        SendSize(rec);
        InvalidateRect(hwnd, nullptr, false);
      } else if (maximized && (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL)) {
        RECT back;
        {
          std::lock_guard<std::mutex> guard(g_mu);
          rec->maximized = false;
          rec->rect = rec->restoreRect;
          back = rec->rect;
        }
        TheBackend().ApplyGeometry(q, *rec);
        show(true);
        SendSize(rec);
        CallProc(rec, WM_MOVE, 0, MAKELPARAM(back.left, back.top));
        InvalidateRect(hwnd, nullptr, false);
      } else {
        show(true);
      }
      break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
      show(false);
      break;
    default:
      show(true);
      break;
  }
  return wasVisible;
}

bool IsWindowVisible(HWND hwnd) {
  auto rec = Rec(hwnd);
  while (rec) {
    HWND parent;
    {
      std::lock_guard<std::mutex> guard(g_mu);
      if (!rec->visible) return false;
      parent = rec->parent;
    }
    if (!parent) return true;
    rec = Rec(parent);
  }
  return false;
}

bool IsIconic(HWND hwnd) {
  auto rec = Rec(hwnd);
  if (!rec) return false;
  std::lock_guard<std::mutex> guard(g_mu);
  return rec->minimized;
}

bool IsZoomed(HWND hwnd) {
  auto rec = Rec(hwnd);
  if (!rec) return false;
  std::lock_guard<std::mutex> guard(g_mu);
  return rec->maximized;
}

bool EnableWindow(HWND hwnd, bool enable) {
  // A flag only: input to a disabled window is dropped by its own thread, so
  // this is safe from any thread (a modal loop disables its owner this way).
  auto rec = Rec(hwnd);
  if (!rec) return false;
  bool wasDisabled;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    wasDisabled = !rec->enabled;
    rec->enabled = enable;
  }
  if (wasDisabled == enable && IsWindowOnCurrentThread(hwnd)) {
    CallProc(rec, WM_ENABLE, enable ? 1 : 0, 0);
  }
  return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd) {
  auto rec = Rec(hwnd);
  if (!rec) return false;
  std::lock_guard<std::mutex> guard(g_mu);
  return rec->enabled;
}

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  (void)insertAfter;
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return false;
  ThreadQueue& q = Self();
  RECT old, now;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    old = rec->rect;
    now = old;
    if (!(flags & SWP_NOMOVE)) {
      now.left = x;
      now.top = y;
    }
    int w = (flags & SWP_NOSIZE) ? old.right - old.left : std::max(cx, 0);
    int h = (flags & SWP_NOSIZE) ? old.bottom - old.top : std::max(cy, 0);
    now.right = now.left + w;
    now.bottom = now.top + h;
    rec->rect = now;
  }
  const bool moved = now.left != old.left || now.top != old.top;
  const bool sized = (now.right - now.left) != (old.right - old.left) || (now.bottom - now.top) != (old.bottom - old.top);
  if (moved || sized) TheBackend().ApplyGeometry(q, *rec);
  if (flags & SWP_FRAMECHANGED) {
    NCCALCSIZE_PARAMS params;
    params.rgrc[0] = now;
    CallProc(rec, WM_NCCALCSIZE, 1, reinterpret_cast<LPARAM>(&params));
  }
  if (moved) CallProc(rec, WM_MOVE, 0, MAKELPARAM(now.left, now.top));
  if (sized) {
    SendSize(rec);
    if (!(flags & SWP_NOREDRAW)) InvalidateRect(hwnd, nullptr, false);
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool GetWindowRect(HWND hwnd, RECT* rc) {
  auto rec = Rec(hwnd);
  if (!rec || !rc) return false;
  *rc = ScreenRect(*rec);
  return true;
}

bool GetClientRect(HWND hwnd, RECT* rc) {
  auto rec = Rec(hwnd);
  if (!rec || !rc) return false;
  std::lock_guard<std::mutex> guard(g_mu);
  *rc = RECT{0, 0, rec->rect.right - rec->rect.left, rec->rect.bottom - rec->rect.top};
  return true;
}

bool ClientToScreen(HWND hwnd, POINT* pt) {
  RECT rc;
  if (!pt || !GetWindowRect(hwnd, &rc)) return false;
  pt->x += rc.left;
  pt->y += rc.top;
  return true;
}

bool ScreenToClient(HWND hwnd, POINT* pt) {
  RECT rc;
  if (!pt || !GetWindowRect(hwnd, &rc)) return false;
  pt->x -= rc.left;
  pt->y -= rc.top;
  return true;
}

bool GetMonitorInfoForWindow(HWND hwnd, RECT* monitor, RECT* workArea) {
  (void)hwnd;  // one monitor
  ThreadQueue* q = UiSelf();
  RECT m{0, 0, 1920, 1080}, w = m;
  if (q) TheBackend().Screen(*q, &m, &w);
  if (monitor) *monitor = m;
  if (workArea) *workArea = w;
  return q != nullptr;
}

int GetSystemMetrics(int index) {
  RECT m;
  GetMonitorInfoForWindow(nullptr, &m, nullptr);
  switch (index) {
    case SM_CXSCREEN:
      return m.right - m.left;
    case SM_CYSCREEN:
      return m.bottom - m.top;
    case SM_CXICON:
    case SM_CYICON:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    default:
      return 0;
  }
}

POINT GetCursorPos() {
  ThreadQueue* q = UiSelf();
  return q ? TheBackend().CursorPos(*q) : POINT{};
}

DWORD GetTickCount() { return static_cast<DWORD>(NowMs()); }

bool InvalidateRect(HWND hwnd, const RECT* rc, bool erase) {
  (void)erase;
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return false;
  RECT client;
  GetClientRect(hwnd, &client);
  RECT r = rc ? *rc : client;
  r.left = std::max(r.left, client.left);
  r.top = std::max(r.top, client.top);
  r.right = std::min(r.right, client.right);
  r.bottom = std::min(r.bottom, client.bottom);
  if (r.left >= r.right || r.top >= r.bottom) return true;
  if (!rec->hasUpdate) {
    rec->update = r;
    rec->hasUpdate = true;
  } else {
    rec->update.left = std::min(rec->update.left, r.left);
    rec->update.top = std::min(rec->update.top, r.top);
    rec->update.right = std::max(rec->update.right, r.right);
    rec->update.bottom = std::max(rec->update.bottom, r.bottom);
  }
  return true;
}

bool ValidateRect(HWND hwnd, const RECT* rc) {
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return false;
  if (!rc) {
    rec->hasUpdate = false;
    return true;
  }
  // The update area is a bounding box: validate it only when covered.
  if (rec->hasUpdate && rc->left <= rec->update.left && rc->top <= rec->update.top &&
      rc->right >= rec->update.right && rc->bottom >= rec->update.bottom) {
    rec->hasUpdate = false;
  }
  return true;
}

bool GetUpdateRect(HWND hwnd, RECT* rc) {
  auto rec = Rec(hwnd);
  if (!rec || !rec->hasUpdate) {
    if (rc) *rc = RECT{};
    return false;
  }
  if (rc) *rc = rec->update;
  return true;
}

bool UpdateWindow(HWND hwnd) {
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return false;
  if (rec->hasUpdate && IsWindowVisible(hwnd)) CallProc(rec, WM_PAINT, 0, 0);
  return true;
}

bool PresentPixels(HWND hwnd, const uint32_t* pixels, int stride, int width, int height, const RECT& area) {
  auto rec = Rec(hwnd);
  if (!rec || !pixels || !IsWindowOnCurrentThread(hwnd) || width <= 0 || height <= 0) return false;
  RECT a = area;
  a.left = std::max(a.left, 0);
  a.top = std::max(a.top, 0);
  a.right = std::min(a.right, width);
  a.bottom = std::min(a.bottom, height);
  if (a.left >= a.right || a.top >= a.bottom) return true;
  TheBackend().Present(Self(), *rec, pixels, stride, width, height, a);
  rec->presents++;
  return true;
}

bool UpdateLayeredWindowPixels(HWND hwnd, const uint32_t* pixels, int stride, int width, int height, POINT pos) {
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd) || width < 0 || height < 0) return false;
  rec->image.assign(static_cast<size_t>(width) * height, 0);
  for (int y = 0; y < height && pixels; ++y) {
    std::memcpy(&rec->image[static_cast<size_t>(y) * width],
                reinterpret_cast<const uint8_t*>(pixels) + static_cast<size_t>(y) * stride,
                static_cast<size_t>(width) * 4);
  }
  rec->imageW = width;
  rec->imageH = height;
  rec->presents++;
  RECT old;
  {
    std::lock_guard<std::mutex> guard(g_mu);
    old = rec->rect;
    rec->rect = RECT{pos.x, pos.y, pos.x + width, pos.y + height};
  }
  ThreadQueue& q = Self();
  if (old.left != pos.x || old.top != pos.y || old.right - old.left != width || old.bottom - old.top != height) {
    TheBackend().ApplyGeometry(q, *rec);
  }
  TheBackend().PresentLayered(q, *rec);
  return true;
}

WindowRegion CreateRoundRectRgn(int left, int top, int right, int bottom, int cx, int cy) {
  // The rectangle excludes its right and bottom edges; corners are sampled at
  // pixel centres against quarter ellipses of radii cx/2, cy/2.
  WindowRegion rgn;
  rgn.width = std::max(right - left - 1, 0);
  rgn.height = std::max(bottom - top - 1, 0);
  rgn.inside.assign(static_cast<size_t>(rgn.width) * rgn.height, 1);
  const double rx = std::min(cx, rgn.width) / 2.0;
  const double ry = std::min(cy, rgn.height) / 2.0;
  if (rx <= 0 || ry <= 0) return rgn;
  for (int y = 0; y < rgn.height; ++y) {
    double py = y + 0.5;
    double dy = 0;
    if (py < ry) {
      dy = ry - py;
    } else if (py > rgn.height - ry) {
      dy = py - (rgn.height - ry);
    } else {
      continue;
    }
    double t = 1.0 - (dy * dy) / (ry * ry);
    double half = t > 0 ? rx * std::sqrt(t) : 0;
    double minX = rx - half;
    double maxX = rgn.width - rx + half;
    for (int x = 0; x < rgn.width; ++x) {
      double px = x + 0.5;
      if (px < minX || px > maxX) rgn.inside[static_cast<size_t>(y) * rgn.width + x] = 0;
    }
  }
  return rgn;
}

bool SetWindowRgn(HWND hwnd, const WindowRegion* region, bool redraw) {
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return false;
  rec->region = region ? std::make_unique<WindowRegion>(*region) : nullptr;
  TheBackend().SetRegion(Self(), *rec);
  if (redraw) InvalidateRect(hwnd, nullptr, false);
  return true;
}

bool GetWindowRgn(HWND hwnd, WindowRegion* region) {
  auto rec = Rec(hwnd);
  if (!rec || !rec->region) return false;
  if (region) *region = *rec->region;
  return true;
}

bool SetWindowIcon(HWND hwnd, const std::vector<IconImage>& images) {
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return false;
  rec->icons = images;
  TheBackend().SetIcon(Self(), *rec);
  return true;
}

bool SetClipboardText(HWND owner, const std::wstring& text) {
  ThreadQueue* q = UiSelf();
  if (!q) return false;
  auto rec = Rec(owner);
  return TheBackend().SetClipboard(*q, rec.get(), text);
}

bool GetClipboardText(HWND requester, std::wstring* text, int timeoutMs) {
  ThreadQueue* q = UiSelf();
  if (!q || !text) return false;
  auto rec = Rec(requester);
  return TheBackend().GetClipboard(*q, rec.get(), text, timeoutMs);
}

void SetImeSpot(HWND hwnd, POINT client, int lineHeight, bool enable) {
  auto rec = Rec(hwnd);
  if (!rec || !IsWindowOnCurrentThread(hwnd)) return;
  TheBackend().ImeSpot(Self(), *rec, client, lineHeight, enable);
}

bool HasCompositingManager() {
  ThreadQueue* q = UiSelf();
  return q && TheBackend().HasCompositor(*q);
}

}  // namespace platform
