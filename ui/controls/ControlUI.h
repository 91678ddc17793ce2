// The base of every skin control: state, layout inputs, attributes, invalidation,
// placement, event handling and the fixed painting order with its hooks.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WinTypes.h"
#include "ui/core/UINotification.h"
#include "ui/utils/Delegate.h"

namespace SkinUI {

class CSkinManagerUI;
class CPaintDC;

// ControlFlags() bits.
constexpr unsigned UIFLAG_TABSTOP = 0x00000001;    // takes the keyboard focus by Tab
constexpr unsigned UIFLAG_SETCURSOR = 0x00000002;  // wants CursorQuery events

// Visit() flags.
constexpr unsigned UIFIND_ALL = 0x00000000;
constexpr unsigned UIFIND_VISIBLE = 0x00000001;
constexpr unsigned UIFIND_ENABLED = 0x00000002;
constexpr unsigned UIFIND_HITTEST = 0x00000004;   // data is a POINT*
constexpr unsigned UIFIND_TOP_FIRST = 0x00000008;
constexpr unsigned UIFIND_ME_FIRST = 0x80000000;

// Returns the control to stop the visit with, or null to go on.
using FindControlProc = CControlUI* (*)(CControlUI* control, void* data);

// Proportional repositioning of a floating control when its parent is resized.
struct RelativePosUI {
  bool relative = false;
  SIZE parentSize{};  // parent size the offsets were given for
  int moveX = 0, moveY = 0, zoomX = 0, zoomY = 0;  // percent
};

// UI thread only.
class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  virtual std::wstring Name() const;
  virtual void SetName(const std::wstring& name);
  virtual const wchar_t* ClassName() const;
  // This object for the names the class answers to ("Control", ...), else null.
  virtual void* AsInterface(const std::wstring& name);
  virtual unsigned ControlFlags() const;
  virtual bool Activate();
  virtual CSkinManagerUI* Manager() const;
  // Sets manager and parent; with `init` and a parent, initialises the control.
  virtual void Bind(CSkinManagerUI* manager, CControlUI* parent, bool init = true);
  virtual CControlUI* Parent() const;

  virtual std::wstring Text() const;
  virtual void SetText(const std::wstring& text);

  // The item rectangle, client coordinates.
  virtual const RECT& Rect() const;
  virtual void Place(const RECT& rc);
  virtual int Width() const;
  virtual int Height() const;
  virtual int X() const;
  virtual int Y() const;
  virtual RECT Padding() const;
  virtual void SetPadding(const RECT& rc);
  // For a floating control: offsets in the parent; negative counts from right/bottom.
  virtual SIZE FixedXY() const;
  virtual void SetFixedXY(SIZE xy);
  virtual int FixedWidth() const;
  virtual void SetFixedWidth(int cx);
  virtual int FixedHeight() const;
  virtual void SetFixedHeight(int cy);
  virtual int MinWidth() const;
  virtual void SetMinWidth(int cx);
  virtual int MaxWidth() const;
  virtual void SetMaxWidth(int cx);
  virtual int MinHeight() const;
  virtual void SetMinHeight(int cy);
  virtual int MaxHeight() const;
  virtual void SetMaxHeight(int cy);
  virtual void SetRelativePos(SIZE move, SIZE zoom);
  virtual void SetRelativeParentSize(SIZE size);
  virtual RelativePosUI RelativePos() const;
  virtual bool IsRelativePos() const;

  virtual std::wstring ToolTip() const;
  virtual void SetToolTip(const std::wstring& text);
  virtual void SetToolTipWidth(int width);
  virtual int ToolTipWidth() const;
  virtual wchar_t Shortcut() const;
  virtual void SetShortcut(wchar_t ch);
  virtual bool UsesContextMenu() const;
  virtual void SetUsesContextMenu(bool b);
  virtual std::wstring UserData() const;
  virtual void SetUserData(const std::wstring& text);
  virtual uintptr_t Tag() const;
  virtual void SetTag(uintptr_t tag);

  virtual bool IsVisible() const;
  virtual void SetVisible(bool visible = true);
  // Visibility imposed by an ancestor.
  virtual void SetInnerVisible(bool visible = true);
  virtual bool IsEnabled() const;
  virtual void SetEnabled(bool enabled = true);
  virtual bool IsMouseEnabled() const;
  virtual void SetMouseEnabled(bool enabled = true);
  virtual bool IsKeyboardEnabled() const;
  virtual void SetKeyboardEnabled(bool enabled = true);
  virtual bool IsFocused() const;
  virtual void TakeFocus();
  virtual bool IsHot() const;
  virtual void EmptyHook();
  virtual bool IsFloat() const;
  virtual void SetFloat(bool floating = true);
  virtual bool IsDragEnabled() const;
  virtual void SetDragEnabled(bool b);
  virtual bool IsContainer() const;

  // Calls `proc` (see the UIFIND_* flags); the first non-null result ends the visit.
  virtual CControlUI* Visit(FindControlProc proc, void* data, unsigned flags);

