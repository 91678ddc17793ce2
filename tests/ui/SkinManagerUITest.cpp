// The manager: "windowinit" once after the first layout, notification order and
// delegates, timers and their native ids, focus and Tab order, tooltips, message
// entry, name index and delayed destruction.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "FakeHost.h"
#include "ui/controls/ButtonUI.h"
#include "ui/controls/ContainerUI.h"

using namespace SkinUI;
using uitest::AttachXml;
using uitest::FakeHost;
using uitest::Recorder;

namespace {

const wchar_t* kPage =
    L"<Window size=\"600,422\"><VerticalLayout name=\"root\" bkcolor=\"#FF336699\">"
    L"<Label name=\"title\" float=\"true\" pos=\"0,0,100,30\" tooltip=\"line1<n>line2\" tooltipwidth=\"20\"/>"
    L"<Button name=\"one\" float=\"true\" pos=\"100,100,200,140\"/>"
    L"<Button name=\"off\" enabled=\"false\" float=\"true\" pos=\"100,150,200,190\"/>"
    L"<Edit name=\"edit\" float=\"true\" pos=\"100,200,300,230\"/>"
    L"<Button name=\"hidden\" visible=\"false\" float=\"true\" pos=\"100,250,200,290\"/>"
    L"<Button name=\"two\" shortcut=\"k\" float=\"true\" pos=\"300,100,400,140\"/>"
    L"</VerticalLayout></Window>";

class ManagerPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(AttachXml(manager, kPage), nullptr);
    manager.AddReceiver(&rec);
  }
  CControlUI* Get(const wchar_t* name) { return manager.ControlByName(name); }

  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  Recorder rec;
};

// Checks, at the moment "windowinit" arrives, that layout is done and nothing is painted yet.
class InitProbe : public INotifyUI {
 public:
  InitProbe(CSkinManagerUI& m, FakeHost& h) : m_m(m), m_h(h) {}
  void OnNotification(UINotification& msg) override {
    if (msg.type != L"windowinit") return;
    ++count;
    laidOut = m_m.ControlByName(L"one")->Rect().left == 100;
    unpainted = m_h.Pixel(10, 300) == 0;
  }
  int count = 0;
  bool laidOut = false, unpainted = false;

 private:
  CSkinManagerUI& m_m;
  FakeHost& m_h;
};

TEST_F(ManagerPage, WindowInitOnceAfterFirstLayoutBeforeFirstImage) {
  InitProbe probe(manager, host);
  manager.AddReceiver(&probe);
  EXPECT_EQ(probe.count, 0) << "not before the first paint";
  host.Paint(true);
  host.Paint(true);
  manager.OnSize(500, 400);
  host.Paint(true);
  EXPECT_EQ(probe.count, 1);
  EXPECT_TRUE(probe.laidOut);
  EXPECT_TRUE(probe.unpainted);
  EXPECT_EQ(host.Pixel(10, 300), 0xFF336699u);
  EXPECT_EQ(rec.Count(L"windowinit", L"root"), 1);
}

struct DelegateOwner {
  std::vector<int> calls;
  bool First(void*) {
    calls.push_back(1);
    return false;
  }
  bool Second(void*) {
    calls.push_back(2);
    return true;
  }
};

TEST_F(ManagerPage, DelegateReturningFalseStopsLaterDelegatesNotThePage) {
  host.Paint(true);
  DelegateOwner owner;
  CControlUI* one = Get(L"one");
  one->OnNotify += BindDelegate(&owner, &DelegateOwner::First);
  one->OnNotify += BindDelegate(&owner, &DelegateOwner::Second);
  one->OnNotify += BindDelegate(&owner, &DelegateOwner::First);  // equal: not added twice
  EXPECT_EQ(one->OnNotify.Count(), 2u);
  manager.RaiseNotification(one, L"click");
  EXPECT_EQ(owner.calls, std::vector<int>{1});
  EXPECT_EQ(rec.Count(L"click", L"one"), 1);
  one->OnNotify -= BindDelegate(&owner, &DelegateOwner::First);
  manager.RaiseNotification(one, L"click");
  EXPECT_EQ(owner.calls, (std::vector<int>{1, 2}));
}

TEST_F(ManagerPage, OnEventFalseKeepsTheControlFromHandlingIt) {
  host.Paint(true);
  struct Blocker {
    bool Block(void* p) { return static_cast<UIEvent*>(p)->kind != UIEVENT_BUTTONUP; }
  } blocker;
  Get(L"one")->OnEvent += BindDelegate(&blocker, &Blocker::Block);
  manager.OnMouseMove(POINT{150, 120});
  manager.OnLButtonDown(POINT{150, 120});
  manager.OnLButtonUp(POINT{150, 120});
  EXPECT_EQ(rec.Count(L"click"), 0);
}

