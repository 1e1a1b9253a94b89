// Corvantis.exe's two timers seen from outside: auto-refresh (Command2 and
// the period in Text1) and stay-on-top (Check1). A refresh shows itself by
// hiding again a window that a choice in the list has just shown.
#include <gtest/gtest.h>

#include <string>

#include "app/form1_win32.h"
#include "harness/harness.h"
#include "harness/panel_fixture.h"

namespace corvantis::e2e {
namespace {

constexpr wchar_t kGame[] = L"中国象棋";
// Several ticks of a half-second period.
constexpr DWORD kTicksMs = 2000;

class PanelTimersTest : public PanelFixture {
 protected:
  std::wstring AutoCaption() const { return WindowTitle(Control(kCommand2)); }

  // Types the period and presses Command2, which switches auto-refresh on
  // for a good period.
  void SwitchOn(const std::wstring& period) {
    ASSERT_TRUE(WriteText(Control(kText1), period));
    ASSERT_TRUE(Click(Control(kCommand2)));
    ASSERT_EQ(AutoCaption(), L"取消自动");
  }

  // Chooses the game; true if a refresh hides it again within timeout_ms.
  // The client's log tells: after its choice nothing else hides it.
  bool ChosenGameHiddenAgain(DWORD timeout_ms) {
    const testing::AssertionResult chosen = ChooseGame(kGame);
    if (!chosen) {
      ADD_FAILURE() << chosen.message();
      return false;
    }
    HWND game = client_.HandleOf(kGame);
    return WaitUntil(
        [&] {
          return FirstLoggedSince(chosen_at_, [&](const SimLogEntry& e) {
                   return e.what == L"hide" && e.window == game;
                 }) != kNone;
        },
        timeout_ms);
  }

  HWND PanelMessageBox(DWORD timeout_ms) const {
    return WaitForMessageBox(panel_.id(), timeout_ms);
  }
};

TEST_F(PanelTimersTest, HalfSecondPeriodRefreshesOverAndOver) {
  SwitchOn(L"0.5");
  ASSERT_TRUE(WaitUntil([&] { return ListsFull(); }, kWaitMs));
  ASSERT_TRUE(AllTrackedHidden());
  EXPECT_TRUE(ChosenGameHiddenAgain(kTicksMs));
  EXPECT_TRUE(ChosenGameHiddenAgain(kTicksMs));

  // A game the client opens meanwhile is counted, listed and hidden. The
  // list is empty for a moment in each refresh.
  OwnWindow opened(L"QufPanelWnd", L"台球", {100, 100, 700, 500});
  ASSERT_NE(opened.window(), nullptr);
  EXPECT_TRUE(WaitUntil(
      [&] {
        return WindowTitle(Control(kLabel2)) == L"游戏个数：3" &&
               opened.WasHidden() && EntryOf(games_, L"台球") >= 0;
      },
      kTicksMs));
  EXPECT_EQ(WindowTitle(Control(kLabel1)), L"大厅个数：2");
}

TEST_F(PanelTimersTest, RefreshesLeaveTheFocusWithAnotherProgram) {
  SwitchOn(L"0.5");
  ASSERT_TRUE(WaitUntil([&] { return ListsFull(); }, kWaitMs));
  // The user types into another program while the ticks go on.
  OwnWindow chat(L"ChatWnd", L"聊天", {100, 100, 400, 300});
  ASSERT_NE(chat.window(), nullptr);
  ASSERT_TRUE(SetForegroundWindow(chat.window()));
  ASSERT_TRUE(HasTheFocus(chat.window()));
  const size_t activated = client_.Activated().size();
  // Each refresh shows the four windows for a moment: two refreshes.
  const size_t shown = client_.Shown().size();
  EXPECT_TRUE(
      WaitUntil([&] { return client_.Shown().size() >= shown + 8; }, kTicksMs));
  // Switched off without a click, which would move the focus itself. The
  // posted command waits for the end of a refresh under way.
  PostClick(Control(kCommand2));
  ASSERT_TRUE(WaitUntil([&] { return AutoCaption() == L"自动刷新"; }, kWaitMs));
  EXPECT_TRUE(AllTrackedHidden());
  EXPECT_TRUE(HasTheFocus(chat.window()))
      << ClassName(GetForegroundWindow()).c_str();
  // A window manager focuses each window the refresh shows, and the panel
  // only gives the focus back at the end; without one nothing is activated.
  wchar_t manager[16] = {};
  if (GetEnvironmentVariableW(L"WINE_ENV_WM", manager, 16) == 0) {
    EXPECT_EQ(client_.Activated().size(), activated) << client_.LogText();
  }
}

TEST_F(PanelTimersTest, ZeroPeriodIsOnButNeverTicks) {
  ClickRefresh();
  SwitchOn(L"0");
  EXPECT_FALSE(ChosenGameHiddenAgain(kTicksMs));
}

TEST_F(PanelTimersTest, SecondQuickClickSwitchesAutoRefreshOffAgain) {
  ClickRefresh();
  ASSERT_TRUE(WriteText(Control(kText1), L"0.5"));
  ASSERT_TRUE(Click(Control(kCommand2)));
  ASSERT_TRUE(Click(Control(kCommand2)));
  EXPECT_EQ(AutoCaption(), L"自动刷新");
  EXPECT_FALSE(ChosenGameHiddenAgain(kTicksMs));
}

TEST_F(PanelTimersTest, EditedPeriodAppliesFromTheNextTick) {
  SwitchOn(L"0.5");
  ASSERT_TRUE(WaitUntil([&] { return ListsFull(); }, kWaitMs));
  ASSERT_TRUE(AllTrackedHidden());
  ASSERT_TRUE(ChosenGameHiddenAgain(kTicksMs));

  ASSERT_TRUE(WriteText(Control(kText1), L"30"));
  // The next tick, due within half a second, still comes and reads the new
  // period; it may come before the game is chosen again. After it, none for
  // half a minute.
  int hidden = 0;
  while (hidden < 2 && ChosenGameHiddenAgain(3000)) ++hidden;
  EXPECT_LE(hidden, 1);
  EXPECT_EQ(AutoCaption(), L"取消自动");
}

TEST_F(PanelTimersTest, BadPeriodIsRefusedWithABox) {
  ClickRefresh();
  for (const wchar_t* period : {L"abc", L"-1", L"nan", L"1e9"}) {
    SCOPED_TRACE(testing::Message() << "period " << period);
    ASSERT_TRUE(WriteText(Control(kText1), period));
    // The box keeps the handler waiting: post the click.
    PostClick(Control(kCommand2));
    HWND box = PanelMessageBox(kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowTitle(box), L"系统提示");
    EXPECT_EQ(GetWindow(box, GW_OWNER), form_);
    std::wstring text;
    for (const std::wstring& part : ChildTexts(box, L"Static")) text += part;
    EXPECT_NE(text.find(L"86400"), std::wstring::npos) << text.size();
    EXPECT_EQ(AutoCaption(), L"自动刷新");
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, kWaitMs));
  }
  // Auto-refresh stayed off.
  EXPECT_FALSE(ChosenGameHiddenAgain(kTicksMs));
}

