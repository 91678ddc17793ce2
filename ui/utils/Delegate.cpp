// Event lists of delegates.
#include "ui/utils/Delegate.h"

namespace SkinUI {

void CEventListUI::Add(const CDelegateBase& d) {
  for (const auto& item : m_items) {
    if (item->Equals(d)) return;
  }
  m_items.push_back(std::shared_ptr<CDelegateBase>(d.Copy()));
}

void CEventListUI::Remove(const CDelegateBase& d) {
  for (auto it = m_items.begin(); it != m_items.end(); ++it) {
    if ((*it)->Equals(d)) {
      m_items.erase(it);
      return;
    }
  }
}

bool CEventListUI::Invoke(void* param) {
  // A snapshot keeps the loop valid when a delegate edits the list; the shared
  // pointers keep a removed delegate alive until its call returns.
  auto snapshot = m_items;
  for (const auto& item : snapshot) {
    if (!item->Invoke(param)) return false;
  }
  return true;
}

}  // namespace SkinUI
