// The demo client's uninstaller: removes what an installation made, the menu and
// desktop entries, the product's settings and uninstall entry, and the files of
// the install folder it lives in (the folder too once nothing else is left).
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Marker.h"
#include "platform/IniFile.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/Text.h"

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kProductKey = L"Software\\Tarvolen\\RoruvAZ";
constexpr const wchar_t* kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{D4A19E37-6B25-48C1-9F0E-72A3B5C8E610}";
constexpr const wchar_t* kDefaultShortcut = L"Tarvolen云电脑";

// What an installation puts into the folder: the package's files (keep in step
// with CMakeLists.txt), the files the installer places, the client's markers.
// Anything else is the user's and stays.
constexpr const char* kInstalledFiles[] = {
    "tvClient.exe", "QtWebEngineProcess.exe", "Uninstaller.exe", "version.txt",
    "resources/client.ini", "resources/locales/zh_CN.txt",
    "dat.ini", "Cloud.ico", "boot_background_game.png", "oem.png", "NetLink.dat", "tmpClient",
    "tvClient.exe.started", "QtWebEngineProcess.exe.started",
};
constexpr const char* kInstalledFolders[] = {"resources/locales", "resources", ""};

std::string Trimmed(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool Inside(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

std::string ProductValue(const wchar_t* name) {
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(platform::HKEY_CURRENT_USER, kProductKey, 0,
                              platform::KEY_QUERY_VALUE, &key) != platform::ERROR_SUCCESS)
    return {};
  std::wstring data;
  const long rc = platform::RegQueryValueExW(key, name, nullptr, &data);
  platform::RegCloseKey(key);
  return rc == platform::ERROR_SUCCESS ? platform::WideToUtf8(data) : std::string();
}

// An uninstaller copied somewhere else must not empty that place: the folder has
// to be the registered install folder, or at least hold the client.
bool LooksLikeInstallFolder(const std::string& folder) {
  if (folder == "/" || folder.empty()) return false;
  if (fs::path(folder).parent_path() == "/") return false;  // /opt, /usr, /home ...
  std::error_code ec;
  const char* home = std::getenv("HOME");
  if (home && *home) {
    const std::string h = Trimmed(fs::weakly_canonical(home, ec).string());
    if (folder == h || Inside(h, folder)) return false;
  }
  const std::string registered = Trimmed(ProductValue(L"installDir"));
  if (!registered.empty() && fs::equivalent(registered, folder, ec)) return true;
  return fs::is_regular_file(folder + "/tvClient.exe", ec);
}

// False once the process has ended, also while it waits to be reaped (zombie).
bool Running(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  const std::size_t paren = stat.rfind(')');
  return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
}

// Ends the client's processes started from this folder: SIGTERM, then SIGKILL
// for those still there after three seconds.
void StopClientProcesses(const std::string& folder) {
  std::vector<int> pids;
  for (const platform::ProcessEntry& p : platform::EnumerateProcesses()) {
    if (p.pid == getpid()) continue;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/" + std::to_string(p.pid) + "/exe", ec);
    if (!ec && Inside(exe.string(), folder)) pids.push_back(p.pid);
  }
  for (int pid : pids) kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (int pid : pids) {
    while (Running(pid) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (Running(pid)) platform::KillProcessId(pid);
  }
}

// The program an entry's Exec line starts: the desktop-entry value escapes
// undone, then the first word, quoted or not, with its quoting escapes undone.
std::string ExecProgram(const std::string& path) {
  std::ifstream in(path);
  std::string line, value;
  bool inGroup = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] == '[') inGroup = line == "[Desktop Entry]";
    else if (inGroup && line.rfind("Exec=", 0) == 0) value = line.substr(5);
  }
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      text += value[i];
      continue;
    }
    const char c = value[++i];
    text += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == '\\' ? '\\' : c;
  }
  std::string program;
  if (!text.empty() && text[0] == '"') {
    for (std::size_t i = 1; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) ++i;
      program += text[i];
    }
  } else {
    program = text.substr(0, text.find(' '));
  }
  std::string out;
  for (std::size_t i = 0; i < program.size(); ++i) {
    out += program[i];
    if (program[i] == '%' && i + 1 < program.size() && program[i + 1] == '%') ++i;
  }
  return out;
}

