// What the panel's handlers do to the lists, captions, timers and windows.
#include "app/panel.h"

#include <gtest/gtest.h>

#include "app/period.h"
#include "control/window_control.h"
#include "fake_controls.h"
#include "fake_desktop.h"

namespace corvantis {
namespace {

using testing::AtOrigin800x600;
using testing::FakeBoxes;
using testing::FakeCaption;
using testing::FakeCheck;
using testing::FakeDesktop;
using testing::FakeFiles;
using testing::FakeGuard;
using testing::FakeText;
using testing::FakeTimer;

constexpr WindowHandle kPanelWindow = 0x20020;

class PanelTest : public ::testing::Test {
 protected:
  PanelTest() {
    files.normal_files.insert(files.directory + u"\\自动升级.exe");
    panel.SetWindowHandle(kPanelWindow);
  }

  bool AnyVisible(std::initializer_list<WindowHandle> handles) {
    for (const WindowHandle handle : handles) {
      if (desktop.IsWindowVisible(handle)) return true;
    }
    return false;
  }

  // Every window is shown, or hidden with this panel's mark.
  bool NoneHiddenUnmarked(std::initializer_list<WindowHandle> handles) {
    for (const WindowHandle handle : handles) {
      if (!desktop.IsWindowVisible(handle) &&
          WhoHid(desktop, handle) != HiddenMark::ThisPanel) {
        return false;
      }
    }
    return true;
  }

  FakeDesktop desktop;
  FakeFiles files;
  FakeBoxes boxes;
  MemoryList lobby_names, game_names;
  FakeCaption label1{u"大厅个数："}, label2{u"游戏个数："};
  FakeCaption command2{u"自动刷新"};
  FakeText text1;
  FakeCheck check1;
  FakeTimer timer1{false, 1000}, timer2{true, 1000};
  FakeTimer guard_watch{false, kGuardWatchMs};
  FakeGuard guard;
  Panel panel{{desktop, files, boxes},
              {lobby_names, game_names, label1, label2, command2, text1, check1,
               timer1, timer2, guard_watch},
              guard};
};

TEST_F(PanelTest, LoadStartsOnlyTheUpdaterAndLeavesTheListsEmpty) {
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  panel.Form_Load();
  // No window carries a mark: no walk of the desktop either.
  ASSERT_EQ(desktop.calls.size(), 2u);
  EXPECT_EQ(desktop.calls[0], "AnyWindowMarked");
  EXPECT_EQ(desktop.calls[1].rfind("ShellExecuteW", 0), 0u);
  EXPECT_EQ(guard.starts, 0);
  EXPECT_EQ(lobby_names.ListCount(), 0);
  EXPECT_EQ(label1.Caption(), u"大厅个数：");
  EXPECT_TRUE(desktop.IsWindowVisible(lobby));
  EXPECT_FALSE(timer1.Enabled());
  EXPECT_TRUE(timer2.Enabled());
}

TEST_F(PanelTest, LoadFirstShowsWhatAnEndedPanelLeftHidden) {
  const WindowHandle orphan = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  desktop.Window(orphan).visible = false;
  desktop.Window(orphan).hidden_by = {5, 55};
  files.normal_files.clear();  // the updater is missing: a box
  boxes.while_open = [&] { EXPECT_TRUE(desktop.IsWindowVisible(orphan)); };
  panel.Form_Load();
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(lobby_names.ListCount(), 0);
}

TEST_F(PanelTest, ManualRefreshThenListClicksSelectAWindow) {
  const WindowHandle lobby1 = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle lobby2 = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  panel.Command1_Click();
  EXPECT_EQ(label1.Caption(), u"大厅个数：2");
  EXPECT_EQ(label2.Caption(), u"游戏个数：1");
  EXPECT_EQ(lobby_names.List(1), u"2-QQ游戏");
  EXPECT_FALSE(AnyVisible({lobby1, lobby2, game}));
  EXPECT_EQ(guard.starts, 1);

  lobby_names.Select(1);
  panel.大厅名称_Click();
  EXPECT_TRUE(desktop.IsWindowVisible(lobby2));
  EXPECT_FALSE(AnyVisible({lobby1, game}));

  game_names.Select(0);
  panel.游戏名称_Click();
  EXPECT_TRUE(desktop.IsWindowVisible(game));
  EXPECT_FALSE(AnyVisible({lobby1, lobby2}));
  panel.Command1_Click();
  EXPECT_EQ(guard.starts, 1);
}

TEST_F(PanelTest, EveryHidingWalkHasAGuardOrTellsOnceThatNoneCanBeHad) {
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  panel.Command1_Click();
  // Ended from outside: started again.
  guard.state = GuardState::kAbsent;
  panel.Command1_Click();
  EXPECT_EQ(guard.starts, 2);
  // Still starting: not started twice, and watched until it is ready.
  guard.state = GuardState::kStarting;
  panel.Command1_Click();
  EXPECT_EQ(guard.starts, 2);
  panel.GuardWatch_Timer();
  EXPECT_TRUE(guard_watch.Enabled());
  guard.state = GuardState::kRuns;
  panel.GuardWatch_Timer();
  EXPECT_FALSE(guard_watch.Enabled());
  EXPECT_TRUE(boxes.shown.empty());

  // None can be had: the walks go on as before, and after the first one
  // the user is told, once.
  guard.state = guard.start_gives = GuardState::kAbsent;
  boxes.while_open = [&] {
    EXPECT_EQ(label2.Caption(), u"游戏个数：1");
    EXPECT_FALSE(desktop.IsWindowVisible(game));
  };
  panel.Command1_Click();
  // A choice shows and focuses the chosen window before it sees to the
  // guard, which may wait.
  guard.on_start = [&] {
    EXPECT_TRUE(desktop.IsWindowVisible(game));
    EXPECT_EQ(desktop.active, game);
  };
  game_names.Select(0);
  panel.游戏名称_Click();
  EXPECT_TRUE(desktop.IsWindowVisible(game));
  panel.Command5_Click();  // closing hides nothing
  EXPECT_EQ(guard.starts, 4);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].first, u"系统提示");
  EXPECT_NE(boxes.shown[0].second.find(u"守护进程"), Text::npos);
}

