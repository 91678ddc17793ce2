// INI reader with the rules of the Windows profile API, so configuration files
// made for the Windows deployments read the same here.
#include "platform/IniFile.h"

#include <cwctype>

#include "platform/Files.h"
#include "platform/Text.h"

namespace platform {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\v' || c == L'\f'; }

std::wstring Trim(const std::wstring& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
  }
  return true;
}

// A value enclosed in one pair of matching quotes loses them.
std::wstring Unquote(const std::wstring& v) {
  if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

bool FindValue(const std::wstring& text, const std::wstring& section, const std::wstring& key,
               std::wstring* value) {
  const std::wstring wantSection = Trim(section);
  const std::wstring wantKey = Trim(key);
  bool inSection = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(L'\n', pos);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      size_t close = line.find(L']');
      std::wstring name = close == std::wstring::npos ? line.substr(1) : line.substr(1, close - 1);
      inSection = EqualsNoCase(Trim(name), wantSection);
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    if (EqualsNoCase(Trim(line.substr(0, eq)), wantKey)) {
      *value = Unquote(Trim(line.substr(eq + 1)));
      return true;
    }
  }
  return false;
}

}  // namespace

std::size_t GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, std::wstring* out,
                                     std::size_t capacity, const std::wstring& path) {
  out->clear();
  if (capacity == 0) return 0;
  std::wstring value;
  std::string bytes;
  bool found = ReadWholeFile(path, &bytes) && FindValue(DecodeIniText(bytes), section, key, &value);
  if (!found) value = defaultValue;
  if (value.size() > capacity - 1) value.resize(capacity - 1);
  *out = value;
  return value.size();
}

}  // namespace platform
