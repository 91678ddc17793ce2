// How an installation touches the rest of the system: running client
// processes, the link configuration and icon files, the settings store and
// uninstall entry, menu and desktop entries, and the client start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---- processes (ProcessControl.cpp) -------------------------------------------

enum class StopResult { NotRunning, Stopped, Failed };

// The first process (ascending pid) whose executable file name equals `name`
// ignoring ASCII case, other than this process; 0 when none.
int FindProcessByName(const std::wstring& name);
// SIGKILL; false when it cannot be sent. Does not wait.
bool KillProcess(int processId);
// Ends the first matching process and then sleeps 1 s so it lets go of its
// files; further instances of the name keep running.
StopResult StopProcessByName(const std::wstring& name);

// ---- files in the installation folder (ClientFiles.cpp, ClientIcon.cpp) -------

// The packaged link configuration ("DATA" 152) written as
// JoinPath(installDir, "NetLink.dat"); false when missing, empty or unwritable.
bool CopyNetLinkToInstallDir();

// A decoded icon image as the icon file stores it.
struct IconBitmaps {
  int width = 0;
  int height = 0;
  int planes = 1;
  int bitsPerPixel = 32;
  int colorRowBytes = 0;               // row length before rounding up to 4
  std::vector<uint8_t> color;          // top row first, rows of colorRowBytes (BGRA)
  int maskRowBytes = 0;
  std::vector<uint8_t> mask;           // 1 bit per pixel, top row first, 1 = transparent
};

// Picks the image of an ICO file that suits cx x cy best and renders it at
// exactly that size (32-bit colour plus the 1-bit mask). False when the data is
// not a usable icon.
bool LoadIconFromIco(const uint8_t* data, size_t size, int cx, int cy, IconBitmaps* out);
// Writes a single-image ICO file (created anew); false without an icon or when
// the file cannot be written.
bool SaveIconFile(const std::wstring& path, const IconBitmaps* icon);
// Icon group "ICON" 106 at 64 x 64, saved with SaveIconFile; false, writing
// nothing, when the resource is missing or empty.
bool WriteClientIconFile(const std::wstring& path);

// ---- shortcuts (Shortcuts.cpp) -------------------------------------------------

// The freedesktop entry text for one shortcut (exposed for tests).
std::string DesktopEntryText(const std::wstring& name, const std::wstring& target,
                             const std::wstring& icon);
// A menu entry and a desktop entry: the InstallerShortcut name (default
// "Tarvolen云电脑") + ".desktop", Exec = install folder followed by the client
// name, Icon = install folder followed by "/Cloud.ico". A missing desktop folder
// is skipped; write failures are silent.
void CreateShortcuts();

// ---- settings store (RegistryEntries.cpp) ------------------------------------

extern const wchar_t kProductKey[];    // under HKEY_CURRENT_USER
extern const wchar_t kUninstallKey[];  // under HKEY_LOCAL_MACHINE

struct RegistryInputs {
  std::wstring installDir;     // with its trailing separator
  std::wstring clientExe;
  std::wstring version;
  std::wstring displayName;    // DisPlayName from dat.ini; empty gives the default
  std::wstring installSource;  // the running installer's path
};
// The product values, then the uninstall entry; the first value that cannot be
// set ends the operation with false.
bool WriteRegistryEntries(const RegistryInputs& in);
// The same with the inputs gathered from the installer context, the install
// info and dat.ini.
bool WriteRegistryEntries();

// ---- client start (ProcessControl.cpp) -------------------------------------------

// Starts install folder followed by the client name, detached, no arguments.
void LaunchClient();
