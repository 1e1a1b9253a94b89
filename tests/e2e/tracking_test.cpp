// The tracking core on the real desktop: scans, hides, shows, selects and
// closes the windows of simulated clients through Win32WindowSystem. The
// enumeration follows the z-order, which every show changes, so entries are
// found by their text, never by their position.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "control/window_control.h"
#include "harness/harness.h"
#include "harness/sim_client.h"
#include "platform/win32_handles.h"
#include "platform/win32_window_system.h"
#include "tracking/scan.h"

namespace corvantis::e2e {
namespace {

constexpr double kBoundMs = 3000;

class Label final : public CaptionControl {
 public:
  Text Caption() const override { return caption_; }
  void SetCaption(const Text& caption) override { caption_ = caption; }

 private:
  Text caption_;
};

std::wstring Wide(const Text& text) {
  return std::wstring(text.begin(), text.end());
}

// One tracked window as the lists record it.
struct Entry {
  std::wstring display;  // "N-title"
  std::wstring title;
  HWND window;
};

bool operator<(const Entry& a, const Entry& b) { return a.display < b.display; }

class TrackingTest : public testing::Test {
 protected:
  void Refresh() {
    TrackedWindowWalks walks(desktop_, false);
    RefreshWindowLists(desktop_, lists_, label1_, label2_, walks);
  }

