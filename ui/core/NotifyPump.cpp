// Notification dispatch through the page's tables.
#include "ui/core/NotifyPump.h"

#include <cwctype>

#include "ui/controls/ControlUI.h"

namespace SkinUI {
namespace {

const UINotifyEntry kRootEntries[] = {{nullptr, nullptr, kNotifyEnd, nullptr, nullptr}};

std::wstring Lower(const std::wstring& s) {
  std::wstring out = s;
  for (auto& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}

bool Same(const wchar_t* a, const std::wstring& b) { return a && b == a; }

}  // namespace

const UINotifyMap CNotifyPump::kNotifyMap = {nullptr, kRootEntries};

const UINotifyMap* CNotifyPump::GetNotifyMap() const { return &kNotifyMap; }

bool CNotifyPump::AddVirtualWnd(const std::wstring& name, CNotifyPump* pump) {
  if (!pump) return false;
  return m_virtualWnds.emplace(Lower(name), pump).second;
}

bool CNotifyPump::RemoveVirtualWnd(const std::wstring& name) { return m_virtualWnds.erase(Lower(name)) > 0; }

bool CNotifyPump::NotifyPump(UINotification& msg) {
  if (!msg.virtualWindow.empty()) {
    auto it = m_virtualWnds.find(Lower(msg.virtualWindow));
    if (it != m_virtualWnds.end() && it->second->LoopDispatch(msg)) return true;
  }
  return LoopDispatch(msg);
}

bool CNotifyPump::LoopDispatch(UINotification& msg) {
  const std::wstring sender = msg.sender ? msg.sender->Name() : std::wstring();
  for (const UINotifyMap* map = GetNotifyMap(); map; map = map->base) {
    const UINotifyEntry* found = nullptr;
    const UINotifyEntry* anySender = nullptr;
    for (const UINotifyEntry* e = map->entries; e && e->signature != kNotifyEnd; ++e) {
      if (!Same(e->type, msg.type)) continue;
      const bool named = e->control && *e->control;
      if (named && sender == e->control) {
        found = e;
        break;
      }
      if (!named) anySender = e;  // the last such entry of the table
    }
    if (!found) found = anySender;
    if (!found) continue;
    if (found->signature == kNotifyWL && found->fnWL) {
      found->fnWL(*this, msg.wParam, msg.lParam);
    } else if (found->fn) {
      found->fn(*this, msg);
    }
    return true;
  }
  return false;
}

}  // namespace SkinUI
