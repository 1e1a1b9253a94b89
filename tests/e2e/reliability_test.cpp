// However Corvantis.exe ends or is disturbed, no window it hid stays lost:
// killed, crashed from outside, at the end of the session, beside a second
// panel, among windows that come and go or stop answering.
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "harness/panel_fixture.h"

namespace corvantis::e2e {
namespace {

constexpr wchar_t kMark[] = L"Corvantis.HiddenBy";
constexpr wchar_t kMarkStart[] = L"Corvantis.HiddenByStart";
// The longest a panel may take to answer while it deals with a window that
// does not.
constexpr double kAnswerBoundMs = 2000;

DWORD MarkOf(HWND window) {
  return static_cast<DWORD>(
      reinterpret_cast<ULONG_PTR>(GetPropW(window, kMark)));
}

// What a failed check of ShownAtOrigin needs to explain itself.
std::string Describe(HWND window) {
  const WindowState state = ReadWindow(window);
  return "visible " + std::to_string(state.visible) + ", iconic " +
         std::to_string(state.iconic) + ", at " +
         std::to_string(state.rect.left) + "," +
         std::to_string(state.rect.top) + " to " +
         std::to_string(state.rect.right) + "," +
         std::to_string(state.rect.bottom) + ", mark " +
         std::to_string(MarkOf(window));
}

bool ShownAtOrigin(HWND window) {
  WindowState state = ReadWindow(window);
  return state.visible && !state.iconic && state.rect.left == 0 &&
         state.rect.top == 0 && state.rect.right == 800 &&
         state.rect.bottom == 600;
}

// Where a function of a system DLL lies in another process that has loaded
// the DLL too.
void* RemoteAddress(DWORD process_id, const wchar_t* module_name,
                    const char* function) {
  HMODULE local = LoadLibraryW(module_name);
  if (local == nullptr) return nullptr;
  auto* address = reinterpret_cast<BYTE*>(GetProcAddress(local, function));
  if (address == nullptr) return nullptr;
  HANDLE snapshot = CreateToolhelp32Snapshot(
      TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, process_id);
  if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
  void* remote = nullptr;
  MODULEENTRY32W module = {};
  module.dwSize = sizeof module;
  for (BOOL more = Module32FirstW(snapshot, &module); more;
       more = Module32NextW(snapshot, &module)) {
    if (_wcsicmp(module.szModule, module_name) == 0) {
      remote = module.modBaseAddr + (address - reinterpret_cast<BYTE*>(local));
      break;
    }
  }
  CloseHandle(snapshot);
  return remote;
}

class ReliabilityTest : public PanelFixture {
 protected:
  bool AllTrackedShownAtOrigin() const {
    return WaitUntil(
        [&] {
          std::vector<HWND> tracked = Tracked();
          return std::all_of(tracked.begin(), tracked.end(), ShownAtOrigin);
        },
        kWaitMs);
  }

  // Starts another Corvantis.exe from the panel's folder, which has no
  // updater: returns its box, open, and leaves its still hidden window in
  // form.
  HWND StartAnotherPanel(Process& panel, HWND* form) {
    const testing::AssertionResult started =
        panel.Start(folder_ + L"Corvantis.exe", {}, folder_);
    if (!started) {
      ADD_FAILURE() << started.message();
      return nullptr;
    }
    HWND box = WaitForMessageBox(panel.id(), kWaitMs);
    *form = FindProcessWindow(panel.id(), kForm1ClassName);
    return box;
  }

  // Sets the refresh period and switches auto-refresh on.
  void AutoRefreshEvery(const std::wstring& period) {
    ASSERT_TRUE(WriteText(Control(kText1), period));
    PostClick(Control(kCommand2));
    ASSERT_TRUE(WaitUntil(
        [&] { return WindowTitle(Control(kCommand2)) == L"取消自动"; },
        kWaitMs));
  }

  // Every one of windows shown at the origin and unmarked within
  // timeout_ms; prints how long that took. The handles are read before:
  // reading them again while polling would slow down what is measured.
  static bool AllBackWithin(const std::vector<HWND>& windows,
                            DWORD timeout_ms) {
    bool back = false;
    const double ms = Measure([&] {
      back = WaitUntil(
          [&] {
            return std::all_of(windows.begin(), windows.end(), [](HWND w) {
              return ShownAtOrigin(w) && MarkOf(w) == 0;
            });
          },
          timeout_ms);
    });
    std::cout << "windows back after " << ms << " ms" << std::endl;
    return back;
  }

