// The private temporary folder ($XDG_RUNTIME_DIR/RoruvAZ/, else
// ${TMPDIR:-/tmp}/RoruvAZ-<uid>/), created 0700; a symlink, a non-directory,
// a folder owned by someone else or not 0700 is never used: a fresh mkdtemp
// folder takes its place. Always ends with "/".
#pragma once

#include <string>

namespace platform {

std::wstring TempFolder();   // decided once per process
std::string TempFolderA();   // the same, UTF-8
// Forget the decision (tests that change the environment).
void ResetTempFolderForTest();

}  // namespace platform
