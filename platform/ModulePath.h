// The running executable's path (/proc/self/exe).
#pragma once

#include <string>

namespace platform {

std::wstring ModuleFileName();
std::string ModuleFileNameA();

}  // namespace platform
