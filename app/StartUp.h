// The first stage of the process: single instance, log, packaged files,
// repair flag, configuration.
#pragma once

#include <string>

struct StartUpResult {
  bool goOn = false;   // false: end the process with exitCode
  int exitCode = 0;
  bool repair = false;
};

StartUpResult StartUp(void* instance, const std::string& commandLine);
bool EnableDebugPrivilege();
// Writes the resource (type, id) to `path` (what was there is deleted first);
// false when missing, empty or unwritable.
bool ReleaseResourceFile(const std::wstring& path, const char* type, int id);
// Drops the single-instance lock StartUp keeps (tests that call StartUp twice).
void ReleaseStartUpLockForTest();
