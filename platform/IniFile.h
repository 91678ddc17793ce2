// INI reading with GetPrivateProfileStringW's rules: section and key compared
// case-insensitively, value trimmed, at most capacity - 1 characters copied.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Returns the number of characters copied into *out. When the file, section or
// key is missing, *out is `defaultValue` (cut to capacity - 1) and its length is
// returned. A value enclosed in matching quotes loses them; lines starting with
// ";" are comments.
std::size_t GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::wstring* out,
                                     std::size_t capacity, const std::wstring& path);

}  // namespace platform
