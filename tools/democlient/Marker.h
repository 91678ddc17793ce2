// Start markers of the demo client's programs, so tests and the demo script can
// see that a program was started and which version it is.
#pragma once

#include <string>

namespace democlient {

// The folder of the running executable (no trailing "/").
std::string ExecutableFolder();

// Writes "<executable file name>.started" (lines "pid=", "version=", "folder=")
// next to the executable and, when XDG_RUNTIME_DIR is set, into that folder;
// each file is replaced atomically. True when at least one was written.
bool WriteStartedMarker(const std::string& version);

}  // namespace democlient
