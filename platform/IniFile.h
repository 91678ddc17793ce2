// INI reading with GetPrivateProfileStringW's rules: section and key compared
// case-insensitively, value trimmed, at most capacity - 1 characters copied.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Returns the number of characters copied into *out (0 when the file, section
// or key is missing, and then *out = defaultValue cut to the capacity).
std::size_t GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::wstring* out,
                                     std::size_t capacity, const std::wstring& path);

}  // namespace platform
