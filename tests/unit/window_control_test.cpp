// Hiding, showing, selecting and closing tracked windows on the fake
// desktop, including windows whose thread has stopped answering.
#include "control/window_control.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/guard.h"
#include "fake_desktop.h"

namespace corvantis {
namespace {

using testing::AtOrigin800x600;
using testing::FakeDesktop;
using testing::FakeWindow;
using testing::kMinimizedRect;

class WindowControlTest : public ::testing::Test {
 protected:
  WindowHandle Track(const Text& title) {
    const WindowHandle handle = desktop.Add(title, u"QufPanelWnd", 1024);
    const bool lobby = title == u"QQ游戏";
    ListControl& handles = lobby ? lobby_handles : game_handles;
    MemoryList& names = lobby ? lobby_names : game_names;
    handles.AddItem(HandleText(handle));
    names.AddItem(DisplayText(handles.ListCount(), title));
    return handle;
  }

  std::vector<WindowHandle> Visible() {
    std::vector<WindowHandle> visible;
    for (const WindowHandle handle : desktop.ZOrder()) {
      if (desktop.IsWindowVisible(handle)) visible.push_back(handle);
    }
    return visible;
  }

  std::vector<std::string> ActingCalls() {
    std::vector<std::string> acting;
    for (const std::string& call : desktop.calls) {
      if (call.rfind("Responds", 0) != 0) acting.push_back(call);
    }
    return acting;
  }

