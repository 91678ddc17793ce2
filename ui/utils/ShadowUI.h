// CShadowUI: the drop shadow of a borderless page, a click-through ARGB
// window that follows its owner, painted from a nine-grid image (with the
// middle left open) or computed from the owner's shape.
#pragma once

#include <string>

#include "platform/window/WinUser.h"
#include "ui/core/SkinManagerUI.h"

namespace SkinUI {

// UI thread of the owner only.
class CShadowUI {
 public:
  enum StatusBits : unsigned { kEnabled = 1, kShadowVisible = 2, kOwnerVisible = 4 };

  CShadowUI() = default;
  virtual ~CShadowUI();
  CShadowUI(const CShadowUI&) = delete;
  CShadowUI& operator=(const CShadowUI&) = delete;

  // Registers the shadow window class (done by Create when not yet done).
  static bool RegisterShadowClass(void* instance);

  // Creates the shadow of `owner` from the manager's settings (when its
  // "showshadow" is set and a compositing manager can blend it). False when
  // no shadow is made.
  bool Create(HWND owner, CSkinManagerUI& manager);
  // Repaints and places the shadow window.
  void Update(HWND owner);

  // Each refuses (false) a value out of range and changes nothing; a visible
  // shadow is repainted.
  bool SetSize(int n);                          // -20..20
  bool SetSharpness(int n);                     // 0..20
  bool SetDarkness(int n);                      // 0..255
  bool SetPosition(int x, int y);               // each -20..20
  bool SetColor(uint32_t color);                // 0xAARRGGBB (alpha ignored)
  bool SetImage(const wchar_t* name);           // null refused; selects image mode
  bool SetShadowCorner(int l, int t, int r, int b);  // each >= 0

  HWND ShadowWindow() const { return m_hWnd; }
  unsigned Status() const { return m_Status; }
  // Screen rectangle the shadow takes for an owner window rectangle.
  RECT ShadowRect(const RECT& owner) const;

 private:
  static LRESULT OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  ShadowSettingsUI& S() const { return m_pManager->Shadow(); }
  void Repaint();

  CSkinManagerUI* m_pManager = nullptr;  // not owned
  HWND m_hWnd = nullptr;
  HWND m_hOwner = nullptr;
  WNDPROC m_OriParentProc = nullptr;
  unsigned m_Status = 0;
  SIZE m_WndSize{};
  bool m_bUpdate = false;
};

}  // namespace SkinUI
