// Path helpers shared by every layer.
#pragma once

#include <string>

// Joins with exactly one separator at the seam ("/" inserted; "\" or "/" accepted).
std::wstring JoinPath(const std::wstring& dir, const std::wstring& name);
std::string JoinPath(const std::string& dir, const std::string& name);
// The executable's full path cut before its last separator (empty when none).
std::wstring ExeDirectory();
std::string ExeDirectoryA();
