#include "fake_desktop.h"

#include <algorithm>

namespace corvantis::testing {
namespace {

std::string Describe(const char* operation, WindowHandle window,
                     std::int64_t argument) {
  return std::string(operation) + " " + std::to_string(window) + " " +
         std::to_string(argument);
}

}  // namespace

std::string Utf8(const Text& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

WindowHandle FakeDesktop::Add(const Text& title, const Text& class_name,
                              std::int32_t width, bool visible) {
  FakeWindow window;
  window.title = title;
  window.class_name = class_name;
  window.rect = {100, 50, 100 + width, 50 + 480};
  window.visible = visible;
  return AddRaw(window);
}

WindowHandle FakeDesktop::AddRaw(FakeWindow window) {
  const WindowHandle handle = next_handle_;
  next_handle_ += 4;
  windows_.emplace(handle, std::move(window));
  z_order_.push_back(handle);
  return handle;
}

void FakeDesktop::Wake(WindowHandle handle) {
  Window(handle).hung = false;
  auto queued = std::move(queued_[handle]);
  queued_.erase(handle);
  for (auto& apply : queued) apply();
}

void FakeDesktop::BringToTop(WindowHandle handle) {
  z_order_.erase(std::find(z_order_.begin(), z_order_.end(), handle));
  z_order_.insert(z_order_.begin(), handle);
}

FakeWindow* FakeDesktop::Live(WindowHandle handle) {
  const auto found = windows_.find(handle);
  return found != windows_.end() && found->second.alive ? &found->second
                                                        : nullptr;
}

FakeWindow* FakeDesktop::Reachable(WindowHandle handle) {
  if (while_waiting) while_waiting(handle);
  FakeWindow* window = Live(handle);
  if (window != nullptr && window->hung) {
    ++blocked_calls;
    return nullptr;
  }
  return window;
}

FakeWindow* FakeDesktop::Showable(WindowHandle handle) {
  FakeWindow* window = Live(handle);
  return window != nullptr && !window->refuses_show ? window : nullptr;
}

FakeWindow* FakeDesktop::Placeable(WindowHandle handle) {
  return Reachable(handle) != nullptr ? Showable(handle) : nullptr;
}

void FakeDesktop::ApplyShow(WindowHandle handle, ShowCommand command) {
  FakeWindow& window = Window(handle);
  switch (command) {
    case ShowCommand::Hide:
      window.visible = false;
      // As Windows does, the focus passes to the next visible window.
      if (active == handle) {
        active = 0;
        for (const WindowHandle next : z_order_) {
          if (Live(next) != nullptr && windows_.at(next).visible) {
            Activate(next);
            break;
          }
        }
      }
      return;
    case ShowCommand::ShowNormal:
    case ShowCommand::ShowNoActivate:
      window.visible = true;
      window.minimized = false;
      break;
    case ShowCommand::ShowMinimized:
    case ShowCommand::ShowMinNoActive:
      window.visible = true;
      if (!window.minimized) window.icon = kMinimizedRect;
      window.minimized = true;
      break;
  }
  if (command == ShowCommand::ShowNormal ||
      command == ShowCommand::ShowMinimized) {
    Activate(handle);
  }
}

void FakeDesktop::Activate(WindowHandle handle) {
  active = handle;
  activations.push_back(handle);
}

void FakeDesktop::ApplyMove(FakeWindow& window, const WindowRect& rect) {
  // Moving a minimised window moves its icon, not the rectangle it is
  // restored to.
  if (window.minimized) {
    window.icon = {rect.left, rect.top,
                   rect.left + kMinimizedRect.right - kMinimizedRect.left,
                   rect.top + kMinimizedRect.bottom - kMinimizedRect.top};
  } else {
    window.rect = rect;
  }
}

void FakeDesktop::ApplyClose(WindowHandle handle) {
  FakeWindow* window = Live(handle);
  if (window == nullptr) return;
  close_log.push_back(handle);
  if (window->confirms_close && !confirm_answer) return;
  window->alive = false;
  window->visible = false;
}

void FakeDesktop::EnumChildWindows(WindowHandle parent,
                                   EnumWindowsCallback callback,
                                   std::int32_t argument) {
  Record(Describe("EnumChildWindows", parent, argument));
  // Like Windows, the enumeration walks the windows that existed when it
  // began.
  std::vector<WindowHandle> snapshot;
  for (const WindowHandle handle : z_order_) {
    if (Live(handle) != nullptr) snapshot.push_back(handle);
  }
  for (const WindowHandle handle : snapshot) {
    if (before_visit) before_visit(handle);
    if (callback(handle, argument) == 0) break;
  }
}

WindowHandle FakeDesktop::NextTopLevelWindow(WindowHandle after) {
  if (after != 0 && Live(after) == nullptr) return 0;
  auto next =
      after == 0
          ? z_order_.begin()
          : std::next(std::find(z_order_.begin(), z_order_.end(), after));
  next = std::find_if(next, z_order_.end(), [&](WindowHandle handle) {
    return Live(handle) != nullptr;
  });
  if (next == z_order_.end()) return 0;
  const WindowHandle found = *next;
  if (before_visit) before_visit(found);
  return found;
}

std::int32_t FakeDesktop::GetWindowTextLengthW(WindowHandle handle) {
  const FakeWindow* window = Live(handle);
  if (window == nullptr) return 0;
  return window->reported_length >= 0
             ? window->reported_length
             : static_cast<std::int32_t>(window->title.size());
}

Text FakeDesktop::GetWindowTextW(WindowHandle handle,
                                 std::int32_t buffer_size) {
  const FakeWindow* window = Live(handle);
  if (window == nullptr || buffer_size <= 0) return Text();
  return window->title.substr(0, static_cast<std::size_t>(buffer_size) - 1);
}

Text FakeDesktop::GetClassNameW(WindowHandle handle, std::int32_t buffer_size) {
  const FakeWindow* window = Live(handle);
  if (window == nullptr || buffer_size <= 0) return Text();
  return window->class_name.substr(0,
                                   static_cast<std::size_t>(buffer_size) - 1);
}

WindowRect FakeDesktop::GetWindowRect(WindowHandle handle) {
  const FakeWindow* window = Live(handle);
  if (window == nullptr) return {};
  return window->minimized ? window->icon : window->rect;
}

bool FakeDesktop::IsWindowVisible(WindowHandle handle) {
  const FakeWindow* window = Live(handle);
  return window != nullptr && window->visible;
}

bool FakeDesktop::IsIconic(WindowHandle handle) {
  const FakeWindow* window = Live(handle);
  return window != nullptr && window->minimized;
}

bool FakeDesktop::IsWindow(WindowHandle handle) {
  return Live(handle) != nullptr;
}

std::uint32_t FakeDesktop::WindowProcessId(WindowHandle handle) {
  const FakeWindow* window = Live(handle);
  return window != nullptr ? window->process_id : 0;
}

void FakeDesktop::ShowWindow(WindowHandle handle, ShowCommand command) {
  Record(Describe("ShowWindow", handle, static_cast<std::int32_t>(command)));
  if (Placeable(handle) != nullptr) ApplyShow(handle, command);
}

void FakeDesktop::MoveWindow(WindowHandle handle, std::int32_t x,
                             std::int32_t y, std::int32_t width,
                             std::int32_t height, std::int32_t repaint) {
  Record("MoveWindow " + std::to_string(handle) + " " + std::to_string(x) +
         " " + std::to_string(y) + " " + std::to_string(width) + " " +
         std::to_string(height) + " " + std::to_string(repaint));
  if (FakeWindow* window = Placeable(handle)) {
    ApplyMove(*window, {x, y, x + width, y + height});
  }
}

bool FakeDesktop::SendMessageA(WindowHandle handle, std::uint32_t message) {
  Record(Describe("SendMessageA", handle, message));
  if (Live(handle) != nullptr && Window(handle).refuses_messages) return false;
  if (Reachable(handle) != nullptr && message == kWmClose) ApplyClose(handle);
  return true;
}

void FakeDesktop::SetWindowPos(WindowHandle handle, WindowHandle insert_after,
                               std::uint32_t flags) {
  Record("SetWindowPos " + std::to_string(handle) + " " +
         std::to_string(insert_after) + " " + std::to_string(flags));
}

void FakeDesktop::SetForegroundWindow(WindowHandle handle) {
  Record(Describe("SetForegroundWindow", handle, 0));
  if (Live(handle) != nullptr) Activate(handle);
}

void FakeDesktop::ShellExecuteW(WindowHandle owner, const Text& operation,
                                const Text& file, const Text& parameters,
                                const Text& directory,
                                std::int32_t show_command) {
  Record("ShellExecuteW " + std::to_string(owner) + " " + Utf8(operation) +
         " " + Utf8(file) + " [" + Utf8(parameters) + "] [" + Utf8(directory) +
         "] " + std::to_string(show_command));
}

void FakeDesktop::CreateProcessW(const Text& application,
                                 const Text& command_line,
                                 std::int32_t show_command) {
  Record("CreateProcessW " + Utf8(application) + " [" + Utf8(command_line) +
         "] " + std::to_string(show_command));
}

Text FakeDesktop::GetSystemDirectoryW() { return system_directory; }

bool FakeDesktop::Responds(WindowHandle handle) {
  Record(Describe("Responds", handle, 0));
  const FakeWindow* window = Live(handle);
  return window != nullptr && !window->hung;
}

bool FakeDesktop::PanelResponds(WindowHandle handle) {
  Record(Describe("PanelResponds", handle, 0));
  const FakeWindow* window = Live(handle);
  return window != nullptr && !window->hung;
}

void FakeDesktop::ShowWindowAsync(WindowHandle handle, ShowCommand command) {
  Record(
      Describe("ShowWindowAsync", handle, static_cast<std::int32_t>(command)));
  if (Live(handle) == nullptr) return;
  queued_[handle].push_back([this, handle, command] {
    if (Showable(handle) != nullptr) ApplyShow(handle, command);
  });
  if (!Window(handle).hung) Wake(handle);
}

void FakeDesktop::MoveWindowAsync(WindowHandle handle, std::int32_t x,
                                  std::int32_t y, std::int32_t width,
                                  std::int32_t height) {
  Record("MoveWindowAsync " + std::to_string(handle) + " " + std::to_string(x) +
         " " + std::to_string(y) + " " + std::to_string(width) + " " +
         std::to_string(height));
  if (Live(handle) == nullptr) return;
  queued_[handle].push_back([this, handle, x, y, width, height] {
    if (FakeWindow* window = Showable(handle)) {
      ApplyMove(*window, {x, y, x + width, y + height});
    }
  });
  if (!Window(handle).hung) Wake(handle);
}

bool FakeDesktop::PostMessageA(WindowHandle handle, std::uint32_t message) {
  Record(Describe("PostMessageA", handle, message));
  if (Live(handle) == nullptr || message != kWmClose) return true;
  if (Window(handle).refuses_messages) return false;
  queued_[handle].push_back([this, handle] { ApplyClose(handle); });
  if (!Window(handle).hung) Wake(handle);
  return true;
}

bool FakeDesktop::MarkHidden(WindowHandle handle) {
  FakeWindow* window = Live(handle);
  if (window == nullptr || window->refuses_mark) return false;
  window->hidden_by = this_panel;
  return true;
}

void FakeDesktop::RemoveHiddenMark(WindowHandle handle) {
  if (FakeWindow* window = Live(handle)) window->hidden_by = {};
}

PanelProcess FakeDesktop::ReadHiddenMark(WindowHandle handle) {
  const FakeWindow* window = Live(handle);
  return window != nullptr ? window->hidden_by : PanelProcess{};
}

bool FakeDesktop::AnyWindowMarked() {
  Record("AnyWindowMarked");
  for (const auto& [handle, window] : windows_) {
    if (window.alive && window.hidden_by.id != 0) return true;
  }
  return false;
}

std::uint32_t FakeDesktop::ProcessStartTime(std::uint32_t process_id) {
  if (process_id == this_panel.id) return this_panel.start;
  const auto found = processes.find(process_id);
  return found != processes.end() ? found->second : 0;
}

}  // namespace corvantis::testing
