#include "control/window_control.h"

#include <unordered_map>

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

  void Show(WindowHandle window, ShowCommand command) {
    if (Answers(window)) {
      windows_.ShowWindow(window, command);
    } else {
      windows_.ShowWindowAsync(window, command);
    }
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

}  // namespace

void HideTrackedWindows(WindowSystem& windows, const TrackedWindows& lists) {
  WindowReach reach(windows);
  Hide(reach, lists);
}

void ShowTrackedWindows(WindowSystem& windows, const TrackedWindows& lists) {
  WindowReach reach(windows);
  const auto show = [&](WindowHandle window) {
    reach.Show(window, ShowCommand::ShowNormal);
    reach.Place(window);
  };
  ForEachHandle(lists.大厅句柄, show);
  ForEachHandle(lists.游戏句柄, show);
}

void SelectTrackedWindow(WindowSystem& windows, const TrackedWindows& lists,
                         const ListControl& names, const ListControl& handles) {
  if (names.ListIndex() < 0) return;
  WindowReach reach(windows);
  Hide(reach, lists);
  const WindowHandle selected = HandleAt(handles, names.ListIndex());
  if (selected != 0) reach.Show(selected, ShowCommand::ShowNormal);
}

void CloseAllTrackedWindows(WindowSystem& windows,
                            const TrackedWindows& lists) {
  WindowReach reach(windows);
  const auto close = [&](WindowHandle window) { reach.Close(window); };
  ForEachHandle(lists.游戏句柄, close);
  ForEachHandle(lists.大厅句柄, close);
}

}  // namespace corvantis