// Removes "<name>.desktop" from a folder when it starts a program of ours.
bool RemoveEntry(const std::wstring& menuFolder, std::wstring name, const std::string& folder) {
  if (menuFolder.empty()) return true;
  for (wchar_t& c : name)
    if (c == L'/') c = L'_';  // the installer never makes a name a path
  const std::string path = platform::WideToUtf8(menuFolder) + "/" + platform::WideToUtf8(name) + ".desktop";
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(path, ec))) return true;
  if (!Inside(fs::weakly_canonical(ExecProgram(path), ec).string(), folder)) {
    std::printf("kept %s: it belongs to another installation\n", path.c_str());
    return true;
  }
  if (!fs::remove(path, ec)) {
    std::fprintf(stderr, "cannot remove %s: %s\n", path.c_str(), ec.message().c_str());
    return false;
  }
  std::printf("removed %s\n", path.c_str());
  return true;
}

// Removes the installation's files, then its folders that are left empty. A
// folder that still holds files of the user's is kept (and is no failure).
bool RemoveInstalledFiles(const std::string& folder) {
  bool ok = true;
  std::error_code ec;
  for (const char* name : kInstalledFiles) {
    const std::string path = folder + "/" + name;
    if (!fs::exists(fs::symlink_status(path, ec))) continue;
    if (!fs::remove(path, ec)) {
      std::fprintf(stderr, "cannot remove %s: %s\n", path.c_str(), ec.message().c_str());
      ok = false;
    }
  }
  for (const char* name : kInstalledFolders) {
    const std::string path = *name ? folder + "/" + name : folder;
    if (!fs::is_directory(fs::symlink_status(path, ec))) continue;
    if (!fs::is_empty(path, ec)) {
      std::printf("kept %s: it holds files that are not the client's\n", path.c_str());
      continue;
    }
    if (!fs::remove(path, ec)) {
      std::fprintf(stderr, "cannot remove %s: %s\n", path.c_str(), ec.message().c_str());
      ok = false;
    } else if (!*name) {
      std::printf("removed %s\n", path.c_str());
    }
  }
  return ok;
}

bool RemoveRegistration(const std::string& folder) {
  // Settings of another installation stay.
  std::error_code ec;
  const std::string registered = Trimmed(ProductValue(L"installDir"));
  if (!registered.empty() && !fs::equivalent(registered, folder, ec) && fs::exists(registered, ec)) {
    std::printf("kept the settings: they belong to %s\n", registered.c_str());
    return true;
  }
  bool ok = true;
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(platform::HKEY_CURRENT_USER, kProductKey, 0, platform::KEY_ALL_ACCESS,
                              &key) == platform::ERROR_SUCCESS) {
    for (const wchar_t* value : {L"installDir", L"Start", L"Version"}) {
      const long rc = platform::RegDeleteValueW(key, value);
      ok = ok && (rc == platform::ERROR_SUCCESS || rc == platform::ERROR_FILE_NOT_FOUND);
    }
    platform::RegCloseKey(key);
  }
  const long rc = platform::RegDeleteKeyW(platform::HKEY_LOCAL_MACHINE, kUninstallKey);
  ok = ok && (rc == platform::ERROR_SUCCESS || rc == platform::ERROR_FILE_NOT_FOUND);
  std::printf(ok ? "removed the settings and the uninstall entry\n"
                 : "the settings could not all be removed\n");
  return ok;
}

}  // namespace

int main() {
  std::error_code ec;
  const std::string folder = Trimmed(fs::canonical(democlient::ExecutableFolder(), ec).string());
  if (ec || !LooksLikeInstallFolder(folder)) {
    std::fprintf(stderr, "%s is not an installation of the client; nothing removed\n",
                 folder.c_str());
    return 2;
  }
  StopClientProcesses(folder);

  std::wstring shortcut;
  platform::GetPrivateProfileStringW(L"Installer", L"InstallerShortcut", kDefaultShortcut, &shortcut,
                                     4096, platform::Utf8ToWide(folder + "/dat.ini"));
  if (shortcut.empty()) shortcut = kDefaultShortcut;
  bool ok = RemoveEntry(platform::ApplicationsFolder(), shortcut, folder);
  ok = RemoveEntry(platform::DesktopFolder(), shortcut, folder) && ok;
  ok = RemoveRegistration(folder) && ok;

  ok = RemoveInstalledFiles(folder) && ok;
  return ok ? 0 : 1;
}
