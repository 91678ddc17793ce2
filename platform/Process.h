// Processes: the /proc snapshot, ending a process, starting a program detached.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  int pid = 0;
  std::wstring exeName;  // file name of the executable (no folder)
};

// All processes in ascending pid order. The name is the file name of
// /proc/<pid>/exe, or of argv[0] when that link cannot be read (another user's
// process, a kernel thread has neither and is left out).
std::vector<ProcessEntry> EnumerateProcesses();
int CurrentProcessId();
// SIGKILL; false when the signal cannot be sent. Does not wait.
bool KillProcessId(int pid);
// Starts the program in its own session, without arguments, stdin from
// /dev/null; the installer does not wait for it. False when it cannot be run.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& args = {});

}  // namespace platform
