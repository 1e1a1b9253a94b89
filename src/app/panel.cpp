#include "app/panel.h"

#include "app/period.h"
#include "companions/messages.h"
#include "companions/unscramble.h"
#include "control/window_control.h"
#include "tracking/scan.h"

namespace corvantis {
namespace {

constexpr char16_t kAutoRefreshOff[] = u"自动刷新";
constexpr char16_t kAutoRefreshOn[] = u"取消自动";

}  // namespace

Panel::Panel(CompanionServices services, PanelControls controls,
             GuardStarter& guard)
    : services_(services),
      controls_(controls),
      guard_(guard),
      lists_{controls.大厅名称, 大厅句柄_, controls.游戏名称, 游戏句柄_} {}

void Panel::Form_Load() {
  // Windows that an earlier panel hid and never showed again, because it
  // was killed or crashed or no longer answers, come back before anything
  // else happens.
  if (RestoreWindowsOfEndedPanels(services_.windows, kPanelClassName)) {
    services_.boxes.ShowInformation(
        kBoxTitle, UnscrambleMessage(kUnansweringPanelMessage));
  }
  LaunchCompanion(services_, window_, kUpdater);
}

void Panel::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  // No tick may hide a window again once the panel is going.
  controls_.Timer1.SetEnabled(false);
  controls_.Timer2.SetEnabled(false);
  // Whatever the run has been, also for any window that fell out of the
  // lists: the last chance.
  ShowEveryWindowOfThisPanel(services_.windows, lists_);
}

void Panel::ResumeAfterCancelledEnd() {
  if (!unloaded_) return;
  unloaded_ = false;
  controls_.Timer1.SetEnabled(controls_.Command2.Caption() == kAutoRefreshOn);
  controls_.Timer2.SetEnabled(controls_.Check1.Value() == 1);
}

void Panel::大厅名称_Click() { Select(lists_.大厅名称, lists_.大厅句柄); }

void Panel::游戏名称_Click() { Select(lists_.游戏名称, lists_.游戏句柄); }

void Panel::Select(const ListControl& names, const ListControl& handles) {
  // The chosen window comes up before the guard is seen to, which may wait:
  // while the user's click is fresh, the system lets the chosen window
  // take the focus.
  RunWalk([&](const std::function<void()>& keep_guard) {
    return SelectTrackedWindow(services_.windows, lists_, names, handles,
                               unloaded_, keep_guard);
  });
}

void Panel::Command1_Click() { Refresh(); }

void Panel::Command2_Click() {
  const Text caption = controls_.Command2.Caption();
  if (caption == kAutoRefreshOff) {
    const auto interval = IntervalFromPeriod(controls_.Text1.GetText());
    if (!interval) {
      services_.boxes.ShowInformation(kBoxTitle,
                                      UnscrambleMessage(kBadPeriodMessage));
      return;
    }
    controls_.Timer1.SetInterval(*interval);
    controls_.Timer1.SetEnabled(true);
    controls_.Command2.SetCaption(kAutoRefreshOn);
  } else if (caption == kAutoRefreshOn) {
    controls_.Timer1.SetEnabled(false);
    controls_.Command2.SetCaption(kAutoRefreshOff);
  }
}

void Panel::Command3_Click() { LaunchCompanion(services_, window_, kClient); }

void Panel::Command4_Click() { OpenDownloadPage(services_.windows); }

void Panel::Command5_Click() {
  RunWalk([&](const std::function<void()>&) {
    return CloseAllTrackedWindows(services_.windows, lists_);
  });
}

void Panel::Check1_Click() {
  controls_.Timer2.SetEnabled(controls_.Check1.Value() == 1);
}

void Panel::Timer1_Timer() {
  // A period edited while auto-refresh runs applies from this tick on; a
  // period that is no longer valid keeps the last good interval, without a
  // box, so that ticks never stack boxes.
  if (const auto interval = IntervalFromPeriod(controls_.Text1.GetText())) {
    controls_.Timer1.SetInterval(*interval);
  }
  Refresh();
}

void Panel::Timer2_Timer() {
  services_.windows.SetWindowPos(window_, kHwndTopmost, kSwpStayOnTop);
}

void Panel::GuardWatch_Timer() {
  const GuardState state = guard_.State();
  if (state == GuardState::kStarting) return;
  controls_.GuardWatch.SetEnabled(false);
  // No box once the panel is going: it may be the end of the session.
  if (state != GuardState::kRuns && !unloaded_) ReportNoGuard();
}

void Panel::Refresh() {
  RunWalk([&](const std::function<void()>& keep_guard) {
    keep_guard();
    WindowSystem& windows = services_.windows;
    const WindowHandle focus = windows.GetForegroundWindow();
    TrackedWindowWalks walks(windows, refused_, unloaded_);
    const bool complete = RefreshWindowLists(windows, lists_, controls_.Label1,
                                             controls_.Label2, walks);
    GiveFocusBack(focus);
    return complete;
  });
}

void Panel::GiveFocusBack(WindowHandle focus) {
  // A window manager may focus each window as the walk shows it, and pass
  // the focus on as it hides it. Only a focus that went to the client's
  // windows or the panel is given back: one the user moved elsewhere
  // meanwhile stays where the user put it.
  WindowSystem& windows = services_.windows;
  const WindowHandle now = windows.GetForegroundWindow();
  if (focus == 0 || now == focus || !windows.IsWindow(focus) ||
      !windows.IsWindowVisible(focus)) {
    return;
  }
  if (now == 0 || now == window_ || Tracks(lists_, now)) {
    windows.SetForegroundWindow(focus);
  }
}

template <typename Walk>
void Panel::RunWalk(Walk walk) {
  if (walking_ || unloaded_) return;
  walking_ = true;
  // Walks that may hide a window ask for the guard before their first hide.
  bool guarded = true;
  const bool complete = walk([&] { guarded = KeepGuard(); });
  walking_ = false;
  // No box once the panel is going: it may be the end of the session. The
  // boxes come after the walk, so that the lists are up to date behind
  // them.
  if (!guarded && !unloaded_) ReportNoGuard();
  if (complete) return;
  refused_ = true;
  if (!unloaded_) ReportRefusal();
}

bool Panel::KeepGuard() {
  GuardState state = guard_.State();
  // One that is still starting is not started twice.
  if (state == GuardState::kAbsent) state = guard_.Start();
  if (state == GuardState::kStarting) controls_.GuardWatch.SetEnabled(true);
  return state == GuardState::kRuns || state == GuardState::kStarting;
}

void Panel::ReportNoGuard() {
  if (told_of_no_guard_) return;
  // Set first: timer ticks arrive while the box is open.
  told_of_no_guard_ = true;
  services_.boxes.ShowInformation(kBoxTitle,
                                  UnscrambleMessage(kNoGuardMessage));
}

void Panel::ReportRefusal() {
  if (told_of_refusal_) return;
  // Set first: timer ticks arrive while the box is open.
  told_of_refusal_ = true;
  services_.boxes.ShowInformation(kBoxTitle,
                                  UnscrambleMessage(kElevatedClientMessage));
}

}  // namespace corvantis
