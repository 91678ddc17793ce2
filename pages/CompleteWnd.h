// The complete page: tells the user the installation is complete. "start"
// lets the pipeline go on to start the client; the close button ends the
// installer at once.
#pragma once

#include <mutex>

#include "ui/core/WindowImplBase.h"

// A heap singleton, created, run and destroyed on the installation worker.
class CompleteWnd : public SkinUI::WindowImplBase {
 public:
  static CompleteWnd* GetInstance();
  static void DestroyInstance();

  // Every notification of the page: "click" on "start" closes with code 8,
  // on "closebtn" ends the process with exit code 0; nothing else is looked at.
  void OnNotification(SkinUI::UINotification& msg) override;

  // Test hook: how the close button ends the process (null = for real).
  using ExitFn = void (*)(int code);
  static void SetExitForTest(ExitFn fn);

 protected:
  CompleteWnd() = default;

  const wchar_t* WindowClassName() const override { return L"CompleteWndUI"; }
  void OnSkinReady() override;
  std::wstring SkinFolder() override { return L""; }
  std::wstring SkinFileName() override { return L"CompleteWnd.xml"; }
  int SkinSource() override { return SkinUI::kSkinArchiveResource; }
  int SkinResourceId() override { return 102; }

 private:
  static CompleteWnd* s_instance;
  static std::mutex s_lock;
};
