// The running executable's path (/proc/self/exe).
#pragma once

#include <string>

namespace platform {

std::wstring ModuleFileName();
std::string ModuleFileNameA();
// Makes both functions return `path` (empty: back to /proc/self/exe). Tests only.
void SetModuleFileNameForTest(const std::string& path);

}  // namespace platform
