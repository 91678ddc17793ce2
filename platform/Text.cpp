// UTF-8 <-> wide conversion and the INI text fallback to GBK.
#include "platform/Text.h"

#include <iconv.h>

#include <cstdint>
#include <vector>

namespace platform {
namespace {

// Decodes one UTF-8 sequence at s[i]; returns false on an invalid one.
bool DecodeOne(const std::string& s, size_t* i, char32_t* cp) {
  const auto b0 = static_cast<unsigned char>(s[*i]);
  int len = 0;
  char32_t c = 0;
  if (b0 < 0x80) {
    *cp = b0;
    *i += 1;
    return true;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    c = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    c = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    c = b0 & 0x07;
  } else {
    return false;
  }
  if (*i + len > s.size()) return false;
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[*i + k]);
    if ((b & 0xC0) != 0x80) return false;
    c = (c << 6) | (b & 0x3F);
  }
  static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  *cp = c;
  *i += len;
  return true;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = 0;
    if (DecodeOne(utf8, &i, &cp)) {
      out.push_back(static_cast<wchar_t>(cp));
    } else {
      out.push_back(L'\xFFFD');
      ++i;
    }
  }
  return out;
}

std::string WideToUtf8(const std::wstring& wide) {
  std::string out;
  out.reserve(wide.size());
  for (wchar_t wc : wide) {
    auto c = static_cast<char32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool IsValidUtf8(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    char32_t cp = 0;
    if (!DecodeOne(bytes, &i, &cp)) return false;
  }
  return true;
}

std::wstring DecodeIniText(const std::string& bytes) {
  std::string text = bytes;
  if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
      static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF) {
    text.erase(0, 3);
  }
  if (IsValidUtf8(text)) return Utf8ToWide(text);
  iconv_t cd = iconv_open("WCHAR_T", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return Utf8ToWide(text);
  std::wstring out;
  std::vector<wchar_t> buf(text.size() + 1);
  char* in = text.data();
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outp = reinterpret_cast<char*>(buf.data());
    size_t outLeft = buf.size() * sizeof(wchar_t);
    size_t r = iconv(cd, &in, &inLeft, &outp, &outLeft);
    out.append(buf.data(), (reinterpret_cast<wchar_t*>(outp) - buf.data()));
    if (r == static_cast<size_t>(-1) && inLeft > 0) {
      // Skip a byte that is not GBK and mark it.
      out.push_back(L'\xFFFD');
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

std::string AsciiLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string TrimAscii(const std::string& s, const char* whitespace) {
  const size_t b = s.find_first_not_of(whitespace);
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(whitespace) - b + 1);
}

}  // namespace platform
