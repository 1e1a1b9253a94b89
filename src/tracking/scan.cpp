#include "tracking/scan.h"

namespace corvantis {
namespace {

constexpr std::size_t kClassPrefixLength = 11;
constexpr char16_t kClientClass[] = u"QufPanelWnd";
constexpr char16_t kLobbyTitle[] = u"QQ游戏";
// Widths of the client's small windows (tips, dialogs) that are not worth
// tracking.
constexpr std::int32_t kPassedOverWidths[] = {360, 446, 486};
constexpr std::int32_t kClassBufferSize = 255;
// A window reports its own title length; a hostile or broken one could
// claim gigabytes. Longer titles are read cut short.
constexpr std::int32_t kMaxTitleLength = 1 << 20;

ScanTarget* current_target = nullptr;

void Record(ListControl& names, ListControl& handles, WindowHandle window,
            const Text& title) {
  // The lists count in 16 bits: a window beyond that stays untracked, and
  // so untouched, rather than corrupting the pairing.
  if (handles.ListCount() >= kMaxListCount ||
      names.ListCount() >= kMaxListCount) {
    return;
  }
  handles.AddItem(HandleText(window));
  names.AddItem(DisplayText(handles.ListCount(), title));
}

}  // namespace

WindowKind ClassifyWindow(const WindowFacts& facts) {
  const bool client_class =
      facts.class_name.compare(0, kClassPrefixLength, kClientClass) == 0;
  bool passed_over_width = false;
  for (const std::int32_t width : kPassedOverWidths) {
    passed_over_width = passed_over_width || facts.width == width;
  }
  if (!client_class || !facts.visible || facts.title.empty() ||
      passed_over_width) {
    return WindowKind::Untracked;
  }
  return facts.title == kLobbyTitle ? WindowKind::Lobby : WindowKind::Game;
}

WindowFacts ReadWindowFacts(WindowSystem& windows, WindowHandle window) {
  WindowFacts facts;
  std::int32_t length = windows.GetWindowTextLengthW(window);
  if (length < 0) length = 0;
  if (length > kMaxTitleLength) length = kMaxTitleLength;
  facts.title = windows.GetWindowTextW(window, length + 1);
  facts.class_name = windows.GetClassNameW(window, kClassBufferSize);
  const WindowRect rect = windows.GetWindowRect(window);
  facts.width = static_cast<std::int32_t>(
      static_cast<std::int64_t>(rect.right) - rect.left);
  facts.visible = windows.IsWindowVisible(window);
  return facts;
}

ScopedScanTarget::ScopedScanTarget(ScanTarget& target)
    : previous_(current_target) {
  current_target = &target;
}

ScopedScanTarget::~ScopedScanTarget() { current_target = previous_; }

std::int32_t ScanWindowProc(WindowHandle window, std::int32_t /*argument*/) {
  if (current_target == nullptr) return 1;
  TrackedWindows& lists = current_target->lists;
  const WindowFacts facts = ReadWindowFacts(current_target->windows, window);
  switch (ClassifyWindow(facts)) {
    case WindowKind::Lobby:
      Record(lists.大厅名称, lists.大厅句柄, window, facts.title);
      break;
    case WindowKind::Game:
      Record(lists.游戏名称, lists.游戏句柄, window, facts.title);
      break;
    case WindowKind::Untracked:
      break;
  }
  return 1;
}

bool RefreshWindowLists(WindowSystem& windows, TrackedWindows& lists,
                        CaptionControl& Label1, CaptionControl& Label2,
                        RefreshWalks& walks) {
  const bool complete = walks.ShowAll(lists);
  {
    ScopedListUpdate lobby_update(lists.大厅名称);
    ScopedListUpdate game_update(lists.游戏名称);
    lists.大厅名称.Clear();
    lists.游戏名称.Clear();
    lists.大厅句柄.Clear();
    lists.游戏句柄.Clear();
    ScanTarget target{windows, lists};
    ScopedScanTarget scope(target);
    windows.EnumChildWindows(0, ScanWindowProc, 0);
  }
  Label1.SetCaption(u"大厅个数：" + Decimal(lists.大厅句柄.ListCount()));
  Label2.SetCaption(u"游戏个数：" + Decimal(lists.游戏句柄.ListCount()));
  return walks.HideAll(lists) && complete;
}

}  // namespace corvantis
