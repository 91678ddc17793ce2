// The per-window manager of a skin: owns the control tree and the window-wide skin
// settings (fonts, images, default attributes, window attributes) and turns the
// window's input, timers and paints into control events and notifications.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinTypes.h"
#include "ui/core/ManagerHostUI.h"
#include "ui/core/PaintResources.h"
#include "ui/core/UINotification.h"

namespace SkinUI {

class CControlUI;
class COptionUI;
class CPaintDC;
class CSurfaceUI;
class CEditUI;
class CImageCacheUI;
class SkinFont;

// Settings of the window's drop shadow, read by the window layer's shadow when the root
// is attached. The setters refuse (false) values outside their ranges.
struct ShadowSettingsUI {
  bool show = true;
  int size = 0;         // -20..20
  int sharpness = 5;    // 0..20
  int darkness = 150;   // 0..255
  int offsetX = 0;      // -20..20
  int offsetY = 0;      // -20..20
  uint32_t color = 0;   // 0xAARRGGBB
  bool imageMode = false;
  std::wstring image = L"Default_Shadow.png";
  RECT corner{23, 13, 23, 33};

  bool SetSize(int n);
  bool SetSharpness(int n);
  bool SetDarkness(int n);
  bool SetPosition(int x, int y);
  void SetColor(uint32_t c) { color = c; }
  bool SetImage(const std::wstring& name);
  bool SetCorner(const RECT& rc);
};

// UI thread only. Events are in client coordinates.
class CSkinManagerUI : public IPaintResourcesUI {
 public:
  CSkinManagerUI();
  ~CSkinManagerUI();
  CSkinManagerUI(const CSkinManagerUI&) = delete;
  CSkinManagerUI& operator=(const CSkinManagerUI&) = delete;

  // Binds the manager to its window (not owned; null = no window, e.g. a tree built
  // only to be inspected).
  void Init(IManagerHostUI* host);
  IManagerHostUI* Host() const { return m_pHost; }

  // Takes the tree: clears the focus, schedules the first layout and focus, binds and
  // initialises every control and enters the names into the index.
  bool AttachRoot(std::unique_ptr<CControlUI> root);
  // Forgets and hands back the tree (window gone); the manager keeps its settings.
  std::unique_ptr<CControlUI> DetachRoot();
  CControlUI* Root() const { return m_pRoot.get(); }

  // ---- Events from the window ----
  // Paints `update` into `target` (a client-sized surface). Before the first paint
  // the tree is laid out and "windowinit" is raised once. The window copies the
  // update rectangle to the screen afterwards.
  void Paint(CSurfaceUI& target, const RECT& update);
  // The same into an existing drawing context (the benchmark and tests use it).
  void Paint(CPaintDC& dc, const RECT& update);
  void OnSize(int cx, int cy);
  void OnMouseMove(POINT pt, uint16_t keyState = 0);
  void OnMouseLeave();
  void OnMouseHover(POINT pt);
  void OnLButtonDown(POINT pt, uint16_t keyState = UIKEY_LBUTTON);
  void OnLButtonUp(POINT pt, uint16_t keyState = 0);
  void OnLButtonDblClk(POINT pt, uint16_t keyState = UIKEY_LBUTTON);
  void OnRButtonDown(POINT pt, uint16_t keyState = UIKEY_RBUTTON);
  void OnContextMenu(POINT pt);
  void OnMouseWheel(POINT pt, int delta, uint16_t keyState = 0);
  // True when the manager set the cursor (the control under `pt` asked for it).
  bool OnSetCursor(POINT pt);
  // Pre-filters first (they may consume), then Tab moves the focus (consumed), else a
  // KeyDown event to the focused control. True when consumed by a filter or Tab.
  bool OnKeyDown(unsigned vk, uint16_t keyState = 0);
  void OnKeyUp(unsigned vk, uint16_t keyState = 0);
  void OnChar(wchar_t ch);
  bool OnSysKeyDown(unsigned vk);
  // Focuses and activates the control whose shortcut is the upper-cased `ch`.
  bool OnSysChar(wchar_t ch);
  // A native timer fired; false when the id is none of this manager's live timers.
  bool OnTimer(unsigned nativeId);
  // The window is closing: leave, button-up, focus cleared, mouse state reset.
  void OnClose();
  // The whole message entry for a window layer that works with native messages:
  // the message filters, then the kinds above (coordinates packed as lParam
  // low/high words, signed). True when handled; `result` is the message result.
  bool HandleMessage(unsigned msg, uintptr_t wParam, intptr_t lParam, intptr_t& result);

