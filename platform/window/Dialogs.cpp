// The layer's own dialogs: the drawn message box (a normal titled window with
// icon, text and buttons) and the folder chooser (zenity or kdialog as a
// child process, else a drawn prompt with a text field). Both are modal on
// the calling thread: its messages keep being served while they are open.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "platform/window/Dialogs.h"
#include "platform/window/DrawKit.h"
#include "platform/window/Headless.h"
#include "platform/window/NativeWindow.h"

extern char** environ;

namespace platform {
namespace {

constexpr int kTextPx = 14;
constexpr int kButtonW = 88;
constexpr int kButtonH = 28;
constexpr wchar_t kDialogClass[] = L"InstallerDialog";

std::mutex g_hookMu;
std::function<int(const std::wstring&, const std::wstring&, unsigned)> g_boxAnswer;
std::function<bool(const std::wstring&, std::wstring*)> g_folderAnswer;

// One dialog window: text, an optional one-line field, OK and maybe Cancel.
struct Dialog {
  std::wstring text;
  unsigned type = MB_OK;
  bool withField = false;
  std::wstring field;
  int result = 0;
  bool done = false;
  RECT textRc, fieldRc, okRc, cancelRc;
  int pressed = 0;  // IDOK / IDCANCEL while the mouse is down on it

