// The product's settings values and its uninstall entry.
#include "app/InstallerIni.h"
#include "app/PathUtil.h"
#include "app/UIHelp.h"
#include "decision/HttpInstallInfo.h"
#include "install/SystemIntegration.h"
#include "platform/ModulePath.h"
#include "platform/Registry.h"

const wchar_t kProductKey[] = L"Software\\Tarvolen\\RoruvAZ";
const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{D4A19E37-6B25-48C1-9F0E-72A3B5C8E610}";

namespace {

struct KeyCloser {
  platform::HKEY key = nullptr;
  ~KeyCloser() {
    if (key) platform::RegCloseKey(key);
  }
};

bool SetAll(platform::HKEY key, const std::pair<const wchar_t*, std::wstring>* values, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (platform::RegSetValueExW(key, values[i].first, 0, platform::REG_SZ, values[i].second) !=
        platform::ERROR_SUCCESS)
      return false;
  }
  return true;
}

}  // namespace

bool WriteRegistryEntries(const RegistryInputs& in) {
  {
    KeyCloser product;
    if (platform::RegCreateKeyW(platform::HKEY_CURRENT_USER, kProductKey, &product.key) ==
        platform::ERROR_SUCCESS) {
      const std::pair<const wchar_t*, std::wstring> values[] = {
          {L"installDir", in.installDir},
          {L"Start", in.clientExe},
          {L"Version", in.version},
      };
      if (!SetAll(product.key, values, 3)) return false;
    }
  }
  KeyCloser uninstall;
  if (platform::RegCreateKeyW(platform::HKEY_LOCAL_MACHINE, kUninstallKey, &uninstall.key) !=
      platform::ERROR_SUCCESS)
    return false;
  const std::wstring uninstaller = JoinPath(in.installDir, L"Uninstaller.exe");
  const std::pair<const wchar_t*, std::wstring> values[] = {
      {L"DisplayName", in.displayName.empty() ? std::wstring(L"Tarvolen云电脑") : in.displayName},
      {L"InstallSource", in.installSource},
      {L"DisplayVersion", in.version},
      {L"InstallLocation", JoinPath(in.installDir, L"tvClient.exe")},
      {L"ModifyPath", uninstaller},
      {L"UninstallString", uninstaller},
      {L"DisplayIcon", uninstaller},
      {L"Publisher", L"tarvolen cloud"},
  };
  return SetAll(uninstall.key, values, 8);
}

bool WriteRegistryEntries() {
  RegistryInputs in;
  CUIHelp* ctx = CUIHelp::GetInstance();
  in.installDir = ctx->m_strInstallDir;
  in.clientExe = ctx->m_strClientExe;
  in.version = HttpInstallInfo::GetInstance()->m_strVersion;
  in.displayName = CInstallerIni::GetInstance()->GetValue(DatIni, DisPlayName, L"");
  in.installSource = platform::ModuleFileName();
  return WriteRegistryEntries(in);
}
