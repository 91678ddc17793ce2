// Message box dispatch: the window layer's dialog once installed, stderr before.
#include "platform/MessageBox.h"

#include <cstdio>
#include <mutex>

#include "platform/Text.h"

namespace platform {
namespace {
std::mutex g_lock;
MessageBoxHandler g_handler;
}  // namespace

int MessageBoxW(void* owner, const std::wstring& text, const std::wstring& caption, unsigned type) {
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    handler = g_handler;
  }
  if (handler) return handler(owner, text, caption, type);
  const std::string line = WideToUtf8(caption) + ": " + WideToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return IDOK;
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_handler = std::move(handler);
}

}  // namespace platform
