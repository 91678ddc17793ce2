// The skin builder on whole skin files (UTF-8 XML): built into a window's
// manager, laid out and painted.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/Text.h"
#include "ui/FakeHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const std::wstring xml = platform::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
  // Anything else is taken as a file name.
  if (xml.empty() || xml[0] != L'<') return 0;
  SkinUI::CSkinManagerUI manager;
  uitest::FakeHost host{manager, 120, 90};
  if (uitest::AttachXml(manager, xml) != nullptr) host.Paint(true);
  return 0;
}
