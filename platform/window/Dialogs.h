// Dialogs of the window layer: the drawn message box behind
// platform::MessageBoxW, and the folder chooser.
#pragma once

#include <string>

#include "platform/window/WinUser.h"

namespace platform {

// Routes platform::MessageBoxW to the drawn dialog (headless: to the test
// hook). Called once by the entry before the first page.
void InstallWindowMessageBox();

// The dialog itself: a normal titled window with icon, text and OK or
// OK + Cancel (type & 0xF: MB_OK / MB_OKCANCEL), modal on the calling thread
// over `owner` (may be null). Return = OK, Escape or the title bar's close =
// Cancel (IDOK for an MB_OK box). Returns IDOK or IDCANCEL.
int ShowWindowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned type);

// Asks the user for a folder. Runs zenity or kdialog as a child while this
// thread's messages keep being served; without either, a drawn prompt with a
// text field. initial: proposed path. False when cancelled.
bool BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initial, std::wstring* path);

}  // namespace platform
