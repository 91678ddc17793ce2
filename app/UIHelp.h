// The installer context handed from page to page.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WinTypes.h"

enum _CHECKTYPE : int32_t {
  CHECK_REQUEST_FAILED = 0,
  CHECK_INSTALL = 1,
  CHECK_UPDATE = 2,
  CHECK_START = 3,
  CHECK_REPAIR = 4,
  CHECK_NO_PACKAGE = 5,
};

class CUIHelp {
 public:
  static CUIHelp* GetInstance();
  virtual ~CUIHelp() = default;

  RECT m_rcWindow;            // screen pixels, of the last page that recorded it
  int32_t m_nType = CHECK_REQUEST_FAILED;
  std::wstring m_strInstallDir;  // default: the platform's default install folder
  std::wstring m_strClientExe = L"tvClient.exe";

 private:
  CUIHelp();
};

// The default install folder: /opt/DevAdazuZirev/ for root, else
// $HOME/.local/opt/DevAdazuZirev/.
std::wstring DefaultInstallDir();
