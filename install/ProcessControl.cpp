// Stopping running client processes before their files are replaced, and
// starting the installed client.
#include <chrono>
#include <thread>

#include "app/UIHelp.h"
#include "install/SystemIntegration.h"
#include "platform/Process.h"
#include "platform/Shell.h"

namespace {

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x += L'a' - L'A';
    if (y >= L'A' && y <= L'Z') y += L'a' - L'A';
    if (x != y) return false;
  }
  return true;
}

}  // namespace

int FindProcessByName(const std::wstring& name) {
  const int self = platform::CurrentProcessId();
  for (const platform::ProcessEntry& p : platform::EnumerateProcesses()) {
    if (p.pid != self && SameNameIgnoringCase(p.exeName, name)) return p.pid;
  }
  return 0;
}

bool KillProcess(int processId) { return platform::KillProcessId(processId); }

StopResult StopProcessByName(const std::wstring& name) {
  int pid = FindProcessByName(name);
  if (pid == 0) return StopResult::NotRunning;
  if (!KillProcess(pid)) return StopResult::Failed;
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  return StopResult::Stopped;
}

void LaunchClient() {
  CUIHelp* ctx = CUIHelp::GetInstance();
  platform::ShellOpenProgram(ctx->m_strInstallDir + ctx->m_strClientExe);
}
