// A window for a CSkinManagerUI without a native window: records invalidations,
// timers, capture, cursor, tooltips and editor windows, lets a test fire timers and
// run posted messages, and paints the dirty area into a surface.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls/ControlUI.h"
#include "ui/controls/EditUI.h"
#include "ui/core/ManagerHostUI.h"
#include "ui/core/PaintDC.h"
#include "ui/core/SkinBuilder.h"
#include "ui/core/SkinManagerUI.h"

namespace uitest {

// The editor a FakeHost hands out; a test types into it and ends it.
class FakeEditWindow : public SkinUI::IEditWindowUI {
 public:
  explicit FakeEditWindow(SkinUI::CEditUI& owner) : text(owner.Text()), m_pOwner(&owner) {}
  void SetText(const std::wstring& t) override { text = t; }
  std::wstring Text() const override { return text; }
  void SetSel(int start, int end) override { selStart = start, selEnd = end; }
  void SetPasswordChar(wchar_t ch) override { passwordChar = ch; }
  void SetLimitText(int maxChars) override { limit = maxChars; }
  void SetReadOnly(bool b) override { readOnly = b; }
  void SetEnabled(bool b) override { enabled = b; }
  void SetPos(const RECT& rc) override { pos = rc; }
  void Forget() override { m_pOwner = nullptr; forgotten = true; }

  // Types characters one by one, as the native editor reports them.
  void Type(const std::wstring& chars) {
    for (wchar_t ch : chars) {
      text.push_back(ch);
      if (m_pOwner != nullptr) m_pOwner->OnEditWindowTextChanged(text);
    }
  }
  void PressReturn() {
    if (m_pOwner != nullptr) m_pOwner->OnEditWindowReturn();
  }
  // The editor lost the focus and is gone.
  void End() {
    if (m_pOwner != nullptr) m_pOwner->OnEditWindowGone();
    m_pOwner = nullptr;
    ended = true;
  }

  std::wstring text;
  int selStart = -1, selEnd = -1;
  wchar_t passwordChar = 0;
  int limit = 0;
  bool readOnly = false, enabled = true, forgotten = false, ended = false;
  RECT pos{};

 private:
  SkinUI::CEditUI* m_pOwner;
};

class FakeHost : public SkinUI::IManagerHostUI {
 public:
  FakeHost(SkinUI::CSkinManagerUI& manager, int width, int height)
      : m_manager(manager), m_client{0, 0, width, height}, surface(width, height) {
    manager.Init(this);
  }
  ~FakeHost() {
    // A window that goes ends its editors first, as the native ones do.
    for (auto& e : editors) {
      if (!e->ended && !e->forgotten) e->End();
    }
    m_manager.Init(nullptr);
  }

  void Invalidate(const RECT& rc) override {
    invalidations.push_back(rc);
    dirty = SkinUI::UIUnionRect(dirty, rc);
  }
  RECT ClientRect() const override { return m_client; }
  void ResizeClient(int cx, int cy) override {
    m_client = RECT{0, 0, cx, cy};
    surface.Resize(cx, cy);
  }
  bool SetNativeTimer(unsigned nativeId, unsigned ms) override {
    timers[nativeId] = ms;
    ++timerStarts;
    return true;
  }
  void KillNativeTimer(unsigned nativeId) override { timers.erase(nativeId); }
  void SetCapture() override { captured = true; }
  void ReleaseCapture() override { captured = false; }
  void SetCursor(SkinUI::UICursor c) override { cursor = c; }
  void TrackMouse(unsigned hoverMs) override { trackedHoverMs = hoverMs; }
  void ShowToolTip(const std::wstring& text, const RECT& rc, int maxWidth) override {
    toolTip = text;
    toolTipRect = rc;
    toolTipWidth = maxWidth;
  }
  void HideToolTip() override { toolTip.clear(); }
  bool HasNativeFocus() const override { return nativeFocus; }
  void SetNativeFocus() override {
    nativeFocus = true;
    // The editor child loses the focus and ends, as a native one does.
    for (auto& e : editors) {
      if (!e->ended && !e->forgotten) e->End();
    }
  }
  SkinUI::IEditWindowUI* CreateEditWindow(SkinUI::CEditUI& edit) override {
    editors.push_back(std::make_unique<FakeEditWindow>(edit));
    editors.back()->pos = edit.EditWindowRect();
    nativeFocus = false;  // the editor has the keyboard focus now
    return editors.back().get();
  }
  void PostSelf(unsigned msg, uintptr_t wParam, intptr_t lParam) override { posted.push_back({msg, wParam, lParam}); }
  void CloseWindow(int code) override { closeCode = code; }

  // Runs the posted messages through the manager.
  void RunPosted() {
    auto queue = std::move(posted);
    posted.clear();
    for (const auto& m : queue) {
      intptr_t result = 0;
      m_manager.HandleMessage(m.msg, m.wParam, m.lParam, result);
    }
  }
  // Fires one native timer as the window would.
  bool Fire(unsigned nativeId) { return m_manager.OnTimer(nativeId); }
  // Paints the accumulated dirty area (or everything) and clears it.
  void Paint(bool everything = false) {
    RECT area = everything ? m_client : dirty;
    dirty = RECT{};
    m_manager.Paint(surface, area);
  }
  uint32_t Pixel(int x, int y) const { return surface.PixelAt(x, y); }
  FakeEditWindow* LastEditor() const { return editors.empty() ? nullptr : editors.back().get(); }

  struct Posted {
    unsigned msg;
    uintptr_t wParam;
    intptr_t lParam;
  };

  std::vector<RECT> invalidations;
  RECT dirty{};
  std::map<unsigned, unsigned> timers;  // armed native id -> period
  int timerStarts = 0;
  bool captured = false;
  SkinUI::UICursor cursor = SkinUI::UICursor::Arrow;
  unsigned trackedHoverMs = 0;
  std::wstring toolTip;
  RECT toolTipRect{};
  int toolTipWidth = 0;
  bool nativeFocus = true;
  std::vector<std::unique_ptr<FakeEditWindow>> editors;
  std::vector<Posted> posted;
  int closeCode = -100;

 private:
  SkinUI::CSkinManagerUI& m_manager;
  RECT m_client;

 public:
  SkinUI::CSurfaceUI surface;
};

// Builds a skin from inline XML into the manager; the root (not owned) or null.
inline SkinUI::CControlUI* AttachXml(SkinUI::CSkinManagerUI& manager, const std::wstring& xml) {
  SkinUI::CSkinBuilder builder;
  std::unique_ptr<SkinUI::CControlUI> root = builder.Create(xml, L"", nullptr, &manager);
  SkinUI::CControlUI* raw = root.get();
  if (!root || !manager.AttachRoot(std::move(root))) return nullptr;
  return raw;
}

// Records every notification the page would get.
class Recorder : public SkinUI::INotifyUI {
 public:
  struct Entry {
    std::wstring type;
    std::wstring sender;
    uintptr_t wParam;
  };
  void OnNotification(SkinUI::UINotification& msg) override {
    entries.push_back({msg.type, msg.sender != nullptr ? msg.sender->Name() : L"", msg.wParam});
  }
  int Count(const std::wstring& type, const std::wstring& sender = L"") const {
    int n = 0;
    for (const auto& e : entries) {
      if (e.type == type && (sender.empty() || e.sender == sender)) ++n;
    }
    return n;
  }
  std::vector<Entry> entries;
};

}  // namespace uitest