  // Runs a thread in the panel's process from start.
  bool RunRemoteThread(void* start) {
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, panel_.id());
    if (process == nullptr) return false;
    if (start == nullptr) {
      // A page that may be read and written but not run.
      start = VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE,
                             PAGE_READWRITE);
    }
    HANDLE thread = CreateRemoteThread(
        process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
        nullptr, 0, nullptr);
    CloseHandle(process);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
  }

  // Asks the panel for a WM_NULL round trip every 20 ms for duration_ms:
  // the slowest answer in milliseconds; infinity once one never came.
  double SlowestAnswer(DWORD duration_ms) const {
    double slowest = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < duration_ms) {
      bool answered = false;
      slowest = std::max(slowest,
                         Measure([&] { answered = Responds(form_, kWaitMs); }));
      if (!answered) return std::numeric_limits<double>::infinity();
      Sleep(20);
    }
    std::cout << "slowest answer: " << slowest << " ms" << std::endl;
    return slowest;
  }

  static std::wstring BoxText(HWND box) {
    std::wstring text;
    for (const std::wstring& part : ChildTexts(box, L"Static")) text += part;
    return text;
  }

  void CloseAndWait(Process& panel, HWND form) {
    PostMessageW(form, WM_CLOSE, 0, 0);
    ASSERT_TRUE(panel.WaitForExit(kWaitMs));
  }
};

// How the panel that hid the windows became of no use before the next
// start: killed with its guard; its thread suspended, so that it answers
// nothing; or the marks name a process that runs without a panel window.
enum class Useless { kKilled, kSuspended, kWindowless };

class NextStartTest : public ReliabilityTest,
                      public testing::WithParamInterface<Useless> {};

TEST_P(NextStartTest, ShowsWhatAnEarlierPanelLeftHidden) {
  ASSERT_NO_FATAL_FAILURE(ClickRefresh());
  ASSERT_TRUE(AllTrackedHidden());
  DWORD marked_by = panel_.id();
  HANDLE suspended = nullptr;
  if (GetParam() == Useless::kSuspended) {
    suspended = OpenThread(THREAD_SUSPEND_RESUME, FALSE,
                           GetWindowThreadProcessId(form_, nullptr));
    ASSERT_NE(suspended, nullptr);
    ASSERT_NE(SuspendThread(suspended), static_cast<DWORD>(-1));
  } else {
    ASSERT_NO_FATAL_FAILURE(EndGuard());
    panel_.Kill();
    form_ = nullptr;
  }
  if (GetParam() == Useless::kWindowless) {
    marked_by = client_.process().id();
    for (HWND window : Tracked()) {
      SetPropW(window, kMarkStart,
               reinterpret_cast<HANDLE>(ULONG_PTR{StartTimeOf(marked_by)}));
      SetPropW(window, kMark, reinterpret_cast<HANDLE>(ULONG_PTR{marked_by}));
    }
  }
  // The marks outlive the panel: they say who hid the windows.
  EXPECT_EQ(VisibleTracked(), 0);
  for (HWND window : Tracked()) EXPECT_EQ(MarkOf(window), marked_by);

  // Checked while the new panel's first box is open: before the panel
  // shows itself and before anything is clicked.
  Process next;
  HWND form = nullptr;
  HWND box = StartAnotherPanel(next, &form);
  ASSERT_NE(box, nullptr);
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(IsWindowVisible(form));
  for (HWND window : Tracked()) {
    EXPECT_TRUE(ShownAtOrigin(window)) << WindowTitle(window);
    EXPECT_EQ(MarkOf(window), 0u) << WindowTitle(window);
  }
  EXPECT_TRUE(ListBoxTexts(GetDlgItem(form, k大厅名称)).empty());
  EXPECT_TRUE(ListBoxTexts(GetDlgItem(form, k游戏名称)).empty());
  EXPECT_EQ(WindowTitle(GetDlgItem(form, kLabel1)), L"大厅个数：");
  EXPECT_EQ(WindowTitle(GetDlgItem(form, kLabel2)), L"游戏个数：");
  // The user hears of an earlier panel that did not answer, then of the
  // missing updater.
  if (GetParam() != Useless::kKilled) {
    EXPECT_NE(BoxText(box).find(L"没有响应"), std::wstring::npos);
    const HWND first = box;
    ASSERT_TRUE(AnswerMessageBox(first, IDOK));
    ASSERT_TRUE(WaitUntil(
        [&] {
          box = WaitForMessageBox(next.id(), 0);
          return box != nullptr && box != first;
        },
        kWaitMs));
  }
  EXPECT_NE(BoxText(box).find(L"自动升级"), std::wstring::npos);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  if (suspended != nullptr) {
    ResumeThread(suspended);
    CloseHandle(suspended);
    ASSERT_NO_FATAL_FAILURE(CloseAndWait(panel_, form_));
  }
  panel_ = std::move(next);
  form_ = form;
}

