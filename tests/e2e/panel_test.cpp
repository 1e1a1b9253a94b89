// Corvantis.exe driven as a user would, beside a simulated client: the
// panel's face, the buttons, the lists, the keyboard and every way of
// closing it, read from outside.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/form1_win32.h"
#include "harness/harness.h"
#include "harness/panel_fixture.h"

namespace corvantis::e2e {
namespace {

using PanelTest = PanelFixture;

struct ControlPlace {
  int id;
  const wchar_t* name;
  RECT bounds;  // left, top, width, height in client pixels
};

constexpr ControlPlace kControlPlaces[] = {
    {kLabel1, L"Label1", {16, 8, 97, 17}},
    {kLabel2, L"Label2", {152, 8, 81, 17}},
    {k大厅名称, L"大厅名称", {24, 32, 97, 88}},
    {k游戏名称, L"游戏名称", {160, 32, 97, 88}},
    {kCommand1, L"Command1", {8, 136, 81, 33}},
    {kCommand5, L"Command5", {176, 136, 89, 33}},
    {kCommand2, L"Command2", {8, 176, 81, 33}},
    {kText1, L"Text1", {96, 176, 33, 25}},
    {kLabel3, L"Label3", {136, 176, 41, 25}},
    {kCheck1, L"Check1", {176, 184, 89, 17}},
    {kCommand3, L"Command3", {8, 216, 105, 33}},
    {kCommand4, L"Command4", {136, 216, 121, 33}},
    {kLabel4, L"Label4", {16, 264, 257, 17}},
    {kLabel5, L"Label5", {48, 280, 185, 17}},
};

struct ControlCaption {
  int id;
  const wchar_t* caption;
};

constexpr ControlCaption kOpeningCaptions[] = {
    {kLabel1, L"大厅个数："},
    {kLabel2, L"游戏个数："},
    {kCommand1, L"手动刷新"},
    {kCommand5, L"全部关闭"},
    {kCommand2, L"自动刷新"},
    {kLabel3, L"秒/次"},
    {kCheck1, L"窗口置顶"},
    {kCommand3, L"新开一个大厅"},
    {kCommand4, L"下载Ostrel"},
    {kLabel4, L"欢迎您提供宝贵的意见和建议--Velmora"},
};

TEST_F(PanelTest, OpensWithItsLayoutCaptionsAndColours) {
  EXPECT_EQ(WindowTitle(form_), L"Corvantis");
  RECT client;
  ASSERT_TRUE(GetClientRect(form_, &client));
  EXPECT_EQ(client.right - client.left, 269);
  EXPECT_EQ(client.bottom - client.top, 299);

  for (const ControlPlace& place : kControlPlaces) {
    SCOPED_TRACE(place.name);
    HWND control = Control(place.id);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(IsWindowVisible(control));
    RECT rect;
    ASSERT_TRUE(GetWindowRect(control, &rect));
    MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, place.bounds.left);
    EXPECT_EQ(rect.top, place.bounds.top);
    EXPECT_EQ(rect.right - rect.left, place.bounds.right);
    EXPECT_EQ(rect.bottom - rect.top, place.bounds.bottom);
  }

  for (const ControlCaption& expected : kOpeningCaptions) {
    EXPECT_EQ(WindowTitle(Control(expected.id)), expected.caption);
  }
  const std::wstring contact = WindowTitle(Control(kLabel5));
  const std::wstring contact_prefix = L"合作与建议请联系QQ：";
  ASSERT_GT(contact.size(), contact_prefix.size());
  EXPECT_EQ(contact.substr(0, contact_prefix.size()), contact_prefix);
  EXPECT_TRUE(std::all_of(contact.begin() + contact_prefix.size(),
                          contact.end(), iswdigit))
      << contact;
  EXPECT_EQ(ReadText(Control(kText1)), L"20");
  EXPECT_EQ(CheckState(Control(kCheck1)), BST_CHECKED);
  EXPECT_TRUE(ListBoxTexts(lobbies_).empty());
  EXPECT_TRUE(ListBoxTexts(games_).empty());