  // ---- Controls ----
  CControlUI* ControlByName(const std::wstring& name) const;
  // The visible control under a client point, topmost first.
  CControlUI* FindControl(POINT pt) const;
  CControlUI* FocusedControl() const { return m_pFocus; }
  CControlUI* HoverControl() const { return m_pEventHover; }
  CControlUI* ClickedControl() const { return m_pEventClick; }
  void FocusControl(CControlUI* control);
  // Moves the focus to the next (or previous) control that takes the focus by Tab.
  bool FocusNext(bool backwards = false);
  POINT LastMousePos() const { return m_ptLastMouse; }
  bool IsCaptured() const { return m_bMouseCapture; }
  void SetCapture();
  void ReleaseCapture();

  // Timers of controls (ids local to the control). Start re-arms a stopped timer and
  // leaves a running one alone (false). Stop keeps the entry for re-arming.
  bool StartTimer(CControlUI* control, unsigned id, unsigned milliseconds);
  bool StopTimer(CControlUI* control, unsigned id);
  void StopTimers(CControlUI* control);

  // Notifications: the sender's OnNotify list, then every receiver in order.
  void RaiseNotification(CControlUI* control, const std::wstring& type, uintptr_t wParam = 0,
                         intptr_t lParam = 0);
  void AddReceiver(INotifyUI* receiver);
  void RemoveReceiver(INotifyUI* receiver);
  void AddPreFilter(IMessageFilterUI* filter);
  void RemovePreFilter(IMessageFilterUI* filter);
  void AddMessageFilter(IMessageFilterUI* filter);
  void RemoveMessageFilter(IMessageFilterUI* filter);

  // Schedules a repaint (through the host; nothing without one).
  void Invalidate(const RECT& rc);
  // Marks the tree as needing layout at the next paint.
  void NeedUpdate() { m_bUpdateNeeded = true; }
  bool IsUpdateNeeded() const { return m_bUpdateNeeded; }

  // ---- Used by controls ----
  // Enters a named control into the index (the last one entered for a name wins).
  void RegisterName(CControlUI* control);
  // Enters every named control of a subtree (children before their container).
  void RegisterNames(CControlUI* subtree);
  // Every reference to a control that is being destroyed (focus, hover, click, key,
  // timers, name index, option groups) is dropped.
  void ReapObjects(CControlUI* control);
  // Deletes the control at the next turn of the window's queue.
  void DelayedDestroy(std::unique_ptr<CControlUI> control);
  bool AddOptionGroup(const std::wstring& group, COptionUI* option);
  void RemoveOptionGroup(const std::wstring& group, COptionUI* option);
  // Options of a group, in the order they joined; null when the group is unknown.
  const std::vector<COptionUI*>* OptionGroup(const std::wstring& group) const;
  // Shows a cursor through the host.
  void SetCursor(UICursor cursor);
  // Asks the host for the native editor of an edit control (null without a host).
  IEditWindowUI* CreateEditWindow(CEditUI& edit);

  // ---- Skin resources of the window ----
  // Appends a font (face, size in pixels); its index is its position. With
  // `makeDefault` the same font also becomes the window's default font.
  int AddFont(const std::wstring& face, int size, bool bold, bool underline, bool italic,
              bool makeDefault = false);
  void SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
  int FontCount() const { return static_cast<int>(m_fonts.size()); }
  // IPaintResourcesUI. FontAt falls back to the default font when `index` is out of
  // range (-1 included); the default font is the skin's, else a system sans font.
  const SkinImage* ImageFor(const std::wstring& name, const std::wstring& type, uint32_t mask) override;
  const SkinFont* FontAt(int index) const override;
  const SkinFont* DefaultFont() const override;
  CImageCacheUI& ImageCache() { return *m_pImages; }
  // Loads an image into the cache now (the skin's Image elements).
  bool CacheImage(const std::wstring& name, const std::wstring& type, uint32_t mask);

  // Default attribute lists by element name; the first registration wins (false after).
  bool AddDefaultAttributeList(const std::wstring& element, const std::wstring& list);
  // Empty when none.
  std::wstring DefaultAttributeList(const std::wstring& element) const;

