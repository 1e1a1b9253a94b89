// Corvantis.exe driven as a user would, beside a simulated client: the
// buttons, the lists and the panel's own window, read from outside.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/form1_win32.h"
#include "harness/harness.h"
#include "harness/sim_client.h"

namespace corvantis::e2e {
namespace {

constexpr DWORD kWaitMs = 5000;

// The index of the entry "N-title", -1 if none.
int EntryOf(HWND list, const std::wstring& title) {
  std::vector<std::wstring> texts = ListBoxTexts(list);
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i].substr(texts[i].find(L'-') + 1) == title) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

class PanelTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(client_.started());
    // A folder of its own, without the updater: the panel says so in a box
    // before it shows itself.
    ASSERT_TRUE(CopyFileW(
        (ProgramDirectory() + L"..\\..\\src\\app\\Corvantis.exe").c_str(),
        (folder_ + L"Corvantis.exe").c_str(), FALSE));
    ASSERT_TRUE(panel_.Start(folder_ + L"Corvantis.exe", {}, folder_));
    HWND box = WaitForMessageBox(panel_.id(), kWaitMs);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    form_ = WaitForWindow(kForm1ClassName, nullptr, kWaitMs);
    ASSERT_NE(form_, nullptr);
    lobbies_ = GetDlgItem(form_, k大厅名称);
    games_ = GetDlgItem(form_, k游戏名称);
  }

  void TearDown() override {
    if (form_ != nullptr) PostMessageW(form_, WM_CLOSE, 0, 0);
    panel_.WaitForExit(kWaitMs);
    panel_.Kill();
    RemoveScratchDirectory(folder_);
  }

  void ClickRefresh() {
    PostClick(FindChild(form_, L"Button", L"手动刷新"));
    ASSERT_TRUE(WaitUntil(
        [&] {
          return ListBoxTexts(lobbies_).size() == 2 &&
                 ListBoxTexts(games_).size() == 2;
        },
        kWaitMs));
  }

  std::vector<HWND> Tracked() const {
    std::vector<HWND> windows = client_.HandlesOf(L"QQ游戏");
    windows.push_back(client_.HandleOf(L"斗地主"));
    windows.push_back(client_.HandleOf(L"中国象棋"));
    return windows;
  }

  // True once exactly window, of the tracked ones, is visible.
  bool OnlyVisible(HWND window) const {
    return WaitUntil(
        [&] {
          std::vector<HWND> tracked = Tracked();
          return IsWindowVisible(window) &&
                 std::count_if(tracked.begin(), tracked.end(),
                               [](HWND w) { return IsWindowVisible(w); }) == 1;
        },
        kWaitMs);
  }

  SimClient client_{{{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                     {L"QufPanelWnd", L"斗地主", 900, 650},
                     {L"QufPanelWnd", L"QQ游戏", 1000, 700},
                     {L"QufPanelWnd", L"中国象棋", 700, 500},
                     {L"QufPanelWnd", L"宽360", 360, 500}}};
  std::wstring folder_ = MakeScratchDirectory();
  Process panel_;
  HWND form_ = nullptr;
  HWND lobbies_ = nullptr;
  HWND games_ = nullptr;
};

TEST_F(PanelTest, ManualRefreshListsAndHidesTheClientWindows) {
  ClickRefresh();
  std::vector<std::wstring> lobbies = ListBoxTexts(lobbies_);
  std::sort(lobbies.begin(), lobbies.end());
  EXPECT_EQ(lobbies, (std::vector<std::wstring>{L"1-QQ游戏", L"2-QQ游戏"}));
  EXPECT_GE(EntryOf(games_, L"斗地主"), 0);
  EXPECT_GE(EntryOf(games_, L"中国象棋"), 0);
  EXPECT_EQ(WindowTitle(GetDlgItem(form_, kLabel1)), L"大厅个数：2");
  EXPECT_EQ(WindowTitle(GetDlgItem(form_, kLabel2)), L"游戏个数：2");

  // The lists are filled before the windows are hidden.
  EXPECT_TRUE(WaitUntil(
      [&] {
        std::vector<HWND> tracked = Tracked();
        return std::none_of(tracked.begin(), tracked.end(),
                            [](HWND w) { return IsWindowVisible(w); });
      },
      kWaitMs));
  EXPECT_TRUE(IsWindowVisible(client_.HandleOf(L"宽360")));
}

TEST_F(PanelTest, ChoosingAnEntryShowsOnlyItsWindow) {
  ClickRefresh();
  ASSERT_TRUE(SelectListBoxEntry(games_, EntryOf(games_, L"中国象棋")));
  EXPECT_TRUE(OnlyVisible(client_.HandleOf(L"中国象棋")));

  // The arrow keys move through a list as clicks do.
  std::vector<HWND> lobbies = client_.HandlesOf(L"QQ游戏");
  ASSERT_EQ(lobbies.size(), 2u);
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
  PostKey(lobbies_, VK_DOWN);
  EXPECT_TRUE(
      WaitUntil([&] { return ListBoxSelection(lobbies_) == 1; }, kWaitMs));
  EXPECT_TRUE(OnlyVisible(first == lobbies[0] ? lobbies[1] : lobbies[0]));
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
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_NE(tips[0].find(L"20秒"), std::wstring::npos);
}

TEST_F(PanelTest, ClosingThePanelShowsEveryWindowAgain) {
  ClickRefresh();
  ASSERT_TRUE(SelectListBoxEntry(games_, 0));
  PostMessageW(form_, WM_CLOSE, 0, 0);
  ASSERT_TRUE(panel_.WaitForExit(kWaitMs));
  form_ = nullptr;
  for (HWND window : Tracked()) {
    EXPECT_TRUE(IsWindowVisible(window)) << WindowTitle(window);
  }
}

}  // namespace
}  // namespace corvantis::e2e
