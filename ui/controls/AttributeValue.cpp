// Value syntax of skin attributes.
#include "ui/controls/AttributeValue.h"

#include <cwchar>
#include <cwctype>

namespace SkinUI {

bool ParseBool(const wchar_t* value) { return value != nullptr && std::wcscmp(value, L"true") == 0; }

int ParseInt(const wchar_t* value) {
  if (value == nullptr) return 0;
  long n = std::wcstol(value, nullptr, 10);
  if (n > INT32_MAX) return INT32_MAX;
  if (n < INT32_MIN) return INT32_MIN;
  return static_cast<int>(n);
}

namespace {

// Reads `count` integers; never reads past the terminating NUL.
bool ParseNumbers(const wchar_t* value, int* out, int count) {
  if (value == nullptr) return false;
  const wchar_t* p = value;
  for (int i = 0; i < count; ++i) {
    wchar_t* end = nullptr;
    long n = std::wcstol(p, &end, 10);
    if (end == p) return false;
    out[i] = static_cast<int>(n);
    if (i + 1 < count) {
      if (*end == 0) return false;
      p = end + 1;
    }
  }
  return true;
}

}  // namespace

bool ParsePair(const wchar_t* value, SIZE& out) {
  int n[2];
  if (!ParseNumbers(value, n, 2)) return false;
  out.cx = n[0];
  out.cy = n[1];
  return true;
}

bool ParseRect(const wchar_t* value, RECT& out) {
  int n[4];
  if (!ParseNumbers(value, n, 4)) return false;
  out.left = n[0];
  out.top = n[1];
  out.right = n[2];
  out.bottom = n[3];
  return true;
}

uint32_t ParseColor(const wchar_t* value, bool skipBlanks) {
  if (value == nullptr) return 0;
  const wchar_t* p = value;
  if (skipBlanks) {
    while (*p == L' ' || *p == L'\t') ++p;
  }
  if (*p == L'#') ++p;
  unsigned long long n = std::wcstoull(p, nullptr, 16);
  if (n > 0xFFFFFFFFull) n = 0xFFFFFFFFull;
  return static_cast<uint32_t>(n);
}

std::wstring ParseToolTipText(const wchar_t* value) {
  std::wstring text = value != nullptr ? value : L"";
  size_t pos = 0;
  while ((pos = text.find(L"<n>", pos)) != std::wstring::npos) {
    text.replace(pos, 3, L"\r\n");
    pos += 2;
  }
  return text;
}

void ParseAttributeList(const wchar_t* list,
                        const std::function<void(const std::wstring&, const std::wstring&)>& apply) {
  if (list == nullptr) return;
  const wchar_t* p = list;
  while (*p != 0) {
    const wchar_t* nameStart = p;
    while (*p != 0 && *p != L'=') ++p;
    if (*p != L'=' || p == nameStart) return;
    std::wstring name(nameStart, p);
    ++p;
    if (*p != L'"') return;
    ++p;
    const wchar_t* valueStart = p;
    while (*p != 0 && *p != L'"') ++p;
    if (*p != L'"') return;
    std::wstring value(valueStart, p);
    ++p;
    apply(name, value);
    if (*p == 0) return;
    if (*p != L' ') return;
    ++p;
  }
}

}  // namespace SkinUI