// A window manager focuses windows as the refresh shows them and passes the
// focus on as it hides them, here to the panel on top.
TEST_F(PanelTest, RefreshGivesBackTheFocusItsWalksTookOnly) {
  panel.SetWindowHandle(desktop.Add(u"Corvantis", u"CorvantisForm1"));
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle chat = desktop.Add(u"聊天", u"ChatWnd");
  const WindowHandle other = desktop.Add(u"记事本", u"Notepad");
  desktop.SetForegroundWindow(chat);
  panel.Command1_Click();
  desktop.while_waiting = [&](WindowHandle window) { desktop.active = window; };
  panel.Command1_Click();
  EXPECT_EQ(desktop.active, chat);
  EXPECT_FALSE(desktop.IsWindowVisible(lobby));

  // The user moves the focus elsewhere during the refresh: it stays there.
  desktop.while_waiting = [&](WindowHandle) { desktop.active = other; };
  panel.Command1_Click();
  EXPECT_EQ(desktop.active, other);
}

// A start that fails after the walk has gone on without waiting for it is
// told of at once, not at the next walk.
TEST_F(PanelTest, AStartThatFailsLateIsToldAtTheWatchsNextTick) {
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  guard.start_gives = GuardState::kStarting;
  panel.Command1_Click();
  EXPECT_FALSE(desktop.IsWindowVisible(game));
  EXPECT_TRUE(boxes.shown.empty());
  guard.state = GuardState::kAbsent;
  panel.GuardWatch_Timer();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].second.find(u"守护进程"), Text::npos);
  EXPECT_FALSE(guard_watch.Enabled());
}

// A job of the panel's that would end the guard with it: the guard runs
// and is not started again, but the user hears that there is none.
TEST_F(PanelTest, AGuardInThePanelsJobCountsAsNoneForTheUser) {
  desktop.Add(u"斗地主", u"QufPanelWnd");
  guard.start_gives = GuardState::kRunsInPanelsJob;
  panel.Command1_Click();
  panel.Command1_Click();
  EXPECT_EQ(guard.starts, 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].second.find(u"守护进程"), Text::npos);
}

