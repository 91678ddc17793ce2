// What every page shares: the window parameters the pages are created with,
// the distributor's two images, the saved window position and service URLs.
#pragma once

#include <string>

#include "platform/WinTypes.h"
#include "platform/window/WinUser.h"

namespace SkinUI {
class CSkinManagerUI;
class WindowImplBase;
}  // namespace SkinUI

namespace pages {

// Title of every page: dat.ini InstallerAttribute, read anew each time.
std::wstring PageTitle();
// Creates the page as the installer's pages are created (no owner, page
// style, WS_EX_WINDOWEDGE, default position and size); null on failure.
HWND CreatePage(SkinUI::WindowImplBase& page);

// Sets the background images of "lefttitle" and "oempng" to lefttitle.png and
// oem.png in the temporary folder (written there at start-up). A missing
// control or file leaves that area empty.
void ApplyBrandImages(SkinUI::CSkinManagerUI& pm);

// Moves a page to the left/top of `rc` without resizing or activating it.
void MovePageTo(HWND hwnd, const RECT& rc);
// The window rectangle of `hwnd` into CUIHelp::m_rcWindow; false when the
// window has none.
bool SaveWindowRectOf(HWND hwnd);

// Error box of the install checks: no owner, caption "错误提示", error icon.
void ShowInstallError(const std::wstring& text);

// "https://" + host (+ ":" + the deployment's HTTPS port when it is not 443)
// + pathAndQuery.
std::string HttpsUrl(const std::string& host, const std::string& pathAndQuery);

}  // namespace pages
