#include "control/window_control.h"

#include <functional>
#include <unordered_map>
#include <vector>

namespace corvantis {
namespace {

// Reaches each window with the synchronous calls while its thread answers,
// and with queued ones once it has failed to: a window whose thread has
// stopped would otherwise hold the panel forever. A queued call takes
// effect when the thread runs again, so nothing is lost either way. The
// answer is asked once per window for one walk, which bounds the wait at
// one short time-out per hung window.
class WindowReach {
 public:
  WindowReach(WindowSystem& windows, const bool& unloading)
      : windows_(windows), unloading_(unloading) {}

  // A window is marked before it is hidden, so that no moment leaves a
  // hidden window without its mark. One that refuses the mark is not
  // hidden at all.
  bool Mark(WindowHandle window) {
    if (windows_.MarkHidden(window)) return true;
    if (windows_.IsWindow(window)) refused_ = true;
    return false;
  }

  // A window this panel hid before, not shown since (and, for a game,
  // still minimised), has nothing to undo: hiding it again would only
  // cost, under Wine a walk of every window per activation change.
  bool AlreadyHidden(WindowHandle window, bool game) {
    return !windows_.IsWindowVisible(window) &&
           (!game || windows_.IsIconic(window)) &&
           windows_.ReadHiddenMark(window) == windows_.CurrentProcess();
  }

  // Returns whether the window answered, so the call was not queued.
  bool Show(WindowHandle window, ShowCommand command) {
    const bool answers = Answers(window);
    if (answers) {
      windows_.ShowWindow(window, command);
    } else {
      windows_.ShowWindowAsync(window, command);
    }
    return answers;
  }

  // Shows a window the panel may have hidden, and takes its mark away.
  void ShowAgain(WindowHandle window, ShowCommand command) {
    // A refused show leaves the window hidden: it keeps its mark, so that
    // a later walk, the next panel or the crash path still finds it. A
    // queued show is trusted: it takes effect when the thread runs again.
    if (Show(window, command) && !windows_.IsWindowVisible(window) &&
        windows_.IsWindow(window)) {
      refused_ = true;
      return;
    }
    windows_.RemoveHiddenMark(window);
  }

  bool Minimised(WindowHandle window) { return windows_.IsIconic(window); }

  // Whether the window's thread answered; asked once per walk.
  bool Answers(WindowHandle window) {
    const auto known = answers_.find(window);
    if (known != answers_.end()) return known->second;
    const bool answers = windows_.Responds(window);
    answers_.emplace(window, answers);
    return answers;
  }

  // A minimised window is not moved: that would move its minimised caption
  // only, and leave the place it is restored to as it was. It is placed
  // when it is next restored.
  void Place(WindowHandle window) {
    // A move that changes nothing still waits for the window's thread. A
    // window reached by queued calls may not have applied them yet, and
    // the move comes after them.
    const auto known = answers_.find(window);
    const bool queued = known != answers_.end() && !known->second;
    if (!queued && (windows_.IsIconic(window) || Placed(window))) return;
    if (Answers(window)) {
      windows_.MoveWindow(window, 0, 0, kPlacedWidth, kPlacedHeight, -1);
    } else {
      windows_.MoveWindowAsync(window, 0, 0, kPlacedWidth, kPlacedHeight);
    }
  }

  // A close the system refused to deliver counts as a refusal too.
  void Close(WindowHandle window) {
    const bool delivered = Answers(window)
                               ? windows_.SendMessageA(window, kWmClose)
                               : windows_.PostMessageA(window, kWmClose);
    if (!delivered) refused_ = true;
  }

  // The panel waits in each synchronous call, and a message sent to it
  // meanwhile can unload it: from then on nothing may be hidden.
  bool Unloading() const { return unloading_; }
  // False once a window refused its mark, its show or its close.
  bool Complete() const { return !refused_; }

 private:
  bool Placed(WindowHandle window) {
    const WindowRect rect = windows_.GetWindowRect(window);
    return rect.left == 0 && rect.top == 0 && rect.right == kPlacedWidth &&
           rect.bottom == kPlacedHeight;
  }

