// Every call Corvantis makes to the desktop and the shell goes through
// WindowSystem, so the panel's logic runs unchanged against a fake desktop.
#pragma once

#include <cstdint>
#include <string>

namespace corvantis {

// A desktop window named by a 32-bit value; 0 names no window.
using WindowHandle = std::int32_t;

using Text = std::u16string;  // UTF-16, as the platform's Unicode strings

struct WindowRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// The values are those of SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED,
// SW_SHOWNOACTIVATE and SW_SHOWMINNOACTIVE. Of the client's windows only
// the one the user chose is shown with ShowNormal: it activates, and every
// activation elsewhere takes the keyboard focus from whoever was typing.
enum class ShowCommand : std::int32_t {
  Hide = 0,
  ShowNormal = 1,
  ShowMinimized = 2,
  // Restores a minimised window like ShowNormal, without activating it.
  ShowNoActivate = 4,
  ShowMinNoActive = 7,
};

constexpr std::uint32_t kWmClose = 16;
constexpr WindowHandle kHwndTopmost = -1;
// SWP_NOSIZE, SWP_NOMOVE and SWP_NOACTIVATE: keeping the panel on top
// must not take the focus from whoever types elsewhere, once a second.
constexpr std::uint32_t kSwpStayOnTop = 0x13;

// A panel process as the mark on a window it hid names it: the process id
// and the low 32 bits of its start time, never 0, so that a process id used
// again by another program is not taken for the panel. Id 0 names none.
struct PanelProcess {
  std::uint32_t id = 0;
  std::uint32_t start = 0;
};

inline bool operator==(PanelProcess a, PanelProcess b) {
  return a.id == b.id && a.start == b.start;
}

// Enumeration callback: return 1 to go on, 0 to stop.
using EnumWindowsCallback = std::int32_t (*)(WindowHandle window,
                                             std::int32_t argument);

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Parent 0 enumerates the top-level windows.
  virtual void EnumChildWindows(WindowHandle parent,
                                EnumWindowsCallback callback,
                                std::int32_t argument) = 0;
  // The top-level window after `after` in the z-order, the topmost one for
  // 0; 0 after the last one, and once `after` is gone. Unlike an
  // enumeration, which takes a snapshot, it allocates nothing. The z-order
  // may change between two calls: a walk may skip windows or come back to
  // one.
  virtual WindowHandle NextTopLevelWindow(WindowHandle after) = 0;
  // Title length in UTF-16 units.
  virtual std::int32_t GetWindowTextLengthW(WindowHandle window) = 0;
  // At most buffer_size - 1 units of the title.
  virtual Text GetWindowTextW(WindowHandle window,
                              std::int32_t buffer_size) = 0;
  // At most buffer_size - 1 units of the class name.
  virtual Text GetClassNameW(WindowHandle window, std::int32_t buffer_size) = 0;
  virtual WindowRect GetWindowRect(WindowHandle window) = 0;
  virtual bool IsWindowVisible(WindowHandle window) = 0;
  virtual bool IsIconic(WindowHandle window) = 0;
  // False once the window has been destroyed.
  virtual bool IsWindow(WindowHandle window) = 0;
  // The process that made the window; 0 when it is gone.
  virtual std::uint32_t WindowProcessId(WindowHandle window) = 0;
  virtual void ShowWindow(WindowHandle window, ShowCommand command) = 0;
  virtual void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                          std::int32_t width, std::int32_t height,
                          std::int32_t repaint) = 0;
  // WM_CLOSE with lParam pointing at a 32-bit zero; returns once handled.
  // False when the system refused to deliver it: a window of a process
  // with higher rights.
  virtual bool SendMessageA(WindowHandle window, std::uint32_t message) = 0;
  virtual void SetWindowPos(WindowHandle window, WindowHandle insert_after,
                            std::uint32_t flags) = 0;
  // Gives the window the keyboard focus; returns at once.
  virtual void SetForegroundWindow(WindowHandle window) = 0;
  // The window with the keyboard focus, of any process; 0 for none.
  virtual WindowHandle GetForegroundWindow() = 0;
  virtual void ShellExecuteW(WindowHandle owner, const Text& operation,
                             const Text& file, const Text& parameters,
                             const Text& directory,
                             std::int32_t show_command) = 0;
  // Starts the program at application, which is not searched for, with
  // command_line as the command line it sees; does not wait for it.
  virtual void CreateProcessW(const Text& application, const Text& command_line,
                              std::int32_t show_command) = 0;
  // The system directory, without a trailing separator; empty when it
  // cannot be read.
  virtual Text GetSystemDirectoryW() = 0;

  // A thread that stops pumping messages blocks every synchronous call made
  // to its windows forever. These let the panel find such a window in
  // bounded time and reach it without waiting.

  // True when the window's thread answered a no-op message within a short,
  // fixed time. A window that is gone answers false. Messages sent to the
  // panel meanwhile are handled: another panel may be probing it.
  virtual bool Responds(WindowHandle window) = 0;
  // The same for another panel's window, given time enough for a healthy
  // panel busy in a call of its own (probing a window that has just
  // stopped answering, starting a program); one the system already counts
  // as hung answers false at once.
  virtual bool PanelResponds(WindowHandle window) = 0;
  // ShowWindow that is queued to the window's thread and returns at once.
  virtual void ShowWindowAsync(WindowHandle window, ShowCommand command) = 0;
  // MoveWindow that is queued to the window's thread and returns at once.
  virtual void MoveWindowAsync(WindowHandle window, std::int32_t x,
                               std::int32_t y, std::int32_t width,
                               std::int32_t height) = 0;
  // Queues a message to the window and returns at once; false as above.
  virtual bool PostMessageA(WindowHandle window, std::uint32_t message) = 0;

  // A window the panel hides carries a mark naming this panel process, so
  // that whatever becomes of the panel, a later one can show it again. The
  // mark lives with the window itself; nothing is written to disk.
  // False when the window does not carry the mark afterwards: it is gone,
  // or the system refused (a window of a process with higher rights).
  virtual bool MarkHidden(WindowHandle window) = 0;
  virtual void RemoveHiddenMark(WindowHandle window) = 0;
  // The panel the window's mark names; id 0 when it carries none.
  virtual PanelProcess ReadHiddenMark(WindowHandle window) = 0;
  // False only when no window anywhere carries a mark: one call, so that a
  // walk looking for marked windows is skipped when there can be none.
  virtual bool AnyWindowMarked() = 0;
  // This process, as a mark names it.
  virtual PanelProcess CurrentProcess() = 0;
  // The start of the running process with this id, as a mark records it;
  // 0 when none runs or it may not even be opened for a limited query.
  virtual std::uint32_t ProcessStartTime(std::uint32_t process_id) = 0;
};

}  // namespace corvantis
