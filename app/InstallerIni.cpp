// The installer configuration singleton: where dat.ini and NetLink.ini are,
// and single-value reads from them.
#include "app/InstallerIni.h"

#include <atomic>
#include <mutex>

#include "app/LinkCipher.h"
#include "app/PathUtil.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"

namespace {
std::atomic<CInstallerIni*> g_instance{nullptr};
std::mutex g_instanceLock;

constexpr const wchar_t* kSections[2] = {L"Installer", L"Public"};
constexpr const wchar_t* kKeys[9] = {L"InstallerPath", L"InstallerShortcut", L"InstallerAttribute",
                                     L"DisPlayName",   L"UpdateType",        L"WindowTitle",
                                     L"InstallType",   L"channel",           L"epCode"};
constexpr size_t kValueCapacity = 4096;
}  // namespace

CInstallerIni::CInstallerIni() {
  // Filled here as well as in Load, so a read before Load is safe (it yields the default).
  for (int i = 0; i < 2; ++i) m_sections[i] = kSections[i];
  for (int i = 0; i < 9; ++i) m_keys[i] = kKeys[i];
}

CInstallerIni* CInstallerIni::GetInstance() {
  CInstallerIni* p = g_instance.load(std::memory_order_acquire);
  if (p) return p;
  std::lock_guard<std::mutex> guard(g_instanceLock);
  p = g_instance.load(std::memory_order_relaxed);
  if (!p) {
    p = new CInstallerIni();  // lives until the process ends
    g_instance.store(p, std::memory_order_release);
  }
  return p;
}

bool CInstallerIni::Load(bool repair) {
  for (int i = 0; i < 2; ++i) m_sections[i] = kSections[i];
  for (int i = 0; i < 9; ++i) m_keys[i] = kKeys[i];

  const std::wstring temp = platform::TempFolder();
  std::wstring datIni = JoinPath(temp, L"dat.ini");
  std::wstring netLinkDat = JoinPath(temp, L"NetLink.dat");
  const std::wstring netLinkIni = JoinPath(temp, L"NetLink.ini");

  if (repair) {
    const std::wstring exeDir = ExeDirectory();
    const std::wstring besideDat = JoinPath(exeDir, L"dat.ini");
    if (platform::IsRegularFile(besideDat)) datIni = besideDat;
    const std::wstring besideLink = JoinPath(exeDir, L"NetLink.dat");
    if (platform::IsRegularFile(besideLink)) netLinkDat = besideLink;
  }

  DecryptLinkFile(platform::WideToUtf8(netLinkDat).c_str(), kLinkKey, platform::WideToUtf8(netLinkIni).c_str());

  m_strDatIni = datIni;
  platform::SetFileNormal(m_strDatIni);
  m_strNetLinkIni = netLinkIni;
  platform::SetFileNormal(m_strNetLinkIni);
  return true;
}

std::wstring CInstallerIni::GetValue(int file, int key, const std::wstring& defaultValue) const {
  if (file != DatIni && file != NetLinkIni) return defaultValue;
  if (key < 0 || key >= 9) return defaultValue;
  const std::wstring& path = file == DatIni ? m_strDatIni : m_strNetLinkIni;
  if (path.empty()) return defaultValue;
  std::wstring value;
  if (platform::GetPrivateProfileStringW(m_sections[file], m_keys[key], L"", &value, kValueCapacity, path) == 0) {
    return defaultValue;
  }
  return value;
}
