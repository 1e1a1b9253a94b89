#include "control/window_control.h"

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

  void Show(WindowHandle window, ShowCommand command) {
    const bool answers = Answers(window);
    if (answers) {
      windows_.ShowWindow(window, command);
    } else {
      windows_.ShowWindowAsync(window, command);
    }
    if (command != ShowCommand::ShowNormal) return;
    // A refused show leaves the window hidden: it keeps its mark, so that
    // a later walk, the next panel or the crash path still finds it. A
    // queued show is trusted: it takes effect when the thread runs again.
    if (answers && !windows_.IsWindowVisible(window) &&
        windows_.IsWindow(window)) {
      refused_ = true;
      return;
    }
    windows_.RemoveHiddenMark(window);
  }

  void Place(WindowHandle window) {
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
  bool Answers(WindowHandle window) {
    const auto known = answers_.find(window);
    if (known != answers_.end()) return known->second;
    const bool answers = windows_.Responds(window);
    answers_.emplace(window, answers);
    return answers;
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

void ShowAndPlace(WindowReach& reach, WindowHandle window) {
  reach.Show(window, ShowCommand::ShowNormal);
  reach.Place(window);
}

// Games are minimised before they are hidden; lobbies are not.
void HideOne(WindowReach& reach, WindowHandle window, bool game) {
  if (reach.Unloading() || !reach.Mark(window)) return;
  if (game) reach.Show(window, ShowCommand::ShowMinimized);
  if (!reach.Unloading()) reach.Show(window, ShowCommand::Hide);
  if (!reach.Unloading()) reach.Place(window);
  // The panel unloaded inside one of these calls, and its show may have
  // reached the window before this walk's calls did.
  if (reach.Unloading()) ShowAndPlace(reach, window);
}

void Hide(WindowReach& reach, const TrackedWindows& lists) {
  ForEachHandle(lists.大厅句柄,
                [&](WindowHandle window) { HideOne(reach, window, false); });
  ForEachHandle(lists.游戏句柄,
                [&](WindowHandle window) { HideOne(reach, window, true); });
}

// The enumeration takes a plain function; it collects into this.
struct MarkedWindows {
  WindowSystem* windows;
  HiddenMark wanted;
  std::vector<WindowHandle> found;
};
MarkedWindows* current_collection = nullptr;

std::int32_t CollectMarkedWindow(WindowHandle window, std::int32_t) {
  if (WhoHid(*current_collection->windows, window) ==
      current_collection->wanted) {
    current_collection->found.push_back(window);
  }
  return 1;
}

bool ShowMarkedWindows(WindowSystem& windows, HiddenMark wanted) {
  // The usual case, at start above all: no panel left a mark anywhere, so
  // there is nothing to look for among possibly thousands of windows.
  if (!windows.AnyWindowMarked()) return true;
  MarkedWindows collection{&windows, wanted, {}};
  MarkedWindows* const previous = current_collection;
  current_collection = &collection;
  windows.EnumChildWindows(0, CollectMarkedWindow, 0);
  current_collection = previous;
  WindowReach reach(windows, kStaysLoaded);
  for (const WindowHandle window : collection.found) {
    ShowAndPlace(reach, window);
  }
  return reach.Complete();
}

// What the walk of ShowWindowsMarkedBy needs; it may run on any thread of
// a failing panel or in the guard, never twice at once in one process.
struct MarkedBy {
  WindowSystem* windows;
  PanelProcess panel;
};
MarkedBy* current_marked_by = nullptr;

// The queued calls leave the snapshot that the enumeration walks as it is,
// so each window is dealt with as it is visited, without a list.
std::int32_t ShowIfMarkedBy(WindowHandle window, std::int32_t) {
  WindowSystem& windows = *current_marked_by->windows;
  if (windows.ReadHiddenMark(window) == current_marked_by->panel) {
    windows.ShowWindowAsync(window, ShowCommand::ShowNormal);
    windows.MoveWindowAsync(window, 0, 0, kPlacedWidth, kPlacedHeight);
    windows.RemoveHiddenMark(window);
  }
  return 1;
}

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

void RestoreWindowsOfEndedPanels(WindowSystem& windows) {
  ShowMarkedWindows(windows, HiddenMark::GonePanel);
}

bool ShowWindowsHiddenByThisPanel(WindowSystem& windows) {
  return ShowMarkedWindows(windows, HiddenMark::ThisPanel);
}

void ShowWindowsMarkedBy(WindowSystem& windows, PanelProcess panel) {
  MarkedBy marked_by{&windows, panel};
  current_marked_by = &marked_by;
  windows.EnumChildWindows(0, ShowIfMarkedBy, 0);
  current_marked_by = nullptr;
}

bool SelectTrackedWindow(WindowSystem& windows, const TrackedWindows& lists,
                         const ListControl& names, const ListControl& handles,
                         const bool& unloading) {
  if (names.ListIndex() < 0) return true;
  WindowReach reach(windows, unloading);
  Hide(reach, lists);
  const WindowHandle selected = HandleAt(handles, names.ListIndex());
  // A game hidden for the first time was moved while minimised, which
  // leaves the place it is restored to as it was; placing it after the show
  // puts it at the origin like every other window the panel touches.
  if (selected != 0) ShowAndPlace(reach, selected);
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
  const bool complete = ShowTrackedWindows(windows_, lists);
  if (!strays_possible_) return complete;
  return ShowWindowsHiddenByThisPanel(windows_) && complete;
}

bool TrackedWindowWalks::HideAll(const TrackedWindows& lists) {
  return HideTrackedWindows(windows_, lists, unloading_);
}

}  // namespace corvantis
