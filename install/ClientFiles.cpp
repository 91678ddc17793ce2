// The link configuration and the shortcut icon placed in the installation folder.
#include "app/PathUtil.h"
#include "app/StartUp.h"
#include "app/UIHelp.h"
#include "install/SystemIntegration.h"
#include "platform/Resources.h"

bool CopyNetLinkToInstallDir() {
  return ReleaseResourceFile(JoinPath(CUIHelp::GetInstance()->m_strInstallDir, L"NetLink.dat"),
                             platform::kResData, platform::kIdNetLinkDat);
}

bool WriteClientIconFile(const std::wstring& path) {
  platform::ResourceBlob blob;
  if (!platform::FindResource(platform::kResIcon, platform::kIdCloudIcon, &blob) || blob.size == 0)
    return false;
  IconBitmaps icon;
  if (!LoadIconFromIco(blob.data, blob.size, 64, 64, &icon)) return false;
  return SaveIconFile(path, &icon);
}
