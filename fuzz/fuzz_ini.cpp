// The INI reader on arbitrary file contents, with the keys the installer reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = fuzz::ScratchDir() + "/fuzz.ini";
  if (!fuzz::WriteFile(path, data, size)) return 0;
  const std::wstring wpath(path.begin(), path.end());
  static const wchar_t* const kKeys[][2] = {
      {L"Installer", L"title"}, {L"Installer", L"folder"}, {L"Public", L"channel"}, {L"Public", L"epCode"},
      {L"", L""}, {L"a", L"b"}};
  for (const auto& k : kKeys) {
    for (std::size_t capacity : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{260}}) {
      std::wstring out;
      const std::size_t n = platform::GetPrivateProfileStringW(k[0], k[1], L"dflt", &out, capacity, wpath);
      if (n != out.size() || (capacity > 0 && n > capacity - 1)) __builtin_trap();
    }
  }
  return 0;
}
