// The installer configuration: dat.ini (section "Installer") and the decrypted
// NetLink.ini (section "Public").
#pragma once

#include <string>

enum IniFile : int { DatIni = 0, NetLinkIni = 1 };

enum IniKey : int {
  InstallerPath = 0,
  InstallerShortcut = 1,
  InstallerAttribute = 2,
  DisPlayName = 3,
  UpdateType = 4,
  WindowTitle = 5,
  InstallType = 6,
  Channel = 7,
  EpCode = 8,
};

class CInstallerIni {
 public:
  static CInstallerIni* GetInstance();

  // Fixes the two paths and decrypts NetLink.dat into NetLink.ini. Always true.
  bool Load(bool repair);
  // Reads the file anew each call; `defaultValue` when nothing is found.
  std::wstring GetValue(int file, int key, const std::wstring& defaultValue) const;

  const std::wstring& DatIniPath() const { return m_strDatIni; }
  const std::wstring& NetLinkIniPath() const { return m_strNetLinkIni; }

 private:
  CInstallerIni();

  std::wstring m_strDatIni;
  std::wstring m_strNetLinkIni;
  std::wstring m_sections[2];
  std::wstring m_keys[9];
};
