// The check page: the first window, shown while the environment check decides
// what the installer will do. The user cannot close it; it closes itself with
// code 1 once the check has stored its result.
#pragma once

#include <string>

#include "decision/EnvironmentCheck.h"
#include "ui/core/WindowImplBase.h"

// UI thread only, except the ICheckPageHost calls (the check's waiter).
class CCheckWnd : public SkinUI::WindowImplBase, public ICheckPageHost {
 public:
  CCheckWnd();
  ~CCheckWnd() override;

  // The process command line (before Create); it shortens the minimum display
  // time and may ask for a repair.
  void SetCommandLine(const std::string& commandLine) { m_check.m_strCmdLine = commandLine; }
  bool IsCheckDone() const { return m_check.m_bCheckDone.load(); }

  // ICheckPageHost (waiter thread).
  RECT WindowRect() override;
  void PostClose(int code) override;

 protected:
  const wchar_t* WindowClassName() const override { return L"CheckWndUI"; }
  void OnWindowGone(HWND hwnd) override;
  void OnSkinReady() override;
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override { return L"CheckWnd.xml"; }
  LRESULT OnDefaultKey(UINT) override { return 0; }
  bool SwallowsDefaultKeys() const override { return true; }
  int SkinSource() override { return SkinUI::kSkinArchiveResource; }
  int SkinResourceId() override { return 102; }
  LRESULT OnClose(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  CEnvironmentCheck m_check;  // its threads; joined when the window is gone
  std::atomic<HWND> m_hwndForCheck{nullptr};
};
