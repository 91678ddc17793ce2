// WindowImplBase: the base of every page. A borderless native window whose
// client area a CSkinManagerUI draws and drives from the page's skin; it
// builds the skin on creation, hit-tests the caption, shapes round corners,
// hosts the manager and dispatches notifications to the page's tables.
#pragma once

#include <memory>
#include <string>

#include "ui/core/ManagerHostUI.h"
#include "ui/core/NotifyPump.h"
#include "ui/core/SkinBuilder.h"
#include "ui/core/SkinManagerUI.h"
#include "ui/core/UINotification.h"
#include "ui/core/WindowWnd.h"

namespace SkinUI {

class CSurfaceUI;
class CShadowUI;

// Where a window's skin comes from.
enum SkinSourceKind : int {
  kSkinFile = 1,         // resource folder + SkinFileName()
  kSkinArchive = 2,      // the ZIP SkinArchiveName() in the resource folder
  kSkinResource = 3,     // packaged resource "xml" whose id is SkinFileName()
  kSkinArchiveResource = 4,  // the packaged archive "ZIPRES" SkinResourceId()
};

// UI thread only (PostUICall excepted).
class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback,
                       public IManagerHostUI {
 public:
  WindowImplBase();
  ~WindowImplBase() override;

  CSkinManagerUI& Manager() { return m_pm; }
  CShadowUI* Shadow() { return m_pShadow.get(); }

  // INotifyUI: the page's tables.
  void OnNotification(UINotification& msg) override;
  // IMessageFilterUI (pre-filter): Return and Escape go to OnDefaultKey.
  intptr_t MessageHandler(unsigned msg, uintptr_t wParam, intptr_t lParam, bool& handled) override;
  std::unique_ptr<CControlUI> MakeControl(const std::wstring& className) override;

  // Test hook: what the skin failure path calls instead of ending the process.
  using ExitFn = void (*)(int code);
  static void SetSkinFailureExitForTest(ExitFn fn);

  SKINUI_DECLARE_NOTIFY_MAP(WindowImplBase)

 protected:
  virtual void OnSkinReady() {}
  virtual void OnClick(UINotification& msg);
  virtual std::wstring SkinFolder() = 0;
  virtual std::wstring SkinFileName() = 0;
  virtual LRESULT OnDefaultKey(UINT key);
  // True for a window on which Return and Escape do nothing at all: the keys
  // are consumed after OnDefaultKey instead of reaching the focused control
  // (whose "click" would otherwise close the page through its close button).
  virtual bool SwallowsDefaultKeys() const { return false; }
  virtual int SkinSource() { return kSkinFile; }
  virtual std::wstring SkinArchiveName() { return L""; }
  virtual int SkinResourceId() { return 0; }

  virtual LRESULT OnClose(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnDestroy(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnNcActivate(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnNcCalcSize(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnNcPaint(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnGetMinMaxInfo(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnMouseWheel(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnMouseHover(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnSize(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnChar(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnSysCommand(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnCreate(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnKeyDown(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnKillFocus(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnSetFocus(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnMouseMove(UINT, WPARAM, LPARAM, bool& handled);
  virtual LRESULT OnOtherMessage(UINT, WPARAM, LPARAM, bool& handled);
  virtual DWORD WindowStyleWithoutCaption();
  virtual void OnTimerMessage(UINT_PTR id) { (void)id; }
  virtual LRESULT OnMessage47B(WPARAM, LPARAM) { return 0; }

  UINT WindowClassStyle() const override { return CS_DBLCLKS; }
  LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnWindowGone(HWND hwnd) override;
  bool PreMessage(const MSG& msg) override;

  // IManagerHostUI.
  void Invalidate(const RECT& rc) override;
  RECT ClientRect() const override;
  void ResizeClient(int cx, int cy) override;
  bool SetNativeTimer(unsigned nativeId, unsigned milliseconds) override;
  void KillNativeTimer(unsigned nativeId) override;
  void SetCapture() override;
  void ReleaseCapture() override;
  void SetCursor(UICursor cursor) override;
  void TrackMouse(unsigned hoverMs) override;
  void ShowToolTip(const std::wstring& text, const RECT& rc, int maxWidth) override;
  void HideToolTip() override;
  bool HasNativeFocus() const override;
  void SetNativeFocus() override;
  IEditWindowUI* CreateEditWindow(CEditUI& edit) override;
  void PostSelf(unsigned msg, uintptr_t wParam, intptr_t lParam) override;
  void CloseWindow(int code) override;
  void RootAttached() override;

  CSkinManagerUI m_pm;

 private:
  bool ManagerMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void PaintNow();
  void SkinFailed();
  virtual bool IsSkinMessageBox() const { return false; }
  friend class CMsgBoxWnd;

  std::unique_ptr<CSurfaceUI> m_pSurface;
  std::unique_ptr<CShadowUI> m_pShadow;
  std::unique_ptr<CControlUI> m_pGoneRoot;  // the tree after the window is gone
};

}  // namespace SkinUI