  FakeDesktop desktop;
  MemoryList lobby_names, lobby_handles, game_names, game_handles;
  TrackedWindows lists{lobby_names, lobby_handles, game_names, game_handles};
};

TEST_F(WindowControlTest, EmptyListsTouchNoWindow) {
  desktop.Add(u"QQ游戏", u"QufPanelWnd");
  HideTrackedWindows(desktop, lists);
  ShowTrackedWindows(desktop, lists);
  CloseAllTrackedWindows(desktop, lists);
  EXPECT_TRUE(desktop.calls.empty());
}

TEST_F(WindowControlTest, HideWalksLobbiesThenGamesPlacingGamesFirst) {
  const auto l = std::to_string(Track(u"QQ游戏"));
  const auto g = std::to_string(Track(u"斗地主"));
  const auto l2 = std::to_string(Track(u"QQ游戏"));
  HideTrackedWindows(desktop, lists);
  EXPECT_EQ(
      ActingCalls(),
      (std::vector<std::string>{
          "ShowWindow " + l + " 0", "MoveWindow " + l + " 0 0 800 600 -1",
          "ShowWindow " + l2 + " 0", "MoveWindow " + l2 + " 0 0 800 600 -1",
          "MoveWindow " + g + " 0 0 800 600 -1", "ShowWindow " + g + " 7",
          "ShowWindow " + g + " 0"}));
  EXPECT_TRUE(Visible().empty());
  EXPECT_TRUE(desktop.activations.empty());
}

TEST_F(WindowControlTest, HideLeavesAloneWhatThisPanelAlreadyHid) {
  const WindowHandle lobby = Track(u"QQ游戏");
  const WindowHandle game = Track(u"斗地主");
  const WindowHandle restored = Track(u"中国象棋");
  const WindowHandle foreign = Track(u"连连看");
  HideTrackedWindows(desktop, lists);
  // The client restores one game by itself while it stays hidden, where it
  // was placed; another panel marks one game as its own.
  desktop.Window(restored).minimized = false;
  desktop.Window(foreign).hidden_by = {7, 70};
  desktop.calls.clear();
  HideTrackedWindows(desktop, lists);
  const std::string r = std::to_string(restored), f = std::to_string(foreign);
  EXPECT_EQ(ActingCalls(),
            (std::vector<std::string>{"ShowWindow " + r + " 7",
                                      "ShowWindow " + r + " 0",
                                      "ShowWindow " + f + " 0"}));
  for (const WindowHandle window : {lobby, game, restored, foreign}) {
    EXPECT_EQ(WhoHid(desktop, window), HiddenMark::ThisPanel);
    EXPECT_FALSE(desktop.IsWindowVisible(window));
  }
  EXPECT_TRUE(desktop.Window(restored).minimized);
}

TEST_F(WindowControlTest, HiddenGameComesBackRestoredAtTheOrigin) {
  const WindowHandle game = Track(u"斗地主");
  HideTrackedWindows(desktop, lists);
  ShowTrackedWindows(desktop, lists);
  const WindowRect rect = desktop.GetWindowRect(game);
  EXPECT_TRUE(desktop.IsWindowVisible(game));
  EXPECT_FALSE(desktop.Window(game).minimized);
  EXPECT_TRUE(AtOrigin800x600(rect));
}

TEST_F(WindowControlTest, SelectingShowsExactlyTheSelectedWindow) {
  Track(u"QQ游戏");
  const WindowHandle second_lobby = Track(u"QQ游戏");
  const WindowHandle game = Track(u"斗地主");
  // A window of the client that is not tracked, behind the others.
  const WindowHandle untracked = desktop.Add(u"宽360", u"QufPanelWnd", 360);
  lobby_names.Select(1);
  SelectTrackedWindow(desktop, lists, lobby_names, lobby_handles);
  EXPECT_EQ(Visible(), (std::vector<WindowHandle>{second_lobby, untracked}));

  game_names.Select(0);
  desktop.calls.clear();
  SelectTrackedWindow(desktop, lists, game_names, game_handles);
  EXPECT_EQ(Visible(), (std::vector<WindowHandle>{game, untracked}));
  // The game, placed and hidden by the first choice, is shown and given
  // the focus before the lobby chosen before is hidden, so that the focus
  // does not pass to the window behind it; the other lobby is left hidden.
  const std::string g = std::to_string(game);
  EXPECT_EQ(ActingCalls(),
            (std::vector<std::string>{
                "ShowWindow " + g + " 1", "SetForegroundWindow " + g + " 0",
                "ShowWindow " + std::to_string(second_lobby) + " 0"}));
  // Only the chosen windows were ever activated.
  EXPECT_EQ(desktop.activations, (std::vector<WindowHandle>{
                                     second_lobby, second_lobby, game, game}));
  EXPECT_EQ(desktop.active, game);
  // The other list keeps its selection.
  EXPECT_EQ(lobby_names.ListIndex(), 1);
}

TEST_F(WindowControlTest, GamesAreRestoredAtTheOriginAndNeverMovedMinimised) {
  const WindowHandle shown = Track(u"斗地主");  // 1024 wide
  const WindowHandle minimised = Track(u"中国象棋");
  desktop.Window(minimised).minimized = true;
  const WindowRect users_place = desktop.Window(minimised).rect;
  HideTrackedWindows(desktop, lists);
  // The game on screen is restored at the origin whoever restores it; the
  // minimised one rests where the system keeps minimised windows.
  EXPECT_TRUE(AtOrigin800x600(desktop.Window(shown).rect));
  for (const std::string& call : desktop.calls) {
    EXPECT_NE(call.rfind("MoveWindow " + std::to_string(minimised), 0), 0u);
  }
  EXPECT_EQ(desktop.GetWindowRect(minimised).left, kMinimizedRect.left);

  // Chosen, it is placed once restored.
  game_names.Select(1);
  SelectTrackedWindow(desktop, lists, game_names, game_handles);
  EXPECT_TRUE(desktop.IsWindowVisible(minimised));
  EXPECT_FALSE(desktop.IsIconic(minimised));
  EXPECT_TRUE(AtOrigin800x600(desktop.GetWindowRect(minimised)));
  EXPECT_FALSE(AtOrigin800x600(users_place));
}

TEST_F(WindowControlTest, ClickWithNoSelectionChangesNothing) {
  Track(u"QQ游戏");
  SelectTrackedWindow(desktop, lists, lobby_names, lobby_handles);
  EXPECT_TRUE(desktop.calls.empty());
  EXPECT_EQ(Visible().size(), 1u);
}

TEST_F(WindowControlTest, CloseAllAsksGamesBeforeLobbiesAndKeepsTheLists) {
  const WindowHandle lobby = Track(u"QQ游戏");
  const WindowHandle game1 = Track(u"斗地主");
  const WindowHandle game2 = Track(u"中国象棋");
  CloseAllTrackedWindows(desktop, lists);
  EXPECT_EQ(desktop.close_log,
            (std::vector<WindowHandle>{game1, game2, lobby}));
  EXPECT_EQ(ActingCalls(),
            (std::vector<std::string>{
                "SendMessageA " + std::to_string(game1) + " 16",
                "SendMessageA " + std::to_string(game2) + " 16",
                "SendMessageA " + std::to_string(lobby) + " 16"}));
  EXPECT_EQ(lobby_names.ListCount(), 1);
  EXPECT_EQ(game_names.ListCount(), 2);
  // Closed windows stay listed; acting on them again harms nothing.
  game_names.Select(0);
  SelectTrackedWindow(desktop, lists, game_names, game_handles);
  ShowTrackedWindows(desktop, lists);
  EXPECT_EQ(desktop.blocked_calls, 0);
}

TEST_F(WindowControlTest, WindowThatAsksBeforeClosingIsWaitedFor) {
  const WindowHandle lobby = Track(u"QQ游戏");
  const WindowHandle game = Track(u"斗地主");
  desktop.Window(game).confirms_close = true;
  desktop.confirm_answer = false;  // the user keeps the game
  CloseAllTrackedWindows(desktop, lists);
  EXPECT_EQ(desktop.close_log, (std::vector<WindowHandle>{game, lobby}));
  EXPECT_TRUE(desktop.Window(game).alive);
  EXPECT_FALSE(desktop.Window(lobby).alive);
  EXPECT_EQ(desktop.calls[1], "SendMessageA " + std::to_string(game) + " 16");
}

TEST_F(WindowControlTest, HungWindowIsNeverCalledSynchronously) {
  const WindowHandle lobby = Track(u"QQ游戏");
  const WindowHandle hung = Track(u"斗地主");
  const WindowHandle game = Track(u"中国象棋");
  desktop.Window(hung).hung = true;

  HideTrackedWindows(desktop, lists);
  ShowTrackedWindows(desktop, lists);
  game_names.Select(1);
  SelectTrackedWindow(desktop, lists, game_names, game_handles);
  CloseAllTrackedWindows(desktop, lists);

  EXPECT_EQ(desktop.blocked_calls, 0);
  // The responsive windows were handled as usual.
  EXPECT_EQ(desktop.close_log, (std::vector<WindowHandle>{game, lobby}));
  // One probe of the hung window per walk, however many calls it gets.
  int probes = 0;
  for (const std::string& call : desktop.calls) {
    probes += call == "Responds " + std::to_string(hung) + " 0";
  }
  EXPECT_EQ(probes, 4);
}

TEST_F(WindowControlTest, HungWindowCatchesUpWhenItsThreadRunsAgain) {
  const WindowHandle hung = Track(u"斗地主");
  const auto expect_shown_at_origin = [&] {
    EXPECT_TRUE(desktop.Window(hung).visible);
    EXPECT_FALSE(desktop.Window(hung).minimized);
    EXPECT_TRUE(AtOrigin800x600(desktop.Window(hung).rect));
  };
  desktop.Window(hung).hung = true;
  HideTrackedWindows(desktop, lists);
  ShowTrackedWindows(desktop, lists);
  EXPECT_TRUE(desktop.Window(hung).visible);  // nothing applied yet
  desktop.Wake(hung);
  // The queued calls apply in order: hidden, then shown at the origin.
  expect_shown_at_origin();

  // Hidden while it answered, it hangs before a refresh: the show before
  // the scan may come after the scan, and the window then falls out of the
  // lists, so it is restored, not only made visible as it is.
  HideTrackedWindows(desktop, lists);
  desktop.Window(hung).hung = true;
  TrackedWindowWalks(desktop, false).ShowAll(lists);
  EXPECT_FALSE(desktop.Window(hung).visible);
  desktop.Wake(hung);
  expect_shown_at_origin();
}

TEST_F(WindowControlTest, HungWindowIsAskedToCloseWithoutWaiting) {
  const WindowHandle lobby = Track(u"QQ游戏");
  const WindowHandle hung = Track(u"斗地主");
  desktop.Window(hung).hung = true;
  CloseAllTrackedWindows(desktop, lists);
  EXPECT_EQ(desktop.close_log, std::vector<WindowHandle>{lobby});
  desktop.Wake(hung);
  EXPECT_EQ(desktop.close_log, (std::vector<WindowHandle>{lobby, hung}));
  EXPECT_FALSE(desktop.Window(hung).alive);
}

}  // namespace
}  // namespace corvantis

