#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "platform/win32_handles.h"
#include "platform/win32_process.h"
#include "platform/win32_window_system.h"

namespace corvantis {
namespace {

// How long a client window's thread gets to answer before it counts as
// hung, and how long another panel gets: a healthy panel can be busy for a
// second in a call that does not answer messages meanwhile.
constexpr UINT kRespondTimeoutMs = 200;
constexpr UINT kPanelRespondTimeoutMs = 1500;

// Without SMTO_BLOCK: while this panel waits, it answers what is sent to
// it, another panel's probe among them. A walk cannot start inside another.
bool AnswersWithin(HWND window, UINT timeout_ms) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                               timeout_ms, &result) != 0;
}

struct Enumeration {
  EnumWindowsCallback callback;
  std::int32_t argument;
};

BOOL CALLBACK EnumerationThunk(HWND window, LPARAM context) {
  const auto* enumeration = reinterpret_cast<const Enumeration*>(context);
  return enumeration->callback(FromHwnd(window), enumeration->argument) != 0;
}

// The text of a buffer the call wrote written units into, up to its
// terminator.
Text TextOfBuffer(Text buffer, int written) {
  if (written < 0) written = 0;
  buffer.resize(std::min(buffer.size(), static_cast<std::size_t>(written)));
  return buffer.substr(0, buffer.find(u'\0'));
}

// The mark: the hiding panel's process id and its start time, so that a
// process id used again by another program is not taken for the panel.
constexpr wchar_t kMarkProcess[] = L"Corvantis.HiddenBy";
constexpr wchar_t kMarkStart[] = L"Corvantis.HiddenByStart";

DWORD ThisProcessStart() {
  static const DWORD start = StartTimeOf(::GetCurrentProcess());
  return start;
}

}  // namespace

std::uint32_t StartTimeOf(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  // Two processes started within the same 100 ns step are not told apart;
  // the process id tells them apart already.
  return created.dwLowDateTime | 1u;
}

void Win32WindowSystem::EnumChildWindows(WindowHandle parent,
                                         EnumWindowsCallback callback,
                                         std::int32_t argument) {
  Enumeration enumeration{callback, argument};
  const auto context = reinterpret_cast<LPARAM>(&enumeration);
  // EnumWindows and EnumChildWindows with no parent are documented as the
  // same; Wine enumerates nothing for the latter.
  if (parent == 0) {
    ::EnumWindows(EnumerationThunk, context);
  } else {
    ::EnumChildWindows(ToHwnd(parent), EnumerationThunk, context);
  }
}

WindowHandle Win32WindowSystem::NextTopLevelWindow(WindowHandle after) {
  return FromHwnd(after == 0 ? ::GetTopWindow(nullptr)
                             : ::GetWindow(ToHwnd(after), GW_HWNDNEXT));
}

std::int32_t Win32WindowSystem::GetWindowTextLengthW(WindowHandle window) {
  return ::GetWindowTextLengthW(ToHwnd(window));
}

Text Win32WindowSystem::GetWindowTextW(WindowHandle window,
                                       std::int32_t buffer_size) {
  if (buffer_size <= 0) return Text();
  Text buffer(static_cast<std::size_t>(buffer_size), u'\0');
  const int written = ::GetWindowTextW(ToHwnd(window), Wide(buffer),
                                       static_cast<int>(buffer_size));
  return TextOfBuffer(std::move(buffer), written);
}

Text Win32WindowSystem::GetClassNameW(WindowHandle window,
                                      std::int32_t buffer_size) {
  if (buffer_size <= 0) return Text();
  // One unit more than the size handed over, as the caller's buffer is.
  Text buffer(static_cast<std::size_t>(buffer_size) + 1, u'\0');
  const int written = ::GetClassNameW(ToHwnd(window), Wide(buffer),
                                      static_cast<int>(buffer_size));
  return TextOfBuffer(std::move(buffer), written);
}

WindowRect Win32WindowSystem::GetWindowRect(WindowHandle window) {
  RECT rect{};
  ::GetWindowRect(ToHwnd(window), &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

bool Win32WindowSystem::IsWindowVisible(WindowHandle window) {
  return ::IsWindowVisible(ToHwnd(window)) != FALSE;
}

bool Win32WindowSystem::IsIconic(WindowHandle window) {
  return ::IsIconic(ToHwnd(window)) != FALSE;
}

bool Win32WindowSystem::IsWindow(WindowHandle window) {
  return ::IsWindow(ToHwnd(window)) != FALSE;
}

std::uint32_t Win32WindowSystem::WindowProcessId(WindowHandle window) {
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(ToHwnd(window), &process_id);
  return process_id;
}

void Win32WindowSystem::ShowWindow(WindowHandle window, ShowCommand command) {
  ::ShowWindow(ToHwnd(window), static_cast<int>(command));
}

void Win32WindowSystem::MoveWindow(WindowHandle window, std::int32_t x,
                                   std::int32_t y, std::int32_t width,
                                   std::int32_t height, std::int32_t repaint) {
  ::MoveWindow(ToHwnd(window), x, y, width, height, repaint);
}

// The isolation of integrity levels blocks a message to a process with
// higher rights with this error; a window that has gone meanwhile is no
// refusal.
bool Win32WindowSystem::SendMessageA(WindowHandle window,
                                     std::uint32_t message) {
  std::int32_t zero = 0;
  ::SetLastError(ERROR_SUCCESS);
  ::SendMessageA(ToHwnd(window), message, 0, reinterpret_cast<LPARAM>(&zero));
  return ::GetLastError() != ERROR_ACCESS_DENIED;
}

void Win32WindowSystem::SetWindowPos(WindowHandle window,
                                     WindowHandle insert_after,
                                     std::uint32_t flags) {
  ::SetWindowPos(ToHwnd(window), ToHwnd(insert_after), 0, 0, 0, 0, flags);
}

void Win32WindowSystem::SetForegroundWindow(WindowHandle window) {
  ::SetForegroundWindow(ToHwnd(window));
}

WindowHandle Win32WindowSystem::GetForegroundWindow() {
  return FromHwnd(::GetForegroundWindow());
}

void Win32WindowSystem::ShellExecuteW(WindowHandle owner, const Text& operation,
                                      const Text& file, const Text& parameters,
                                      const Text& directory,
                                      std::int32_t show_command) {
  ::ShellExecuteW(ToHwnd(owner), Wide(operation), Wide(file), Wide(parameters),
                  Wide(directory), show_command);
}

void Win32WindowSystem::CreateProcessW(const Text& application,
                                       const Text& command_line,
                                       std::int32_t show_command) {
  // The call may write into the command line it is given.
  Text line = command_line;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_command);
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(Wide(application), Wide(line), nullptr, nullptr, FALSE,
                       0, nullptr, nullptr, &startup, &process)) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
}

