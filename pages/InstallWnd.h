// The install page of a fresh install: a quick install into the proposed
// folder, a custom area to type or browse for another one, and the agreement
// box that enables the install button.
#pragma once

#include <mutex>
#include <string>
#include <thread>

#include "ui/core/WindowImplBase.h"

// UI thread only; the folder proposal is made on m_worker and handed over
// with PostUICall.
class CInstallWnd : public SkinUI::WindowImplBase {
 public:
  CInstallWnd() = default;
  ~CInstallWnd() override;

  // Notification handlers (param: the UINotification); each reacts to one type.
  bool OnInstallClick(void* param);
  bool SaveWindowRect(void* param);
  bool OnExpandClick(void* param);
  bool OnReduceClick(void* param);
  bool OnPathBtnClick(void* param);
  bool OnProtocolClick(void* param);
  bool OnOptionSelectChanged(void* param);

  // The drive scan of the worker: proposes a folder unless one was typed.
  void InitDefaultPath();
  // The agreement page's address (API host, channel and enterprise code).
  static std::string AgreementUrl();

  // dat.ini InstallerPath as the worker read it; empty before and when unset.
  std::wstring InstallerPath() const;
  // Whether the worker's proposal has reached the UI thread (applied or not).
  bool HasProposal() const { return m_bProposalArrived; }

 protected:
  const wchar_t* WindowClassName() const override { return L"InstallWndUI"; }
  void OnWindowGone(HWND hwnd) override;
  void OnSkinReady() override;
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override { return L"InstallWnd.xml"; }
  LRESULT OnDefaultKey(UINT) override { return 0; }
  bool SwallowsDefaultKeys() const override { return true; }
  int SkinSource() override { return SkinUI::kSkinArchiveResource; }
  int SkinResourceId() override { return 102; }

 private:
  void ApplyDefaultPath(const std::wstring& path);
  void ResizeKeepingOrigin(int cx, int cy);
  void PlaceControl(const wchar_t* name, const RECT& rc);

  std::thread m_worker;
  mutable std::mutex m_lock;        // guards m_strInstallerPath
  std::wstring m_strInstallerPath;  // written by the worker, read by the browse handler
  bool m_bProposalArrived = false;  // UI thread
};