namespace corvantis {
namespace {

TEST_F(WindowControlTest, HiddenWindowsCarryThePanelsMarkUntilShown) {
  const WindowHandle lobby = Track(u"QQ游戏");
  const WindowHandle game = Track(u"斗地主");
  HideTrackedWindows(desktop, lists);
  EXPECT_EQ(WhoHid(desktop, lobby), HiddenMark::ThisPanel);
  EXPECT_EQ(WhoHid(desktop, game), HiddenMark::ThisPanel);
  game_names.Select(0);
  SelectTrackedWindow(desktop, lists, game_names, game_handles);
  EXPECT_EQ(WhoHid(desktop, game), HiddenMark::None);
  EXPECT_EQ(WhoHid(desktop, lobby), HiddenMark::ThisPanel);
  ShowTrackedWindows(desktop, lists);
  EXPECT_EQ(WhoHid(desktop, lobby), HiddenMark::None);
}

// Hidden windows marked by: an ended panel; a process id now used by
// another process started later; a process that may not even be queried;
// a panel that still runs; nobody.
class MarkedWindowsTest : public WindowControlTest {
 protected:
  void SetUp() override {
    for (const WindowHandle handle :
         {ended, reused, unqueryable, running, unmarked}) {
      desktop.Window(handle).visible = false;
    }
    desktop.Window(ended).minimized = true;
    desktop.Window(ended).hidden_by = {7, 70};
    desktop.Window(reused).hidden_by = {8, 80};
    desktop.processes[8] = 81;
    desktop.Window(unqueryable).hidden_by = {9, 90};
    desktop.Window(running).hidden_by = {10, 100};
    desktop.processes[10] = 100;
    FakeWindow panel_window;
    panel_window.title = u"Corvantis";
    panel_window.class_name = u"CorvantisForm1";
    panel_window.process_id = 10;
    panel_ = desktop.AddRaw(panel_window);
  }