  static std::vector<Entry> Entries(const ListControl& names,
                                    const ListControl& handles) {
    std::vector<Entry> entries;
    for (std::int16_t i = 0; i < names.ListCount(); ++i) {
      std::wstring display = Wide(names.List(i));
      size_t dash = display.find(L'-');
      entries.push_back({display,
                         dash == std::wstring::npos ? std::wstring()
                                                    : display.substr(dash + 1),
                         ToHwnd(HandleAt(handles, i))});
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  }
  std::vector<Entry> Lobbies() const {
    return Entries(lobby_names_, lobby_handles_);
  }
  std::vector<Entry> Games() const {
    return Entries(game_names_, game_handles_);
  }
  std::vector<HWND> Tracked() const {
    std::vector<HWND> windows;
    for (const auto& entries : {Lobbies(), Games()}) {
      for (const Entry& entry : entries) windows.push_back(entry.window);
    }
    return windows;
  }

  // Selects, in the list names, the entry whose title is title, and shows
  // its window as the panel does on a click.
  void Select(MemoryList& names, MemoryList& handles,
              const std::wstring& title) {
    int index = -1;
    for (std::int16_t i = 0; i < names.ListCount(); ++i) {
      std::wstring display = Wide(names.List(i));
      if (display.substr(display.find(L'-') + 1) == title) index = i;
    }
    ASSERT_GE(index, 0) << "no entry for this title";
    names.Select(static_cast<std::int16_t>(index));
    SelectTrackedWindow(desktop_, lists_, names, handles);
  }

  static int VisibleCount(const std::vector<HWND>& windows) {
    return static_cast<int>(
        std::count_if(windows.begin(), windows.end(),
                      [](HWND w) { return IsWindowVisible(w); }));
  }

  static void ExpectRect(HWND window, RECT expected) {
    RECT rect = ReadWindow(window).rect;
    EXPECT_EQ(rect.left, expected.left) << WindowTitle(window);
    EXPECT_EQ(rect.top, expected.top) << WindowTitle(window);
    EXPECT_EQ(rect.right, expected.right) << WindowTitle(window);
    EXPECT_EQ(rect.bottom, expected.bottom) << WindowTitle(window);
  }

  // A minimised window stays where the system keeps minimised windows; it
  // is restored at the corner, as only its client can read, and the client
  // never saw it moved while minimised.
  static void ExpectHiddenAtTheCorner(const SimClient& client, HWND window) {
    WindowState state = ReadWindow(window);
    EXPECT_TRUE(state.exists);
    EXPECT_FALSE(state.visible) << WindowTitle(window);
    if (!state.iconic) {
      ExpectRect(window, kPlaced);
      return;
    }
    std::vector<SimLogEntry> moves;
    EXPECT_TRUE(WaitUntil(
        [&] {
          moves = client.MovesOf(window);
          return !moves.empty() && moves.back().change == L"minimise" &&
                 EqualRect(&moves.back().restored, &kPlaced);
        },
        3000))
        << WindowTitle(window) << "\n"
        << client.LogText();
    for (const SimLogEntry& move : moves) {
      EXPECT_NE(move.change, L"minimised") << WindowTitle(window);
    }
  }

  static constexpr RECT kPlaced = {0, 0, 800, 600};

  Win32WindowSystem desktop_;
  MemoryList lobby_names_, lobby_handles_, game_names_, game_handles_;
  TrackedWindows lists_{lobby_names_, lobby_handles_, game_names_,
                        game_handles_};
  Label label1_, label2_;
};

TEST_F(TrackingTest, ScanKeepsClientWindowsAndPassesOverTheRest) {
  SimClient client({
      {L"QufPanelWnd", L"QQ游戏", 1000, 700},
      {L"QufPanelWnd", L"QQ游戏", 900, 650},
      {L"QufPanelWndGame", L"斗地主", 1000, 700},  // longer class name
      {L"QufPanelWnd", L"QQ游戏 ", 700, 500},      // not exactly the lobby
      {L"QufPanelWnd", L"한게임 象棋", 800, 600},  // no ANSI code page has both
      {L"QufPanelWnd", L"中国象棋", 359, 500},
      {L"QufPanelWnd", L"升级", 487, 500},
      {L"QufPanelWn", L"类名太短", 700, 500},
      {L"XQufPanelWnd", L"前缀不对", 700, 500},
      {L"QufPanelWnd", L"隐藏的", 700, 500, false},
      {L"QufPanelWnd", L"", 700, 500},
      {L"QufPanelWnd", L"宽360", 360, 500},
      {L"QufPanelWnd", L"宽446", 446, 500},
      {L"QufPanelWnd", L"宽486", 486, 500},
  });
  ASSERT_TRUE(client.started());
  Refresh();

  std::vector<Entry> lobbies = Lobbies();
  ASSERT_EQ(lobbies.size(), 2u);
  EXPECT_EQ(lobbies[0].display, L"1-QQ游戏");
  EXPECT_EQ(lobbies[1].display, L"2-QQ游戏");
  std::vector<HWND> lobby_windows = {lobbies[0].window, lobbies[1].window};
  std::vector<HWND> client_lobbies = client.HandlesOf(L"QQ游戏");
  std::sort(lobby_windows.begin(), lobby_windows.end());
  std::sort(client_lobbies.begin(), client_lobbies.end());
  EXPECT_EQ(lobby_windows, client_lobbies);

  std::set<std::wstring> titles, positions;
  for (const Entry& game : Games()) {
    titles.insert(game.title);
    positions.insert(game.display.substr(0, game.display.find(L'-')));
    EXPECT_EQ(game.window, client.HandleOf(game.title)) << game.display;
  }
  EXPECT_EQ(titles,
            (std::set<std::wstring>{L"斗地主", L"QQ游戏 ", L"한게임 象棋",
                                    L"中国象棋", L"升级"}));
  EXPECT_EQ(positions, (std::set<std::wstring>{L"1", L"2", L"3", L"4", L"5"}));
  EXPECT_EQ(label1_.Caption(), u"大厅个数：2");
  EXPECT_EQ(label2_.Caption(), u"游戏个数：5");

  // What the scan passes over it leaves alone.
  for (const wchar_t* title : {L"类名太短", L"前缀不对", L"宽360", L"宽446"}) {
    WindowState state = ReadWindow(client.HandleOf(title));
    EXPECT_TRUE(state.visible) << title;
    EXPECT_NE(state.rect.right - state.rect.left, 800) << title;
  }
  EXPECT_FALSE(ReadWindow(client.HandleOf(L"隐藏的")).visible);
}

// The class test is case-sensitive. Another process's class name is read
// from an atom table that keeps the spelling registered first while any
// window of it lives, so no "QufPanelWnd" window may exist beside the
// variant.
TEST_F(TrackingTest, ScanPassesOverAClassThatDiffersInCase) {
  SimClient lower({{L"qufpanelwnd", L"QQ游戏", 1000, 700}});
  ASSERT_TRUE(lower.started());
  SimClient client({{L"QufPanelWndGame", L"斗地主", 700, 500}});
  ASSERT_TRUE(client.started());
  ASSERT_EQ(ClassName(lower.HandleOf(L"QQ游戏")), L"qufpanelwnd");

  Refresh();
  EXPECT_TRUE(Lobbies().empty());
  ASSERT_EQ(Games().size(), 1u);
  EXPECT_EQ(Games()[0].display, L"1-斗地主");
  WindowState state = ReadWindow(lower.HandleOf(L"QQ游戏"));
  EXPECT_TRUE(state.visible);
  EXPECT_EQ(state.rect.right - state.rect.left, 1000);
}

TEST_F(TrackingTest, RefreshLeavesTrackedWindowsHiddenAtTheCorner) {
  SimClient client({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"斗地主", 900, 650},
                    {L"QufPanelWnd", L"中国象棋", 700, 500}});
  ASSERT_TRUE(client.started());
  Refresh();
  ASSERT_EQ(Tracked().size(), 3u);
  for (HWND window : Tracked()) ExpectHiddenAtTheCorner(client, window);
  // Games are minimised before they are hidden; lobbies are not.
  EXPECT_FALSE(ReadWindow(client.HandleOf(L"QQ游戏")).iconic);
  EXPECT_TRUE(ReadWindow(client.HandleOf(L"斗地主")).iconic);
  EXPECT_TRUE(ReadWindow(client.HandleOf(L"中国象棋")).iconic);