TEST_F(ManagerPage, NativeTimerIdsStartAt17AndAreNeverShared) {
  host.Paint(true);
  CControlUI* one = Get(L"one");
  ASSERT_TRUE(manager.StartTimer(one, 1, 30));
  EXPECT_EQ(host.timers.count(17u), 1u);
  EXPECT_FALSE(manager.StartTimer(one, 1, 50)) << "running: left alone";
  EXPECT_EQ(host.timers[17], 30u);
  EXPECT_TRUE(manager.StopTimer(one, 1));
  EXPECT_TRUE(host.timers.empty());
  EXPECT_TRUE(manager.StartTimer(one, 1, 50)) << "stopped: re-armed";
  EXPECT_EQ(host.timers[17], 50u) << "with its old native id";

  // 254 distinct timers use 254 distinct ids in 1..254; one more finds none free.
  std::vector<std::unique_ptr<CControlUI>> owners;
  for (int i = 0; i < 253; ++i) {
    owners.push_back(std::make_unique<CControlUI>());
    owners.back()->Bind(&manager, nullptr, false);
    ASSERT_TRUE(manager.StartTimer(owners.back().get(), 7, 10)) << i;
  }
  std::set<unsigned> ids;
  for (const auto& t : host.timers) ids.insert(t.first);
  EXPECT_EQ(ids.size(), 254u);
  EXPECT_EQ(ids.count(0u), 0u);
  CControlUI extra;
  extra.Bind(&manager, nullptr, false);
  EXPECT_FALSE(manager.StartTimer(&extra, 7, 10));
  // A destroyed control's timers are killed and their ids can be used again.
  owners.front().reset();
  EXPECT_EQ(host.timers.size(), 253u);
  EXPECT_TRUE(manager.StartTimer(&extra, 7, 10));
  manager.StopTimers(&extra);
}

TEST_F(ManagerPage, TimerTickOfAPlainControlRaisesTimer) {
  host.Paint(true);
  CControlUI* title = Get(L"title");
  ASSERT_TRUE(manager.StartTimer(title, 42, 10));
  unsigned nativeId = host.timers.begin()->first;
  EXPECT_TRUE(host.Fire(nativeId));
  EXPECT_EQ(rec.Count(L"timer", L"title"), 1);
  EXPECT_EQ(rec.entries.back().wParam, 42u);
  manager.StopTimer(title, 42);
  EXPECT_FALSE(host.Fire(nativeId)) << "a killed timer fires nothing";
  EXPECT_EQ(rec.Count(L"timer"), 1);
}

TEST_F(ManagerPage, FirstPaintFocusesFirstTabStopAndTabCycles) {
  host.Paint(true);
  ASSERT_EQ(manager.FocusedControl(), Get(L"one"));
  std::vector<std::wstring> order;
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(manager.OnKeyDown(UIVK_TAB));
    order.push_back(manager.FocusedControl()->Name());
  }
  // Disabled and hidden buttons and the label are skipped.
  EXPECT_EQ(order, (std::vector<std::wstring>{L"edit", L"two", L"one", L"edit"}));
  manager.OnKeyDown(UIVK_TAB, UIKEY_SHIFT);
  EXPECT_EQ(manager.FocusedControl()->Name(), L"one");
  EXPECT_EQ(rec.Count(L"setfocus", L"edit"), 2);
  EXPECT_EQ(rec.Count(L"killfocus", L"edit"), 2);
}

TEST_F(ManagerPage, DisabledControlsTakeNoFocusAndRaiseNothing) {
  host.Paint(true);
  manager.OnMouseMove(POINT{150, 170});
  manager.OnLButtonDown(POINT{150, 170});
  manager.OnLButtonUp(POINT{150, 170});
  EXPECT_NE(manager.FocusedControl(), Get(L"off"));
  EXPECT_EQ(rec.Count(L"click"), 0);
  EXPECT_EQ(rec.Count(L"setfocus", L"off"), 0);
}

TEST_F(ManagerPage, ShortcutFocusesAndActivates) {
  host.Paint(true);
  EXPECT_TRUE(manager.OnSysChar(L'k'));
  EXPECT_EQ(manager.FocusedControl(), Get(L"two"));
  EXPECT_EQ(rec.Count(L"click", L"two"), 1);
  EXPECT_FALSE(manager.OnSysChar(L'q'));
}

