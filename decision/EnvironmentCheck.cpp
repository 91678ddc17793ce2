// The install decision: service answer, product settings, command line.
#include "decision/EnvironmentCheck.h"

#include <chrono>

#include "app/Log.h"
#include "app/PathUtil.h"
#include "decision/HttpInstallInfo.h"
#include "platform/Files.h"
#include "platform/Registry.h"

namespace {

// The product's settings key; the installation writes the same three values.
const wchar_t kProductKey[] = L"Software\\Tarvolen\\RoruvAZ";

// A value counts as present when the key opens and the value can be read; the
// text runs up to its first zero character. The value is read whole, however
// long it is.
bool ReadProductValue(const wchar_t* name, std::wstring* out) {
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(platform::HKEY_CURRENT_USER, kProductKey, 0,
                              platform::KEY_QUERY_VALUE, &key) != platform::ERROR_SUCCESS)
    return false;
  std::wstring value;
  long rc = platform::RegQueryValueExW(key, name, nullptr, &value);
  platform::RegCloseKey(key);
  if (rc != platform::ERROR_SUCCESS) return false;
  size_t nul = value.find(L'\0');
  if (nul != std::wstring::npos) value.resize(nul);
  *out = value;
  return true;
}

_CHECKTYPE Decide(std::string& cmdLine) {
  HttpInstallInfo* info = HttpInstallInfo::GetInstance();
  if (!info->RequestInstallInfo()) {
    LogWrite(Error, L"CheckWnd", 126, L"CCheckWnd::CheckRegedit", L" Get /pc/UpdateRequest Failed ");
    return CHECK_REQUEST_FAILED;
  }
  if (info->m_nSize == 0) {
    LogWrite(Error, L"CheckWnd", 134, L"CCheckWnd::CheckRegedit",
             L" Get /pc/UpdateRequest dwSize 0 ");
    return CHECK_NO_PACKAGE;
  }
  CUIHelp* ctx = CUIHelp::GetInstance();
  std::wstring value;
  if (!ReadProductValue(L"installDir", &value)) return CHECK_INSTALL;
  ctx->m_strInstallDir = value;
  if (!ReadProductValue(L"Start", &value)) return CHECK_INSTALL;
  ctx->m_strClientExe = value;
  std::wstring version;
  if (!ReadProductValue(L"Version", &version)) return CHECK_INSTALL;
  if (!cmdLine.empty()) {
    for (char& c : cmdLine)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (cmdLine == "repair") return CHECK_REPAIR;
  }
  if (version != info->m_strVersion) return CHECK_UPDATE;
  if (platform::IsRegularFile(JoinPath(ctx->m_strInstallDir, ctx->m_strClientExe)))
    return CHECK_START;
  return CHECK_INSTALL;
}

}  // namespace

void CEnvironmentCheck::CheckRegedit(std::promise<_CHECKTYPE>& promise) {
  promise.set_value(Decide(m_strCmdLine));
}

void CEnvironmentCheck::WaitMinDisplay() {
  std::this_thread::sleep_for(std::chrono::milliseconds(MinDisplayMs()));
}

void CEnvironmentCheck::Start() {
  std::promise<_CHECKTYPE> promise;
  std::future<_CHECKTYPE> future = promise.get_future();
  m_workers.emplace_back([this, p = std::move(promise)]() mutable { CheckRegedit(p); });
  m_workers.emplace_back([this] { WaitMinDisplay(); });
  m_waiter = std::thread([this, f = std::move(future)]() mutable { Wait(std::move(f)); });
}

void CEnvironmentCheck::Wait(std::future<_CHECKTYPE> future) {
  for (std::thread& t : m_workers)
    if (t.joinable()) t.join();
  CUIHelp* ctx = CUIHelp::GetInstance();
  if (m_host) ctx->m_rcWindow = m_host->WindowRect();
  ctx->m_nType = future.get();
  m_bCheckDone = true;
  if (m_host) m_host->PostClose(1);
}

void CEnvironmentCheck::Join() {
  if (m_waiter.joinable()) m_waiter.join();
  for (std::thread& t : m_workers)  // only when the waiter never ran
    if (t.joinable()) t.join();
}