  // The next refresh shows them again first, so it finds them all.
  Refresh();
  EXPECT_EQ(Lobbies().size(), 1u);
  EXPECT_EQ(Games().size(), 2u);
  for (HWND window : Tracked()) ExpectHiddenAtTheCorner(client, window);
  EXPECT_EQ(label2_.Caption(), u"游戏个数：2");
}

TEST_F(TrackingTest, SelectionShowsExactlyTheChosenWindow) {
  SimClient client({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"斗地主", 900, 650},
                    {L"QufPanelWnd", L"中国象棋", 700, 500}});
  ASSERT_TRUE(client.started());
  Refresh();
  ASSERT_EQ(Tracked().size(), 4u);

  Select(game_names_, game_handles_, L"中国象棋");
  HWND chess = client.HandleOf(L"中国象棋");
  EXPECT_EQ(VisibleCount(Tracked()), 1);
  EXPECT_TRUE(IsWindowVisible(chess));
  EXPECT_FALSE(IsIconic(chess));
  ExpectRect(chess, kPlaced);

  Select(game_names_, game_handles_, L"斗地主");
  EXPECT_EQ(VisibleCount(Tracked()), 1);
  EXPECT_TRUE(IsWindowVisible(client.HandleOf(L"斗地主")));
  ExpectHiddenAtTheCorner(client, chess);

  Select(lobby_names_, lobby_handles_, L"QQ游戏");
  EXPECT_EQ(VisibleCount(Tracked()), 1);
  for (HWND lobby : client.HandlesOf(L"QQ游戏")) {
    if (IsWindowVisible(lobby)) ExpectRect(lobby, kPlaced);
  }
  EXPECT_EQ(VisibleCount(client.HandlesOf(L"QQ游戏")), 1);