INSTANTIATE_TEST_SUITE_P(Ways, NextStartTest,
                         testing::Values(Useless::kKilled, Useless::kSuspended,
                                         Useless::kWindowless));

// The exe moved away once the panel runs: every start of its guard fails.
TEST_F(ReliabilityTest, WithoutAGuardThePanelSaysSoOnceAndGoesOn) {
  const std::wstring moved = folder_ + L"moved.exe";
  ASSERT_TRUE(MoveFileW(Image().c_str(), moved.c_str()));
  PostClick(Control(kCommand1));
  HWND box = WaitForMessageBox(panel_.id(), kWaitMs);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(BoxText(box).find(L"守护进程"), std::wstring::npos);
  // Told after the refresh.
  EXPECT_TRUE(ListsFull());
  EXPECT_EQ(VisibleTracked(), 0);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  ASSERT_TRUE(ChooseGame(L"斗地主"));
  // A box of that choice would be open by the end of this round trip.
  ASSERT_TRUE(Responds(form_));
  EXPECT_EQ(WaitForMessageBox(panel_.id(), 0), nullptr);
  EXPECT_TRUE(Guards().empty());

  // Startable again, the guard comes with the next choice.
  ASSERT_TRUE(MoveFileW(moved.c_str(), Image().c_str()));
  ASSERT_TRUE(ChooseGame(L"中国象棋"));
  EXPECT_TRUE(
      WaitUntil([&] { return GuardWaits(panel_.id()) && Guards().size() == 1; },
                kWaitMs));
}

// A launcher's job that allows no breaking away and ends its processes
// once it is closed: the guard starts inside it and would end with the
// panel, so the user hears that there is none.
TEST_F(ReliabilityTest, AGuardInAKillOnCloseJobCountsAsNone) {
  const HANDLE job = CreateJobObjectW(nullptr, nullptr);
  ASSERT_NE(job, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  const HANDLE panel =
      OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, panel_.id());
  const bool in_job =
      SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                              sizeof limits) &&
      AssignProcessToJobObject(job, panel);
  CloseHandle(panel);
  PostClick(Control(kCommand1));
  // The panel knows where its guard runs once the starter between them has
  // ended: two program starts, which a loaded machine can make last longer
  // than one wait. The guard runs all the same, and only then is the panel
  // told.
  const bool guard_waits = WaitUntil(
      [&] {
        return GuardWaits(panel_.id()) && ProcessesOfImage(Image()).size() == 2;
      },
      kWaitMs);
  const HWND box = WaitForMessageBox(panel_.id(), kWaitMs);
  const std::wstring text = box != nullptr ? BoxText(box) : std::wstring();
  CloseHandle(job);
  ASSERT_TRUE(in_job);
  EXPECT_TRUE(guard_waits);
  EXPECT_NE(text.find(L"守护进程"), std::wstring::npos)
      << "box " << (box != nullptr);
  // It ends with the job.
  EXPECT_TRUE(AllOfImageEnd(Image(), kWaitMs));
  form_ = nullptr;
}

// The panel fails: a thread of it starts at address 1, or in a page that
// is not executable, or in abort(). With its guard waiting it only ends;
// without, it shows the windows itself.
enum class Failure { kFaultAtOne, kFaultInData, kAbort };

class FailureTest
    : public ReliabilityTest,
      public testing::WithParamInterface<std::tuple<Failure, bool>> {};