  // ---- Window attributes from the skin ----
  SIZE InitSize() const { return m_szInitWindowSize; }
  void SetInitSize(int cx, int cy);
  RECT SizeBox() const { return m_rcSizeBox; }
  void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }
  // Left inset, top, right inset, height from the top.
  RECT CaptionRect() const { return m_rcCaption; }
  void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
  SIZE RoundCorner() const { return m_szRoundCorner; }
  void SetRoundCorner(int cx, int cy) { m_szRoundCorner = {cx, cy}; }
  SIZE MinInfo() const { return m_szMinWindow; }
  void SetMinInfo(int cx, int cy) { m_szMinWindow = {cx, cy}; }
  SIZE MaxInfo() const { return m_szMaxWindow; }
  void SetMaxInfo(int cx, int cy) { m_szMaxWindow = {cx, cy}; }
  bool ShowDirty() const { return m_bShowDirty; }
  void SetShowDirty(bool b) { m_bShowDirty = b; }
  // Constant opacity 0..255 of the window; IsLayered once set.
  int Alpha() const { return m_nAlpha; }
  bool IsLayered() const { return m_bLayered; }
  void SetAlpha(int alpha);
  bool BackgroundTransparent() const { return m_bBkTrans; }
  void SetBackgroundTransparent(bool b) { m_bBkTrans = b; }
  uint32_t DefaultDisabledColor() const { return m_dwDisabledColor; }
  void SetDefaultDisabledColor(uint32_t c) { m_dwDisabledColor = c; }
  uint32_t DefaultFontColor() const { return m_dwDefaultFontColor; }
  void SetDefaultFontColor(uint32_t c) { m_dwDefaultFontColor = c; }
  uint32_t DefaultLinkFontColor() const { return m_dwLinkFontColor; }
  void SetDefaultLinkFontColor(uint32_t c) { m_dwLinkFontColor = c; }
  uint32_t DefaultLinkHoverFontColor() const { return m_dwLinkHoverFontColor; }
  void SetDefaultLinkHoverFontColor(uint32_t c) { m_dwLinkHoverFontColor = c; }
  uint32_t DefaultSelectedBkColor() const { return m_dwSelectedBkColor; }
  void SetDefaultSelectedBkColor(uint32_t c) { m_dwSelectedBkColor = c; }
  ShadowSettingsUI& Shadow() { return m_shadow; }
  const ShadowSettingsUI& Shadow() const { return m_shadow; }
  // True once some control named a virtual window (notifications then carry it).
  void UsedVirtualWnd(bool b) { m_bUsedVirtualWnd = b; }

 private:
  // Common start of a press at pt: native focus, hit test, the clicked control
  // recorded; null when nothing of this window is there.
  CControlUI* BeginPress(POINT pt);
  struct TimerEntry {
    CControlUI* control;  // not owned
    unsigned localId;
    unsigned nativeId;
    bool killed;
  };

  void LayoutIfNeeded();
  void SendEvent(CControlUI* control, int kind, POINT pt, uint16_t keyState = 0, wchar_t key = 0,
                 uintptr_t wParam = 0, intptr_t lParam = 0);
  bool RunFilters(const std::vector<IMessageFilterUI*>& filters, unsigned msg, uintptr_t wParam,
                  intptr_t lParam, intptr_t& result);
  unsigned NextNativeTimerId();
  RECT ClientRect() const;

  IManagerHostUI* m_pHost = nullptr;  // not owned
  std::unique_ptr<CControlUI> m_pRoot;
  std::unique_ptr<CImageCacheUI> m_pImages;
  std::vector<std::unique_ptr<SkinFont>> m_fonts;
  std::unique_ptr<SkinFont> m_pOwnDefaultFont;  // made by SetDefaultFont
  std::unique_ptr<SkinFont> m_pSystemFont;      // used when the skin names no default
  const SkinFont* m_pDefaultFont = nullptr;     // one of the above or of m_fonts

  // Observers into the tree (not owned); cleared by ReapObjects.
  CControlUI* m_pFocus = nullptr;
  CControlUI* m_pEventHover = nullptr;
  CControlUI* m_pEventClick = nullptr;
  CControlUI* m_pEventKey = nullptr;

  bool m_bUpdateNeeded = false;
  bool m_bFirstLayout = true;
  bool m_bFocusNeeded = false;
  bool m_bMouseTracking = false;
  bool m_bMouseCapture = false;
  bool m_bToolTipShown = false;
  bool m_bUsedVirtualWnd = false;
  POINT m_ptLastMouse{-1, -1};

  std::vector<TimerEntry> m_timers;
  unsigned m_nTimerCounter = 4096;

  std::vector<INotifyUI*> m_receivers;
  std::vector<IMessageFilterUI*> m_preFilters;
  std::vector<IMessageFilterUI*> m_filters;
  std::vector<std::unique_ptr<CControlUI>> m_delayedDestroy;

  std::map<std::wstring, CControlUI*> m_names;
  std::map<std::wstring, std::vector<COptionUI*>> m_optionGroups;
  std::map<std::wstring, std::wstring> m_defaultAttributes;

  SIZE m_szInitWindowSize{};
  RECT m_rcSizeBox{};
  RECT m_rcCaption{};
  SIZE m_szRoundCorner{};
  SIZE m_szMinWindow{};
  SIZE m_szMaxWindow{};
  bool m_bShowDirty = false;
  int m_nAlpha = 255;
  bool m_bLayered = false;
  bool m_bBkTrans = false;
  uint32_t m_dwDisabledColor = 0xFFA7A6AA;
  uint32_t m_dwDefaultFontColor = 0xFF000000;
  uint32_t m_dwLinkFontColor = 0xFF0000FF;
  uint32_t m_dwLinkHoverFontColor = 0xFFD3215F;
  uint32_t m_dwSelectedBkColor = 0xFFBAE4FF;
  ShadowSettingsUI m_shadow;
};

}  // namespace SkinUI