TEST_F(PanelTest, CloseAllKeepsTheCountsAndReportsARefusedClose) {
  desktop.Add(u"QQ游戏", u"QufPanelWnd");
  desktop.Add(u"斗地主", u"QufPanelWnd");
  panel.Command1_Click();
  panel.Command5_Click();
  EXPECT_EQ(desktop.close_log.size(), 2u);
  EXPECT_EQ(label1.Caption(), u"大厅个数：1");
  EXPECT_EQ(label2.Caption(), u"游戏个数：1");
  EXPECT_EQ(game_names.ListCount(), 1);
  EXPECT_TRUE(boxes.shown.empty());

  // A client with higher rights: the system delivers no close, sent or
  // posted to a window that does not answer. The user is told, once.
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  panel.Command1_Click();
  desktop.Window(lobby).refuses_messages = true;
  desktop.Window(game).refuses_messages = desktop.Window(game).hung = true;
  panel.Command5_Click();
  panel.Command5_Click();
  EXPECT_TRUE(desktop.IsWindow(lobby));
  EXPECT_TRUE(desktop.IsWindow(game));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].second.find(u"管理员"), Text::npos);
}

TEST_F(PanelTest, UnloadShowsEveryTrackedWindowOnceAndStopsTheTimers) {
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  panel.Command1_Click();
  panel.Command2_Click();
  desktop.calls.clear();
  panel.Form_Unload();
  panel.Form_Unload();
  EXPECT_TRUE(desktop.IsWindowVisible(lobby));
  EXPECT_TRUE(desktop.IsWindowVisible(game));
  EXPECT_EQ(desktop.GetWindowRect(game).right, 800);
  int shows = 0;
  for (const std::string& call : desktop.calls) {
    shows += call.rfind("ShowWindow", 0) == 0;
  }
  EXPECT_EQ(shows, 2);
  EXPECT_FALSE(timer1.Enabled());
  EXPECT_FALSE(timer2.Enabled());
}

TEST_F(PanelTest, ClientWithHigherRightsIsNeverHiddenUnmarkedAndToldOnce) {
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  // The game refuses the mark: it stays as it is, and listed.
  desktop.Window(game).refuses_mark = true;
  panel.Command1_Click();
  EXPECT_TRUE(desktop.IsWindowVisible(game));
  EXPECT_FALSE(desktop.Window(game).minimized);
  EXPECT_FALSE(desktop.IsWindowVisible(lobby));
  EXPECT_EQ(game_names.ListCount(), 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].first, u"系统提示");
  EXPECT_NE(boxes.shown[0].second.find(u"管理员"), Text::npos);
  lobby_names.Select(0);
  panel.大厅名称_Click();
  EXPECT_TRUE(desktop.IsWindowVisible(game));

  // Hidden while it let itself be, it then refuses to be shown: it keeps
  // its mark through refreshes and selections.
  desktop.Window(game).refuses_mark = false;
  panel.Command1_Click();
  desktop.Window(game).refuses_show = true;
  panel.Command1_Click();
  EXPECT_TRUE(NoneHiddenUnmarked({lobby, game}));
  lobby_names.Select(0);
  panel.大厅名称_Click();
  EXPECT_TRUE(NoneHiddenUnmarked({lobby, game}));
  EXPECT_EQ(boxes.shown.size(), 1u);  // once per run

  // Once the refusals stop, the next refresh finds it again.
  desktop.Window(game).refuses_show = false;
  panel.Command1_Click();
  ASSERT_EQ(game_names.ListCount(), 1);
  EXPECT_EQ(game_names.List(0), u"1-斗地主");
  game_names.Select(0);
  panel.游戏名称_Click();
  EXPECT_TRUE(AtOrigin800x600(desktop.GetWindowRect(game)));
  EXPECT_FALSE(desktop.IsWindowVisible(lobby));
  panel.Form_Unload();
  for (const WindowHandle handle : {lobby, game}) {
    EXPECT_TRUE(desktop.IsWindowVisible(handle));
    EXPECT_EQ(WhoHid(desktop, handle), HiddenMark::None);
  }
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(PanelTest, UnloadInsideAWalkWinsWhereverItComes) {
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game1 = desktop.Add(u"斗地主", u"QufPanelWnd");
  const WindowHandle game2 = desktop.Add(u"中国象棋", u"QufPanelWnd");
  // The session's end comes inside each synchronous call of a refresh and
  // a selection in turn; every round but the last ends it.
  int rounds = 0;
  for (int at = 0;; ++at) {
    panel.Command1_Click();
    int calls = 0;
    desktop.while_waiting = [&](WindowHandle) {
      if (calls++ == at) panel.Form_Unload();
    };
    panel.Command1_Click();
    game_names.Select(1);
    panel.游戏名称_Click();
    desktop.while_waiting = nullptr;
    if (at >= calls) break;
    ++rounds;
    for (const WindowHandle handle : {lobby, game1, game2}) {
      EXPECT_TRUE(desktop.IsWindowVisible(handle)) << at;
      EXPECT_FALSE(desktop.Window(handle).minimized) << at;
      EXPECT_TRUE(AtOrigin800x600(desktop.GetWindowRect(handle))) << at;
      EXPECT_EQ(WhoHid(desktop, handle), HiddenMark::None) << at;
    }
    panel.ResumeAfterCancelledEnd();
  }
  EXPECT_GE(rounds, 6);
}