  bool ShownAtOrigin(WindowHandle handle) {
    const FakeWindow& window = desktop.Window(handle);
    return window.visible && !window.minimized &&
           AtOrigin800x600(window.rect) && window.hidden_by.id == 0;
  }

  const WindowHandle ended = desktop.Add(u"斗地主", u"QufPanelWnd", 1024);
  const WindowHandle reused = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle unqueryable = desktop.Add(u"五子棋", u"QufPanelWnd");
  const WindowHandle running = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle unmarked = desktop.Add(u"象棋", u"QufPanelWnd", 640);
  // The running panel's own window.
  WindowHandle panel_ = 0;
};

TEST_F(MarkedWindowsTest, StartShowsWhatEndedPanelsLeftHiddenOnly) {
  EXPECT_FALSE(RestoreWindowsOfEndedPanels(desktop, u"CorvantisForm1"));
  for (const WindowHandle handle : {ended, reused, unqueryable}) {
    EXPECT_TRUE(ShownAtOrigin(handle)) << handle;
  }
  EXPECT_FALSE(desktop.Window(running).visible);
  EXPECT_EQ(WhoHid(desktop, running), HiddenMark::RunningPanel);
  EXPECT_FALSE(desktop.Window(unmarked).visible);
  // The lists are not touched.
  EXPECT_EQ(lobby_handles.ListCount(), 0);
}

// The crash path and the guard: exactly the windows of one panel, named by
// id and start, with queued calls only, so that a hung window holds
// nothing up and still comes back once its thread runs again.
TEST_F(MarkedWindowsTest, OnePanelsWindowsComeBackWithQueuedCallsOnly) {
  desktop.Window(reused).hidden_by = {7, 71};  // the same id, another start
  desktop.Window(ended).hung = true;
  ShowWindowsMarkedBy(desktop, {7, 70});
  EXPECT_EQ(desktop.blocked_calls, 0);
  // Not even an enumeration, which allocates its snapshot.
  for (const std::string& call : desktop.calls) {
    EXPECT_TRUE(call.rfind("ShowWindowAsync", 0) == 0 ||
                call.rfind("MoveWindowAsync", 0) == 0)
        << call;
  }
  EXPECT_EQ(desktop.Window(ended).hidden_by.id, 0u);
  EXPECT_FALSE(desktop.Window(ended).visible);
  desktop.Wake(ended);
  EXPECT_TRUE(ShownAtOrigin(ended));
  for (const WindowHandle handle : {reused, unqueryable, running, unmarked}) {
    EXPECT_FALSE(desktop.Window(handle).visible) << handle;
  }
  EXPECT_EQ(desktop.Window(reused).hidden_by.start, 71u);
}

// The walk goes on past a window that goes away as it stands on it, and
// ends even when the z-order keeps sending it back: each window it visits
// comes to the top.
TEST_F(MarkedWindowsTest, TheWalkOutlastsAWindowGoneAndAZOrderInCircles) {
  desktop.Window(running).hidden_by = {7, 70};  // behind the one that goes
  desktop.before_visit = [&](WindowHandle handle) {
    if (handle == reused) desktop.Window(reused).alive = false;
  };
  ShowWindowsMarkedBy(desktop, {7, 70});
  EXPECT_TRUE(ShownAtOrigin(ended));
  EXPECT_TRUE(ShownAtOrigin(running));

  desktop.Window(ended).hidden_by = desktop.Window(running).hidden_by = {8, 80};
  desktop.before_visit = [&](WindowHandle handle) {
    desktop.BringToTop(handle);
  };
  ShowWindowsMarkedBy(desktop, {8, 80});
  EXPECT_EQ(desktop.Window(ended).hidden_by.id, 0u);
}

// The guard's view of the process its command line names.
class FakeGuardedProcess final : public GuardedProcess {
 public:
  bool Open(std::uint32_t process_id) override {
    return opens && process_id == panel.id;
  }
  std::uint32_t Start() override { return start; }
  bool RunsThisProgram() override { return this_program; }
  bool BecomeOnlyGuard(PanelProcess) override { return only_guard; }
  void WaitForEnd() override {
    ++waits;
    if (while_waiting) while_waiting();
  }