  bool HasCancel() const { return (type & 0xF) == MB_OKCANCEL || withField; }
  int CancelAnswer() const { return HasCancel() ? IDCANCEL : IDOK; }
};

uint32_t IconColor(unsigned type) {
  switch (type & 0xF0) {
    case MB_ICONERROR: return 0xFFD9373B;
    case MB_ICONWARNING: return 0xFFE8A317;
    case MB_ICONQUESTION: return 0xFF2F6FD6;
    default: return 0xFF2F6FD6;
  }
}

// Null when the style asks for no icon.
const wchar_t* IconGlyph(unsigned type) {
  switch (type & 0xF0) {
    case MB_ICONERROR: return L"\u00D7";
    case MB_ICONWARNING: return L"!";
    case MB_ICONQUESTION: return L"?";
    case MB_ICONINFORMATION: return L"i";
    default: return nullptr;
  }
}

// Room the icon takes left of the text (none without an icon).
int IconSpace(unsigned type) { return IconGlyph(type) ? 32 + 16 : 0; }

void PaintDialog(HWND hwnd, Dialog& d) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  Canvas c(rc.right, rc.bottom);
  c.Fill(rc, 0xFFF4F4F4);
  c.Fill(RECT{0, rc.bottom - kButtonH - 24, rc.right, rc.bottom}, 0xFFE6E6E6);
  if (const wchar_t* glyph = IconGlyph(d.type)) {
    const int iconX = 20 + 16;
    const int iconY = d.textRc.top + 16;
    c.Disc(iconX, iconY, 16, IconColor(d.type));
    c.Text(RECT{iconX - 16, iconY - 16, iconX + 16, iconY + 16}, glyph, 20, 0xFFFFFFFF, 1, false, true);
  }
  c.Text(d.textRc, d.text, kTextPx, 0xFF202020, 0, true);
  if (d.withField) {
    c.Fill(d.fieldRc, 0xFFFFFFFF);
    c.Frame(d.fieldRc, 0xFF7A7A7A);
    RECT inner{d.fieldRc.left + 4, d.fieldRc.top, d.fieldRc.right - 4, d.fieldRc.bottom};
    c.Text(inner, d.field + L"|", kTextPx, 0xFF000000, 0, false);
  }
  auto button = [&](const RECT& b, const wchar_t* label, bool def, bool down) {
    c.Fill(b, down ? 0xFFCCE4F7 : 0xFFFDFDFD);
    c.Frame(b, def ? 0xFF0078D7 : 0xFFADADAD, def ? 2 : 1);
    c.Text(b, label, kTextPx, 0xFF000000, 1, false);
  };
  button(d.okRc, L"确定", true, d.pressed == IDOK);
  if (d.HasCancel()) button(d.cancelRc, L"取消", false, d.pressed == IDCANCEL);
  c.Present(hwnd);
  ValidateRect(hwnd, nullptr);
}

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

void Finish(HWND hwnd, Dialog& d, int result) {
  if (d.done) return;
  d.done = true;
  d.result = result;
  DestroyWindow(hwnd);
}

LRESULT DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<intptr_t>(cs->lpCreateParams));
    return 1;
  }
  if (!d) return DefWindowProcW(hwnd, msg, wParam, lParam);
  const int x = GET_X_LPARAM(lParam);
  const int y = GET_Y_LPARAM(lParam);
  switch (msg) {
    case WM_PAINT:
      PaintDialog(hwnd, *d);
      return 0;
    case WM_LBUTTONDOWN:
      d->pressed = Inside(d->okRc, x, y) ? IDOK : (d->HasCancel() && Inside(d->cancelRc, x, y)) ? IDCANCEL : 0;
      if (d->pressed) SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, false);
      return 0;
    case WM_LBUTTONUP: {
      const int was = d->pressed;
      d->pressed = 0;
      ReleaseCapture();
      InvalidateRect(hwnd, nullptr, false);
      if (was == IDOK && Inside(d->okRc, x, y)) Finish(hwnd, *d, IDOK);
      if (was == IDCANCEL && Inside(d->cancelRc, x, y)) Finish(hwnd, *d, IDCANCEL);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) Finish(hwnd, *d, IDOK);
      if (wParam == VK_ESCAPE) Finish(hwnd, *d, d->CancelAnswer());
      if (wParam == VK_BACK && d->withField && !d->field.empty()) {
        d->field.pop_back();
        InvalidateRect(hwnd, nullptr, false);
      }
      return 0;
    case WM_CHAR:
      if (d->withField && wParam >= 0x20 && wParam != 0x7F) {
        d->field.push_back(static_cast<wchar_t>(wParam));
        InvalidateRect(hwnd, nullptr, false);
      }
      return 0;
    case WM_CLOSE:
      Finish(hwnd, *d, d->CancelAnswer());
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// Shows the dialog and serves this thread's messages until it ends.
int RunDialog(HWND owner, const std::wstring& caption, Dialog& d) {
  WNDCLASSW wc;
  wc.lpfnWndProc = DialogProc;
  wc.lpszClassName = kDialogClass;
  RegisterClassW(wc);
  const int textMax = 420;
  SIZE ts = Canvas::Measure(d.text, kTextPx, textMax);
  const int width = std::max(d.withField ? 460 : 300, static_cast<int>(ts.cx) + 20 + IconSpace(d.type) + 24);
  const int fieldH = d.withField ? 30 : 0;
  const int textH = std::max(32, static_cast<int>(ts.cy));
  const int height = 20 + textH + (d.withField ? 12 + fieldH : 0) + 20 + kButtonH + 24;
  d.textRc = RECT{20 + IconSpace(d.type), 20, width - 20, 20 + textH};
  d.fieldRc = RECT{20, d.textRc.bottom + 12, width - 20, d.textRc.bottom + 12 + fieldH};
  const int by = height - 12 - kButtonH;
  if (d.HasCancel()) {
    d.cancelRc = RECT{width - 16 - kButtonW, by, width - 16, by + kButtonH};
    d.okRc = RECT{d.cancelRc.left - 10 - kButtonW, by, d.cancelRc.left - 10, by + kButtonH};
  } else {
    d.okRc = RECT{width - 16 - kButtonW, by, width - 16, by + kButtonH};
  }
  RECT work, base;
  GetMonitorInfoForWindow(owner, nullptr, &work);
  base = work;
  if (owner && IsWindowVisible(owner)) GetWindowRect(owner, &base);
  int x = base.left + (base.right - base.left - width) / 2;
  int y = base.top + (base.bottom - base.top - height) / 2;
  x = std::max(work.left, std::min(x, work.right - width));
  y = std::max(work.top, std::min(y, work.bottom - height));
  HWND hwnd = CreateWindowExW(0, kDialogClass, caption.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y, width,
                              height, owner, &d);
  if (!hwnd) return d.CancelAnswer();
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, false);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  MSG msg;
  bool quit = false;
  int quitCode = 0;
  while (IsWindow(hwnd)) {
    if (!GetMessageW(&msg)) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      DestroyWindow(hwnd);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (ownerWasEnabled) EnableWindow(owner, true);
  if (owner && IsWindowOnCurrentThread(owner)) SetFocus(owner);
  if (quit) PostQuitMessage(quitCode);
  return d.done ? d.result : d.CancelAnswer();
}