Text Win32WindowSystem::GetSystemDirectoryW() {
  // The call answers the size it needs, terminator included, when the
  // buffer is too small.
  Text directory(MAX_PATH, u'\0');
  UINT length = 0;
  for (;;) {
    length = ::GetSystemDirectoryW(Wide(directory),
                                   static_cast<UINT>(directory.size()));
    if (length < directory.size()) break;
    directory.resize(length);
  }
  directory.resize(length);
  return directory;
}

bool Win32WindowSystem::Responds(WindowHandle window) {
  return AnswersWithin(ToHwnd(window), kRespondTimeoutMs);
}

bool Win32WindowSystem::PanelResponds(WindowHandle window) {
  return AnswersWithin(ToHwnd(window), kPanelRespondTimeoutMs);
}

void Win32WindowSystem::ShowWindowAsync(WindowHandle window,
                                        ShowCommand command) {
  ::ShowWindowAsync(ToHwnd(window), static_cast<int>(command));
}

void Win32WindowSystem::MoveWindowAsync(WindowHandle window, std::int32_t x,
                                        std::int32_t y, std::int32_t width,
                                        std::int32_t height) {
  ::SetWindowPos(ToHwnd(window), nullptr, x, y, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

bool Win32WindowSystem::PostMessageA(WindowHandle window,
                                     std::uint32_t message) {
  return ::PostMessageA(ToHwnd(window), message, 0, 0) ||
         ::GetLastError() != ERROR_ACCESS_DENIED;
}

bool Win32WindowSystem::MarkHidden(WindowHandle window) {
  const HWND hwnd = ToHwnd(window);
  const auto process = static_cast<ULONG_PTR>(::GetCurrentProcessId());
  const auto start = static_cast<ULONG_PTR>(ThisProcessStart());
  ::SetPropW(hwnd, kMarkStart, reinterpret_cast<HANDLE>(start));
  ::SetPropW(hwnd, kMarkProcess, reinterpret_cast<HANDLE>(process));
  // A window of a process with higher rights refuses properties (the
  // system's isolation of integrity levels): only a mark that reads back
  // counts.
  return reinterpret_cast<ULONG_PTR>(::GetPropW(hwnd, kMarkProcess)) ==
             process &&
         reinterpret_cast<ULONG_PTR>(::GetPropW(hwnd, kMarkStart)) == start;
}

void Win32WindowSystem::RemoveHiddenMark(WindowHandle window) {
  const HWND hwnd = ToHwnd(window);
  ::RemovePropW(hwnd, kMarkProcess);
  ::RemovePropW(hwnd, kMarkStart);
}

PanelProcess Win32WindowSystem::ReadHiddenMark(WindowHandle window) {
  const HWND hwnd = ToHwnd(window);
  return {static_cast<std::uint32_t>(
              reinterpret_cast<ULONG_PTR>(::GetPropW(hwnd, kMarkProcess))),
          static_cast<std::uint32_t>(
              reinterpret_cast<ULONG_PTR>(::GetPropW(hwnd, kMarkStart)))};
}

bool Win32WindowSystem::AnyWindowMarked() {
  // A property named by a string is stored under the global atom of that
  // name, and GetPropW finds none when there is no such atom: without the
  // atom no window can answer a read of the mark.
  return ::GlobalFindAtomW(kMarkProcess) != 0;
}

PanelProcess Win32WindowSystem::CurrentProcess() {
  return {::GetCurrentProcessId(), ThisProcessStart()};
}

std::uint32_t Win32WindowSystem::ProcessStartTime(std::uint32_t process_id) {
  // A process of the same user can always be opened for a limited query,
  // so one that cannot is no panel; ended is ended even while some handle
  // still keeps the process object.
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) return 0;
  DWORD exit_code = 0;
  const bool running =
      ::GetExitCodeProcess(process, &exit_code) && exit_code == STILL_ACTIVE;
  const std::uint32_t start = running ? StartTimeOf(process) : 0;
  ::CloseHandle(process);
  return start;
}

}  // namespace corvantis
