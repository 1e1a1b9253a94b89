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
  explicit WindowReach(WindowSystem& windows) : windows_(windows) {}

  // A window is marked before it is hidden and unmarked once shown, so
  // that no moment leaves a hidden window without its mark.
  void Show(WindowHandle window, ShowCommand command) {
    if (command == ShowCommand::Hide) windows_.MarkHidden(window);
    if (Answers(window)) {
      windows_.ShowWindow(window, command);
    } else {
      windows_.ShowWindowAsync(window, command);
    }
    if (command == ShowCommand::ShowNormal) windows_.RemoveHiddenMark(window);
  }

  void Place(WindowHandle window) {
    if (Answers(window)) {
      windows_.MoveWindow(window, 0, 0, kPlacedWidth, kPlacedHeight, -1);
    } else {
      windows_.MoveWindowAsync(window, 0, 0, kPlacedWidth, kPlacedHeight);
    }
  }

  void Close(WindowHandle window) {
    if (Answers(window)) {
      windows_.SendMessageA(window, kWmClose);
    } else {
      windows_.PostMessageA(window, kWmClose);
    }
  }

 private:
  bool Answers(WindowHandle window) {
    const auto known = answers_.find(window);
    if (known != answers_.end()) return known->second;
    const bool answers = windows_.Responds(window);
    answers_.emplace(window, answers);
    return answers;
  }

  WindowSystem& windows_;
  std::unordered_map<WindowHandle, bool> answers_;
};

template <typename Visit>
void ForEachHandle(const ListControl& handles, Visit visit) {
  const std::int16_t count = handles.ListCount();
  for (std::int16_t index = 0; index < count; ++index) {
    const WindowHandle window = HandleAt(handles, index);
    if (window != 0) visit(window);
  }
}

void Hide(WindowReach& reach, const TrackedWindows& lists) {
  ForEachHandle(lists.大厅句柄, [&](WindowHandle window) {
    reach.Show(window, ShowCommand::Hide);
    reach.Place(window);
  });
  ForEachHandle(lists.游戏句柄, [&](WindowHandle window) {
    reach.Show(window, ShowCommand::ShowMinimized);
    reach.Show(window, ShowCommand::Hide);
    reach.Place(window);
  });
}

void ShowAndPlace(WindowReach& reach, WindowHandle window) {
  reach.Show(window, ShowCommand::ShowNormal);
  reach.Place(window);
}

// The enumeration takes a plain function; it collects into this.
struct MarkedWindows {
  WindowSystem* windows;
  HiddenMark wanted;
  std::vector<WindowHandle> found;
};
MarkedWindows* current_collection = nullptr;

std::int32_t CollectMarkedWindow(WindowHandle window, std::int32_t) {
  if (current_collection->windows->ReadHiddenMark(window) ==
      current_collection->wanted) {
    current_collection->found.push_back(window);
  }
  return 1;
}

void ShowMarkedWindows(WindowSystem& windows, HiddenMark wanted) {
  MarkedWindows collection{&windows, wanted, {}};
  MarkedWindows* const previous = current_collection;
  current_collection = &collection;
  windows.EnumChildWindows(0, CollectMarkedWindow, 0);
  current_collection = previous;
  WindowReach reach(windows);
  for (const WindowHandle window : collection.found) {
    ShowAndPlace(reach, window);
  }
}

}  // namespace

void HideTrackedWindows(WindowSystem& windows, const TrackedWindows& lists) {
  WindowReach reach(windows);
  Hide(reach, lists);
}

void ShowTrackedWindows(WindowSystem& windows, const TrackedWindows& lists) {
  WindowReach reach(windows);
  const auto show = [&](WindowHandle window) { ShowAndPlace(reach, window); };
  ForEachHandle(lists.大厅句柄, show);
  ForEachHandle(lists.游戏句柄, show);
}

void RestoreWindowsOfEndedPanels(WindowSystem& windows) {
  ShowMarkedWindows(windows, HiddenMark::GonePanel);
}

void ShowWindowsHiddenByThisPanel(WindowSystem& windows) {
  ShowMarkedWindows(windows, HiddenMark::ThisPanel);
}

void SelectTrackedWindow(WindowSystem& windows, const TrackedWindows& lists,
                         const ListControl& names, const ListControl& handles) {
  if (names.ListIndex() < 0) return;
  WindowReach reach(windows);
  Hide(reach, lists);
  const WindowHandle selected = HandleAt(handles, names.ListIndex());
  // A game hidden for the first time was moved while minimised, which
  // leaves the place it is restored to as it was; placing it after the show
  // puts it at the origin like every other window the panel touches.
  if (selected != 0) ShowAndPlace(reach, selected);
}

void CloseAllTrackedWindows(WindowSystem& windows,
                            const TrackedWindows& lists) {
  WindowReach reach(windows);
  const auto close = [&](WindowHandle window) { reach.Close(window); };
  ForEachHandle(lists.游戏句柄, close);
  ForEachHandle(lists.大厅句柄, close);
}

}  // namespace corvantis