TEST_P(FailureTest, TheWindowsComeBackWithinASecondAndThePanelEnds) {
  const auto [failure, guarded] = GetParam();
  ASSERT_NO_FATAL_FAILURE(ClickRefresh());
  if (guarded) {
    ASSERT_TRUE(WaitUntil([&] { return GuardWaits(panel_.id()); }, kWaitMs));
  } else {
    ASSERT_NO_FATAL_FAILURE(EndGuard());
  }
  void* start = nullptr;  // stands for a page that is not executable
  if (failure == Failure::kFaultAtOne) {
    start = reinterpret_cast<void*>(ULONG_PTR{1});
  } else if (failure == Failure::kAbort) {
    start = RemoteAddress(panel_.id(), L"msvcrt.dll", "abort");
    ASSERT_NE(start, nullptr);
  }
  const std::vector<HWND> tracked = Tracked();
  ASSERT_TRUE(RunRemoteThread(start));
  EXPECT_TRUE(AllBackWithin(tracked, 1000));
  // No box holds the failed panel up.
  DWORD exit_code = 0;
  EXPECT_TRUE(panel_.WaitForExit(1000, &exit_code));
  form_ = nullptr;
  if (failure == Failure::kAbort) {
    EXPECT_EQ(exit_code, 3u);
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, FailureTest,
                         testing::Combine(testing::Values(Failure::kFaultAtOne,
                                                          Failure::kFaultInData,
                                                          Failure::kAbort),
                                          testing::Bool()));

// The crash path only queues its calls: neither a window whose thread has
// stopped nor one that answers and then takes seconds over each show or
// move holds the failing panel.
TEST_F(ReliabilityTest, AFaultWhileAWindowIsBlockedStillEndsThePanel) {
  SimClient hanging({{L"QufPanelWnd", L"卡住的游戏", 800, 600, true, L"hung"},
                     {L"QufPanelWnd", L"QQ游戏", 800, 600, true, L"slow"}});
  ASSERT_TRUE(hanging.started());
  const HWND stuck = hanging.HandleOf(L"卡住的游戏");
  const HWND slow = hanging.HandleOf(L"QQ游戏");
  PostClick(Control(kCommand1));
  // The fault comes once the refresh has hidden every window (the slow
  // lobby's hide and move take seconds): the panel's thread goes on while
  // the handler runs.
  ASSERT_TRUE(WaitUntil(
      [&] {
        return ListBoxTexts(games_).size() == 3 && VisibleTracked() == 0 &&
               !IsWindowVisible(stuck) && !IsWindowVisible(slow) &&
               Responds(form_, 200);
      },
      4 * kWaitMs));
  ASSERT_NO_FATAL_FAILURE(EndGuard());
  hanging.Hang();
  const int slow_calls = hanging.SlowCalls();
  ASSERT_TRUE(RunRemoteThread(reinterpret_cast<void*>(ULONG_PTR{1})));
  // Synchronous calls to the slow lobby alone would take five seconds.
  EXPECT_TRUE(panel_.WaitForExit(2000));
  form_ = nullptr;
  EXPECT_TRUE(AllTrackedShownAtOrigin());
  EXPECT_TRUE(WaitUntil(
      [&] { return ShownAtOrigin(slow) && MarkOf(slow) == 0; }, 3 * kWaitMs));
  EXPECT_GT(hanging.SlowCalls(), slow_calls);
  hanging.Resume();
  EXPECT_TRUE(WaitUntil(
      [&] { return ShownAtOrigin(stuck) && MarkOf(stuck) == 0; }, kWaitMs));
}

// Windows of the panel's and of another program, which hid its own.
class GuardTest : public ReliabilityTest {
 protected:
  void SetUp() override {
    ReliabilityTest::SetUp();
    ASSERT_TRUE(other_.started());
    ASSERT_NO_FATAL_FAILURE(ClickRefresh());
    ASSERT_TRUE(WaitUntil(
        [&] { return GuardWaits(panel_.id()) && Guards().size() == 1; },
        kWaitMs));
  }

  SimClient other_{{{L"QufPanelWnd", L"自己藏的", 800, 600, false}}};
};

TEST_F(GuardTest, EndedFromOutsideItComesBackWithTheNextWalkAndRestores) {
  EndProcess(Guards()[0]);
  ASSERT_TRUE(ChooseGame(L"斗地主"));
  ASSERT_TRUE(
      WaitUntil([&] { return GuardWaits(panel_.id()) && Guards().size() == 1; },
                kWaitMs));
  const std::vector<HWND> tracked = Tracked();
  panel_.Kill();  // TerminateProcess, returns once the panel has ended
  form_ = nullptr;
  EXPECT_TRUE(AllBackWithin(tracked, 1000));
  EXPECT_FALSE(IsWindowVisible(other_.HandleOf(L"自己藏的")));
  EXPECT_TRUE(AllOfImageEnd(Image(), 1000));
}

TEST_F(GuardTest, AfterANormalCloseTheGuardLeavesTouchingNothing) {
  ASSERT_NO_FATAL_FAILURE(CloseAndWait(panel_, form_));
  form_ = nullptr;
  EXPECT_TRUE(AllOfImageEnd(Image(), 1000));
  EXPECT_TRUE(AllBackWithin(Tracked(), 0));
  EXPECT_FALSE(IsWindowVisible(other_.HandleOf(L"自己藏的")));
}

// Started by hand for anything but a panel of this very exe, or a second
// time for one, a guard leaves at once (1) and the windows stay as they
// are; for a panel that has ended (0) it shows only what that one hid.
TEST_F(GuardTest, AGuardTouchesOnlyWhatItsPanelHid) {
  const DWORD start = StartTimeOf(panel_.id());
  const DWORD client = client_.process().id();
  struct Case {
    std::vector<std::wstring> arguments;
    DWORD exit_code;
  };
  const std::vector<Case> cases = {
      {{L"/guard", std::to_wstring(client),
        std::to_wstring(StartTimeOf(client))},
       1},
      {{L"/guard", std::to_wstring(panel_.id()), std::to_wstring(start ^ 2)},
       0},
      {{L"/guard", std::to_wstring(panel_.id()), std::to_wstring(start)}, 1},
      {{L"/guard", L"x", L"1"}, 1},
      {{L"/start-guard"}, 1}};
  for (const Case& test : cases) {
    Process guard;
    ASSERT_TRUE(guard.Start(Image(), test.arguments, folder_));
    DWORD exit_code = 0;
    EXPECT_TRUE(guard.WaitForExit(kWaitMs, &exit_code))
        << ToUtf8(test.arguments.back());
    EXPECT_EQ(exit_code, test.exit_code) << ToUtf8(test.arguments.back());
    EXPECT_EQ(FindProcessWindow(guard.id(), kForm1ClassName), nullptr);
  }
  EXPECT_EQ(VisibleTracked(), 0);
  EXPECT_EQ(Guards().size(), 1u);

  // The panel ended before its guard could open it.
  const std::vector<std::wstring> arguments = {
      L"/guard", std::to_wstring(panel_.id()), std::to_wstring(start)};
  const std::vector<HWND> tracked = Tracked();
  ASSERT_NO_FATAL_FAILURE(EndGuard());
  panel_.Kill();
  form_ = nullptr;
  Process guard;
  ASSERT_TRUE(guard.Start(Image(), arguments, folder_));
  EXPECT_TRUE(AllBackWithin(tracked, 1000));
  EXPECT_FALSE(IsWindowVisible(other_.HandleOf(L"自己藏的")));
  DWORD exit_code = 1;
  EXPECT_TRUE(guard.WaitForExit(kWaitMs, &exit_code));
  EXPECT_EQ(exit_code, 0u);
}

// The end of the session, or only a request to close this program (an
// installer's, ENDSESSION_CLOSEAPP), which the panel then does.
class EndOfSessionTest : public ReliabilityTest,
                         public testing::WithParamInterface<LPARAM> {};

TEST_P(EndOfSessionTest, ShowsTheWindowsForGood) {
  ASSERT_NO_FATAL_FAILURE(AutoRefreshEvery(L"0.5"));
  ASSERT_TRUE(AllTrackedHidden());
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(form_, WM_QUERYENDSESSION, 0, GetParam(),
                                  SMTO_ABORTIFHUNG, kWaitMs, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  EXPECT_TRUE(AllTrackedShownAtOrigin());
  ASSERT_TRUE(SendMessageTimeoutW(form_, WM_ENDSESSION, TRUE, GetParam(),
                                  SMTO_ABORTIFHUNG, kWaitMs, &answer));
  if (GetParam() == ENDSESSION_CLOSEAPP) {
    EXPECT_TRUE(panel_.WaitForExit(2000));
    form_ = nullptr;
  } else {
    // No tick hides them again.
    Sleep(Scaled(1500));
  }
  EXPECT_TRUE(AllTrackedShownAtOrigin());
}

INSTANTIATE_TEST_SUITE_P(Requests, EndOfSessionTest,
                         testing::Values(LPARAM{0},
                                         LPARAM{ENDSESSION_CLOSEAPP}));

// The panel is inside a refresh, waiting on a window that is slow to be
// shown or moved, when it is told to go: by the end of the session or by a
// close that another program sends.
enum class Going { kEndOfSession, kCloseFromOutside };

class GoingDuringARefreshTest : public ReliabilityTest,
                                public testing::WithParamInterface<Going> {};

TEST_P(GoingDuringARefreshTest, EveryWindowEndsShownAndUnmarked) {
  SimClient slow({{L"QufPanelWnd", L"慢游戏", 900, 650, true, L"slow"}});
  ASSERT_TRUE(slow.started());
  std::vector<HWND> tracked = Tracked();
  tracked.push_back(slow.HandleOf(L"慢游戏"));
  PostClick(Control(kCommand1));
  ASSERT_TRUE(WaitUntil([&] { return slow.SlowCalls() > 0; }, kWaitMs));

  DWORD_PTR answer = 0;
  if (GetParam() == Going::kEndOfSession) {
    EXPECT_TRUE(SendMessageTimeoutW(form_, WM_QUERYENDSESSION, 0, 0,
                                    SMTO_ABORTIFHUNG, kWaitMs, &answer));
    EXPECT_TRUE(SendMessageTimeoutW(form_, WM_ENDSESSION, TRUE, 0,
                                    SMTO_ABORTIFHUNG, kWaitMs, &answer));
    // Handled only once the refresh is over.
    PostMessageW(form_, WM_CLOSE, 0, 0);
  } else {
    EXPECT_TRUE(SendMessageTimeoutW(form_, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG,
                                    kWaitMs, &answer));
  }
  // The interrupted refresh has run to its end when the panel has gone.
  ASSERT_TRUE(panel_.WaitForExit(30000));
  form_ = nullptr;
  for (HWND window : tracked) {
    EXPECT_TRUE(WaitUntil([&] { return ShownAtOrigin(window); }, kWaitMs))
        << ToUtf8(WindowTitle(window));
    EXPECT_EQ(MarkOf(window), 0u) << ToUtf8(WindowTitle(window));
    EXPECT_EQ(GetPropW(window, kMarkStart), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Ways, GoingDuringARefreshTest,
                         testing::Values(Going::kEndOfSession,
                                         Going::kCloseFromOutside));

TEST_F(ReliabilityTest, ASecondPanelLeavesTheFirstOnesWindowsAlone) {
  // Games that have just stopped answering keep the first panel busy in
  // its probes, a fifth of a second each, while the second one starts.
  constexpr size_t kStuck = 10;
  auto stuck = std::make_unique<SimClient>(std::vector<SimWindow>(
      kStuck, {L"QufPanelWnd", L"卡住的游戏", 800, 600, true, L"hung"}));
  ASSERT_TRUE(stuck->started());
  PostClick(Control(kCommand1));
  ASSERT_TRUE(WaitUntil(
      [&] { return ListBoxTexts(games_).size() == 2 + kStuck; }, kWaitMs));
  ASSERT_TRUE(AllTrackedHidden());
  stuck->Hang();
  PostClick(Control(kCommand1));

  Process second;
  HWND form = nullptr;
  HWND box = StartAnotherPanel(second, &form);
  ASSERT_NE(box, nullptr);
  // The first panel, busy, still answered: the second one's start left
  // alone what it hid, and told of no panel that did not answer.
  EXPECT_NE(BoxText(box).find(L"自动升级"), std::wstring::npos);
  EXPECT_TRUE(AllTrackedHidden());
  for (HWND window : Tracked()) EXPECT_EQ(MarkOf(window), panel_.id());
  stuck->Resume();
  // That refresh is over once the stuck games, not shown for its scan,
  // have fallen out of the lists, and the others are hidden again.
  ASSERT_TRUE(
      WaitUntil([&] { return WindowTitle(Control(kLabel2)) == L"游戏个数：2"; },
                kWaitMs));
  ASSERT_TRUE(AllTrackedHidden());
  stuck.reset();
  SimClient later({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                   {L"QufPanelWnd", L"五子棋", 700, 500}});
  ASSERT_TRUE(later.started());
  const std::vector<HWND> second_tracked = {later.HandleOf(L"QQ游戏"),
                                            later.HandleOf(L"五子棋")};
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form); }, kWaitMs));

  // It sees only the windows still shown.
  PostClick(GetDlgItem(form, kCommand1));
  EXPECT_TRUE(WaitUntil(
      [&] {
        return ListBoxTexts(GetDlgItem(form, k大厅名称)) ==
                   std::vector<std::wstring>{L"1-QQ游戏"} &&
               ListBoxTexts(GetDlgItem(form, k游戏名称)) ==
                   std::vector<std::wstring>{L"1-五子棋"};
      },
      kWaitMs));
  EXPECT_TRUE(WaitUntil(
      [&] {
        return !IsWindowVisible(second_tracked[0]) &&
               !IsWindowVisible(second_tracked[1]);
      },
      kWaitMs));
  for (HWND window : second_tracked) EXPECT_EQ(MarkOf(window), second.id());

  // Killed, the second one's guard brings back its windows only.
  ASSERT_TRUE(WaitUntil(
      [&] {
        return GuardWaits(panel_.id()) && GuardWaits(second.id()) &&
               Guards().size() == 2;
      },
      kWaitMs));
  second.Kill();
  EXPECT_TRUE(AllBackWithin(second_tracked, 1000));
  EXPECT_TRUE(WaitUntil([&] { return Guards().size() == 1; }, 1000));
  EXPECT_EQ(VisibleTracked(), 0);
  for (HWND window : Tracked()) EXPECT_EQ(MarkOf(window), panel_.id());
  ASSERT_NO_FATAL_FAILURE(CloseAndWait(panel_, form_));
  form_ = nullptr;
  EXPECT_TRUE(AllTrackedShownAtOrigin());
}

