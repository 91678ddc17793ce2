// The framework's string-keyed hash map: fixed buckets of doubly linked chains,
// head insertion, optional move-to-front on lookup, enumeration by index
// (buckets from the last to the first, each chain from its head).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace SkinUI {

template <typename T>
class CNameMapUI {
 public:
  static constexpr std::size_t kDefaultBuckets = 83;

  explicit CNameMapUI(std::size_t buckets = kDefaultBuckets) { Resize(buckets); }
  CNameMapUI(const CNameMapUI&) = delete;
  CNameMapUI& operator=(const CNameMapUI&) = delete;
  ~CNameMapUI() { RemoveAll(); }

  // h = h * 33 + c over the characters from the last to the first (unsigned 32-bit).
  static uint32_t HashKey(const std::wstring& key) {
    uint32_t h = 0;
    for (std::size_t i = key.size(); i > 0; --i) h = h * 33u + static_cast<uint32_t>(key[i - 1]);
    return h;
  }

  // Drops every entry and sets the bucket count (0 becomes 1).
  void Resize(std::size_t buckets) {
    RemoveAll();
    m_buckets.assign(buckets == 0 ? 1 : buckets, nullptr);
  }
  std::size_t BucketCount() const { return m_buckets.size(); }
  std::size_t BucketOf(const std::wstring& key) const { return HashKey(key) % m_buckets.size(); }

  // Inserts at the head of the key's chain; false (and `value` untouched by the map)
  // when the key is present.
  bool Insert(const std::wstring& key, T value) {
    if (FindNode(key, false)) return false;
    Node*& head = m_buckets[BucketOf(key)];
    Node* node = new Node{key, std::move(value), nullptr, head};
    if (head) head->prev = node;
    head = node;
    ++m_nCount;
    return true;
  }

  // Replaces the value of an existing key, else inserts.
  void Set(const std::wstring& key, T value) {
    if (Node* node = FindNode(key, false)) {
      node->value = std::move(value);
      return;
    }
    Insert(key, std::move(value));
  }

  // Null when absent. With `optimize`, a found entry moves to the head of its chain.
  T* Find(const std::wstring& key, bool optimize = true) {
    Node* node = FindNode(key, optimize);
    return node ? &node->value : nullptr;
  }
  const T* Find(const std::wstring& key) const {
    const Node* node = const_cast<CNameMapUI*>(this)->FindNode(key, false);
    return node ? &node->value : nullptr;
  }

  bool Remove(const std::wstring& key) {
    Node* node = FindNode(key, false);
    if (!node) return false;
    Unlink(node);
    delete node;
    --m_nCount;
    return true;
  }

  void RemoveAll() {
    for (Node*& head : m_buckets) {
      while (head) {
        Node* next = head->next;
        delete head;
        head = next;
      }
    }
    m_nCount = 0;
  }

  std::size_t GetSize() const { return m_nCount; }

  // Enumeration by index in the map's order; null past the end.
  const std::wstring* KeyAt(std::size_t index) const {
    const Node* node = NodeAt(index);
    return node ? &node->key : nullptr;
  }
  T* ValueAt(std::size_t index) {
    Node* node = const_cast<Node*>(NodeAt(index));
    return node ? &node->value : nullptr;
  }

 private:
  struct Node {
    std::wstring key;
    T value;
    Node* prev;
    Node* next;
  };

  Node* FindNode(const std::wstring& key, bool optimize) {
    Node*& head = m_buckets[BucketOf(key)];
    for (Node* node = head; node; node = node->next) {
      if (node->key != key) continue;
      if (optimize && node != head) {
        Unlink(node);
        node->next = head;
        head->prev = node;
        head = node;
      }
      return node;
    }
    return nullptr;
  }

  void Unlink(Node* node) {
    if (node->prev) {
      node->prev->next = node->next;
    } else {
      m_buckets[BucketOf(node->key)] = node->next;
    }
    if (node->next) node->next->prev = node->prev;
    node->prev = node->next = nullptr;
  }

  const Node* NodeAt(std::size_t index) const {
    for (std::size_t b = m_buckets.size(); b > 0; --b) {
      for (const Node* node = m_buckets[b - 1]; node; node = node->next) {
        if (index-- == 0) return node;
      }
    }
    return nullptr;
  }

  std::vector<Node*> m_buckets;  // chain heads, owned
  std::size_t m_nCount = 0;
};

}  // namespace SkinUI
