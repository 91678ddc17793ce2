// The cross-thread call of a window: a worker posts a callable that later runs
// on the window's own thread, unless the window is closing by then.
#pragma once

#include <atomic>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/window/WinUser.h"

namespace SkinUI {

// Message number of a posted call (wParam = the call, lParam = its name).
constexpr UINT kUICallMessage = WM_USER + 50;  // 0x0432

// A type-erased call made on a window's thread; its result is ignored.
template <class TWindow>
class UICallT {
 public:
  virtual ~UICallT() = default;
  virtual bool Run(TWindow& window) = 0;
};

template <class TWindow, class Fn>
class UICallFnT final : public UICallT<TWindow> {
 public:
  explicit UICallFnT(Fn fn) : m_fn(std::move(fn)) {}
  bool Run(TWindow& window) override { return static_cast<bool>(m_fn(window)); }

 private:
  Fn m_fn;
};

class CWindowWnd;

namespace detail {
// Posts a call of a CWindowWnd; a call whose window is gone before it runs is
// freed by the native layer's drop hook, one that cannot be posted at once.
bool PostUICallMessage(HWND hwnd, UICallT<CWindowWnd>* call, const char* name);
}  // namespace detail

// Mixin of every window. The flags are read by other threads without a lock
// (atomics); everything else happens on the window's thread.
template <class TWindow>
class CUserUIMessageT {
 public:
  using Call = UICallT<TWindow>;

  // Posts `call` to run on the window's thread. Refused (false, the call is
  // destroyed) once the window is closing or gone. `name` must be a static
  // string (it names the request in traces only).
  bool PostUICall(const char* name, std::unique_ptr<Call> call) {
    if (!call || m_bClosing.load()) return false;
    HWND hwnd = m_hWndCopy.load();
    if (!hwnd) return false;
    return detail::PostUICallMessage(hwnd, call.release(), name);
  }
  // Any callable taking TWindow& (its result, if any, is ignored).
  template <class Fn, class = std::enable_if_t<!std::is_convertible<Fn, std::unique_ptr<Call>>::value>>
  bool PostUICall(const char* name, Fn fn) {
    return PostUICall(name, std::unique_ptr<Call>(new UICallFnT<TWindow, Fn>(std::move(fn))));
  }
  // A member function of the page, with copies of the arguments.
  template <class Page, class R, class... Params, class... Args>
  bool PostUICall(const char* name, R (Page::*method)(Params...), Args... args) {
    auto tuple = std::make_tuple(std::move(args)...);
    return PostUICall(name, [method, tuple](TWindow& window) mutable {
      std::apply([&](auto&... a) { (static_cast<Page&>(window).*method)(a...); }, tuple);
      return true;
    });
  }

  bool IsClosing() const { return m_bClosing.load(); }

 protected:
  CUserUIMessageT() = default;
  ~CUserUIMessageT() { m_bClosing.store(true); }

  void SetClosing() {
    m_bClosing.store(true);
    m_bStop.store(true);
  }
  void SetWindowCopy(HWND hwnd) { m_hWndCopy.store(hwnd); }
  // A call message arrived: run it unless closing, then free it.
  void HandleUICall(WPARAM wParam, TWindow& self) {
    std::unique_ptr<Call> call(reinterpret_cast<Call*>(wParam));
    if (call && !m_bClosing.load()) call->Run(self);
  }

 private:
  std::atomic<HWND> m_hWndCopy{nullptr};
  std::atomic<bool> m_bClosing{false};
  std::atomic<bool> m_bStop{false};  // the worker-thread mode's stop flag (mode unused)
};

}  // namespace SkinUI
