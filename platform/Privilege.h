// Whether the process may signal other users' processes (the debug privilege).
#pragma once

namespace platform {

// True when the effective uid is 0 or CAP_KILL is in the effective set.
bool HasDebugPrivilege();

}  // namespace platform
