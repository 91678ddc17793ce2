// The skin markup parser on arbitrary bytes, then a walk over every node and attribute.
#include <cstddef>
#include <cstdint>
#include <cwchar>

#include "ui/core/SkinMarkup.h"

namespace {

size_t Walk(SkinUI::CSkinMarkupNode node, int depth) {
  size_t sum = 0;
  for (; node.IsValid(); node = node.NextSibling()) {
    sum += std::wcslen(node.Name()) + std::wcslen(node.Value());
    const int n = node.AttributeCount();
    for (int i = -1; i <= n; ++i) {  // one past each end: out of range must be harmless
      const wchar_t* name = node.AttributeName(i);
      const wchar_t* value = node.AttributeValue(i);
      if (name != nullptr) sum += std::wcslen(name);
      if (value != nullptr) sum += std::wcslen(value);
      if (name != nullptr && i >= 0 && i < n) {
        wchar_t small[4];
        if (node.AttributeValue(name, small, 4)) sum += std::wcslen(small);
        if (const wchar_t* byName = node.AttributeValue(name)) sum += std::wcslen(byName);
      }
    }
    if (depth < 200 && node.HasChildren()) sum += Walk(node.FirstChild(), depth + 1);
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SkinUI::CSkinMarkup markup(size % 2 == 0);
  if (markup.LoadFromBytes(data, size)) {
    volatile size_t sum = Walk(markup.Root(), 0);
    (void)sum;
  } else {
    volatile size_t n = std::wcslen(markup.LastError()) + std::wcslen(markup.LastErrorLocation());
    (void)n;
  }
  return 0;
}