TEST_F(PanelTest, HandlersSentDuringAWalkDoNotRunInsideIt) {
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  bool inside = false;
  desktop.while_waiting = [&](WindowHandle) {
    if (inside) return;
    inside = true;
    const std::size_t before = desktop.calls.size();
    lobby_names.Select(0);
    panel.Command1_Click();
    panel.Timer1_Timer();
    panel.大厅名称_Click();
    panel.Command5_Click();
    EXPECT_EQ(desktop.calls.size(), before);
    inside = false;
  };
  panel.Command1_Click();
  desktop.while_waiting = nullptr;
  EXPECT_FALSE(AnyVisible({lobby, game}));
  EXPECT_TRUE(desktop.close_log.empty());
  EXPECT_EQ(label1.Caption(), u"大厅个数：1");
}

TEST_F(PanelTest, CancelledSessionEndResumesTheTimersAsTheyWere) {
  panel.Command2_Click();  // auto-refresh on
  check1.value = 0;
  panel.Check1_Click();  // stay-on-top off
  panel.Form_Unload();
  panel.ResumeAfterCancelledEnd();
  EXPECT_TRUE(timer1.Enabled());
  EXPECT_FALSE(timer2.Enabled());
  // The panel can end again later, and shows the windows then too.
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  panel.Command1_Click();
  panel.Form_Unload();
  EXPECT_TRUE(desktop.IsWindowVisible(game));
}

TEST_F(PanelTest, AutoRefreshSwitchesOnAndOffByCaption) {
  text1.text = u"0.5";
  panel.Command2_Click();
  EXPECT_EQ(command2.Caption(), u"取消自动");
  EXPECT_TRUE(timer1.Enabled());
  EXPECT_EQ(timer1.Interval(), 500u);
  EXPECT_TRUE(desktop.calls.empty());  // no refresh until the first tick

  panel.Command2_Click();
  EXPECT_EQ(command2.Caption(), u"自动刷新");
  EXPECT_FALSE(timer1.Enabled());
  EXPECT_TRUE(desktop.calls.empty());

  command2.SetCaption(u"别的");
  panel.Command2_Click();
  EXPECT_EQ(command2.Caption(), u"别的");
  EXPECT_FALSE(timer1.Enabled());
}

TEST_F(PanelTest, ZeroPeriodEnablesATimerThatNeverTicks) {
  text1.text = u"0";
  panel.Command2_Click();
  EXPECT_EQ(command2.Caption(), u"取消自动");
  EXPECT_TRUE(timer1.Enabled());
  EXPECT_EQ(timer1.Interval(), 0u);
}

TEST_F(PanelTest, TickReadsThePeriodAgainAndRefreshes) {
  desktop.Add(u"QQ游戏", u"QufPanelWnd");
  panel.Command2_Click();
  EXPECT_EQ(timer1.Interval(), 20000u);
  text1.text = u"30";
  panel.Timer1_Timer();
  EXPECT_EQ(timer1.Interval(), 30000u);
  EXPECT_EQ(label1.Caption(), u"大厅个数：1");
}

