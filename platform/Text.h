// Text conversion: wide strings are std::wstring, narrow ones UTF-8.
#pragma once

#include <string>

namespace platform {

std::wstring Utf8ToWide(const std::string& utf8);  // invalid sequences become U+FFFD
std::string WideToUtf8(const std::wstring& wide);
bool IsValidUtf8(const std::string& bytes);
// Text of an INI file: UTF-8 (an optional BOM dropped), else read as GBK (CP936).
std::wstring DecodeIniText(const std::string& bytes);

// ASCII-only helpers for configuration and protocol text (other bytes kept).
std::string AsciiLower(std::string s);
std::string TrimAscii(const std::string& s, const char* whitespace = " \t\r\n\v\f");

}  // namespace platform