  // On a label, beside its text, and on the bare background.
  constexpr COLORREF kBackground = RGB(194, 225, 246);
  for (POINT point :
       {POINT{110, 23}, POINT{174, 198}, POINT{100, 256}, POINT{130, 60}}) {
    SCOPED_TRACE(testing::Message() << point.x << "," << point.y);
    COLORREF seen = CLR_INVALID;
    EXPECT_TRUE(WaitUntil(
        [&] { return (seen = ScreenPixel(form_, point)) == kBackground; },
        kWaitMs))
        << std::hex << seen;
  }
}

TEST_F(PanelTest, ManualRefreshListsAndHidesTheClientWindows) {
  ClickRefresh();
  std::vector<std::wstring> lobbies = ListBoxTexts(lobbies_);
  std::sort(lobbies.begin(), lobbies.end());
  EXPECT_EQ(lobbies, (std::vector<std::wstring>{L"1-QQ游戏", L"2-QQ游戏"}));
  EXPECT_GE(EntryOf(games_, L"斗地主"), 0);
  EXPECT_GE(EntryOf(games_, L"中国象棋"), 0);
  EXPECT_EQ(WindowTitle(Control(kLabel1)), L"大厅个数：2");
  EXPECT_EQ(WindowTitle(Control(kLabel2)), L"游戏个数：2");
  // Hidden only once listed; the window of an ignored width stays.
  EXPECT_TRUE(IsWindowVisible(client_.HandleOf(L"宽360")));
  // Each comes back at the origin whoever restores it, the client too: a
  // game was placed before it was minimised, not moved once minimised.
  for (HWND window : Tracked()) {
    SCOPED_TRACE(WindowTitle(window).c_str());
    ASSERT_TRUE(Responds(window));  // the client has logged all
    const std::vector<SimLogEntry> moves = client_.MovesOf(window);
    ASSERT_FALSE(moves.empty());
    EXPECT_TRUE(AtOrigin(moves.back().restored));
    for (const SimLogEntry& move : moves) EXPECT_NE(move.change, L"minimised");
  }
}

TEST_F(PanelTest, ChoosingAnEntryShowsOnlyItsWindowAndFocusesIt) {
  ClickRefresh();
  std::vector<HWND> lobbies = client_.HandlesOf(L"QQ游戏");
  ASSERT_EQ(lobbies.size(), 2u);
  // After a refresh every window is hidden: choosing a lobby shows no game
  // on the way, and activates nothing but the lobby.
  size_t shown = client_.Shown().size();
  size_t activated = client_.Activated().size();
  ASSERT_TRUE(SelectListBoxEntry(lobbies_, 0));
  HWND first = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (HWND lobby : lobbies) {
          if (IsWindowVisible(lobby)) first = lobby;
        }
        return first != nullptr;
      },
      kWaitMs));
  EXPECT_TRUE(OnlyVisible(first));
  EXPECT_TRUE(HasTheFocus(first));
  // A round trip to the client: it has handled, and logged, all that was
  // sent to it before.
  ASSERT_TRUE(Responds(first));
  EXPECT_TRUE(OnlyThisSince(client_.Shown(), shown, first));
  EXPECT_TRUE(OnlyThisSince(client_.Activated(), activated, first));

  // From the lobby to a game: the other windows stay as they are, and the
  // game comes back straight at the origin.
  HWND game = client_.HandleOf(L"中国象棋");
  shown = client_.Shown().size();
  activated = client_.Activated().size();
  const size_t logged = client_.Log().size();
  ASSERT_TRUE(SelectListBoxEntry(games_, EntryOf(games_, L"中国象棋")));
  EXPECT_TRUE(OnlyVisible(game));
  EXPECT_TRUE(WaitUntil([&] { return ShownAndPlaced(game); }, kWaitMs));
  EXPECT_TRUE(HasTheFocus(game));
  ASSERT_TRUE(Responds(game));
  EXPECT_TRUE(OnlyThisSince(client_.Shown(), shown, game));
  EXPECT_TRUE(OnlyThisSince(client_.Activated(), activated, game));
  const std::vector<SimLogEntry> moves = client_.MovesOf(game, logged);
  ASSERT_FALSE(moves.empty());
  for (const SimLogEntry& move : moves) {
    EXPECT_TRUE(AtOrigin(move.rect)) << move.rect.left << "," << move.rect.top;
  }

  // The arrow keys move through a list as clicks do.
  ASSERT_TRUE(SelectListBoxEntry(lobbies_, 0));
  EXPECT_TRUE(OnlyVisible(first));
  PostKey(lobbies_, VK_DOWN);
  EXPECT_TRUE(
      WaitUntil([&] { return ListBoxSelection(lobbies_) == 1; }, kWaitMs));
  EXPECT_TRUE(OnlyVisible(first == lobbies[0] ? lobbies[1] : lobbies[0]));
}

