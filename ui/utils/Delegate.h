// Member-function delegates and the event lists a control keeps them in
// (OnInit, OnDestroyed, OnPlaced, OnEvent, OnNotify).
#pragma once

#include <memory>
#include <vector>

namespace SkinUI {

// A bound callable `bool f(void* param)`. Two delegates are equal when they call the
// same function on the same object.
class CDelegateBase {
 public:
  CDelegateBase(const void* object, const void* functionKey) : m_pObject(object), m_pKey(functionKey) {}
  virtual ~CDelegateBase() = default;
  virtual std::unique_ptr<CDelegateBase> Copy() const = 0;
  virtual bool Invoke(void* param) = 0;
  virtual bool Equals(const CDelegateBase& other) const {
    return m_pObject == other.m_pObject && m_pKey == other.m_pKey;
  }
  bool operator==(const CDelegateBase& other) const { return Equals(other); }

 protected:
  const void* m_pObject;  // identity only, not owned
  const void* m_pKey;     // identity of the function (see CDelegate)
};

// `bool (Owner::*)(void*)` on `Owner* object`; the object must outlive the delegate's use.
template <class Owner>
class CDelegate : public CDelegateBase {
 public:
  using Fn = bool (Owner::*)(void*);
  CDelegate(Owner* object, Fn fn) : CDelegateBase(object, nullptr), m_pOwner(object), m_fn(fn) {}
  std::unique_ptr<CDelegateBase> Copy() const override { return std::make_unique<CDelegate>(*this); }
  bool Invoke(void* param) override { return (m_pOwner->*m_fn)(param); }
  bool Equals(const CDelegateBase& other) const override {
    auto* o = dynamic_cast<const CDelegate*>(&other);
    return o != nullptr && o->m_pOwner == m_pOwner && o->m_fn == m_fn;
  }

 private:
  Owner* m_pOwner;  // not owned
  Fn m_fn;
};

// A plain function `bool f(void*)`, mainly for tests and free helpers.
class CFunctionDelegate : public CDelegateBase {
 public:
  using Fn = bool (*)(void*);
  explicit CFunctionDelegate(Fn fn) : CDelegateBase(nullptr, reinterpret_cast<const void*>(fn)), m_fn(fn) {}
  std::unique_ptr<CDelegateBase> Copy() const override { return std::make_unique<CFunctionDelegate>(*this); }
  bool Invoke(void* param) override { return m_fn(param); }

 private:
  Fn m_fn;
};

template <class Owner>
CDelegate<Owner> BindDelegate(Owner* object, bool (Owner::*fn)(void*)) {
  return CDelegate<Owner>(object, fn);
}
inline CFunctionDelegate BindDelegate(bool (*fn)(void*)) { return CFunctionDelegate(fn); }

// An ordered list of delegate copies. Invoke stops at the first delegate that returns
// false. Delegates may add to or remove from the list while it runs.
class CEventListUI {
 public:
  CEventListUI() = default;
  CEventListUI(const CEventListUI&) = delete;
  CEventListUI& operator=(const CEventListUI&) = delete;

  // Appends a copy unless an equal delegate is already present.
  void Add(const CDelegateBase& d);
  CEventListUI& operator+=(const CDelegateBase& d) { Add(d); return *this; }
  void Remove(const CDelegateBase& d);
  CEventListUI& operator-=(const CDelegateBase& d) { Remove(d); return *this; }
  void Clear() { m_items.clear(); }
  bool Empty() const { return m_items.empty(); }
  size_t Count() const { return m_items.size(); }

  // Calls the delegates in order; false as soon as one returns false, else true.
  bool Invoke(void* param);
  bool operator()(void* param) { return Invoke(param); }

 private:
  std::vector<std::shared_ptr<CDelegateBase>> m_items;
};

}  // namespace SkinUI