TEST_F(ReliabilityTest, WindowsComingAndGoingDuringRefreshes) {
  // The churned windows are destroyed and made again every 100 ms under new
  // handles; the third keeps its handle throughout.
  SimClient::Options churn;
  churn.churn_ms = 100;
  SimClient churning({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                      {L"QufPanelWnd", L"连连看", 800, 600},
                      {L"QufPanelWnd", L"围棋", 700, 500, true, L"hung"}},
                     churn);
  ASSERT_TRUE(churning.started());
  const HWND steady = churning.HandleOf(L"围棋");
  ASSERT_NO_FATAL_FAILURE(AutoRefreshEvery(L"0.5"));

  EXPECT_LT(SlowestAnswer(4000), kAnswerBoundMs);
  EXPECT_TRUE(panel_.Running());
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(steady); }, kWaitMs));

  ASSERT_NO_FATAL_FAILURE(CloseAndWait(panel_, form_));
  form_ = nullptr;
  EXPECT_TRUE(AllTrackedShownAtOrigin());
  EXPECT_TRUE(ShownAtOrigin(steady));
  // The churn goes on; a window just made may not be shown yet, so the
  // client's windows are checked until one look finds them all visible.
  EXPECT_TRUE(WaitUntil(
      [&] {
        std::vector<HWND> windows = TopLevelWindows(churning.process().id());
        return std::all_of(windows.begin(), windows.end(), [](HWND window) {
          return ClassName(window) != L"QufPanelWnd" || IsWindowVisible(window);
        });
      },
      kWaitMs));
}

TEST_F(ReliabilityTest, AWindowThatStopsAnsweringMidRefresh) {
  SimClient hanging({{L"QufPanelWnd", L"卡住的游戏", 800, 600, true, L"hung"}});
  ASSERT_TRUE(hanging.started());
  const HWND stuck = hanging.HandleOf(L"卡住的游戏");
  ASSERT_NO_FATAL_FAILURE(AutoRefreshEvery(L"0.5"));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(stuck); }, kWaitMs));

  hanging.Hang();
  // Long enough for the system to count the window as hung.
  EXPECT_LT(SlowestAnswer(7000), kAnswerBoundMs);
  EXPECT_TRUE(IsHungAppWindow(stuck));
  hanging.Resume();

  ASSERT_NO_FATAL_FAILURE(CloseAndWait(panel_, form_));
  form_ = nullptr;
  EXPECT_TRUE(AllTrackedShownAtOrigin());
  EXPECT_TRUE(WaitUntil([&] { return ShownAtOrigin(stuck); }, kWaitMs))
      << Describe(stuck);
}

}  // namespace
}  // namespace corvantis::e2e
