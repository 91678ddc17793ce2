// Fault runs of the installation: each run is a child process that does the
// check and then the pipeline with a recording page, so a test can pause it at
// a stage, change the world under it, or kill it outright and start again.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/DevService.h"
#include "support/ScratchEnv.h"
#include "../install/ProcessTestLock.h"

namespace faults {

// Where a run stops and waits (for Go() or a kill). Empty: it never stops.
//   "download"   in the progress sink once half the package has arrived
//   "extracting" when the extraction note is set (package complete and checked)
//   "extract50"  at the first extraction progress of 50 % or more
//   "hide"       when the page is hidden (everything registered, package gone)
struct RunOptions {
  std::string pauseAt;
  uid_t uid = 0;  // non-zero: the run drops to this user and group first
};

class ChildRun {
 public:
  ChildRun(pid_t pid, std::string log) : m_pid(pid), m_log(std::move(log)) {}
  ~ChildRun();
  ChildRun(const ChildRun&) = delete;
  ChildRun& operator=(const ChildRun&) = delete;

  // The page calls in order: "check:<type>", "note:..", "error:..", "hide",
  // "complete:..", "close:<code>", "paused:<stage>", "end".
  std::vector<std::string> Calls() const;
  bool WaitCall(const std::string& call, int timeoutMs) const;
  // Waits for the child to end; false (and a kill) after timeoutMs.
  bool WaitExit(int timeoutMs, int* status = nullptr);
  void Kill();           // SIGKILL and reap
  void Go();             // lets a paused run go on
  pid_t Pid() const { return m_pid; }
  // The text of the first "error:" call, empty when none.
  std::string Error() const;
  bool Completed() const;  // reached "close:1"

 private:
  pid_t m_pid;
  std::string m_log;
  bool m_reaped = false;
};

// A small volume for the installation folder: a tmpfs in a private mount
// namespace, else a loop-mounted ext2 image.
class SmallVolume {
 public:
  ~SmallVolume();
  // Empty on success; else why neither way worked.
  std::string Mount(const std::string& where, const std::string& image, int mib);
  const std::string& How() const { return m_how; }
  // Leaves exactly `bytes` free by (re)writing a filler file on the volume.
  bool LeaveFree(uint64_t bytes);
  void RemoveFiller();
  bool SetReadOnly(bool readOnly);
  uint64_t FreeBytes() const;

 private:
  std::string m_where;
  std::string m_how;
  bool m_loop = false;
};

// Makes this process's mounts private (once); false where the machine refuses.
bool EnterPrivateMountNamespace();

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Installation folder; SetUp puts it under the scratch HOME. A test may move
  // it (e.g. onto a small volume) before its first run.
  void SetInstallDir(const std::string& dir);
  const std::string& Dir() const { return m_dir; }

  std::unique_ptr<ChildRun> Start(const RunOptions& options = RunOptions());
  // Start + wait for the end (60 s), failing the test on a hang.
  std::unique_ptr<ChildRun> RunToEnd(const RunOptions& options = RunOptions());
  void Scenario(const std::string& ini);

  // Report events logged since the last call (waits up to 5 s for `expected`).
  std::vector<int> NewEvents(size_t expected);

  // The package folder of a version the service announces ("1.0.0.1" / "2.0").
  std::string PackageFolder(const std::string& version) const;
  std::wstring Product(const wchar_t* name) const;
  std::wstring Uninstall(const wchar_t* name) const;

  // Every file of that version's package in place with its bytes, the
  // settings naming it, the package file gone.
  void ExpectInstalled(const std::string& version);
  // Whatever the settings claim is on disk: a recorded version has every file
  // of its package; the settings files parse and no temporary file is left
  // beside them.
  void ExpectHonestSettings();
  // Files created or changed since Mark() outside the installation folder and
  // the product's own places (settings, menu and desktop entries, log, temp).
  void Mark();
  std::vector<std::string> WrittenElsewhere() const;

  testinstall::ProcessTestLock m_processLock;
  testsupport::ScratchEnv m_env;
  std::unique_ptr<testsupport::DevService> m_service;
  size_t m_reportsSeen = 0;
  int m_runs = 0;

 private:
  std::string m_dir;
  std::map<std::string, std::string> m_mark;
  std::wstring m_savedDir, m_savedExe;
  int m_savedType = 0;
};

// Text helpers for assertions.
std::string Utf8(const wchar_t* text);
bool Contains(const std::vector<std::string>& calls, const std::string& call);

}  // namespace faults
