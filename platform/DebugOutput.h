// The debugger output channel: stderr, only when INSTALLER_DEBUG is set.
#pragma once

#include <string>

namespace platform {

void OutputDebugStringW(const std::wstring& text);
void OutputDebugStringA(const std::string& text);  // UTF-8

}  // namespace platform

using platform::OutputDebugStringA;
using platform::OutputDebugStringW;
