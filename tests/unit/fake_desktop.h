// An in-memory desktop for the unit tests. It applies ShowWindow,
// MoveWindow and WM_CLOSE the way Windows does and records every call that
// acts on a window, in order.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace corvantis::testing {

// Windows parks a minimised window here.
constexpr WindowRect kMinimizedRect{-32000, -32000, -31840, -31972};

struct FakeWindow {
  Text title;
  Text class_name;
  WindowRect rect{0, 0, 800, 600};   // the restored rectangle
  WindowRect icon = kMinimizedRect;  // where it is while minimised
  bool visible = true;
  bool minimized = false;
  bool alive = true;
  // The window's thread has stopped pumping: synchronous calls would block.
  bool hung = false;
  // Asks the user on WM_CLOSE; closes only if the answer is yes.
  bool confirms_close = false;
  // The panel process that marked the window hidden; id 0 for none.
  PanelProcess hidden_by;
  // A window of a process with higher rights than the panel: the system
  // refuses the mark, or ShowWindow and MoveWindow (queued or not).
  bool refuses_mark = false;
  bool refuses_show = false;
  // Nor does the system deliver it a message, sent or posted.
  bool refuses_messages = false;
  // The process that made the window.
  std::uint32_t process_id = 2;
  // Overrides the title length the window reports, when not negative.
  std::int32_t reported_length = -1;
};

class FakeDesktop final : public WindowSystem {
 public:
  // Adds a top-level window behind the others.
  WindowHandle Add(const Text& title, const Text& class_name,
                   std::int32_t width = 800, bool visible = true);
  WindowHandle AddRaw(FakeWindow window);
  FakeWindow& Window(WindowHandle handle) { return windows_.at(handle); }
  const std::vector<WindowHandle>& ZOrder() const { return z_order_; }

  // The thread of a hung window runs again and applies what was queued.
  void Wake(WindowHandle handle);
  // Puts the window at the top of the z-order, as its activation would.
  void BringToTop(WindowHandle handle);

  // Calls that act on windows or the shell, e.g. "ShowWindow 3 0".
  std::vector<std::string> calls;
  // The window with the keyboard focus, 0 for none, and every window that
  // was activated, in order: as on Windows, a show that activates and
  // SetForegroundWindow activate; hiding the active window activates the
  // first visible window in z-order.
  WindowHandle active = 0;
  std::vector<WindowHandle> activations;
  // Handles that received WM_CLOSE, synchronously or queued, in order.
  std::vector<WindowHandle> close_log;
  // Synchronous calls made to hung windows; a real panel would hang on each.
  int blocked_calls = 0;
  // The process the code under test runs as, and the start of every other
  // process that runs and may be queried, by id.
  PanelProcess this_panel{1, 11};
  std::map<std::uint32_t, std::uint32_t> processes;
  // The user's answer to a window that asks before it closes.
  bool confirm_answer = true;
  // What GetSystemDirectoryW answers.
  Text system_directory = u"C:\\windows\\system32";
  // Runs before the enumeration visits each window, and before
  // NextTopLevelWindow answers one, to change the desktop in the middle of
  // a walk.
  std::function<void(WindowHandle)> before_visit;
  // Runs inside each synchronous ShowWindow, MoveWindow and SendMessageA,
  // before the window acts on it: messages sent to the panel are handled
  // while it waits.
  std::function<void(WindowHandle)> while_waiting;

  void EnumChildWindows(WindowHandle parent, EnumWindowsCallback callback,
                        std::int32_t argument) override;
  WindowHandle NextTopLevelWindow(WindowHandle after) override;
  std::int32_t GetWindowTextLengthW(WindowHandle window) override;
  Text GetWindowTextW(WindowHandle window, std::int32_t buffer_size) override;
  Text GetClassNameW(WindowHandle window, std::int32_t buffer_size) override;
  WindowRect GetWindowRect(WindowHandle window) override;
  bool IsWindowVisible(WindowHandle window) override;
  bool IsIconic(WindowHandle window) override;
  bool IsWindow(WindowHandle window) override;
  std::uint32_t WindowProcessId(WindowHandle window) override;
  void ShowWindow(WindowHandle window, ShowCommand command) override;
  void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                  std::int32_t width, std::int32_t height,
                  std::int32_t repaint) override;
  bool SendMessageA(WindowHandle window, std::uint32_t message) override;
  void SetWindowPos(WindowHandle window, WindowHandle insert_after,
                    std::uint32_t flags) override;
  void SetForegroundWindow(WindowHandle window) override;
  WindowHandle GetForegroundWindow() override { return active; }
  void ShellExecuteW(WindowHandle owner, const Text& operation,
                     const Text& file, const Text& parameters,
                     const Text& directory, std::int32_t show_command) override;
  void CreateProcessW(const Text& application, const Text& command_line,
                      std::int32_t show_command) override;
  Text GetSystemDirectoryW() override;
  bool Responds(WindowHandle window) override;
  bool PanelResponds(WindowHandle window) override;
  void ShowWindowAsync(WindowHandle window, ShowCommand command) override;
  void MoveWindowAsync(WindowHandle window, std::int32_t x, std::int32_t y,
                       std::int32_t width, std::int32_t height) override;
  bool PostMessageA(WindowHandle window, std::uint32_t message) override;
  bool MarkHidden(WindowHandle window) override;
  void RemoveHiddenMark(WindowHandle window) override;
  PanelProcess ReadHiddenMark(WindowHandle window) override;
  bool AnyWindowMarked() override;
  PanelProcess CurrentProcess() override { return this_panel; }
  std::uint32_t ProcessStartTime(std::uint32_t process_id) override;

 private:
  FakeWindow* Live(WindowHandle handle);
  // A synchronous call reaches the window only if its thread answers.
  FakeWindow* Reachable(WindowHandle handle);
  // A live window that lets itself be shown and moved.
  FakeWindow* Showable(WindowHandle handle);
  // Reachable and showable.
  FakeWindow* Placeable(WindowHandle handle);
  void ApplyShow(WindowHandle handle, ShowCommand command);
  void Activate(WindowHandle handle);
  void ApplyMove(FakeWindow& window, const WindowRect& rect);
  void ApplyClose(WindowHandle handle);
  void Record(const std::string& call) { calls.push_back(call); }

  std::map<WindowHandle, FakeWindow> windows_;
  std::vector<WindowHandle> z_order_;
  std::map<WindowHandle, std::vector<std::function<void()>>> queued_;
  WindowHandle next_handle_ = 0x10010;
};

// True when rect is the panel's standard place: 0, 0, 800 x 600.
inline bool AtOrigin800x600(const WindowRect& rect) {
  return rect.left == 0 && rect.top == 0 && rect.right == 800 &&
         rect.bottom == 600;
}

// Utf-8 spelling of a text, for readable test failures.
std::string Utf8(const Text& text);

}  // namespace corvantis::testing
