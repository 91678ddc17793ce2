// The skin archive reader on arbitrary archives: directory, lookups, every entry extracted.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "ui/utils/ZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SkinUI::CZipArchive zip;
  if (!zip.OpenMemory(std::vector<unsigned char>(data, data + size))) return 0;
  const size_t n = zip.EntryCount();
  for (size_t i = 0; i < n && i < 64; ++i) {
    const std::string name = zip.Entry(i).name;
    zip.Find(platform::Utf8ToWide(name));
    std::string out;
    zip.Extract(static_cast<int>(i), &out);
  }
  zip.Find(L"MainWnd.xml");
  std::string out;
  zip.Extract(-1, &out);
  zip.Extract(static_cast<int>(n), &out);
  return 0;
}