TEST_F(ManagerPage, PreFilterCanConsumeKeys) {
  host.Paint(true);
  struct EscapeEater : IMessageFilterUI {
    intptr_t MessageHandler(unsigned msg, uintptr_t wParam, intptr_t, bool& handled) override {
      if (msg == UIMsg::kKeyDown && wParam == UIVK_ESCAPE) handled = true;
      ++seen;
      return 0;
    }
    int seen = 0;
  } eater;
  manager.AddPreFilter(&eater);
  EXPECT_TRUE(manager.OnKeyDown(UIVK_ESCAPE));
  EXPECT_FALSE(manager.OnKeyDown(UIVK_RETURN));
  EXPECT_EQ(rec.Count(L"click", L"one"), 1) << "Return still reaches the focused button";
  EXPECT_EQ(eater.seen, 2);
  manager.RemovePreFilter(&eater);
}

TEST_F(ManagerPage, HoverShowsTooltipAndLeavingHidesIt) {
  host.Paint(true);
  manager.OnMouseMove(POINT{50, 15});
  EXPECT_EQ(host.trackedHoverMs, 400u);
  manager.OnMouseHover(POINT{50, 15});
  EXPECT_EQ(host.toolTip, L"line1\r\nline2");
  EXPECT_EQ(host.toolTipRect.right, 100);
  manager.OnMouseMove(POINT{150, 120});
  EXPECT_TRUE(host.toolTip.empty());
  manager.OnMouseHover(POINT{150, 120});
  EXPECT_TRUE(host.toolTip.empty()) << "no tooltip set";
  manager.OnMouseLeave();
  EXPECT_EQ(manager.HoverControl(), nullptr);
  EXPECT_FALSE(Get(L"one")->IsHot());
}

TEST_F(ManagerPage, MessageEntryWithPackedCoordinates) {
  host.Paint(true);
  auto lp = [](int x, int y) { return static_cast<intptr_t>((y << 16) | (x & 0xFFFF)); };
  intptr_t result = 0;
  EXPECT_TRUE(manager.HandleMessage(UIMsg::kMouseMove, 0, lp(350, 120), result));
  EXPECT_TRUE(manager.HandleMessage(UIMsg::kLButtonDown, 1, lp(350, 120), result));
  EXPECT_TRUE(host.captured);
  EXPECT_TRUE(manager.HandleMessage(UIMsg::kLButtonUp, 0, lp(350, 120), result));
  EXPECT_FALSE(host.captured);
  EXPECT_EQ(rec.Count(L"click", L"two"), 1);
  EXPECT_FALSE(manager.HandleMessage(0x9999, 0, 0, result));
}

TEST_F(ManagerPage, RemovedControlIsForgottenAtOnceAndDeletedLater) {
  host.Paint(true);
  struct Watch {
    bool Gone(void*) {
      gone = true;
      return true;
    }
    bool gone = false;
  } watch;
  CControlUI* two = Get(L"two");
  two->OnDestroyed += BindDelegate(&watch, &Watch::Gone);
  manager.OnMouseMove(POINT{350, 120});
  ASSERT_EQ(manager.HoverControl(), two);
  ASSERT_TRUE(static_cast<CContainerUI*>(manager.Root())->Remove(two));
  EXPECT_EQ(Get(L"two"), nullptr);
  EXPECT_EQ(manager.HoverControl(), nullptr);
  EXPECT_FALSE(watch.gone) << "not deleted inside the current event";
  ASSERT_EQ(host.posted.size(), 1u);
  host.RunPosted();
  EXPECT_TRUE(watch.gone);
  manager.OnMouseMove(POINT{355, 120});  // nothing refers to it any more
  EXPECT_EQ(manager.FindControl(POINT{350, 120})->Name(), L"root");
}

TEST(NameIndex, LastVisitedWinsAndContainerAfterChildren) {
  CSkinManagerUI manager;
  FakeHost host{manager, 600, 422};
  ASSERT_NE(AttachXml(manager, L"<Window><VerticalLayout name=\"x\"><Label name=\"x\" text=\"child\"/>"
                               L"<Label name=\"y\" text=\"first\"/><Label name=\"y\" text=\"second\"/>"
                               L"</VerticalLayout></Window>"),
            nullptr);
  EXPECT_EQ(manager.ControlByName(L"x"), manager.Root()) << "the container is visited after its children";
  EXPECT_EQ(manager.ControlByName(L"y")->Text(), L"second");
  EXPECT_EQ(manager.ControlByName(L"Y"), nullptr);
}

}  // namespace