std::string FindTool(const char* name) {
  const char* path = std::getenv("PATH");
  std::string all = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find(':', start);
    if (end == std::string::npos) end = all.size();
    std::string dir = all.substr(start, end - start);
    if (!dir.empty()) {
      std::string full = dir + "/" + name;
      if (access(full.c_str(), X_OK) == 0) return full;
    }
    start = end + 1;
  }
  return "";
}

// Runs argv as a child, serving this thread's messages until it ends.
// Returns its exit status (-1 when it could not run) and its standard output.
int RunChildServing(HWND owner, const std::vector<std::string>& argv, std::string* out) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return -1;
  }
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, false);
  int status = -1;
  bool quit = false;
  int quitCode = 0;
  for (;;) {
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out->append(buf, static_cast<size_t>(n));
    pid_t w = waitpid(pid, &status, WNOHANG);
    if (w == pid) break;
    MSG msg;
    if (GetMessageTimeout(&msg, 50)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else if (msg.message == WM_QUIT) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      kill(pid, SIGTERM);
    }
  }
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out->append(buf, static_cast<size_t>(n));
  close(fds[0]);
  if (ownerWasEnabled) EnableWindow(owner, true);
  if (quit) PostQuitMessage(quitCode);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int ShowWindowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned type) {
  Dialog d;
  d.text = text;
  d.type = type;
  return RunDialog(owner, caption, d);
}

void InstallWindowMessageBox() {
  SetMessageBoxHandler([](void* owner, const std::wstring& text, const std::wstring& caption, unsigned type) {
    if (CurrentWindowBackend() == WindowBackend::Headless) {
      std::function<int(const std::wstring&, const std::wstring&, unsigned)> hook;
      {
        std::lock_guard<std::mutex> guard(g_hookMu);
        hook = g_boxAnswer;
      }
      return hook ? hook(text, caption, type) : IDOK;
    }
    HWND hwnd = static_cast<HWND>(owner);
    if (!InitWindowSystem()) return (type & 0xF) == MB_OKCANCEL ? IDCANCEL : IDOK;
    return ShowWindowMessageBox(IsWindow(hwnd) && IsWindowOnCurrentThread(hwnd) ? hwnd : nullptr, text, caption,
                                type);
  });
}

bool BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initial, std::wstring* path) {
  if (!path) return false;
  if (CurrentWindowBackend() == WindowBackend::Headless) {
    std::function<bool(const std::wstring&, std::wstring*)> hook;
    {
      std::lock_guard<std::mutex> guard(g_hookMu);
      hook = g_folderAnswer;
    }
    return hook ? hook(title, path) : false;
  }
  const std::string t = WideToUtf8(title);
  std::string start = WideToUtf8(initial);
  if (!start.empty() && start.back() != '/') start += '/';
  std::vector<std::string> argv;
  if (std::string zenity = FindTool("zenity"); !zenity.empty()) {
    argv = {zenity, "--file-selection", "--directory", "--title=" + t};
    if (!start.empty()) argv.push_back("--filename=" + start);
  } else if (std::string kd = FindTool("kdialog"); !kd.empty()) {
    argv = {kd, "--getexistingdirectory", start.empty() ? "/" : start, "--title", t};
  }
  if (!argv.empty()) {
    std::string out;
    const int status = RunChildServing(owner, argv, &out);
    if (status >= 0) {
      while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
      if (status != 0 || out.empty()) return false;
      *path = Utf8ToWide(out);
      return true;
    }
  }
  // No desktop chooser: a drawn prompt with a text field.
  Dialog d;
  d.text = title.empty() ? L"请输入文件夹路径" : title;
  d.withField = true;
  d.field = initial;
  d.type = MB_OKCANCEL | MB_ICONQUESTION;
  if (RunDialog(owner, title, d) != IDOK || d.field.empty()) return false;
  *path = d.field;
  return true;
}

namespace headless {

void SetMessageBoxAnswer(std::function<int(const std::wstring&, const std::wstring&, unsigned)> fn) {
  std::lock_guard<std::mutex> guard(g_hookMu);
  g_boxAnswer = std::move(fn);
}

void SetFolderAnswer(std::function<bool(const std::wstring&, std::wstring*)> fn) {
  std::lock_guard<std::mutex> guard(g_hookMu);
  g_folderAnswer = std::move(fn);
}

}  // namespace headless
}  // namespace platform
