// Posting of cross-thread calls, and their clean-up when a window is gone
// before they run.
#include "ui/core/UserUIMessage.h"

#include <mutex>

#include "platform/window/NativeWindow.h"

namespace SkinUI {
namespace detail {
namespace {

void DropUICall(UINT, WPARAM wParam, LPARAM) { delete reinterpret_cast<UICallT<CWindowWnd>*>(wParam); }

}  // namespace

bool PostUICallMessage(HWND hwnd, UICallT<CWindowWnd>* call, const char* name) {
  static std::once_flag once;
  std::call_once(once, [] { platform::SetPostedDropHandler(kUICallMessage, &DropUICall); });
  if (platform::PostMessageW(hwnd, kUICallMessage, reinterpret_cast<WPARAM>(call), reinterpret_cast<LPARAM>(name))) {
    return true;
  }
  delete call;
  return false;
}

}  // namespace detail
}  // namespace SkinUI
