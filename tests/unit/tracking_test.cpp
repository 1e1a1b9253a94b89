// Handle and display texts, the scan's filter and classification, and the
// refresh cycle, on the fake desktop.
#include <gtest/gtest.h>

#include "control/window_control.h"
#include "fake_desktop.h"
#include "tracking/scan.h"

namespace corvantis {
namespace {

using testing::AtOrigin800x600;
using testing::FakeDesktop;
using testing::FakeWindow;
using testing::Utf8;

class Label final : public CaptionControl {
 public:
  explicit Label(Text caption) : caption_(std::move(caption)) {}
  Text Caption() const override { return caption_; }
  void SetCaption(const Text& caption) override { caption_ = caption; }

 private:
  Text caption_;
};

std::vector<std::string> Entries(const ListControl& list) {
  std::vector<std::string> entries;
  for (std::int16_t i = 0; i < list.ListCount(); ++i) {
    entries.push_back(Utf8(list.List(i)));
  }
  return entries;
}

TEST(HandleTextTest, WritesSignedDecimalAndReadsItBack) {
  EXPECT_EQ(HandleText(0), u"0");
  EXPECT_EQ(HandleText(65556), u"65556");
  EXPECT_EQ(HandleText(-2), u"-2");
  EXPECT_EQ(HandleText(INT32_MIN), u"-2147483648");
  EXPECT_EQ(HandleText(INT32_MAX), u"2147483647");
  for (const WindowHandle handle : {0, 1, -1, 65556, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(ParseHandleText(HandleText(handle)), handle);
  }
}

TEST(HandleTextTest, RejectsTextThatNamesNoHandle) {
  for (const Text& text :
       {Text(), Text(u"-"), Text(u"12a"), Text(u" 12"), Text(u"2147483648"),
        Text(u"-2147483649"), Text(u"99999999999999999999")}) {
    EXPECT_EQ(ParseHandleText(text), std::nullopt) << Utf8(text);
  }
}

TEST(HandleTextTest, DisplayTextIsPositionDashTitle) {
  EXPECT_EQ(DisplayText(1, u"QQ游戏"), u"1-QQ游戏");
  EXPECT_EQ(DisplayText(12, u"斗地主"), u"12-斗地主");
  EXPECT_EQ(DisplayText(3, u""), u"3-");
}

TEST(ClassifyTest, FilterNeedsClassVisibilityTitleAndAcceptedWidth) {
  const WindowFacts lobby{u"QQ游戏", u"QufPanelWnd", 800, true};
  EXPECT_EQ(ClassifyWindow(lobby), WindowKind::Lobby);

  for (const std::int32_t width : {360, 446, 486}) {
    WindowFacts narrow = lobby;
    narrow.width = width;
    EXPECT_EQ(ClassifyWindow(narrow), WindowKind::Untracked) << width;
  }
  for (const std::int32_t width : {0, 359, 361, 445, 447, 485, 487, -800}) {
    WindowFacts other = lobby;
    other.width = width;
    EXPECT_EQ(ClassifyWindow(other), WindowKind::Lobby) << width;
  }
  WindowFacts hidden = lobby;
  hidden.visible = false;
  EXPECT_EQ(ClassifyWindow(hidden), WindowKind::Untracked);
  WindowFacts untitled = lobby;
  untitled.title.clear();
  EXPECT_EQ(ClassifyWindow(untitled), WindowKind::Untracked);
}

TEST(ClassifyTest, ClassPrefixIsElevenCharactersCaseSensitive) {
  WindowFacts facts{u"斗地主", u"QufPanelWnd", 800, true};
  EXPECT_EQ(ClassifyWindow(facts), WindowKind::Game);
  facts.class_name = u"QufPanelWndEx";
  EXPECT_EQ(ClassifyWindow(facts), WindowKind::Game);
  for (const Text& other :
       {Text(u"qufpanelwnd"), Text(u"QufPanelWn"), Text(u"QUFPANELWND"),
        Text(u"XQufPanelWnd"), Text()}) {
    facts.class_name = other;
    EXPECT_EQ(ClassifyWindow(facts), WindowKind::Untracked) << Utf8(other);
  }
}

TEST(ClassifyTest, OnlyTheExactLobbyTitleIsALobby) {
  WindowFacts facts{u"QQ游戏", u"QufPanelWnd", 800, true};
  for (const Text& title : {Text(u"qq游戏"), Text(u"QQ游戏 "), Text(u" QQ游戏"),
                            Text(u"QQ游戏 - 斗地主")}) {
    facts.title = title;
    EXPECT_EQ(ClassifyWindow(facts), WindowKind::Game) << Utf8(title);
  }
}

class RefreshTest : public ::testing::Test {
 protected:
  void Refresh() {
    TrackedWindowWalks walks(desktop, false);
    RefreshWindowLists(desktop, lists, label1, label2, walks);
  }

  FakeDesktop desktop;
  MemoryList lobby_names, lobby_handles, game_names, game_handles;
  TrackedWindows lists{lobby_names, lobby_handles, game_names, game_handles};
  Label label1{u"大厅个数："};
  Label label2{u"游戏个数："};
};

TEST_F(RefreshTest, NoClientWindowsGivesEmptyListsAndZeroCounts) {
  desktop.Add(u"记事本", u"Notepad");
  Refresh();
  EXPECT_EQ(lobby_names.ListCount(), 0);
  EXPECT_EQ(lobby_handles.ListCount(), 0);
  EXPECT_EQ(game_names.ListCount(), 0);
  EXPECT_EQ(game_handles.ListCount(), 0);
  EXPECT_EQ(label1.Caption(), u"大厅个数：0");
  EXPECT_EQ(label2.Caption(), u"游戏个数：0");
}

TEST_F(RefreshTest, RecordsLobbiesAndGamesNumberedPerKindInEnumerationOrder) {
  const WindowHandle lobby1 = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game1 = desktop.Add(u"斗地主", u"QufPanelWnd");
  desktop.Add(u"QQ游戏", u"QufPanelWnd", 446);         // passed over
  desktop.Add(u"QQ游戏", u"QufPanelWnd", 800, false);  // hidden by others
  desktop.Add(u"", u"QufPanelWnd");                    // untitled
  desktop.Add(u"QQ游戏", u"Notepad");                  // other class
  const WindowHandle lobby2 = desktop.Add(u"QQ游戏", u"QufPanelWndFrame");
  const WindowHandle lobby3 = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game2 = desktop.Add(u"QQ游戏 ", u"QufPanelWnd");

  Refresh();

  EXPECT_EQ(Entries(lobby_names),
            (std::vector<std::string>{"1-QQ游戏", "2-QQ游戏", "3-QQ游戏"}));
  EXPECT_EQ(
      Entries(lobby_handles),
      (std::vector<std::string>{std::to_string(lobby1), std::to_string(lobby2),
                                std::to_string(lobby3)}));
  EXPECT_EQ(Entries(game_names),
            (std::vector<std::string>{"1-斗地主", "2-QQ游戏 "}));
  EXPECT_EQ(
      Entries(game_handles),
      (std::vector<std::string>{std::to_string(game1), std::to_string(game2)}));
  EXPECT_EQ(label1.Caption(), u"大厅个数：3");
  EXPECT_EQ(label2.Caption(), u"游戏个数：2");
}

TEST_F(RefreshTest, LeavesEveryTrackedWindowHiddenAtTheOrigin) {
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd", 1024);
  const WindowHandle other = desktop.Add(u"记事本", u"Notepad");
  Refresh();
  const FakeWindow& hidden_lobby = desktop.Window(lobby);
  EXPECT_FALSE(hidden_lobby.visible);
  EXPECT_FALSE(hidden_lobby.minimized);
  EXPECT_TRUE(AtOrigin800x600(hidden_lobby.rect));
  // A game is minimised before it is hidden, so the move reaches its parked
  // place; it comes to the origin when the next walk restores and moves it.
  EXPECT_FALSE(desktop.Window(game).visible);
  EXPECT_TRUE(desktop.Window(game).minimized);
  ShowTrackedWindows(desktop, lists);
  EXPECT_TRUE(AtOrigin800x600(desktop.GetWindowRect(game)));
  EXPECT_TRUE(desktop.Window(other).visible);
  EXPECT_EQ(desktop.Window(other).rect.left, 100);
}

TEST_F(RefreshTest, ShowsTheLastRefreshsWindowsBeforeScanningThemAgain) {
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  // Another program has the focus, and keeps it through both refreshes.
  const WindowHandle typing = desktop.Add(u"聊天", u"Chat");
  desktop.active = typing;
  Refresh();
  desktop.calls.clear();
  Refresh();

  const std::string l = std::to_string(lobby), g = std::to_string(game);
  const std::vector<std::string> expected = {
      // Show the last refresh's windows without activating them, lobbies
      // first; the game as it is, minimised, since a restore would give it
      // the focus. Both are still in place.
      "Responds " + l + " 0", "ShowWindow " + l + " 4", "Responds " + g + " 0",
      "ShowWindow " + g + " 7",
      // No show was refused, so no window can have fallen out of the
      // lists: scan at once.
      "EnumChildWindows 0 0",
      // Hide: lobbies directly, games minimised first, without activation;
      // the game is minimised already.
      "Responds " + l + " 0", "ShowWindow " + l + " 0", "Responds " + g + " 0",
      "ShowWindow " + g + " 0"};
  EXPECT_EQ(desktop.calls, expected);
  EXPECT_TRUE(desktop.activations.empty());
  EXPECT_EQ(desktop.active, typing);
  // Numbering restarts at 1: identical lists.
  EXPECT_EQ(Entries(lobby_names), (std::vector<std::string>{"1-QQ游戏"}));
  EXPECT_EQ(Entries(game_names), (std::vector<std::string>{"1-斗地主"}));
}

TEST_F(RefreshTest, MinimisedTrackedWindowIsRecordedAgainAndChosenRestored) {
  const WindowHandle game = desktop.Add(u"斗地主", u"QufPanelWnd");
  Refresh();
  desktop.Window(game).visible = true;
  desktop.Window(game).minimized = true;  // the user minimised it
  Refresh();
  EXPECT_EQ(Entries(game_names), (std::vector<std::string>{"1-斗地主"}));
  EXPECT_FALSE(desktop.IsWindowVisible(game));
  game_names.Select(0);
  SelectTrackedWindow(desktop, lists, game_names, game_handles);
  EXPECT_FALSE(desktop.Window(game).minimized);
  EXPECT_TRUE(AtOrigin800x600(desktop.GetWindowRect(game)));
}

TEST_F(RefreshTest, WindowsClosedSinceTheLastRefreshHarmNothing) {
  const WindowHandle gone = desktop.Add(u"斗地主", u"QufPanelWnd");
  desktop.Add(u"QQ游戏", u"QufPanelWnd");
  Refresh();
  desktop.Window(gone).alive = false;
  Refresh();
  EXPECT_EQ(game_names.ListCount(), 0);
  EXPECT_EQ(lobby_names.ListCount(), 1);
  EXPECT_EQ(desktop.blocked_calls, 0);
}

TEST_F(RefreshTest, WindowVanishingDuringTheScanIsSkipped) {
  desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle vanishing = desktop.Add(u"斗地主", u"QufPanelWnd");
  desktop.before_visit = [&](WindowHandle handle) {
    if (handle == vanishing) desktop.Window(vanishing).alive = false;
  };
  Refresh();
  EXPECT_EQ(lobby_names.ListCount(), 1);
  EXPECT_EQ(game_names.ListCount(), 0);
}

TEST_F(RefreshTest, TitlesKeepCharactersNoCodePageHas) {
  // Hangul, a character beyond 16 bits and a lone surrogate: no ANSI code
  // page holds all three.
  desktop.Add(u"한게임 QQ游戏", u"QufPanelWnd");
  desktop.Add(u"\U0001F600", u"QufPanelWnd");
  desktop.Add(Text(u"a") + u'\xD800', u"QufPanelWnd");
  Refresh();
  ASSERT_EQ(game_names.ListCount(), 3);
  EXPECT_EQ(game_names.List(0), u"1-한게임 QQ游戏");
  EXPECT_EQ(game_names.List(1), u"2-\U0001F600");
  EXPECT_EQ(game_names.List(2), Text(u"3-a") + u'\xD800');
}

TEST_F(RefreshTest, OverstatedTitleLengthIsBoundedAndTitleStillRead) {
  FakeWindow window;
  window.class_name = u"QufPanelWnd";
  window.title = u"QQ";
  window.reported_length = INT32_MAX;
  desktop.AddRaw(window);
  Refresh();
  EXPECT_EQ(Entries(game_names), (std::vector<std::string>{"1-QQ"}));
}

TEST_F(RefreshTest, ListsNeverGrowPastSixteenBitCounts) {
  for (int i = 0; i < kMaxListCount + 3; ++i) {
    desktop.Add(u"斗地主", u"QufPanelWnd");
  }
  const WindowHandle lobby = desktop.Add(u"QQ游戏", u"QufPanelWnd");
  const WindowHandle last_game = desktop.ZOrder()[kMaxListCount + 2];
  Refresh();
  EXPECT_EQ(game_handles.ListCount(), kMaxListCount);
  EXPECT_EQ(game_names.ListCount(), kMaxListCount);
  EXPECT_EQ(Utf8(game_names.List(kMaxListCount - 1)), "32767-斗地主");
  EXPECT_EQ(label2.Caption(), u"游戏个数：32767");
  EXPECT_EQ(lobby_names.ListCount(), 1);
  EXPECT_FALSE(desktop.Window(lobby).visible);
  // A window the lists cannot hold is left alone, not hidden.
  EXPECT_TRUE(desktop.Window(last_game).visible);
}

}  // namespace
}  // namespace corvantis
