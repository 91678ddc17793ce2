// Drives pages on the headless window back end: a message pump with a
// deadline that records the close code posted to a page, and recorders for
// the message boxes and folder choices the pages ask for.
#pragma once

#include <climits>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/window/WinUser.h"

namespace pagetest {

// Headless back end, drawn message boxes routed to the recorder, the skin
// framework's instance. Once per process; call from every fixture.
void InitHeadlessPages();

struct Box {
  std::wstring text;
  std::wstring caption;
  unsigned type = 0;
};

// Records every message box; answers IDOK unless told otherwise.
class BoxRecorder {
 public:
  BoxRecorder();
  ~BoxRecorder();
  std::vector<Box> Boxes();
  void SetAnswer(int answer);

 private:
  std::mutex m_lock;
  std::vector<Box> m_boxes;
  int m_answer;
};

// Serves the calling thread's messages like a modal loop does.
class Pump {
 public:
  explicit Pump(HWND watch = nullptr) : m_watch(watch) {}
  void Watch(HWND hwnd) { m_watch = hwnd; }
  // True as soon as pred() holds; false after timeoutMs.
  bool Until(const std::function<bool()>& pred, int timeoutMs = 5000);
  void For(int ms);
  // Until the watched window has presented a frame (so it is laid out).
  bool UntilPainted(int timeoutMs = 5000);
  // Until the watched window is gone.
  bool UntilGone(int timeoutMs = 5000);
  // The code of the last WM_CLOSE posted to the watched window; INT_MIN when none.
  int CloseCode() const { return m_closeCode; }

 private:
  bool RunOne(int waitMs);
  HWND m_watch;
  int m_closeCode = INT_MIN;
};

}  // namespace pagetest