TEST_F(PanelTest, BadPeriodWhenSwitchingOnShowsABoxAndStaysOff) {
  for (const Text& bad : {Text(u"abc"), Text(u"-1"), Text(u"nan"), Text(u"inf"),
                          Text(u""), Text(u"86401")}) {
    text1.text = bad;
    panel.Command2_Click();
    EXPECT_EQ(command2.Caption(), u"自动刷新");
    EXPECT_FALSE(timer1.Enabled());
  }
  ASSERT_EQ(boxes.shown.size(), 6u);
  EXPECT_EQ(boxes.shown[0].first, u"系统提示");
  EXPECT_NE(boxes.shown[0].second.find(u"86400"), Text::npos);
}

TEST_F(PanelTest, BadPeriodDuringAutoRefreshKeepsTheLastIntervalSilently) {
  panel.Command2_Click();
  text1.text = u"不是数字";
  panel.Timer1_Timer();
  EXPECT_EQ(timer1.Interval(), 20000u);
  EXPECT_TRUE(timer1.Enabled());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(label1.Caption(), u"大厅个数：0");  // still refreshed
}

TEST_F(PanelTest, StayOnTopTickAndCheckBox) {
  panel.Timer2_Timer();
  EXPECT_EQ(desktop.calls,
            std::vector<std::string>{"SetWindowPos " +
                                     std::to_string(kPanelWindow) + " -1 19"});
  check1.value = 0;
  panel.Check1_Click();
  EXPECT_FALSE(timer2.Enabled());
  check1.value = 1;
  panel.Check1_Click();
  EXPECT_TRUE(timer2.Enabled());
}

TEST_F(PanelTest, TickWhileTheMissingClientBoxIsOpenDoesNoHarm) {
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  panel.Command1_Click();
  panel.Command2_Click();
  boxes.while_open = [&] { panel.Timer1_Timer(); };
  panel.Command3_Click();  // no QQGame.exe: the box opens
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(game_names.ListCount(), 1);
  EXPECT_EQ(desktop.blocked_calls, 0);
  panel.Form_Unload();
  EXPECT_TRUE(desktop.IsWindowVisible(game));
}

TEST(PeriodTest, SecondsBecomeMillisecondsRoundedHalfToEven) {
  EXPECT_EQ(IntervalFromPeriod(u"20"), 20000u);
  EXPECT_EQ(IntervalFromPeriod(u"0.5"), 500u);
  EXPECT_EQ(IntervalFromPeriod(u"0"), 0u);
  EXPECT_EQ(IntervalFromPeriod(u"65.536"), 65536u);
  EXPECT_EQ(IntervalFromPeriod(u"86400"), 86400000u);
  EXPECT_EQ(IntervalFromPeriod(u"0.0005"), 0u);  // 0.5 ms: to even 0
  EXPECT_EQ(IntervalFromPeriod(u"0.0015"), 2u);  // 1.5 ms: to even 2
  EXPECT_EQ(IntervalFromPeriod(u"0.0025"), 2u);  // 2.5 ms: to even 2
  EXPECT_EQ(IntervalFromPeriod(u"1e1"), 10000u);
  EXPECT_EQ(IntervalFromPeriod(u" 20 "), 20000u);
  EXPECT_EQ(IntervalFromPeriod(u"２０"), 20000u);  // full-width digits
  EXPECT_EQ(IntervalFromPeriod(u"-0"), 0u);
  EXPECT_EQ(IntervalFromPeriod(u".5"), 500u);
}

TEST(PeriodTest, TextThatIsNoUsablePeriodGivesNothing) {
  for (const Text& bad :
       {Text(u""), Text(u" "), Text(u"abc"), Text(u"20秒"), Text(u"-1"),
        Text(u"nan"), Text(u"NaN"), Text(u"inf"), Text(u"-inf"), Text(u"1e309"),
        Text(u"86400.001"), Text(u"0x10"), Text(u"1,5"), Text(u"."),
        Text(u"1e"), Text(u"+"), Text(u"2 0"), Text(200, u'9')}) {
    EXPECT_EQ(IntervalFromPeriod(bad), std::nullopt);
  }
}

}  // namespace
}  // namespace corvantis
