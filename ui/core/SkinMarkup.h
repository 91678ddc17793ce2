// The skin markup parser: a compact XML subset (elements, double-quoted
// attributes, text, five entities; comments and declarations skipped) read into
// one string pool and an array of element records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

class CSkinMarkup;

// A light handle on one element. Invalid when it has no document or index 0;
// every accessor of an invalid node returns an empty result. Valid only while
// its document is alive and not reloaded.
class CSkinMarkupNode {
 public:
  static constexpr int kMaxAttributes = 64;

  CSkinMarkupNode() = default;

  bool IsValid() const;
  // Never null: an empty string for an invalid node.
  const wchar_t* Name() const;
  // The text between the start tag and the first child or the closing tag.
  const wchar_t* Value() const;
  CSkinMarkupNode FirstChild() const;
  CSkinMarkupNode NextSibling() const;
  bool HasChildren() const;

  // Attributes in document order; at most the first 64 are visible.
  int AttributeCount() const;
  // Empty string (never null) when `index` is outside 0 .. count-1.
  const wchar_t* AttributeName(int index) const;
  const wchar_t* AttributeValue(int index) const;
  // Value of the first attribute named exactly `name`, or null.
  const wchar_t* AttributeValue(const wchar_t* name) const;
  // Copies at most capacity-1 characters plus a NUL; false when absent.
  bool AttributeValue(const wchar_t* name, wchar_t* buffer, std::size_t capacity) const;

 private:
  friend class CSkinMarkup;
  CSkinMarkupNode(const CSkinMarkup* owner, uint32_t index) : m_pOwner(owner), m_nIndex(index) {}
  void MapAttributes() const;

  const CSkinMarkup* m_pOwner = nullptr;  // not owned
  uint32_t m_nIndex = 0;
  // Attribute table, built on first use: positions of names and values.
  mutable int m_nAttributes = -1;
  mutable uint32_t m_aAttributes[kMaxAttributes][2] = {};
};

class CSkinMarkup {
 public:
  // Every document of this system keeps whitespace in values.
  explicit CSkinMarkup(bool preserveWhitespace = true);
  CSkinMarkup(const CSkinMarkup&) = delete;
  CSkinMarkup& operator=(const CSkinMarkup&) = delete;

  // Parses a copy of the NUL-terminated text.
  bool LoadFromText(const wchar_t* text);
  // UTF-8 input; a leading byte-order mark is skipped.
  bool LoadFromBytes(const void* bytes, std::size_t size);
  // Reads the skin file through the skin resources (archive or resource folder).
  bool LoadFromFile(const std::wstring& name);
  void Release();

  bool IsValid() const { return !m_elements.empty(); }
  CSkinMarkupNode Root() const;
  CSkinMarkupNode GetRoot() const { return Root(); }
  // Number of real elements (the reserved record 0 not counted).
  std::size_t ElementCount() const { return m_elements.empty() ? 0 : m_elements.size() - 1; }

  const wchar_t* LastError() const { return m_szError; }
  const wchar_t* LastErrorLocation() const { return m_szErrorLocation; }

 private:
  friend class CSkinMarkupNode;
  // Positions index m_pool, where every name and decoded value is stored
  // NUL-terminated; the source text itself stays untouched.
  struct Element {
    uint32_t name;
    uint32_t parent;
    uint32_t child;   // 0 = none
    uint32_t next;    // 0 = none
    uint32_t value;
    uint32_t firstAttribute;  // index into m_attributes
    uint32_t attributeCount;
  };
  struct Attribute {
    uint32_t name;
    uint32_t value;
  };

  bool Parse();
  bool ParseElements(uint32_t parent);
  bool ParseAttributes(uint32_t element);
  uint32_t ParseData(wchar_t terminator);
  uint32_t ReadIdentifier();
  void SkipWhitespace();
  bool AtEnd() const { return m_text[m_nPos] == 0; }
  wchar_t At(uint32_t offset = 0) const;
  uint32_t AddElement(uint32_t parent, uint32_t previous);
  bool Fail(const wchar_t* message);
  void SetError(const wchar_t* message, const wchar_t* location);
  const wchar_t* PoolAt(uint32_t pos) const { return m_pool.data() + pos; }

  std::vector<wchar_t> m_text;  // NUL-terminated source
  std::vector<wchar_t> m_pool;
  std::vector<Element> m_elements;
  std::vector<Attribute> m_attributes;
  bool m_bPreserveWhitespace;
  uint32_t m_nPos = 0;
  wchar_t m_szError[100] = {};
  wchar_t m_szErrorLocation[50] = {};
};

}  // namespace SkinUI