  // After the next refresh has shown, placed and hidden it again too.
  Refresh();
  Select(game_names_, game_handles_, L"斗地主");
  EXPECT_EQ(VisibleCount(Tracked()), 1);
  ExpectRect(client.HandleOf(L"斗地主"), kPlaced);
}

TEST_F(TrackingTest, CloseAllReachesGamesBeforeLobbies) {
  SimClient client({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"斗地主", 900, 650},
                    {L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"中国象棋", 700, 500},
                    {L"QufPanelWnd", L"宽360", 360, 500}});
  ASSERT_TRUE(client.started());
  Refresh();
  ASSERT_EQ(Tracked().size(), 4u);
  std::vector<HWND> tracked = Tracked();

  CloseAllTrackedWindows(desktop_, lists_);
  std::vector<std::wstring> closed = client.ClosedTitles();
  ASSERT_EQ(closed.size(), 4u);
  EXPECT_EQ(std::set<std::wstring>(closed.begin(), closed.begin() + 2),
            (std::set<std::wstring>{L"斗地主", L"中国象棋"}));
  EXPECT_EQ(closed[2], L"QQ游戏");
  EXPECT_EQ(closed[3], L"QQ游戏");
  for (HWND window : tracked) EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(IsWindow(client.HandleOf(L"宽360")));
}

// A game that asks before it closes holds the lobbies back until the user
// has answered it.
TEST_F(TrackingTest, CloseAllWaitsForAGameThatAsks) {
  SimClient client({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"斗地主", 900, 650, true, L"confirm"}});
  ASSERT_TRUE(client.started());
  Refresh();
  ASSERT_EQ(Tracked().size(), 2u);

  std::thread close_all([&] { CloseAllTrackedWindows(desktop_, lists_); });
  HWND box = WaitForMessageBox(client.process().id(), 5000);
  EXPECT_EQ(client.ClosedTitles(), (std::vector<std::wstring>{L"斗地主"}));
  if (box == nullptr || !AnswerMessageBox(box, IDYES)) {
    ADD_FAILURE() << "the game's question was not answered";
    client.process().Kill();  // releases the close-all call
  }
  close_all.join();
  EXPECT_EQ(client.ClosedTitles(),
            (std::vector<std::wstring>{L"斗地主", L"QQ游戏"}));
}

// A window whose thread has stopped pumping must not hold the panel: every
// operation ends in bounded time, from the hang's first moment (before the
// system marks the window hung) and after.
TEST_F(TrackingTest, HungGameHoldsNothingUp) {
  SimClient client({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"卡住的游戏", 900, 650, true, L"hung"},
                    {L"QufPanelWnd", L"斗地主", 700, 500}});
  ASSERT_TRUE(client.started());
  HWND hung = client.HandleOf(L"卡住的游戏");
  Refresh();
  ASSERT_EQ(Tracked().size(), 3u);
  Select(game_names_, game_handles_, L"卡住的游戏");
  ASSERT_TRUE(IsWindowVisible(hung));

  client.Hang();
  ASSERT_TRUE(WaitUntil([&] { return !Responds(hung, 50); }, 2000));
  for (bool marked_hung : {false, true}) {
    if (marked_hung) {
      ASSERT_TRUE(WaitUntil([&] { return IsHungAppWindow(hung) != 0; }, 10000));
    }
    SCOPED_TRACE(marked_hung ? "marked hung" : "first moments of the hang");
    EXPECT_LT(Measure([&] { Refresh(); }), kBoundMs);
    EXPECT_LT(Measure([&] { HideTrackedWindows(desktop_, lists_); }), kBoundMs);
    EXPECT_LT(Measure([&] { ShowTrackedWindows(desktop_, lists_); }), kBoundMs);
    EXPECT_LT(Measure([&] { Select(game_names_, game_handles_, L"斗地主"); }),
              kBoundMs);
    EXPECT_TRUE(IsWindowVisible(client.HandleOf(L"斗地主")));
    EXPECT_FALSE(IsWindowVisible(client.HandleOf(L"QQ游戏")));
  }
  EXPECT_LT(Measure([&] { CloseAllTrackedWindows(desktop_, lists_); }),
            kBoundMs);
  EXPECT_TRUE(
      WaitUntil([&] { return !IsWindow(client.HandleOf(L"QQ游戏")); }, 2000));

  // Once it runs again the hung game gets what was queued for it.
  client.Resume();
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(hung); }, 3000));
}

