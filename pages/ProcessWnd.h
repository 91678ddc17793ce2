// The progress page: runs the installation pipeline on its worker, shows the
// download percentage and the current stage, and turns a failure into an
// error box after which it closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "install/InstallPage.h"
#include "ui/core/WindowImplBase.h"

// A heap singleton. Window, controls and the posted calls belong to the UI
// thread; the IInstallPage calls come from the installation worker and never
// wait for the UI thread (except the extractor's progress messages, which give
// up once the window is closing or gone).
class CProcessWnd : public SkinUI::WindowImplBase, public IInstallPage, private IProgressTarget {
 public:
  // Created on first use under the singleton's mutex.
  static CProcessWnd* GetInstance();
  // Deletes the singleton (after its modal run) and clears the pointer.
  static void DestroyInstance();

  ~CProcessWnd() override;

  void SetCommandLine(const std::string& commandLine) { m_strCmdLine = commandLine; }

  // UI thread, as posted calls. Both always return true.
  bool SetProcessValue(int32_t total, int32_t received);
  bool ErrorClose(const std::wstring& text);

  // IInstallPage (installation worker).
  void SetNote(const std::wstring& text) override;
  bool PostSetProcessValue(uint64_t total, uint64_t received) override;
  bool PostErrorClose(const std::wstring& text) override;
  int LastPercent() const override { return m_nLastPercent.load(); }
  IProgressTarget* ExtractProgressTarget() override { return this; }
  void Hide() override;
  // Any thread: marks the page closing and posts WM_CLOSE with the code.
  void Close(int code) override;
  int RunCompletePage(const std::wstring& title) override;

  // Test hook: what runs on the worker instead of the pipeline (null = the
  // pipeline).
  using WorkerFn = void (*)(CProcessWnd* page);
  static void SetWorkerForTest(WorkerFn fn);

 protected:
  CProcessWnd() = default;

  const wchar_t* WindowClassName() const override { return L"ProcessWndUI"; }
  void OnWindowGone(HWND hwnd) override;
  void OnSkinReady() override;
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override { return L"ProcessWnd.xml"; }
  LRESULT OnDefaultKey(UINT) override { return 0; }
  bool SwallowsDefaultKeys() const override { return true; }
  int SkinSource() override { return SkinUI::kSkinArchiveResource; }
  int SkinResourceId() override { return 102; }

 private:
  void SendProgressMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;
  void ShowNote(const std::wstring& text);

  std::thread m_worker;
  std::string m_strCmdLine;              // kept; nothing reads it
  std::atomic<int32_t> m_nLastPercent{0};  // written on the UI thread, read by the worker
  int32_t m_nShownPercent = 0;           // the last percentage SetProcessValue handled
  std::atomic<HWND> m_hwndForWorker{nullptr};

  static CProcessWnd* s_instance;
  static std::mutex s_lock;
};
