// The installer context singleton and the default install folder.
#include "app/UIHelp.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "platform/Text.h"

namespace {
std::atomic<CUIHelp*> g_instance{nullptr};
std::mutex g_instanceLock;
}  // namespace

CUIHelp::CUIHelp() : m_strInstallDir(DefaultInstallDir()) {}

CUIHelp* CUIHelp::GetInstance() {
  CUIHelp* p = g_instance.load(std::memory_order_acquire);
  if (p) return p;
  std::lock_guard<std::mutex> guard(g_instanceLock);
  p = g_instance.load(std::memory_order_relaxed);
  if (!p) {
    p = new CUIHelp();  // lives until the process ends
    g_instance.store(p, std::memory_order_release);
  }
  return p;
}

std::wstring DefaultInstallDir() {
  if (geteuid() == 0) return L"/opt/DevAdazuZirev/";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) {
    home = h;
  } else if (const struct passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return platform::Utf8ToWide(home + "/.local/opt/DevAdazuZirev/");
}
