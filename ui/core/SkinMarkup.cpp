// The skin markup parser (see SkinMarkup.h): one pass over the wide text, names
// and decoded values appended to a string pool, elements numbered from 1.
#include "ui/core/SkinMarkup.h"

#include <cstring>
#include <cwchar>

#include "platform/Text.h"
#include "ui/utils/SkinResources.h"

namespace SkinUI {

namespace {

bool IsBlank(wchar_t c) { return c != 0 && static_cast<uint32_t>(c) <= 0x20; }

// Letters and digits, '_' and ':'. Outside ASCII every character counts as a
// letter except the Latin-1, general and CJK punctuation blocks.
bool IsIdentifierChar(wchar_t c) {
  uint32_t u = static_cast<uint32_t>(c);
  if (u < 0x80) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'_' || c == L':';
  }
  if (u >= 0xA0 && u <= 0xBF) return false;
  if (u >= 0x2000 && u <= 0x206F) return false;
  if (u >= 0x3000 && u <= 0x303F) return false;
  return true;
}

struct Entity {
  const wchar_t* text;
  std::size_t length;
  wchar_t decoded;
};

constexpr Entity kEntities[] = {
    {L"&amp;", 5, L'&'}, {L"&lt;", 4, L'<'}, {L"&gt;", 4, L'>'},
    {L"&quot;", 6, L'"'}, {L"&apos;", 6, L'\''},
};

}  // namespace

// ---- CSkinMarkupNode ----

bool CSkinMarkupNode::IsValid() const {
  return m_pOwner != nullptr && m_nIndex != 0 && m_nIndex < m_pOwner->m_elements.size();
}

const wchar_t* CSkinMarkupNode::Name() const {
  if (!IsValid()) return L"";
  return m_pOwner->PoolAt(m_pOwner->m_elements[m_nIndex].name);
}

const wchar_t* CSkinMarkupNode::Value() const {
  if (!IsValid()) return L"";
  return m_pOwner->PoolAt(m_pOwner->m_elements[m_nIndex].value);
}

CSkinMarkupNode CSkinMarkupNode::FirstChild() const {
  if (!IsValid()) return CSkinMarkupNode();
  uint32_t child = m_pOwner->m_elements[m_nIndex].child;
  return child == 0 ? CSkinMarkupNode() : CSkinMarkupNode(m_pOwner, child);
}

CSkinMarkupNode CSkinMarkupNode::NextSibling() const {
  if (!IsValid()) return CSkinMarkupNode();
  uint32_t next = m_pOwner->m_elements[m_nIndex].next;
  return next == 0 ? CSkinMarkupNode() : CSkinMarkupNode(m_pOwner, next);
}

bool CSkinMarkupNode::HasChildren() const {
  return IsValid() && m_pOwner->m_elements[m_nIndex].child != 0;
}

void CSkinMarkupNode::MapAttributes() const {
  if (m_nAttributes >= 0) return;
  m_nAttributes = 0;
  if (!IsValid()) return;
  const CSkinMarkup::Element& element = m_pOwner->m_elements[m_nIndex];
  for (uint32_t i = 0; i < element.attributeCount && m_nAttributes < kMaxAttributes; ++i) {
    const CSkinMarkup::Attribute& attribute = m_pOwner->m_attributes[element.firstAttribute + i];
    m_aAttributes[m_nAttributes][0] = attribute.name;
    m_aAttributes[m_nAttributes][1] = attribute.value;
    ++m_nAttributes;
  }
}

int CSkinMarkupNode::AttributeCount() const {
  MapAttributes();
  return m_nAttributes;
}

const wchar_t* CSkinMarkupNode::AttributeName(int index) const {
  MapAttributes();
  if (index < 0 || index >= m_nAttributes) return L"";
  return m_pOwner->PoolAt(m_aAttributes[index][0]);
}

const wchar_t* CSkinMarkupNode::AttributeValue(int index) const {
  MapAttributes();
  if (index < 0 || index >= m_nAttributes) return L"";
  return m_pOwner->PoolAt(m_aAttributes[index][1]);
}

const wchar_t* CSkinMarkupNode::AttributeValue(const wchar_t* name) const {
  if (name == nullptr) return nullptr;
  MapAttributes();
  for (int i = 0; i < m_nAttributes; ++i) {
    if (std::wcscmp(m_pOwner->PoolAt(m_aAttributes[i][0]), name) == 0) {
      return m_pOwner->PoolAt(m_aAttributes[i][1]);
    }
  }
  return nullptr;
}

