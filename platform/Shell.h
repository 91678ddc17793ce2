// Desktop shell services: opening a URL or a program, the user's menu and
// desktop folders.
#pragma once

#include <string>

namespace platform {

// True for root: the machine-wide settings file and menu folder are used. The
// environment variable INSTALLER_USER_SCOPE (any value) keeps a root process on
// the per-user locations, so tests and the demo never touch the system.
bool UsesSystemWideLocations();

// xdg-open URL, detached; false when it cannot be started.
bool ShellOpenUrl(const std::string& url);
// Starts a program detached (own session), without arguments.
bool ShellOpenProgram(const std::wstring& path);
// The menu entries folder, created when missing:
// ${XDG_DATA_HOME:-$HOME/.local/share}/applications (root:
// /usr/local/share/applications). Empty when it cannot be made. No trailing "/".
std::wstring ApplicationsFolder();
// XDG_DESKTOP_DIR of user-dirs.dirs, else $HOME/Desktop; empty when that folder
// does not exist (it is never created). No trailing "/".
std::wstring DesktopFolder();

}  // namespace platform