  virtual void Init();
  virtual void PrepareContent();
  // OnEvent first; HandleEvent only when it returns true.
  virtual void DispatchEvent(UIEvent& event);
  virtual void HandleEvent(UIEvent& event);
  virtual void ApplyAttribute(const std::wstring& name, const std::wstring& value);
  virtual SIZE Measure(SIZE available);

  virtual void Paint(CPaintDC& dc, const RECT& paint);
  virtual void PaintBackColor(CPaintDC& dc);
  virtual void PaintBackImage(CPaintDC& dc);
  virtual void PaintStateImage(CPaintDC& dc);
  virtual void PaintText(CPaintDC& dc);
  virtual void PaintBorder(CPaintDC& dc);
  virtual void PaintAfter(CPaintDC& dc, const RECT& rc);

  // ---- Non-virtual helpers ----
  // Repaints the control (clipped by its ancestors); the paint happens later.
  void Invalidate();
  // Marks this control (or its parent) for layout at the next paint.
  void RequestLayout();
  void RequestParentLayout();
  bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
  // True when PaintBackColor fills all of `rc` with an opaque colour (nothing painted
  // before shows through).
  bool CoversOpaquely(const RECT& rc) const;
  // The area painted last (item rectangle ∩ paint rectangle).
  const RECT& PaintRect() const { return m_rcPaint; }
  void ApplyAttributeList(const std::wstring& list);

  std::wstring BackgroundImage() const { return m_sBkImage; }
  void SetBackgroundImage(const std::wstring& descriptor);
  uint32_t BkColor() const { return m_dwBackColor; }
  void SetBkColor(uint32_t c);
  void SetBkColor2(uint32_t c);
  void SetBkColor3(uint32_t c);
  uint32_t DisabledBkColor() const { return m_dwDisabledBkColor; }
  void SetDisabledBkColor(uint32_t c);
  void SetBorderColor(uint32_t c);
  void SetHotBorderColor(uint32_t c);
  void SetFocusBorderColor(uint32_t c);
  int BorderSize() const { return m_nBorderSize; }
  void SetBorderSize(int n);
  void SetBorderSize(const RECT& sides);
  void SetBorderPadding(const RECT& rc);
  void SetBorderStyle(int style);
  void SetBorderRound(SIZE sz);
  std::wstring VirtualWnd() const;
  void SetVirtualWnd(const std::wstring& name);

  // Event lists; params: OnInit/OnDestroyed/OnPlaced the control, OnEvent a UIEvent*,
  // OnNotify a UINotification*.
  CEventListUI OnInit;
  CEventListUI OnDestroyed;
  CEventListUI OnPlaced;
  CEventListUI OnEvent;
  CEventListUI OnNotify;

 protected:
  // Draws an image descriptor over the item rectangle; false when nothing to draw with.
  bool DrawImage(CPaintDC& dc, const std::wstring& descriptor, const std::wstring& modifier = L"");
  // The same over another rectangle standing in for the item rectangle.
  bool DrawImageAt(CPaintDC& dc, const RECT& item, const std::wstring& descriptor);

  CSkinManagerUI* m_pManager = nullptr;  // not owned
  CControlUI* m_pParent = nullptr;       // not owned
  std::wstring m_sName;
  std::wstring m_sText;
  std::wstring m_sToolTip;
  int m_nToolTipWidth = 300;
  std::wstring m_sUserData;
  uintptr_t m_pTag = 0;
  wchar_t m_chShortcut = 0;
  std::wstring m_sVirtualWnd;

  RECT m_rcItem{};
  RECT m_rcPaint{};
  RECT m_rcPadding{};
  SIZE m_cXY{};
  SIZE m_cxyFixed{};
  SIZE m_cxyMin{};
  SIZE m_cxyMax{999999, 999999};
  RelativePosUI m_tRelativePos;

  bool m_bUpdateNeeded = true;
  bool m_bVisible = true;
  bool m_bInternVisible = true;
  bool m_bEnabled = true;
  bool m_bMouseEnabled = true;
  bool m_bKeyboardEnabled = true;
  bool m_bFocused = false;
  bool m_bHot = false;
  bool m_bFloat = false;
  bool m_bDragEnabled = false;
  bool m_bMenuUsed = false;
  bool m_bColorHSL = false;
  bool m_bSetPos = false;  // suppresses re-entrant OnPlaced

  uint32_t m_dwBackColor = 0;
  uint32_t m_dwBackColor2 = 0;
  uint32_t m_dwBackColor3 = 0;
  uint32_t m_dwDisabledBkColor = 0xFFF5F5F5;
  std::wstring m_sBkImage;
  uint32_t m_dwBorderColor = 0;
  uint32_t m_dwHotBorderColor = 0;
  uint32_t m_dwFocusBorderColor = 0;
  int m_nBorderSize = 0;
  RECT m_rcBorderSize{};
  RECT m_rcBorderPadding{};
  int m_nBorderStyle = 0;
  SIZE m_cxyBorderRound{};
};

// Rectangle helpers used across the framework.
bool UIIntersectRect(RECT& out, const RECT& a, const RECT& b);
RECT UIUnionRect(const RECT& a, const RECT& b);
bool UIIsRectEmpty(const RECT& rc);
bool UIPtInRect(const RECT& rc, POINT pt);

}  // namespace SkinUI
