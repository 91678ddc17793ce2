// Debug traces (download progress and the like) for a developer at a terminal.
#include "platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Text.h"

namespace platform {

void OutputDebugStringA(const std::string& text) {
  if (!std::getenv("INSTALLER_DEBUG")) return;
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void OutputDebugStringW(const std::wstring& text) {
  if (!std::getenv("INSTALLER_DEBUG")) return;
  OutputDebugStringA(WideToUtf8(text));
}

}  // namespace platform