// A hung game that was shown again in a refresh it could not answer is not
// lost: once it recovers, the next refresh tracks it again.
TEST_F(TrackingTest, GameThatHungDuringARefreshIsFoundAgain) {
  SimClient client({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"卡住的游戏", 900, 650, true, L"hung"}});
  ASSERT_TRUE(client.started());
  HWND hung = client.HandleOf(L"卡住的游戏");
  Refresh();
  ASSERT_EQ(Games().size(), 1u);

  client.Hang();
  ASSERT_TRUE(WaitUntil([&] { return !Responds(hung, 50); }, 2000));
  Refresh();
  client.Resume();
  ASSERT_TRUE(WaitUntil([&] { return Responds(hung, 50); }, 2000));
  Refresh();
  ASSERT_EQ(Games().size(), 1u);
  EXPECT_EQ(Games()[0].window, hung);
  ExpectHiddenAtTheCorner(client, hung);
}

// Windows that are gone leave handles behind in the lists; using them
// harms nothing and the next refresh forgets them.
TEST_F(TrackingTest, ClosedWindowsLeaveHarmlessHandles) {
  auto client = std::make_unique<SimClient>(
      std::vector<SimWindow>{{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                             {L"QufPanelWnd", L"斗地主", 900, 650}});
  ASSERT_TRUE(client->started());
  Refresh();
  ASSERT_EQ(Tracked().size(), 2u);
  client.reset();
  SimClient other({{L"QufPanelWnd", L"中国象棋", 700, 500}});
  ASSERT_TRUE(other.started());

  EXPECT_LT(Measure([&] { Select(game_names_, game_handles_, L"斗地主"); }),
            kBoundMs);
  EXPECT_LT(Measure([&] { HideTrackedWindows(desktop_, lists_); }), kBoundMs);
  EXPECT_LT(Measure([&] { ShowTrackedWindows(desktop_, lists_); }), kBoundMs);
  EXPECT_LT(Measure([&] { CloseAllTrackedWindows(desktop_, lists_); }),
            kBoundMs);
  EXPECT_TRUE(other.ClosedTitles().empty());
  EXPECT_TRUE(IsWindowVisible(other.HandleOf(L"中国象棋")));

  Refresh();
  EXPECT_TRUE(Lobbies().empty());
  ASSERT_EQ(Games().size(), 1u);
  EXPECT_EQ(Games()[0].display, L"1-中国象棋");
}

// Windows destroyed and created while the scan walks the desktop: every
// refresh ends, and the lists stay paired with live or recorded handles.
TEST_F(TrackingTest, RefreshWhileWindowsComeAndGo) {
  std::vector<SimWindow> windows;
  for (int i = 0; i < 12; ++i) {
    windows.push_back({L"QufPanelWnd", L"游戏" + std::to_wstring(i), 700, 500});
  }
  windows.push_back({L"QufPanelWnd", L"QQ游戏", 1000, 700});
  SimClient client(windows, {10, false});
  ASSERT_TRUE(client.started());
  for (int round = 0; round < 8; ++round) {
    EXPECT_LT(Measure([&] { Refresh(); }), kBoundMs);
    EXPECT_EQ(lobby_names_.ListCount(), lobby_handles_.ListCount());
    EXPECT_EQ(game_names_.ListCount(), game_handles_.ListCount());
    EXPECT_LE(game_names_.ListCount(), 12);
    EXPECT_LE(lobby_names_.ListCount(), 1);
  }
  EXPECT_TRUE(client.process().Running());
}

}  // namespace
}  // namespace corvantis::e2e
