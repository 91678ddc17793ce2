// The attribute-list reader used for Default elements, and a control applying the list.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "ui/controls/AttributeValue.h"
#include "ui/controls/ButtonUI.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const std::wstring list = fuzz::Widen(data, size);
  size_t pairs = 0;
  SkinUI::ParseAttributeList(list.c_str(), [&](const std::wstring& name, const std::wstring& value) {
    pairs += name.size() + value.size();
    // Each value reader on what came out of the list.
    SIZE sz{};
    RECT rc{};
    SkinUI::ParseBool(value.c_str());
    SkinUI::ParseInt(value.c_str());
    SkinUI::ParsePair(value.c_str(), sz);
    SkinUI::ParseRect(value.c_str(), rc);
    SkinUI::ParseColor(value.c_str(), true);
    SkinUI::ParseToolTipText(value.c_str());
  });
  SkinUI::CButtonUI button;
  button.ApplyAttributeList(list);
  return 0;
}
