// End-to-end runs of the real installer: its own X server (Xvfb, optionally
// openbox), the demo service with the demo client packages, a packed copy of
// the installer pointed at that service, input through xdotool, and read-back
// of everything the installer leaves behind.
#pragma once

#include <sys/types.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/DevService.h"
#include "support/ScratchEnv.h"

namespace e2e {

// A visible top-level window of the installer process.
struct Window {
  std::string id;    // X window id, decimal as xdotool prints it
  std::string name;  // its title (UTF-8)
  int x = 0, y = 0;  // root coordinates
  int width = 0, height = 0;
  bool valid() const { return !id.empty(); }
};

// What the demo client wrote when it started (tools/democlient/README.md).
struct ClientMarker {
  bool present = false;
  pid_t pid = 0;
  std::string version;
  std::string folder;
};

struct HarnessOptions {
  bool windowManager = false;  // run openbox on the X server (also: INSTALLER_E2E_WM=1)
  std::string scenario;        // scenario INI for the demo service
  bool packages = true;        // serve the demo client 1.0.0 (v1) and 2.1.0 (v2)
};

// Result of a command the harness ran.
struct CommandResult {
  int code = -1;     // exit code; -1 when it could not run or timed out
  bool timedOut = false;
  std::string out;   // standard output
};

// Runs argv with the given extra environment ("NAME=value"), killing it after
// timeoutMs. Standard error goes to /dev/null.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         int timeoutMs);

class E2eHarness {
 public:
  E2eHarness();
  ~E2eHarness();
  E2eHarness(const E2eHarness&) = delete;
  E2eHarness& operator=(const E2eHarness&) = delete;

  // X server, service and the packed installer. False with Error() on failure.
  bool Start(const HarnessOptions& options = HarnessOptions());
  const std::string& Error() const { return m_error; }

  testsupport::ScratchEnv& Env() { return *m_env; }
  testsupport::DevService& Service() { return *m_service; }
  const std::string& Display() const { return m_display; }
  // artefacts/e2e/<suite>.<test>/ under the build folder.
  const std::string& ArtefactDir() const { return m_artefacts; }
  const std::string& InstallerPath() const { return m_installer; }

  // --- the installer process --------------------------------------------
  // Starts the packed installer with these arguments. Only one runs at a time
  // through Launch; LaunchOther starts an extra one (for the second instance).
  bool Launch(const std::vector<std::string>& args = {});
  pid_t LaunchOther(const std::vector<std::string>& args);
  pid_t Pid() const { return m_pid; }
  // Waits for the process started by Launch to end; its exit code (128 + signal
  // when it was killed) into *code. False after timeoutMs (the process is then
  // left running; the destructor kills it). Keeps tracking its windows meanwhile.
  bool WaitExit(int timeoutMs, int* code);
  bool WaitExitOf(pid_t pid, int timeoutMs, int* code);
  bool Running();

  // --- windows ------------------------------------------------------------
  // The visible windows of a process (default: the launched installer).
  std::vector<Window> Windows(pid_t pid = 0);
  // Waits for a visible window of the launched installer whose title is `name`
  // (empty: any titled window, so tooltips do not count) and whose id is not in `except`. Invalid after timeoutMs.
  Window WaitWindow(const std::string& name, int timeoutMs, const std::set<std::string>& except = {},
                    pid_t pid = 0);
  // Waits for the next page: a window titled like the pages that has not been
  // seen before.
  Window WaitNewPage(int timeoutMs);
  bool WaitGone(const Window& w, int timeoutMs);
  bool Exists(const Window& w);
  Window Refresh(const Window& w);  // geometry and title read again
  // Every window id the launched installer has shown (as far as polled).
  const std::set<std::string>& SeenWindows() const { return m_seen; }
  // How many of them were pages (titled like the pages).
  size_t SeenPages() const { return m_seenPages.size(); }

  // Page title of the packaged dat.ini.
  static std::string PageTitle();

  // --- input (real X input through XTEST) ---------------------------------
  bool Click(const Window& w, int x, int y);  // window-relative
  bool MoveTo(const Window& w, int x, int y);
  // xdotool key names, e.g. "alt+F4" (several: separated by blanks); focus: give `w` the keyboard focus first.
  bool Key(const Window& w, const std::string& keys, bool focus = true);
  bool Type(const std::string& text);  // into whatever holds the focus
  // Answers a drawn message box with its OK or Cancel button (withCancel:
  // the box offers both).
  bool AnswerBox(const Window& box, bool ok, bool withCancel);

  // import -window root into the artefact folder as NN-<name>.png; returns the path.
  std::string Screenshot(const std::string& name);
  // Colour of one screen pixel as 0xRRGGBB (-1 when it cannot be read).
  long Pixel(int x, int y);
  // The window's area of the screen as raw RGB bytes (empty on failure).
  std::string Capture(const Window& w);

  // --- results ------------------------------------------------------------
  // Where the install page proposes to install: $HOME/.local/opt/devadazuzirev/.
  std::string ProposedInstallDir() const;
  std::string TempFolder() const;  // the installer's temporary folder
  // Event codes of the reports the service received, in order, from index `from`.
  std::vector<int> ReportEvents(size_t from = 0) const;
  bool ReportsValid(size_t from = 0) const;
  size_t ReportCount() const;
  // Package download requests (GET /download/...) the service received.
  size_t DownloadRequests() const;
  // Arguments the stand-in xdg-open was called with, in order.
  std::vector<std::string> XdgOpenCalls() const;
  bool WaitXdgOpenCalls(size_t count, int timeoutMs);
  ClientMarker Marker(const std::string& program = "tvClient.exe") const;
  bool WaitMarker(int timeoutMs, ClientMarker* out, pid_t notPid = 0);
  void RemoveMarkers();
  // Live (not zombie) processes whose executable lies in `folder`.
  std::vector<pid_t> ProcessesIn(const std::string& folder) const;
  static bool Alive(pid_t pid);
  // A value of the product's settings key (HKEY_CURRENT_USER) or of the
  // uninstall entry; empty with *found false when absent.
  std::string SettingsValue(const std::string& name, bool* found = nullptr) const;
  std::string UninstallValue(const std::string& name, bool* found = nullptr) const;
  std::string MenuEntryPath() const;     // .desktop in the applications folder
  std::string DesktopEntryPath() const;  // .desktop on the desktop

  // Ends the client processes the installer started from the scratch folder.
  void KillScratchProcesses();

 private:
  bool StartX(bool windowManager);
  bool PackInstaller();
  std::vector<std::string> ChildEnv() const;
  pid_t Spawn(const std::vector<std::string>& argv, const std::string& outName);
  void Track();
  void Note(const std::string& text);

  std::unique_ptr<testsupport::ScratchEnv> m_env;
  std::unique_ptr<testsupport::DevService> m_service;
  std::string m_error;
  std::string m_artefacts;
  std::string m_display;
  std::string m_installer;
  std::string m_fakeBin;
  pid_t m_xvfb = -1;
  pid_t m_wm = -1;
  pid_t m_pid = -1;
  std::vector<pid_t> m_others;
  std::set<std::string> m_seen;    // every window polled while it ran
  std::set<std::string> m_seenPages;
  std::set<std::string> m_handed;  // windows already given to the test
  int m_shots = 0;
  int m_runs = 0;
  int m_lockFd = -1;
  bool m_hadScope = false;
  bool m_scopeSet = false;
  std::string m_savedScope;
};

}  // namespace e2e
