// Menu and desktop entries (freedesktop .desktop files) for the installed client.
#include <sys/stat.h>

#include "app/InstallerIni.h"
#include "app/UIHelp.h"
#include "install/SystemIntegration.h"
#include "platform/Files.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace {

// A "string" value of a desktop entry: backslash and control characters escaped.
std::string EscapeValue(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// The program of an Exec line: quoted when it holds a reserved character, with
// the quoting escapes inside, and "%" doubled so it is no field code.
std::string ExecProgram(const std::string& path) {
  static const std::string kReserved = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = path.find_first_of(kReserved) != std::string::npos;
  std::string out;
  if (quote) out += '"';
  for (char c : path) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  if (quote) out += '"';
  return EscapeValue(out);
}

void WriteEntry(const std::wstring& folder, const std::wstring& fileName, const std::string& text) {
  if (folder.empty()) return;
  std::wstring path = folder + L"/" + fileName;
  platform::DeleteFileW(path);
  if (platform::WriteWholeFile(path, text.data(), text.size()))
    ::chmod(platform::WideToUtf8(path).c_str(), 0755);
}

}  // namespace

std::string DesktopEntryText(const std::wstring& name, const std::wstring& target,
                             const std::wstring& icon) {
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
  text += "Name=" + EscapeValue(platform::WideToUtf8(name)) + "\n";
  text += "Exec=" + ExecProgram(platform::WideToUtf8(target)) + "\n";
  text += "Icon=" + EscapeValue(platform::WideToUtf8(icon)) + "\n";
  text += "Terminal=false\n";
  return text;
}

void CreateShortcuts() {
  CUIHelp* ctx = CUIHelp::GetInstance();
  std::wstring name =
      CInstallerIni::GetInstance()->GetValue(DatIni, InstallerShortcut, L"Tarvolen云电脑");
  std::wstring fileName = name;
  for (wchar_t& c : fileName)
    if (c == L'/') c = L'_';  // a name is never a path
  fileName += L".desktop";
  const std::string text = DesktopEntryText(name, ctx->m_strInstallDir + ctx->m_strClientExe,
                                            ctx->m_strInstallDir + L"/Cloud.ico");
  WriteEntry(platform::ApplicationsFolder(), fileName, text);
  WriteEntry(platform::DesktopFolder(), fileName, text);
}
