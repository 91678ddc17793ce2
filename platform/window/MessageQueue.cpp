// Per-thread message queues: posting, cross-thread sends, the wait loop with
// timers folded into the poll timeout, and the input pipeline that turns
// pointer and key events into window messages (hit-testing, capture,
// hover/leave tracking, double clicks, caption moves).
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/window/Internal.h"

namespace platform {
namespace detail {

LRESULT CallProc(const std::shared_ptr<WindowRec>& rec, UINT msg, WPARAM wParam, LPARAM lParam);
std::vector<HWND> ZOrderSnapshot();
void SetRectFromRecord(WindowRec& rec, const RECT& rc);

namespace {

std::mutex g_dropMu;
std::map<UINT, PostedDropFn> g_dropHandlers;

void DropPosted(const MSG& m) {
  PostedDropFn fn = nullptr;
  {
    std::lock_guard<std::mutex> guard(g_dropMu);
    auto it = g_dropHandlers.find(m.message);
    if (it != g_dropHandlers.end()) fn = it->second;
  }
  if (fn) fn(m.message, m.wParam, m.lParam);
}

void Reply(const std::shared_ptr<SentItem>& item, LRESULT result) {
  auto sender = item->sender;
  {
    std::lock_guard<std::mutex> guard(sender->mu);
    item->result = result;
    item->done = true;
  }
  sender->Wake();
}

// Runs every message sent to this thread so far.
void ServeSent(ThreadQueue& q) {
  for (;;) {
    std::shared_ptr<SentItem> item;
    {
      std::lock_guard<std::mutex> guard(q.mu);
      if (q.sent.empty()) return;
      item = q.sent.front();
      q.sent.pop_front();
    }
    auto rec = Rec(item->hwnd);
    LRESULT r = rec ? CallProc(rec, item->msg, item->wParam, item->lParam) : 0;
    Reply(item, r);
  }
}

void DrainWake(ThreadQueue& q) {
  uint64_t v;
  while (read(q.wakeFd, &v, sizeof v) == sizeof v) {
  }
}

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, const ThreadQueue& q) {
  MSG m;
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = static_cast<DWORD>(NowMs());
  m.pt = q.cursor;
  return m;
}

bool Within(HWND inner, HWND outer) {
  while (inner) {
    if (inner == outer) return true;
    inner = GetParent(inner);
  }
  return false;
}

bool EnabledChain(HWND hwnd) {
  while (hwnd) {
    if (!IsWindowEnabled(hwnd)) return false;
    hwnd = GetParent(hwnd);
  }
  return true;
}

bool TakesPoint(const WindowRec& rec, POINT screen) {
  if (!IsWindowVisible(rec.handle)) return false;
  if (GetWindowLongPtrW(rec.handle, GWL_EXSTYLE) & WS_EX_TRANSPARENT) return false;
  RECT rc = ScreenRect(rec);
  if (screen.x < rc.left || screen.y < rc.top || screen.x >= rc.right || screen.y >= rc.bottom) return false;
  if (rec.region && !rec.region->Contains(screen.x - rc.left, screen.y - rc.top)) return false;
  return true;
}

// The deepest visible window of root's tree under a screen point.
HWND ChildFromPoint(HWND root, POINT screen) {
  auto rec = Rec(root);
  if (!rec || !TakesPoint(*rec, screen)) return nullptr;
  for (;;) {
    HWND hit = nullptr;
    for (auto it = rec->children.rbegin(); it != rec->children.rend(); ++it) {
      auto c = Rec(*it);
      if (c && TakesPoint(*c, screen)) {
        hit = c->handle;
        break;
      }
    }
    if (!hit) return rec->handle;
    rec = Rec(hit);
  }
}

WPARAM KeyState(const ThreadQueue& q) {
  WPARAM k = q.buttons;
  if (q.mods & MK_SHIFT) k |= MK_SHIFT;
  if (q.mods & MK_CONTROL) k |= MK_CONTROL;
  return k;
}

void EndDrag(ThreadQueue& q) {
  HWND hwnd = q.drag.hwnd;
  q.drag.hwnd = nullptr;
  if (auto rec = Rec(hwnd)) CallProc(rec, WM_EXITSIZEMOVE, 0, 0);
}

void DragTo(ThreadQueue& q, POINT s) {
  auto rec = Rec(q.drag.hwnd);
  if (!rec) {
    q.drag.hwnd = nullptr;
    return;
  }
  const int dx = s.x - q.drag.start.x;
  const int dy = s.y - q.drag.start.y;
  RECT r = q.drag.startRect;
  const LRESULT hit = q.drag.hit;
  if (hit == HTCAPTION) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  } else {
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = POINT{1, 1};
    mmi.ptMaxTrackSize = POINT{100000, 100000};
    CallProc(rec, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    auto clampW = [&](int w) { return std::clamp(w, std::max(1, mmi.ptMinTrackSize.x), std::max(1, mmi.ptMaxTrackSize.x)); };
    auto clampH = [&](int h) { return std::clamp(h, std::max(1, mmi.ptMinTrackSize.y), std::max(1, mmi.ptMaxTrackSize.y)); };
    const bool left = hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT;
    const bool right = hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT;
    const bool top = hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT;
    const bool bottom = hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT;
    if (right) r.right = r.left + clampW(r.right - r.left + dx);
    if (left) r.left = r.right - clampW(r.right - r.left - dx);
    if (bottom) r.bottom = r.top + clampH(r.bottom - r.top + dy);
    if (top) r.top = r.bottom - clampH(r.bottom - r.top - dy);
  }
  SetWindowPos(rec->handle, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LeaveTracked(ThreadQueue& q) {
  if (!q.trackHwnd) return;
  if ((q.trackFlags & TME_LEAVE) && IsWindow(q.trackHwnd)) {
    q.front.push_back(MakeMsg(q.trackHwnd, WM_MOUSELEAVE, 0, 0, q));
  }
  q.trackHwnd = nullptr;
  q.trackFlags = 0;
  q.hoverDue = 0;
}

void HandlePointer(ThreadQueue& q, const InputEvent& ev) {
  const POINT s = ev.screen;
  q.cursor = s;
  q.mods = ev.mods;
  if (q.drag.hwnd) {
    if (ev.kind == InputEvent::EvButtonUp) {
      q.buttons &= ~MK_LBUTTON;
      EndDrag(q);
    } else if (ev.kind == InputEvent::EvPointerMove) {
      DragTo(q, s);
    }
    return;
  }
  if (ev.kind == InputEvent::EvButtonDown) q.buttons |= ev.button == 1 ? MK_LBUTTON : MK_RBUTTON;
  if (ev.kind == InputEvent::EvButtonUp) q.buttons &= ~(ev.button == 1 ? MK_LBUTTON : MK_RBUTTON);

  const bool captured = q.capture && IsWindow(q.capture);
  HWND target = nullptr;
  if (captured) {
    target = q.capture;
  } else if (ev.kind != InputEvent::EvPointerLeave) {
    target = ChildFromPoint(GetAncestorRoot(ev.hwnd), s);
  }
  LRESULT hit = HTCLIENT;
  if (target && !captured) {
    auto rec = Rec(target);
    hit = rec ? CallProc(rec, WM_NCHITTEST, 0, MAKELPARAM(s.x, s.y)) : HTNOWHERE;
  }
  const bool inClient = target && hit == HTCLIENT;
  if (q.trackHwnd && (!inClient || target != q.trackHwnd)) LeaveTracked(q);
  if (!target || !EnabledChain(target)) return;

  UINT msg = 0;
  switch (ev.kind) {
    case InputEvent::EvPointerMove:
      msg = inClient ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
      break;
    case InputEvent::EvButtonDown:
      if (ev.button == 1) {
        const bool dbl = (Rec(target) && (Rec(target)->classStyle & CS_DBLCLKS)) && q.lastDown == target &&
                         NowMs() - q.lastDownTime <= 500 && std::abs(s.x - q.lastDownPt.x) <= 4 &&
                         std::abs(s.y - q.lastDownPt.y) <= 4;
        if (dbl) {
          q.lastDown = nullptr;
        } else {
          q.lastDown = target;
          q.lastDownTime = NowMs();
          q.lastDownPt = s;
        }
        msg = inClient ? (dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : (dbl ? WM_NCLBUTTONDBLCLK : WM_NCLBUTTONDOWN);
      } else {
        msg = inClient ? WM_RBUTTONDOWN : 0;
      }
      break;
    case InputEvent::EvButtonUp:
      msg = ev.button == 1 ? (inClient ? WM_LBUTTONUP : WM_NCLBUTTONUP) : (inClient ? WM_RBUTTONUP : 0);
      break;
    case InputEvent::EvWheel:
      msg = WM_MOUSEWHEEL;
      break;
    default:
      return;
  }
  if (!msg) return;
  HWND root = GetAncestorRoot(target);
  if (ev.kind == InputEvent::EvButtonDown) {
    // A click activates the window (keyboard focus to it unless already inside).
    if (auto rootRec = Rec(root)) {
      if (q.active != root) {
        TheBackend().FocusTop(q, *rootRec);
        q.active = root;
      }
    }
    if (!q.focus || !Within(q.focus, root)) SetFocus(root);
    if (!IsWindow(target)) return;
  }
  if (!captured && (msg == WM_MOUSEMOVE || msg == WM_NCMOUSEMOVE || ev.kind == InputEvent::EvButtonDown)) {
    if (auto rec = Rec(target)) {
      CallProc(rec, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
               MAKELPARAM(static_cast<int>(hit), static_cast<int>(msg)));
    }
    if (!IsWindow(target)) return;
  }
  POINT c = s;
  ScreenToClient(target, &c);
  if (msg == WM_MOUSEMOVE && q.trackHwnd == target && (q.trackFlags & TME_HOVER)) q.hoverDue = NowMs() + q.hoverMs;
  if (msg == WM_MOUSEWHEEL) {
    const int delta = ev.button > 0 ? 120 : -120;
    q.front.push_back(MakeMsg(target, msg, KeyState(q) | (static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16),
                              MAKELPARAM(s.x, s.y), q));
  } else if (inClient) {
    q.front.push_back(MakeMsg(target, msg, KeyState(q), MAKELPARAM(c.x, c.y), q));
  } else {
    q.front.push_back(MakeMsg(target, msg, static_cast<WPARAM>(hit), MAKELPARAM(s.x, s.y), q));
  }
}

void HandleKey(ThreadQueue& q, const InputEvent& ev) {
  q.mods = ev.mods;
  HWND root = GetAncestorRoot(ev.hwnd);
  HWND target = (q.focus && GetAncestorRoot(q.focus) == root) ? q.focus : root;
  if (!target || !EnabledChain(target)) return;
  if (ev.kind == InputEvent::EvText) {
    for (wchar_t ch : ev.text) q.front.push_back(MakeMsg(target, WM_CHAR, static_cast<WPARAM>(ch), 1, q));
    return;
  }
  const bool alt = (ev.mods & kAltMod) != 0;
  const bool down = ev.kind == InputEvent::EvKeyDown;
  UINT msg = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  LPARAM lp = down ? 1 : static_cast<LPARAM>(0xC0000001u);
  if (alt) lp |= 0x20000000;
  MSG m = MakeMsg(target, msg, ev.vk, lp, q);
  if (down) {
    size_t n = std::min(ev.text.size(), sizeof(m.text) / sizeof(m.text[0]) - 1);
    for (size_t i = 0; i < n; ++i) m.text[i] = ev.text[i];
  }
  q.front.push_back(m);
}

void HandleInput(ThreadQueue& q, const InputEvent& ev) {
  switch (ev.kind) {
    case InputEvent::EvPointerMove:
    case InputEvent::EvButtonDown:
    case InputEvent::EvButtonUp:
    case InputEvent::EvWheel:
    case InputEvent::EvPointerLeave:
      HandlePointer(q, ev);
      break;
    case InputEvent::EvKeyDown:
    case InputEvent::EvKeyUp:
    case InputEvent::EvText:
      HandleKey(q, ev);
      break;
    case InputEvent::EvCloseRequest:
      if (IsWindow(ev.hwnd) && EnabledChain(ev.hwnd)) {
        q.front.push_back(MakeMsg(ev.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0, q));
      }
      break;
    case InputEvent::EvConfigure: {
      auto rec = Rec(ev.hwnd);
      if (!rec) break;
      RECT old;
      GetWindowRect(ev.hwnd, &old);
      const RECT& now = ev.rect;
      if (now.left == old.left && now.top == old.top && now.right == old.right && now.bottom == old.bottom) break;
      SetRectFromRecord(*rec, now);
      if (now.left != old.left || now.top != old.top) CallProc(rec, WM_MOVE, 0, MAKELPARAM(now.left, now.top));
      if (now.right - now.left != old.right - old.left || now.bottom - now.top != old.bottom - old.top) {
        CallProc(rec, WM_SIZE, IsZoomed(ev.hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED,
                 MAKELPARAM(now.right - now.left, now.bottom - now.top));
        InvalidateRect(ev.hwnd, nullptr, false);
      }
      break;
    }
    case InputEvent::EvExpose:
      InvalidateRect(ev.hwnd, &ev.rect, false);
      break;
    case InputEvent::EvFocusIn:
      q.active = ev.hwnd;
      if (!q.focus && IsWindow(ev.hwnd)) SetFocus(ev.hwnd);
      break;
    case InputEvent::EvFocusOut:
      if (q.active == ev.hwnd) q.active = nullptr;
      if (q.focus && GetAncestorRoot(q.focus) == ev.hwnd) SetFocus(nullptr);
      break;
    case InputEvent::EvIconified:
    case InputEvent::EvDeiconified:
      // The window manager changed the state (taskbar); follow it.
      if (IsWindow(ev.hwnd) && IsIconic(ev.hwnd) != (ev.kind == InputEvent::EvIconified)) {
        ShowWindow(ev.hwnd, ev.kind == InputEvent::EvIconified ? SW_MINIMIZE : SW_RESTORE);
      }
      break;
  }
}

HWND FindPaint(ThreadQueue& q) {
  for (HWND h : q.windows) {
    auto rec = Rec(h);
    if (rec && rec->hasUpdate && IsWindowVisible(h)) return h;
  }
  return nullptr;
}

enum class Fetch { Message, Quit, Timeout };

Fetch NextMessage(ThreadQueue& q, MSG* out, int64_t timeoutMs) {
  const uint64_t deadline = timeoutMs < 0 ? 0 : NowMs() + static_cast<uint64_t>(timeoutMs);
  Backend& backend = TheBackend();
  for (;;) {
    ServeSent(q);
    if (!q.front.empty()) {
      *out = q.front.front();
      q.front.pop_front();
      if (out->hwnd && !IsWindow(out->hwnd)) continue;
      return Fetch::Message;
    }
    {
      std::unique_lock<std::mutex> lock(q.mu);
      if (!q.posted.empty()) {
        MSG m = q.posted.front();
        q.posted.pop_front();
        lock.unlock();
        if (m.hwnd && !IsWindow(m.hwnd)) {
          DropPosted(m);
          continue;
        }
        *out = m;
        return Fetch::Message;
      }
    }
    if (q.quit) {
      q.quit = false;
      *out = MSG{};
      out->message = WM_QUIT;
      out->wParam = static_cast<WPARAM>(q.quitCode);
      return Fetch::Quit;
    }
    if (q.nativeReady) backend.Pump(q);
    {
      std::unique_lock<std::mutex> lock(q.mu);
      if (!q.input.empty()) {
        InputEvent ev = std::move(q.input.front());
        q.input.pop_front();
        lock.unlock();
        HandleInput(q, ev);
        continue;
      }
    }
    const uint64_t now = NowMs();
    if (q.hoverDue && now >= q.hoverDue) {
      q.hoverDue = 0;
      q.trackFlags &= ~TME_HOVER;
      if (IsWindow(q.trackHwnd)) {
        POINT c = q.cursor;
        ScreenToClient(q.trackHwnd, &c);
        q.front.push_back(MakeMsg(q.trackHwnd, WM_MOUSEHOVER, KeyState(q), MAKELPARAM(c.x, c.y), q));
      }
      continue;
    }
    if (HWND p = FindPaint(q)) {
      *out = MakeMsg(p, WM_PAINT, 0, 0, q);
      return Fetch::Message;
    }
    Timer* dueTimer = nullptr;
    uint64_t nextDue = 0;
    for (auto& t : q.timers) {
      if (t.due <= now && (!dueTimer || t.due < dueTimer->due)) dueTimer = &t;
      if (!nextDue || t.due < nextDue) nextDue = t.due;
    }
    if (dueTimer) {
      dueTimer->due = now + dueTimer->ms;
      *out = MakeMsg(dueTimer->hwnd, WM_TIMER, dueTimer->id, reinterpret_cast<LPARAM>(dueTimer->proc), q);
      return Fetch::Message;
    }
    if (deadline && now >= deadline) {
      *out = MSG{};
      return Fetch::Timeout;
    }
    if (q.nativeReady) backend.Flush(q);
    uint64_t wakeAt = nextDue;
    if (q.hoverDue && (!wakeAt || q.hoverDue < wakeAt)) wakeAt = q.hoverDue;
    if (deadline && (!wakeAt || deadline < wakeAt)) wakeAt = deadline;
    int wait = -1;
    if (wakeAt) wait = static_cast<int>(wakeAt > now ? wakeAt - now : 0);
    pollfd fds[2];
    int n = 0;
    fds[n++] = pollfd{q.wakeFd, POLLIN, 0};
    int xfd = q.nativeReady ? backend.ConnectionFd(q) : -1;
    if (xfd >= 0) fds[n++] = pollfd{xfd, POLLIN, 0};
    {
      // Do not sleep over anything queued since the checks above.
      std::lock_guard<std::mutex> guard(q.mu);
      if (!q.posted.empty() || !q.sent.empty() || !q.input.empty()) wait = 0;
    }
    poll(fds, static_cast<nfds_t>(n), wait);
    DrainWake(q);
  }
}

}  // namespace

void QueueInput(ThreadQueue& q, InputEvent ev) {
  {
    std::lock_guard<std::mutex> guard(q.mu);
    if (q.dead) return;
    q.input.push_back(std::move(ev));
  }
  q.Wake();
}

void CompleteSendsFor(ThreadQueue& q, HWND hwnd) {
  std::vector<std::shared_ptr<SentItem>> gone;
  {
    std::lock_guard<std::mutex> guard(q.mu);
    for (auto it = q.sent.begin(); it != q.sent.end();) {
      if ((*it)->hwnd == hwnd) {
        gone.push_back(*it);
        it = q.sent.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& item : gone) Reply(item, 0);
}

void ForgetWindowInput(ThreadQueue& q, HWND hwnd) {
  if (q.focus && Within(q.focus, hwnd)) q.focus = nullptr;
  if (q.capture == hwnd) q.capture = nullptr;
  if (q.trackHwnd == hwnd) {
    q.trackHwnd = nullptr;
    q.trackFlags = 0;
    q.hoverDue = 0;
  }
  if (q.drag.hwnd == hwnd) q.drag.hwnd = nullptr;
  if (q.active == hwnd) q.active = nullptr;
  if (q.lastDown == hwnd) q.lastDown = nullptr;
}

void EndThreadQueue(ThreadQueue& q) {
  // Windows still open when their thread ends are destroyed here, on it.
  std::vector<HWND> left = q.windows;
  for (HWND h : left) {
    if (IsWindow(h) && !GetParent(h)) DestroyWindow(h);
  }
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentItem>> sent;
  {
    std::lock_guard<std::mutex> guard(q.mu);
    q.dead = true;
    posted.swap(q.posted);
    sent.swap(q.sent);
    q.input.clear();
  }
  for (auto& m : posted) DropPosted(m);
  for (auto& item : sent) Reply(item, 0);
  if (q.nativeReady) TheBackend().EndThread(q);
  q.nativeReady = false;
}

}  // namespace detail

using namespace detail;

void SetPostedDropHandler(UINT msg, PostedDropFn fn) {
  std::lock_guard<std::mutex> guard(g_dropMu);
  g_dropHandlers[msg] = fn;
}

bool PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto rec = Rec(hwnd);
  if (!rec) return false;
  auto q = rec->queue;
  {
    std::lock_guard<std::mutex> guard(q->mu);
    if (q->dead) return false;
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(NowMs());
    q->posted.push_back(m);
  }
  q->Wake();
  return true;
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto rec = Rec(hwnd);
  if (!rec) return 0;
  auto target = rec->queue;
  if (target->tid == std::this_thread::get_id()) return CallProc(rec, msg, wParam, lParam);
  if (rec->destroying) return 0;  // as if already gone
  auto self = SelfShared();
  auto item = std::make_shared<SentItem>();
  item->hwnd = hwnd;
  item->msg = msg;
  item->wParam = wParam;
  item->lParam = lParam;
  item->sender = self;
  {
    std::lock_guard<std::mutex> guard(target->mu);
    if (target->dead) return 0;
    target->sent.push_back(item);
  }
  target->Wake();
  std::unique_lock<std::mutex> lock(self->mu);
  while (!item->done) {
    if (!self->sent.empty()) {
      // Serve sends made to this thread meanwhile (two UI threads sending to
      // each other must not deadlock).
      lock.unlock();
      ServeSent(*self);
      lock.lock();
      continue;
    }
    self->cv.wait_for(lock, std::chrono::milliseconds(50));
    // A window whose destruction began after the send was queued is not
    // served any more (its destruction may be waiting for this thread).
    if (!item->done) {
      if (rec->destroying) return 0;
      lock.unlock();
      const bool alive = IsWindow(hwnd);
      lock.lock();
      if (!alive) return 0;
    }
  }
  return item->result;
}

bool GetMessageW(MSG* msg) {
  ThreadQueue& q = Self();
  return NextMessage(q, msg, -1) == Fetch::Message;
}

bool GetMessageTimeout(MSG* msg, int timeoutMs) {
  ThreadQueue& q = Self();
  return NextMessage(q, msg, std::max(timeoutMs, 0)) == Fetch::Message;
}

bool PeekMessageW(MSG* msg, bool remove) {
  ThreadQueue& q = Self();
  MSG m;
  Fetch f = NextMessage(q, &m, 0);
  if (f == Fetch::Timeout) return false;
  if (f == Fetch::Quit) {
    if (!remove) {
      q.quit = true;
      q.quitCode = static_cast<int>(m.wParam);
    }
    *msg = m;
    return true;
  }
  if (!remove && m.message != WM_PAINT && m.message != WM_TIMER) q.front.push_front(m);
  *msg = m;
  return true;
}

bool TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) || !msg->text[0]) return false;
  ThreadQueue& q = Self();
  UINT charMsg = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  size_t n = 0;
  while (n < sizeof(msg->text) / sizeof(msg->text[0]) && msg->text[n]) ++n;
  for (size_t i = n; i-- > 0;) {
    MSG c = *msg;
    c.message = charMsg;
    c.wParam = static_cast<WPARAM>(msg->text[i]);
    c.text[0] = 0;
    q.front.push_front(c);
  }
  return true;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  auto rec = Rec(msg->hwnd);
  if (!rec) return 0;
  return CallProc(rec, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
  ThreadQueue& q = Self();
  q.quit = true;
  q.quitCode = exitCode;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  if (hwnd && !IsWindowOnCurrentThread(hwnd)) return 0;
  ThreadQueue& q = Self();
  if (!hwnd) id = q.nextThreadTimer++;
  const UINT ms = std::max<UINT>(elapseMs, 1);
  for (auto& t : q.timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.ms = ms;
      t.proc = proc;
      t.due = NowMs() + ms;
      return id ? id : 1;
    }
  }
  q.timers.push_back(Timer{hwnd, id, ms, proc, NowMs() + ms});
  return id ? id : 1;
}

bool KillTimer(HWND hwnd, UINT_PTR id) {
  ThreadQueue& q = Self();
  auto it = std::find_if(q.timers.begin(), q.timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == q.timers.end()) return false;
  q.timers.erase(it);
  return true;
}

HWND SetFocus(HWND hwnd) {
  if (hwnd && !IsWindowOnCurrentThread(hwnd)) return nullptr;
  ThreadQueue& q = Self();
  HWND old = q.focus;
  if (old == hwnd) return old;
  q.focus = hwnd;
  if (old) {
    if (auto rec = Rec(old)) CallProc(rec, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  }
  if (hwnd && q.focus == hwnd) {
    HWND root = GetAncestorRoot(hwnd);
    if (q.active != root && IsWindowVisible(root)) {
      if (auto rootRec = Rec(root)) {
        TheBackend().FocusTop(q, *rootRec);
        q.active = root;
      }
    }
    if (auto rec = Rec(hwnd)) CallProc(rec, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
  return old;
}

HWND GetFocus() { return Self().focus; }

HWND SetCapture(HWND hwnd) {
  if (hwnd && !IsWindowOnCurrentThread(hwnd)) return nullptr;
  ThreadQueue& q = Self();
  HWND old = q.capture;
  q.capture = hwnd;
  return old;
}

bool ReleaseCapture() {
  Self().capture = nullptr;
  return true;
}

HWND GetCapture() { return Self().capture; }

bool SetForegroundWindow(HWND hwnd) {
  auto rec = Rec(GetAncestorRoot(hwnd));
  if (!rec || !IsWindowOnCurrentThread(rec->handle)) return false;
  ThreadQueue& q = Self();
  TheBackend().FocusTop(q, *rec);
  q.active = rec->handle;
  return true;
}

bool TrackMouseEvent(HWND hwnd, DWORD flags, DWORD hoverMs) {
  if (!IsWindowOnCurrentThread(hwnd)) return false;
  ThreadQueue& q = Self();
  if (flags & TME_CANCEL) {
    if (q.trackHwnd == hwnd) {
      q.trackFlags &= ~flags;
      if (!q.trackFlags) q.trackHwnd = nullptr;
    }
    return true;
  }
  q.trackHwnd = hwnd;
  q.trackFlags = flags & (TME_HOVER | TME_LEAVE);
  q.hoverMs = hoverMs == HOVER_DEFAULT ? 400 : hoverMs;
  q.hoverDue = (flags & TME_HOVER) ? NowMs() + q.hoverMs : 0;
  return true;
}

void SetCursor(int cursorId) {
  ThreadQueue* q = UiSelf();
  if (!q || q->cursorId == cursorId) return;
  q->cursorId = cursorId;
  TheBackend().SetCursor(*q, nullptr, cursorId);
}

bool IsKeyDown(UINT vk) {
  ThreadQueue& q = Self();
  switch (vk) {
    case VK_SHIFT:
      return (q.mods & MK_SHIFT) != 0;
    case VK_CONTROL:
      return (q.mods & MK_CONTROL) != 0;
    case VK_MENU:
      return (q.mods & kAltMod) != 0;
    default:
      return false;
  }
}

bool BeginMoveResize(HWND hwnd, LRESULT hitCode) {
  auto rec = Rec(GetAncestorRoot(hwnd));
  if (!rec || !IsWindowOnCurrentThread(rec->handle) || IsZoomed(rec->handle)) return false;
  if (hitCode != HTCAPTION && (hitCode < HTLEFT || hitCode > HTBOTTOMRIGHT)) return false;
  ThreadQueue& q = Self();
  if (!(q.buttons & MK_LBUTTON)) return false;
  if (TheBackend().WmMoveResize(q, *rec, hitCode, q.cursor)) {
    q.buttons &= ~MK_LBUTTON;
    return true;
  }
  q.drag.hwnd = rec->handle;
  q.drag.hit = hitCode;
  q.drag.start = q.cursor;
  GetWindowRect(rec->handle, &q.drag.startRect);
  CallProc(rec, WM_ENTERSIZEMOVE, 0, 0);
  return true;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      return 1;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_NCACTIVATE:
      return 1;
    case WM_NCLBUTTONDOWN:
      BeginMoveResize(hwnd, static_cast<LRESULT>(wParam));
      return 0;
    case WM_SETCURSOR: {
      const LRESULT hit = static_cast<LRESULT>(LOWORD(static_cast<uintptr_t>(lParam)));
      int cursor = IDC_ARROW;
      if (hit == HTCLIENT) {
        auto rec = Rec(hwnd);
        if (rec && rec->classCursor) cursor = rec->classCursor;
      } else if (hit == HTLEFT || hit == HTRIGHT) {
        cursor = IDC_SIZEWE;
      } else if (hit == HTTOP || hit == HTBOTTOM) {
        cursor = IDC_SIZENS;
      } else if (hit == HTTOPLEFT || hit == HTBOTTOMRIGHT) {
        cursor = IDC_SIZENWSE;
      } else if (hit == HTTOPRIGHT || hit == HTBOTTOMLEFT) {
        cursor = IDC_SIZENESW;
      }
      SetCursor(cursor);
      return 0;
    }
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) SendMessageW(GetAncestorRoot(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessageW(hwnd, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(hwnd, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(hwnd, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(hwnd, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    case WM_RBUTTONUP: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &p);
      SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(p.x, p.y));
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace platform
