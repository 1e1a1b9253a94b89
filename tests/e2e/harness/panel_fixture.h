// A Corvantis.exe of its own beside a simulated client with two lobbies, two
// games and a window the panel must ignore: the set-up the panel test
// programs share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/form1_win32.h"
#include "harness/harness.h"
#include "harness/sim_client.h"

namespace corvantis::e2e {

class PanelFixture : public testing::Test {
 protected:
  static constexpr DWORD kWaitMs = 5000;

  void SetUp() override {
    ASSERT_TRUE(client_.started());
    // A folder of its own, without the updater: the panel says so in a box
    // before it shows itself.
    ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"Corvantis.exe").c_str(),
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
    // The panel's guard ends with it; its exe is in the folder.
    AllOfImageEnd(Image(), kWaitMs);
    RemoveScratchDirectory(folder_);
  }

  std::wstring Image() const { return folder_ + L"Corvantis.exe"; }

  std::vector<DWORD> Guards() const { return GuardProcesses(Image()); }

  // Once the panel has its one guard, ends it: what the panel does on its
  // own shows then.
  void EndGuard() {
    ASSERT_TRUE(WaitUntil(
        [&] { return GuardWaits(panel_.id()) && Guards().size() == 1; },
        kWaitMs));
    EndProcess(Guards()[0]);
  }

  HWND Control(int id) const { return GetDlgItem(form_, id); }

  // BST_CHECKED, BST_UNCHECKED; -1 if the box does not answer.
  static int CheckState(HWND check_box) {
    DWORD_PTR state = 0;
    if (!SendMessageTimeoutW(check_box, BM_GETCHECK, 0, 0,
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, kWaitMs, &state)) {
      return -1;
    }
    return static_cast<int>(state);
  }

  // The index of the entry "N-title" in list, -1 if none.
  static int EntryOf(HWND list, const std::wstring& title) {
    std::vector<std::wstring> texts = ListBoxTexts(list);
    for (size_t i = 0; i < texts.size(); ++i) {
      if (texts[i].substr(texts[i].find(L'-') + 1) == title) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }

  bool ListsFull() const {
    return ListBoxTexts(lobbies_).size() == 2 &&
           ListBoxTexts(games_).size() == 2;
  }

  // Lists filled, then every tracked window hidden.
  void ClickRefresh() {
    PostClick(Control(kCommand1));
    ASSERT_TRUE(WaitUntil([&] { return ListsFull(); }, kWaitMs));
    ASSERT_TRUE(AllTrackedHidden());
  }

  std::vector<HWND> Tracked() const {
    std::vector<HWND> windows = client_.HandlesOf(L"QQ游戏");
    windows.push_back(client_.HandleOf(L"斗地主"));
    windows.push_back(client_.HandleOf(L"中国象棋"));
    return windows;
  }

  int VisibleTracked() const {
    std::vector<HWND> tracked = Tracked();
    return static_cast<int>(
        std::count_if(tracked.begin(), tracked.end(),
                      [](HWND w) { return IsWindowVisible(w) != 0; }));
  }

  bool AllTrackedHidden(DWORD timeout_ms = kWaitMs) const {
    return WaitUntil([&] { return VisibleTracked() == 0; }, timeout_ms);
  }

  // True once exactly window, of the tracked ones, is visible.
  bool OnlyVisible(HWND window) const {
    return WaitUntil(
        [&] { return IsWindowVisible(window) && VisibleTracked() == 1; },
        kWaitMs);
  }

  static bool AtOrigin(const RECT& rect) {
    return rect.left == 0 && rect.top == 0 && rect.right == 800 &&
           rect.bottom == 600;
  }

  // Shown as the panel shows a window: restored, at 0,0, 800 x 600.
  static bool ShownAndPlaced(HWND window) {
    WindowState state = ReadWindow(window);
    return state.visible && !state.iconic && AtOrigin(state.rect);
  }

  static bool HasTheFocus(HWND window) {
    return WaitUntil([&] { return GetForegroundWindow() == window; }, kWaitMs);
  }

  // True when the client's log, of activations or shows, has entries past
  // from, and every one of them is window.
  static testing::AssertionResult OnlyThisSince(const std::vector<HWND>& log,
                                                size_t from, HWND window) {
    if (log.size() <= from) return testing::AssertionFailure() << "none";
    for (size_t i = from; i < log.size(); ++i) {
      if (log[i] != window) {
        return testing::AssertionFailure() << WindowTitle(log[i]).c_str();
      }
    }
    return testing::AssertionSuccess();
  }

  // Picks the game in the list as a click would; true once the client has
  // logged the game's restore from minimised, which of all the panel does
  // only a choice asks for (a refresh shows a minimised game minimised),
  // and which stays in the log however soon a refresh hides the game
  // again. Activations would not tell: hiding the active window hands the
  // focus on. A refresh under way when the choice is posted may reorder
  // the list before the panel reads it, and the other game is chosen:
  // choose again.
  testing::AssertionResult ChooseGame(const std::wstring& title) {
    HWND game = client_.HandleOf(title);
    const bool chosen = WaitUntil(
        [&] {
          const size_t from = client_.Log().size();
          const int entry = EntryOf(games_, title);
          size_t restore = kNone;
          if (entry < 0 || !SelectListBoxEntry(games_, entry) ||
              !WaitUntil(
                  [&] {
                    restore = FirstLoggedSince(from, [](const SimLogEntry& e) {
                      return e.what == L"move" && e.change == L"restore";
                    });
                    return restore != kNone;
                  },
                  1000)) {
            return false;
          }
          chosen_at_ = restore;
          return client_.Log()[restore].window == game;
        },
        kWaitMs);
    if (chosen) return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "no restore of " << ToUtf8(title) << " ("
           << reinterpret_cast<INT_PTR>(game) << ") in the client's log:\n"
           << client_.LogText();
  }

  static constexpr size_t kNone = static_cast<size_t>(-1);

  // The first entry of the client's log past its first from entries that
  // matches; kNone if none does.
  size_t FirstLoggedSince(
      size_t from,
      const std::function<bool(const SimLogEntry&)>& matches) const {
    const std::vector<SimLogEntry> log = client_.Log();
    for (size_t i = from; i < log.size(); ++i) {
      if (matches(log[i])) return i;
    }
    return kNone;
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
  // The client log's entry of the last choice's restore.
  size_t chosen_at_ = 0;
};

}  // namespace corvantis::e2e