bool CSkinMarkupNode::AttributeValue(const wchar_t* name, wchar_t* buffer, std::size_t capacity) const {
  const wchar_t* value = AttributeValue(name);
  if (value == nullptr) return false;
  if (buffer == nullptr || capacity == 0) return true;
  std::size_t length = std::wcslen(value);
  if (length > capacity - 1) length = capacity - 1;
  std::wmemcpy(buffer, value, length);
  buffer[length] = 0;
  return true;
}

// ---- CSkinMarkup ----

CSkinMarkup::CSkinMarkup(bool preserveWhitespace) : m_bPreserveWhitespace(preserveWhitespace) {}

void CSkinMarkup::Release() {
  m_text.clear();
  m_text.shrink_to_fit();
  m_pool.clear();
  m_pool.shrink_to_fit();
  m_elements.clear();
  m_elements.shrink_to_fit();
  m_attributes.clear();
  m_attributes.shrink_to_fit();
  m_nPos = 0;
}

CSkinMarkupNode CSkinMarkup::Root() const {
  if (m_elements.size() < 2) return CSkinMarkupNode();
  return CSkinMarkupNode(this, 1);
}

void CSkinMarkup::SetError(const wchar_t* message, const wchar_t* location) {
  std::wcsncpy(m_szError, message, 99);
  m_szError[99] = 0;
  std::size_t n = 0;
  if (location != nullptr) {
    for (; n < 49 && location[n] != 0; ++n) m_szErrorLocation[n] = location[n];
  }
  m_szErrorLocation[n] = 0;
}

bool CSkinMarkup::Fail(const wchar_t* message) {
  SetError(message, m_text.data() + m_nPos);
  return false;
}

bool CSkinMarkup::LoadFromText(const wchar_t* text) {
  Release();
  SetError(L"", nullptr);
  if (text == nullptr) text = L"";
  std::size_t length = std::wcslen(text);
  m_text.assign(text, text + length);
  m_text.push_back(0);
  if (!Parse()) {
    Release();
    return false;
  }
  return true;
}

bool CSkinMarkup::LoadFromBytes(const void* bytes, std::size_t size) {
  const char* data = static_cast<const char*>(bytes);
  if (data == nullptr) size = 0;
  if (size > 2 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
    data += 3;
    size -= 3;
  }
  std::wstring wide = platform::Utf8ToWide(std::string(data, size));
  return LoadFromText(wide.c_str());
}

bool CSkinMarkup::LoadFromFile(const std::wstring& name) {
  Release();
  SetError(L"", nullptr);
  std::string bytes;
  std::wstring error;
  if (!ReadSkinFile(name, &bytes, &error)) {
    SetError(error.c_str(), nullptr);
    return false;
  }
  return LoadFromBytes(bytes.data(), bytes.size());
}

wchar_t CSkinMarkup::At(uint32_t offset) const {
  // The text is NUL-terminated; never read past the terminator.
  for (uint32_t i = 0; i < offset; ++i) {
    if (m_text[m_nPos + i] == 0) return 0;
  }
  return m_text[m_nPos + offset];
}

void CSkinMarkup::SkipWhitespace() {
  while (IsBlank(m_text[m_nPos])) ++m_nPos;
}

uint32_t CSkinMarkup::ReadIdentifier() {
  uint32_t start = static_cast<uint32_t>(m_pool.size());
  while (IsIdentifierChar(m_text[m_nPos])) m_pool.push_back(m_text[m_nPos++]);
  m_pool.push_back(0);
  return start;
}

