// Steps the end-to-end tests share: page positions of the shipped skins and
// the walk through the install page and the progress and complete pages.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/E2eHarness.h"

namespace e2etest {

using e2e::E2eHarness;
using e2e::Window;

// Centres of the controls, in window pixels, as the skins place them.
struct Point {
  int x, y;
};
constexpr Point kCloseButton{583, 16};      // every page's "closebtn"
constexpr Point kInstallButton{300, 365};   // install page "install"
constexpr Point kOption{34, 401};           // agreement check box, collapsed
constexpr Point kOptionExpanded{34, 479};
constexpr Point kProtocol{98, 400};         // "同意用户协议"
constexpr Point kExpand{540, 400};          // "自定义安装"
constexpr Point kReduce{560, 478};          // "收起"
constexpr Point kPathEdit{267, 430};
constexpr Point kBranchButton{300, 335};    // start / upgrade / repair page "button"
constexpr Point kStartButton{300, 365};     // complete page "立即体验"

constexpr int kPageTimeoutMs = 20000;   // a page appears (check: includes start-up)
constexpr int kInstallTimeoutMs = 60000;  // from the progress page to the complete page
constexpr int kExitTimeoutMs = 15000;

inline bool Click(E2eHarness& h, const Window& w, Point p) { return h.Click(w, p.x, p.y); }

// True when no new window of the installer shows up within ms and `page`
// is still there: the input was ignored.
inline bool StaysAlone(E2eHarness& h, const Window& page, int ms) {
  const std::set<std::string> before = h.SeenWindows();  // a copy: polling adds to it
  Window other = h.WaitWindow("", ms, before);
  return !other.valid() && h.Exists(page);
}

// The check page, then the next page; both asserted.
inline void PassCheck(E2eHarness& h, Window* check, Window* next) {
  *check = h.WaitNewPage(kPageTimeoutMs);
  ASSERT_TRUE(check->valid()) << "no check page";
  *next = h.WaitNewPage(kPageTimeoutMs);
  ASSERT_TRUE(next->valid()) << "no page after the check page";
  ASSERT_TRUE(h.WaitGone(*check, 5000)) << "the check page stays after the next page came";
}

// From a confirmed branch page: the progress page at the same place, then the
// complete page. Fills *progress and *complete.
inline void ReachComplete(E2eHarness& h, const Window& from, Window* progress, Window* complete) {
  *progress = h.WaitNewPage(kPageTimeoutMs);
  ASSERT_TRUE(progress->valid()) << "no progress page";
  EXPECT_EQ(progress->x, from.x);
  EXPECT_EQ(progress->y, from.y);
  *complete = h.WaitNewPage(kInstallTimeoutMs);
  ASSERT_TRUE(complete->valid()) << "no complete page";
}

}  // namespace e2etest
