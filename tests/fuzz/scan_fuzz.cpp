// Random desktops, some changing in the middle of a scan: the refresh never
// crashes, keeps each handle list paired with its display list, records
// only client windows, and leaves no window it did not record hidden.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "control/window_control.h"
#include "fake_controls.h"
#include "fake_desktop.h"
#include "tracking/scan.h"

namespace {

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(size) {}
  bool empty() const { return size_ == 0; }
  std::uint8_t Next() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  // UTF-16 units of two bytes each, lone surrogates and all.
  corvantis::Text Take(std::size_t length) {
    corvantis::Text out;
    while (length-- > 0 && size_ > 0) {
      const std::uint8_t high = Next();
      out.push_back(static_cast<char16_t>(high << 8 | Next()));
    }
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using corvantis::testing::FakeDesktop;
  using corvantis::testing::FakeWindow;
  Bytes bytes(data, size);
  FakeDesktop desktop;
  const std::size_t count = bytes.Next() % 24;
  for (std::size_t i = 0; i < count && !bytes.empty(); ++i) {
    const std::uint8_t shape = bytes.Next();
    FakeWindow window;
    switch (shape % 4) {
      case 0:
        window.class_name = u"QufPanelWnd";
        break;
      case 1:
        window.class_name = u"QufPanelWnd" + bytes.Take(bytes.Next());
        break;
      case 2:
        window.class_name = corvantis::Text(255, u'Q');
        break;
      default:
        window.class_name = bytes.Take(bytes.Next() % 16);
        break;
    }
    switch ((shape >> 2) % 4) {
      case 0:
        window.title = u"QQ游戏";
        break;
      case 1:
        window.title = bytes.Take(bytes.Next());
        break;
      case 2:
        window.title = corvantis::Text(40000, u'\xD800');
        break;
      default:
        break;
    }
    window.visible = (shape & 0x10) != 0;
    window.hung = (shape & 0x20) != 0;
    if (shape & 0x40) window.reported_length = bytes.Next() * 1000;
    const std::int32_t widths[] = {360, 446, 486, 800};
    const std::int32_t width = widths[bytes.Next() % 4];
    window.rect = {0, 0, width, 600};
    desktop.AddRaw(window);
  }
  // Some windows vanish or change while the scan runs.
  const std::uint8_t churn = bytes.Next();
  desktop.before_visit = [&](corvantis::WindowHandle handle) {
    if ((handle / 4 + churn) % 5 == 0) desktop.Window(handle).alive = false;
    if ((handle / 4 + churn) % 7 == 0) desktop.Window(handle).visible ^= true;
  };

  corvantis::MemoryList lobby_names, lobby_handles, game_names, game_handles;
  corvantis::TrackedWindows lists{lobby_names, lobby_handles, game_names,
                                  game_handles};
  corvantis::testing::FakeCaption label1, label2;
  corvantis::TrackedWindowWalks walks(desktop, false);
  corvantis::RefreshWindowLists(desktop, lists, label1, label2, walks);
  corvantis::RefreshWindowLists(desktop, lists, label1, label2, walks);

  Check(lobby_names.ListCount() == lobby_handles.ListCount());
  Check(game_names.ListCount() == game_handles.ListCount());
  Check(desktop.blocked_calls == 0);
  for (const auto& [names, handles] : {std::pair{&lobby_names, &lobby_handles},
                                       std::pair{&game_names, &game_handles}}) {
    for (std::int16_t i = 0; i < handles->ListCount(); ++i) {
      const auto handle = corvantis::ParseHandleText(handles->List(i));
      Check(handle.has_value());
      const FakeWindow& window = desktop.Window(*handle);
      Check(window.class_name.compare(0, 11, u"QufPanelWnd") == 0);
      const corvantis::Text prefix = corvantis::Decimal(i + 1) + u"-";
      Check(names->List(i).compare(0, prefix.size(), prefix) == 0);
    }
  }
  // Whatever the last refresh hid comes back when the panel shows its
  // windows, once any hung thread runs again.
  corvantis::ShowTrackedWindows(desktop, lists);
  for (const corvantis::WindowHandle handle : desktop.ZOrder()) {
    if (desktop.Window(handle).hung) desktop.Wake(handle);
  }
  for (const corvantis::ListControl* handles :
       {&lobby_handles, &game_handles}) {
    for (std::int16_t i = 0; i < handles->ListCount(); ++i) {
      const FakeWindow& window =
          desktop.Window(*corvantis::ParseHandleText(handles->List(i)));
      Check(!window.alive || (window.visible && !window.minimized));
    }
  }
  return 0;
}