  WindowSystem& windows_;
  const bool& unloading_;
  std::unordered_map<WindowHandle, bool> answers_;
  bool refused_ = false;
};

template <typename Visit>
void ForEachHandle(const ListControl& handles, Visit visit) {
  const std::int16_t count = handles.ListCount();
  for (std::int16_t index = 0; index < count; ++index) {
    const WindowHandle window = HandleAt(handles, index);
    if (window != 0) visit(window);
  }
}

// Every show but that of the window the user chose leaves the keyboard
// focus where it is.
void ShowAndPlace(WindowReach& reach, WindowHandle window,
                  ShowCommand command = ShowCommand::ShowNoActivate) {
  reach.ShowAgain(window, command);
  reach.Place(window);
}

// Before a scan a window need only be visible. One that is minimised is
// shown minimised, and so not placed: the system gives the focus to every
// window restored from minimised, whatever the show command says.
// A queued show may come only after the scan, and the window then falls
// out of the lists: it is restored, to come back whole.
void ShowForScan(WindowReach& reach, WindowHandle window) {
  ShowAndPlace(reach, window,
               reach.Minimised(window) && reach.Answers(window)
                   ? ShowCommand::ShowMinNoActive
                   : ShowCommand::ShowNoActivate);
  // The panel unloaded inside this show, and its restore may have reached
  // the window before this walk's show did.
  if (reach.Unloading()) ShowAndPlace(reach, window);
}

// Games are minimised before they are hidden, and placed before that, so
// that they are restored at the origin; lobbies are hidden, then placed.
void HideOne(WindowReach& reach, WindowHandle window, bool game) {
  if (reach.Unloading()) return;
  if (reach.AlreadyHidden(window, game)) {
    reach.Place(window);
    return;
  }
  if (!reach.Mark(window)) return;
  // A game the refresh showed minimised is minimised already; one reached
  // by queued calls may be restored by one still waiting.
  if (game && !(reach.Answers(window) && reach.Minimised(window))) {
    reach.Place(window);
    if (!reach.Unloading()) reach.Show(window, ShowCommand::ShowMinNoActive);
  }
  if (!reach.Unloading()) reach.Show(window, ShowCommand::Hide);
  if (!game && !reach.Unloading()) reach.Place(window);
  // The panel unloaded inside one of these calls, and its show may have
  // reached the window before this walk's calls did.
  if (reach.Unloading()) ShowAndPlace(reach, window);
}

// Hides every tracked window but spared, which is about to be shown.
void Hide(WindowReach& reach, const TrackedWindows& lists,
          WindowHandle spared = 0) {
  ForEachHandle(lists.大厅句柄, [&](WindowHandle window) {
    if (window != spared) HideOne(reach, window, false);
  });
  ForEachHandle(lists.游戏句柄, [&](WindowHandle window) {
    if (window != spared) HideOne(reach, window, true);
  });
}

// The enumeration takes a plain function; it collects into this.
std::vector<WindowHandle>* current_collection = nullptr;

std::int32_t CollectWindow(WindowHandle window, std::int32_t) {
  current_collection->push_back(window);
  return 1;
}

std::vector<WindowHandle> TopLevelWindows(WindowSystem& windows) {
  std::vector<WindowHandle> found;
  std::vector<WindowHandle>* const previous = current_collection;
  current_collection = &found;
  windows.EnumChildWindows(0, CollectWindow, 0);
  current_collection = previous;
  return found;
}

// Shows every marked window for which shown(window) says so.
template <typename Shown>
bool ShowMarkedWindows(WindowSystem& windows, Shown shown) {
  // The usual case, at start above all: no panel left a mark anywhere, so
  // there is nothing to look for among possibly thousands of windows.
  if (!windows.AnyWindowMarked()) return true;
  WindowReach reach(windows, kStaysLoaded);
  for (const WindowHandle window : TopLevelWindows(windows)) {
    if (shown(window)) ShowAndPlace(reach, window);
  }
  return reach.Complete();
}

// True when a window of the panel's class that the process made answers
// the probe: a panel that is suspended, hung or has lost its window does
// not.
bool PanelAnswers(WindowSystem& windows, std::uint32_t process_id,
                  const Text& panel_class) {
  // One unit more than the name: a longer name does not match.
  const auto length = static_cast<std::int32_t>(panel_class.size() + 2);
  for (const WindowHandle window : TopLevelWindows(windows)) {
    if (windows.WindowProcessId(window) == process_id &&
        windows.GetClassNameW(window, length) == panel_class &&
        windows.PanelResponds(window)) {
      return true;
    }
  }
  return false;
}

// No desktop holds more windows than the system's 65,536 window handles:
// a walk of the z-order that takes more steps is going round in circles,
// as a z-order that keeps changing can send it.
constexpr int kMostZOrderSteps = 1 << 16;

}  // namespace

HiddenMark WhoHid(WindowSystem& windows, WindowHandle window) {
  const PanelProcess mark = windows.ReadHiddenMark(window);
  if (mark.id == 0) return HiddenMark::None;
  if (mark == windows.CurrentProcess()) return HiddenMark::ThisPanel;
  // A process that now runs under the id since a different start, or that
  // may not be queried at all, is not the panel that hid the window.
  return mark.start != 0 && windows.ProcessStartTime(mark.id) == mark.start
             ? HiddenMark::RunningPanel
             : HiddenMark::GonePanel;
}

bool HideTrackedWindows(WindowSystem& windows, const TrackedWindows& lists,
                        const bool& unloading) {
  WindowReach reach(windows, unloading);
  Hide(reach, lists);
  return reach.Complete();
}

bool ShowTrackedWindows(WindowSystem& windows, const TrackedWindows& lists) {
  WindowReach reach(windows, kStaysLoaded);
  const auto show = [&](WindowHandle window) { ShowAndPlace(reach, window); };
  ForEachHandle(lists.大厅句柄, show);
  ForEachHandle(lists.游戏句柄, show);
  return reach.Complete();
}

bool ShowEveryWindowOfThisPanel(WindowSystem& windows,
                                const TrackedWindows& lists) {
  const bool complete = ShowTrackedWindows(windows, lists);
  return ShowWindowsHiddenByThisPanel(windows) && complete;
}

bool RestoreWindowsOfEndedPanels(WindowSystem& windows,
                                 const Text& panel_class) {
  // Each running panel is probed once, at most one short time-out each.
  std::unordered_map<std::uint32_t, bool> answers;
  bool unanswering = false;
  ShowMarkedWindows(windows, [&](WindowHandle window) {
    const HiddenMark who = WhoHid(windows, window);
    if (who != HiddenMark::RunningPanel) return who == HiddenMark::GonePanel;
    const std::uint32_t panel = windows.ReadHiddenMark(window).id;
    auto known = answers.find(panel);
    if (known == answers.end()) {
      known = answers.emplace(panel, PanelAnswers(windows, panel, panel_class))
                  .first;
    }
    unanswering |= !known->second;
    return !known->second;
  });
  return unanswering;
}

bool ShowWindowsHiddenByThisPanel(WindowSystem& windows) {
  return ShowMarkedWindows(windows, [&](WindowHandle window) {
    return WhoHid(windows, window) == HiddenMark::ThisPanel;
  });
}

void ShowWindowsMarkedBy(WindowSystem& windows, PanelProcess panel) {
  // One window after the other along the z-order, without the snapshot
  // an enumeration takes. A window that goes away takes the way on with
  // it: the walk starts again at the top, where the marks already taken
  // away make a second visit change nothing.
  WindowHandle window = 0;
  for (int step = 0; step < kMostZOrderSteps; ++step) {
    const WindowHandle next = windows.NextTopLevelWindow(window);
    if (next == 0 && (window == 0 || windows.IsWindow(window))) return;
    window = next;
    if (window != 0 && windows.ReadHiddenMark(window) == panel) {
      windows.ShowWindowAsync(window, ShowCommand::ShowNoActivate);
      windows.MoveWindowAsync(window, 0, 0, kPlacedWidth, kPlacedHeight);
      windows.RemoveHiddenMark(window);
    }
  }
}

bool SelectTrackedWindow(WindowSystem& windows, const TrackedWindows& lists,
                         const ListControl& names, const ListControl& handles,
                         const bool& unloading,
                         const std::function<void()>& before_hiding) {
  if (names.ListIndex() < 0) return true;
  WindowReach reach(windows, unloading);
  const WindowHandle selected = HandleAt(handles, names.ListIndex());
  // The chosen window comes first: hiding the window chosen before while
  // it still had the focus would hand the focus to whatever window lies
  // behind it. The chosen window is not hidden on the way, which would
  // only make it flicker.
  if (selected != 0) {
    // A window restored from minimised comes back where it was before it
    // was minimised: placed after the show.
    ShowAndPlace(reach, selected, ShowCommand::ShowNormal);
    // The user has just clicked the panel, which may therefore hand the
    // focus on: the keys typed next go to the chosen window. Only while
    // the click is fresh: a user who clicks elsewhere meanwhile keeps it.
    windows.SetForegroundWindow(selected);
  }
  if (before_hiding) before_hiding();
  Hide(reach, lists, selected);
  return reach.Complete();
}

bool CloseAllTrackedWindows(WindowSystem& windows,
                            const TrackedWindows& lists) {
  WindowReach reach(windows, kStaysLoaded);
  const auto close = [&](WindowHandle window) { reach.Close(window); };
  ForEachHandle(lists.游戏句柄, close);
  ForEachHandle(lists.大厅句柄, close);
  return reach.Complete();
}

bool TrackedWindowWalks::ShowAll(const TrackedWindows& lists) {
  WindowReach reach(windows_, unloading_);
  const auto show = [&](WindowHandle window) { ShowForScan(reach, window); };
  ForEachHandle(lists.大厅句柄, show);
  ForEachHandle(lists.游戏句柄, show);
  const bool complete = reach.Complete();
  if (!strays_possible_) return complete;
  return ShowWindowsHiddenByThisPanel(windows_) && complete;
}

bool TrackedWindowWalks::HideAll(const TrackedWindows& lists) {
  return HideTrackedWindows(windows_, lists, unloading_);
}

}  // namespace corvantis
