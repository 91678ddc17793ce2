// CNotifyPump: routes a page's notifications to member functions through
// static dispatch tables (one per class, linked to the base class's table).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "ui/core/UINotification.h"

namespace SkinUI {

class CNotifyPump;

// Entries hold small thunks that cast the pump to the class whose table holds
// them and call its member, rather than member pointers cast to the base: a
// derived member pointer called through a secondary base is what
// UndefinedBehaviorSanitizer's vptr check reports.
using UINotifyFn = void (*)(CNotifyPump&, UINotification&);
using UINotifyWLFn = bool (*)(CNotifyPump&, uintptr_t, intptr_t);

enum UINotifySignature : int { kNotifyEnd = 0, kNotifyWL = 1, kNotifyMsg = 2 };

struct UINotifyEntry {
  const wchar_t* type;     // notification type ("click", ...)
  const wchar_t* control;  // sender name; empty = any sender
  int signature;           // UINotifySignature
  UINotifyFn fn;           // signature 2
  UINotifyWLFn fnWL;       // signature 1
};

struct UINotifyMap {
  const UINotifyMap* base;       // the base class's table, or null
  const UINotifyEntry* entries;  // ended by an entry with signature 0
};

// UI thread only.
class CNotifyPump {
 public:
  static const UINotifyMap kNotifyMap;  // the root table (no entries)

  CNotifyPump() = default;
  virtual ~CNotifyPump() = default;
  CNotifyPump(const CNotifyPump&) = delete;
  CNotifyPump& operator=(const CNotifyPump&) = delete;

  // Pumps named by a control's "virtualwnd" (not owned; names ignore case).
  bool AddVirtualWnd(const std::wstring& name, CNotifyPump* pump);
  bool RemoveVirtualWnd(const std::wstring& name);
  // Dispatches: the named virtual window first, else this class's tables up
  // through its bases. True when a handler was called.
  bool NotifyPump(UINotification& msg);

 protected:
  virtual const UINotifyMap* GetNotifyMap() const;

 private:
  bool LoopDispatch(UINotification& msg);
  std::map<std::wstring, CNotifyPump*> m_virtualWnds;  // lower-cased names
};

}  // namespace SkinUI

// Table macros. In the class body: SKINUI_DECLARE_NOTIFY_MAP(CInstallWnd).
// In the source file:
//   SKINUI_BEGIN_NOTIFY_MAP(CInstallWnd, WindowImplBase)
//     SKINUI_ON_CLICK(L"BtnInstall", OnInstall)
//     SKINUI_ON_NOTIFY(L"selectchanged", L"CheckAgree", OnAgree)
//   SKINUI_END_NOTIFY_MAP()
// Handlers are members `void OnX(SkinUI::UINotification&)` (or, for
// SKINUI_ON_NOTIFY_WL, `bool OnX(uintptr_t wParam, intptr_t lParam)`).
#define SKINUI_DECLARE_NOTIFY_MAP(Class)                 \
 public:                                                 \
  using SkinUIThisClass = Class;                         \
  static const ::SkinUI::UINotifyEntry kNotifyEntries[]; \
  static const ::SkinUI::UINotifyMap kNotifyMap;         \
                                                         \
 protected:                                              \
  const ::SkinUI::UINotifyMap* GetNotifyMap() const override { return &kNotifyMap; }

#define SKINUI_BEGIN_NOTIFY_MAP(Class, Base)                                                          \
  const ::SkinUI::UINotifyMap Class::kNotifyMap = {&Base::kNotifyMap, Class::kNotifyEntries}; \
  const ::SkinUI::UINotifyEntry Class::kNotifyEntries[] = {
#define SKINUI_ON_NOTIFY(type, name, fn)                                                  \
  {type, name, ::SkinUI::kNotifyMsg,                                                      \
   [](::SkinUI::CNotifyPump& pump, ::SkinUI::UINotification& msg) {                       \
     static_cast<SkinUIThisClass&>(pump).fn(msg);                                         \
   },                                                                                     \
   nullptr},
#define SKINUI_ON_NOTIFY_WL(type, name, fn)                                               \
  {type, name, ::SkinUI::kNotifyWL, nullptr,                                              \
   [](::SkinUI::CNotifyPump& pump, uintptr_t wParam, intptr_t lParam) -> bool {           \
     return static_cast<SkinUIThisClass&>(pump).fn(wParam, lParam);                       \
   }},
#define SKINUI_ON_CLICK(name, fn) SKINUI_ON_NOTIFY(L"click", name, fn)
#define SKINUI_END_NOTIFY_MAP() \
  { nullptr, nullptr, ::SkinUI::kNotifyEnd, nullptr, nullptr }  \
  }                             \
  ;