TEST_F(PanelTimersTest, BadPeriodTypedWhileRunningKeepsTheLastInterval) {
  SwitchOn(L"0.5");
  ASSERT_TRUE(WaitUntil([&] { return ListsFull(); }, kWaitMs));
  ASSERT_TRUE(AllTrackedHidden());
  for (const wchar_t* period : {L"abc", L"-1", L"nan", L"1e9"}) {
    SCOPED_TRACE(testing::Message() << "period " << period);
    ASSERT_TRUE(WriteText(Control(kText1), period));
    EXPECT_EQ(PanelMessageBox(1500), nullptr);
    EXPECT_TRUE(ChosenGameHiddenAgain(kTicksMs));
    EXPECT_EQ(AutoCaption(), L"取消自动");
  }
}

TEST_F(PanelTimersTest, CancelledSessionEndResumesAutoRefresh) {
  SwitchOn(L"0.5");
  ASSERT_TRUE(WaitUntil([&] { return ListsFull(); }, kWaitMs));
  ASSERT_TRUE(AllTrackedHidden());
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(form_, WM_QUERYENDSESSION, 0, 0,
                                  SMTO_ABORTIFHUNG, kWaitMs, &answer));
  // While the session may end, no tick hides a window again.
  EXPECT_EQ(VisibleTracked(), 4);
  EXPECT_FALSE(WaitUntil([&] { return VisibleTracked() < 4; }, kTicksMs));
  ASSERT_TRUE(SendMessageTimeoutW(form_, WM_ENDSESSION, FALSE, 0,
                                  SMTO_ABORTIFHUNG, kWaitMs, &answer));
  EXPECT_TRUE(AllTrackedHidden(kTicksMs));
}

class PanelTopmostTest : public PanelFixture {
 protected:
  // Puts the rival on top of every window, the panel included. While the
  // panel re-asserts, its tick may already have put it back by the time
  // anyone looks, so the caller checks the order where it is stable.
  void RaiseRival() {
    ASSERT_TRUE(SetWindowPos(rival_.window(), HWND_TOPMOST, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
  }

  // Ticks or clears Check1 as a click does, without the click's focus
  // change: a click activates the panel, and Wine finishes an activation
  // when the X server answers, which can raise the panel over a rival
  // put on top after the click returned.
  void SetCheck1(int state) {
    HWND check = Control(kCheck1);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(check, BM_SETCHECK, state, 0,
                                    SMTO_ABORTIFHUNG, kWaitMs, &answer));
    ASSERT_TRUE(SendMessageTimeoutW(
        form_, WM_COMMAND, MAKEWPARAM(kCheck1, BN_CLICKED),
        reinterpret_cast<LPARAM>(check), SMTO_ABORTIFHUNG, kWaitMs, &answer));
    ASSERT_EQ(CheckState(check), state);
  }

  bool PanelBackOnTop() const {
    return WaitUntil([&] { return IsAbove(form_, rival_.window()); },
                     kTicksMs + 500);
  }

  OwnWindow rival_{L"CorvantisE2eRival", L"rival", {600, 400, 900, 700}};
};

TEST_F(PanelTopmostTest, Check1SwitchesTheReassertingOnAndOff) {
  ASSERT_NE(rival_.window(), nullptr);
  RaiseRival();
  EXPECT_TRUE(PanelBackOnTop());

  SetCheck1(BST_UNCHECKED);
  RaiseRival();
  ASSERT_TRUE(IsAbove(rival_.window(), form_));
  EXPECT_FALSE(PanelBackOnTop());
  // Only the re-asserting stops: the panel stays a topmost window.
  EXPECT_NE(ReadWindow(form_).ex_style & WS_EX_TOPMOST, 0);

  SetCheck1(BST_CHECKED);
  EXPECT_TRUE(PanelBackOnTop());
}

}  // namespace
}  // namespace corvantis::e2e
