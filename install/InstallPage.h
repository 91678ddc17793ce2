// What the installation pipeline needs from the page that runs it. The progress
// page implements these; tests use a fake. Every call is made on the
// installation worker and none of them may wait for a page that is gone.
#pragma once

#include <cstdint>
#include <string>

// Per-entry progress of the extractor: wParam = percentage of entries started.
constexpr unsigned WM_EXTRACT_PROGRESS = 0x07F1;

// Receives the extractor's progress messages. Delivery is synchronous while the
// window exists and a no-op once it is gone or closing: it must never block on
// a page whose thread no longer pumps messages.
class IProgressTarget {
 public:
  virtual ~IProgressTarget() = default;
  virtual void SendProgressMessage(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
};

class IInstallPage {
 public:
  virtual ~IInstallPage() = default;
  // The "note" label shows the text; returns without waiting for the page's thread.
  virtual void SetNote(const std::wstring& text) = 0;
  // PostUICall("SetProcessValue", ...) with the download's (total, received);
  // false when the page refused it (closing).
  virtual bool PostSetProcessValue(uint64_t total, uint64_t received) = 0;
  // PostUICall("ErrorClose", ...): the page shows the text in an error box and
  // closes with -1. False when refused.
  virtual bool PostErrorClose(const std::wstring& text) = 0;
  // m_nLastPercent: the last percentage the page showed.
  virtual int LastPercent() const = 0;
  // Target for the extractor's WM_EXTRACT_PROGRESS; may be null.
  virtual IProgressTarget* ExtractProgressTarget() = 0;
  // Hides the page if its window still exists.
  virtual void Hide() = 0;
  // Close(code) on the page.
  virtual void Close(int code) = 0;
  // Creates the complete page with this title, applies the icon, centres it and
  // runs it modally on the calling (worker) thread; then destroys it. Returns
  // its close code. The process may end inside (the complete page's close button).
  virtual int RunCompletePage(const std::wstring& title) = 0;
};