TEST_F(PanelTest, KeyboardTabsToRefreshIgnoresEscAndPressesWithSpace) {
  HWND refresh = Control(kCommand1);
  ASSERT_TRUE(PressKeys(form_, {VK_TAB}));
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(form_) == refresh; }, kWaitMs))
      << "focus on " << ClassName(FocusOf(form_)).c_str();

  // Keys arrive in order: once the Tab after Esc has moved on to the lobby
  // list, Esc has been handled.
  ASSERT_TRUE(PressKeys(form_, {VK_ESCAPE}));
  ASSERT_TRUE(PressKeys(form_, {VK_TAB}));
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(form_) == lobbies_; }, kWaitMs));
  EXPECT_TRUE(Responds(form_));
  EXPECT_TRUE(ListBoxTexts(lobbies_).empty());
  EXPECT_TRUE(ListBoxTexts(games_).empty());
  EXPECT_EQ(WindowTitle(Control(kLabel1)), L"大厅个数：");
  EXPECT_EQ(WindowTitle(Control(kCommand2)), L"自动刷新");
  EXPECT_EQ(VisibleTracked(), 4);

  ASSERT_TRUE(PressKeys(form_, {VK_SHIFT, VK_TAB}));
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(form_) == refresh; }, kWaitMs));
  ASSERT_TRUE(PressKeys(form_, {VK_SPACE}));
  EXPECT_TRUE(WaitUntil([&] { return ListsFull(); }, kWaitMs));
  EXPECT_TRUE(AllTrackedHidden());
}

TEST_F(PanelTest, StaysOnTopAndExplainsTheRefreshPeriod) {
  // Its timer asserts the topmost state.
  EXPECT_TRUE(WaitUntil(
      [&] { return (ReadWindow(form_).ex_style & WS_EX_TOPMOST) != 0; },
      kWaitMs));
  std::vector<std::wstring> tips;
  for (HWND window : TopLevelWindows(panel_.id())) {
    if (ClassName(window) == L"tooltips_class32") tips = TooltipTexts(window);
  }
  EXPECT_EQ(
      tips,
      std::vector<std::wstring>{
          L"自动刷新时间太短的话将导致你无法操作游戏窗口,建议20秒以上！"});
}

enum class CloseWay { kCloseBox, kAltF4, kWmClose, kSessionEnd };

class PanelClosingTest : public PanelFixture,
                         public testing::WithParamInterface<CloseWay> {};

TEST_P(PanelClosingTest, ShowsEveryWindowAgainAndEnds) {
  ClickRefresh();
  ASSERT_TRUE(ChooseGame(L"中国象棋"));

  switch (GetParam()) {
    case CloseWay::kCloseBox:
      PostMessageW(form_, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case CloseWay::kAltF4:
      ASSERT_TRUE(PressKeys(form_, {VK_MENU, VK_F4}));
      break;
    case CloseWay::kWmClose:
      PostMessageW(form_, WM_CLOSE, 0, 0);
      break;
    case CloseWay::kSessionEnd: {
      DWORD_PTR answer = 0;
      ASSERT_TRUE(SendMessageTimeoutW(form_, WM_QUERYENDSESSION, 0, 0,
                                      SMTO_ABORTIFHUNG, kWaitMs, &answer));
      EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
      // The process may be ended before it answers.
      SendMessageTimeoutW(form_, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG,
                          kWaitMs, &answer);
      break;
    }
  }

  for (HWND window : Tracked()) {
    SCOPED_TRACE(WindowTitle(window).c_str());
    EXPECT_TRUE(WaitUntil([&] { return ShownAndPlaced(window); }, kWaitMs));
  }
  // Windows ends a process whose session ends itself; nothing does here.
  if (GetParam() != CloseWay::kSessionEnd) {
    EXPECT_TRUE(panel_.WaitForExit(kWaitMs));
  }
}

INSTANTIATE_TEST_SUITE_P(EveryWay, PanelClosingTest,
                         testing::Values(CloseWay::kCloseBox, CloseWay::kAltF4,
                                         CloseWay::kWmClose,
                                         CloseWay::kSessionEnd),
                         [](const testing::TestParamInfo<CloseWay>& info) {
                           switch (info.param) {
                             case CloseWay::kCloseBox:
                               return "CloseBox";
                             case CloseWay::kAltF4:
                               return "AltF4";
                             case CloseWay::kWmClose:
                               return "WmCloseFromOutside";
                             case CloseWay::kSessionEnd:
                               return "SessionEnd";
                           }
                           return "";
                         });

TEST_F(PanelTest, CancelledSessionEndLeavesThePanelWorking) {
  ClickRefresh();
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(form_, WM_QUERYENDSESSION, 0, 0,
                                  SMTO_ABORTIFHUNG, kWaitMs, &answer));
  EXPECT_EQ(VisibleTracked(), 4);
  ASSERT_TRUE(SendMessageTimeoutW(form_, WM_ENDSESSION, FALSE, 0,
                                  SMTO_ABORTIFHUNG, kWaitMs, &answer));
  ASSERT_TRUE(Responds(form_));
  EXPECT_TRUE(panel_.Running());

  ClickRefresh();
  ASSERT_TRUE(ChooseGame(L"斗地主"));
  EXPECT_TRUE(OnlyVisible(client_.HandleOf(L"斗地主")));
}

}  // namespace
}  // namespace corvantis::e2e
