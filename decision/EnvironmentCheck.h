// The environment check behind the check page: asks the service for the
// current package, reads the product's settings and the command line, and
// decides the install type while the page stays up for its minimum time.
#pragma once

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "app/UIHelp.h"
#include "platform/WinTypes.h"

// What the check needs from the check page. Both calls come from the waiter
// thread, after both workers have ended.
class ICheckPageHost {
 public:
  virtual ~ICheckPageHost() = default;
  // The page's window rectangle in screen pixels (GetWindowRect).
  virtual RECT WindowRect() = 0;
  // Close(code): mark the page closing and, if its window still exists, post
  // the close with that code. Must not wait for the page's thread.
  virtual void PostClose(int code) = 0;
};

class CEnvironmentCheck {
 public:
  explicit CEnvironmentCheck(ICheckPageHost* host) : m_host(host) {}
  ~CEnvironmentCheck() { Join(); }
  CEnvironmentCheck(const CEnvironmentCheck&) = delete;
  CEnvironmentCheck& operator=(const CEnvironmentCheck&) = delete;

  // Starts the check worker, the display-time worker and the waiter (from the
  // page's OnSkinReady, main thread). Once only.
  void Start();
  // Joins the waiter (and with it both workers); from the page's OnWindowGone.
  void Join();

  // The check: sets the promise exactly once, on every path. Writes the
  // context's install folder and client name when the settings hold them.
  void CheckRegedit(std::promise<_CHECKTYPE>& promise);
  // Sleeps the minimum display time: 1000 ms with a command line, else 3000 ms.
  void WaitMinDisplay();
  int MinDisplayMs() const { return m_strCmdLine.empty() ? 3000 : 1000; }

  // Narrow copy of the process command line; lower-cased in place by the check.
  std::string m_strCmdLine;
  // Set by the waiter just before it closes the page; the page's close handler
  // lets the close through only then.
  std::atomic<bool> m_bCheckDone{false};
  std::vector<std::thread> m_workers;  // check worker, then display-time worker
  std::thread m_waiter;

 private:
  void Wait(std::future<_CHECKTYPE> future);

  ICheckPageHost* m_host;  // not owned; outlives the waiter
};