  PanelProcess panel{7, 70};
  // False as for a process of another user: access denied.
  bool opens = true;
  std::uint32_t start = 70;
  bool this_program = true;
  bool only_guard = true;
  int waits = 0;
  std::function<void()> while_waiting;
};

TEST_F(MarkedWindowsTest, AGuardShowsItsPanelsWindowsOnceItIsNoLongerThere) {
  // Whatever keeps the guard from its panel, the panel no longer runs.
  for (const auto& gone : std::vector<std::function<void(FakeGuardedProcess&)>>{
           [](FakeGuardedProcess& process) { process.opens = false; },
           [](FakeGuardedProcess& process) { process.start = 0; },
           [](FakeGuardedProcess& process) { process.start = 71; }}) {
    desktop.Window(ended).visible = false;
    desktop.Window(ended).hidden_by = {7, 70};
    FakeGuardedProcess process;
    gone(process);
    EXPECT_EQ(GuardPanel(desktop, process, {7, 70}), 0);
    EXPECT_EQ(process.waits, 0);
    EXPECT_TRUE(ShownAtOrigin(ended));
    EXPECT_EQ(desktop.Window(reused).hidden_by.id, 8u);
  }

  // The panel runs: the guard waits for its end before it shows anything.
  desktop.Window(ended).visible = false;
  desktop.Window(ended).hidden_by = {7, 70};
  FakeGuardedProcess process;
  process.while_waiting = [&] { EXPECT_FALSE(desktop.Window(ended).visible); };
  EXPECT_EQ(GuardPanel(desktop, process, {7, 70}), 0);
  EXPECT_EQ(process.waits, 1);
  EXPECT_TRUE(ShownAtOrigin(ended));

  // Another program under the id, or a second guard: it leaves at once.
  desktop.Window(ended).visible = false;
  desktop.Window(ended).hidden_by = {7, 70};
  process.this_program = false;
  EXPECT_EQ(GuardPanel(desktop, process, {7, 70}), 1);
  process.this_program = true;
  process.only_guard = false;
  EXPECT_EQ(GuardPanel(desktop, process, {7, 70}), 1);
  EXPECT_EQ(process.waits, 1);
  EXPECT_FALSE(desktop.Window(ended).visible);
}

}  // namespace
}  // namespace corvantis