uint32_t CSkinMarkup::ParseData(wchar_t terminator) {
  uint32_t start = static_cast<uint32_t>(m_pool.size());
  for (;;) {
    wchar_t c = m_text[m_nPos];
    if (c == 0 || c == terminator) break;
    if (c == L'&') {
      bool decoded = false;
      for (const Entity& entity : kEntities) {
        if (std::wcsncmp(m_text.data() + m_nPos, entity.text, entity.length) == 0) {
          m_pool.push_back(entity.decoded);
          m_nPos += static_cast<uint32_t>(entity.length);
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
      m_pool.push_back(c);
      ++m_nPos;
      continue;
    }
    m_pool.push_back(c);
    ++m_nPos;
    if (!m_bPreserveWhitespace && IsBlank(c)) SkipWhitespace();
  }
  m_pool.push_back(0);
  return start;
}

uint32_t CSkinMarkup::AddElement(uint32_t parent, uint32_t previous) {
  if (m_elements.size() == m_elements.capacity()) {
    std::size_t capacity = m_elements.capacity();
    m_elements.reserve(capacity + capacity / 2 + 500);
  }
  uint32_t index = static_cast<uint32_t>(m_elements.size());
  m_elements.push_back(Element{0, parent, 0, 0, 0, 0, 0});
  if (previous != 0) {
    m_elements[previous].next = index;
  } else if (parent != 0) {
    m_elements[parent].child = index;
  }
  return index;
}

bool CSkinMarkup::Parse() {
  m_pool.clear();
  m_pool.reserve(m_text.size() + 16);
  m_pool.push_back(0);  // position 0: a shared empty string
  m_elements.clear();
  m_attributes.clear();
  AddElement(0, 0);  // element 0 is reserved
  m_nPos = 0;
  SkipWhitespace();
  return ParseElements(0);
}

bool CSkinMarkup::ParseElements(uint32_t parent) {
  uint32_t previous = 0;
  for (;;) {
    if (AtEnd() && parent <= 1) return true;
    SkipWhitespace();
    if (At() != L'<') return Fail(L"Expected start tag");
    if (At(1) == L'/') return true;
    ++m_nPos;
    SkipWhitespace();
    if (At() == L'!' || At() == L'?') {
      const wchar_t* terminator = At() == L'!' ? L"->" : L"?>";
      const wchar_t* found = std::wcsstr(m_text.data() + m_nPos, terminator);
      if (found == nullptr) {
        m_nPos = static_cast<uint32_t>(m_text.size() - 1);
      } else {
        m_nPos = static_cast<uint32_t>(found - m_text.data()) + 2;
      }
      SkipWhitespace();
      continue;
    }

    uint32_t index = AddElement(parent, previous);
    previous = index;
    uint32_t name = ReadIdentifier();
    m_elements[index].name = name;
    if (AtEnd()) return Fail(L"Error parsing element name");
    if (!ParseAttributes(index)) return false;

    SkipWhitespace();
    if (At() == L'/' && At(1) == L'>') {
      m_elements[index].value = 0;
      m_nPos += 2;
    } else {
      if (At() != L'>') return Fail(L"Expected start-tag closing");
      ++m_nPos;
      m_elements[index].value = ParseData(L'<');
      if (AtEnd() && parent <= 1) return true;
      if (At() != L'<') return Fail(L"Expected end-tag start");
      if (At(1) != L'/') {
        if (!ParseElements(index)) return false;
      }
      if (At() == L'<' && At(1) == L'/') {
        m_nPos += 2;
        SkipWhitespace();
        uint32_t start = m_nPos;
        while (IsIdentifierChar(m_text[m_nPos])) ++m_nPos;
        std::size_t length = m_nPos - start;
        const wchar_t* own = PoolAt(name);
        bool same = std::wcslen(own) == length && std::wcsncmp(own, m_text.data() + start, length) == 0;
        if (!same) {
          m_nPos = start;
          return Fail(L"Unmatched closing tag");
        }
        SkipWhitespace();
        if (At() != L'>') return Fail(L"Unmatched closing tag");
        ++m_nPos;
      }
    }
    SkipWhitespace();
  }
}

bool CSkinMarkup::ParseAttributes(uint32_t element) {
  m_elements[element].firstAttribute = static_cast<uint32_t>(m_attributes.size());
  if (At() == L'>') return true;
  SkipWhitespace();
  while (!AtEnd() && At() != L'>' && At() != L'/') {
    uint32_t name = ReadIdentifier();
    SkipWhitespace();
    if (At() != L'=') return Fail(L"Error while parsing attributes");
    ++m_nPos;
    SkipWhitespace();
    if (At() != L'"') return Fail(L"Expected attribute value");
    ++m_nPos;
    uint32_t value = ParseData(L'"');
    if (AtEnd()) return Fail(L"Error while parsing attribute string");
    ++m_nPos;
    SkipWhitespace();
    m_attributes.push_back(Attribute{name, value});
    ++m_elements[element].attributeCount;
  }
  return true;
}

}  // namespace SkinUI
