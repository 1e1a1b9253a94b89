#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>

#include <vector>

#include "companions/code_page.h"
#include "platform/win32_handles.h"
#include "platform/win32_window_system.h"

namespace corvantis {
namespace {

// How long a window's thread gets to answer before it counts as hung.
constexpr UINT kRespondTimeoutMs = 200;

struct Enumeration {
  EnumWindowsCallback callback;
  std::int32_t argument;
};

BOOL CALLBACK EnumerationThunk(HWND window, LPARAM context) {
  const auto* enumeration = reinterpret_cast<const Enumeration*>(context);
  return enumeration->callback(FromHwnd(window), enumeration->argument) != 0;
}

// Decodes an ANSI buffer up to its terminator.
Text DecodeAnsiBuffer(const std::vector<char>& buffer, int written) {
  if (written < 0) written = 0;
  if (static_cast<std::size_t>(written) > buffer.size()) {
    written = static_cast<int>(buffer.size());
  }
  std::string_view bytes(buffer.data(), static_cast<std::size_t>(written));
  return DecodeCodePage(bytes.substr(0, bytes.find('\0')),
                        SystemAnsiCodePage());
}

std::string Ansi(const Text& text) {
  return EncodeCodePage(text, SystemAnsiCodePage());
}

// The mark: the hiding panel's process id and its start time, so that a
// process id used again by another program is not taken for the panel.
constexpr wchar_t kMarkProcess[] = L"Corvantis.HiddenBy";
constexpr wchar_t kMarkStart[] = L"Corvantis.HiddenByStart";

// Low 32 bits of a process's creation time; 0 when it cannot be read.
DWORD ProcessStart(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  // Two processes started within the same 100 ns step are not told apart;
  // the process id tells them apart already.
  return created.dwLowDateTime | 1u;
}

DWORD ThisProcessStart() {
  static const DWORD start = ProcessStart(::GetCurrentProcess());
  return start;
}

bool IsRunning(DWORD process_id, DWORD start) {
  HANDLE process = ::OpenProcess(
      PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) {
    // A process that exists but may not be opened is not known to be gone.
    return ::GetLastError() == ERROR_ACCESS_DENIED;
  }
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT &&
                       ProcessStart(process) == start;
  ::CloseHandle(process);
  return running;
}

}  // namespace

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

std::int32_t Win32WindowSystem::GetWindowTextLengthA(WindowHandle window) {
  return ::GetWindowTextLengthA(ToHwnd(window));
}

Text Win32WindowSystem::GetWindowTextA(WindowHandle window,
                                       std::int32_t buffer_size) {
  if (buffer_size <= 0) return Text();
  std::vector<char> buffer(static_cast<std::size_t>(buffer_size), '\0');
  const int written = ::GetWindowTextA(ToHwnd(window), buffer.data(),
                                       static_cast<int>(buffer_size));
  return DecodeAnsiBuffer(buffer, written);
}

Text Win32WindowSystem::GetClassNameA(WindowHandle window,
                                      std::int32_t buffer_size) {
  if (buffer_size <= 0) return Text();
  // One byte more than the size handed over, as the caller's buffer is.
  std::vector<char> buffer(static_cast<std::size_t>(buffer_size) + 1, '\0');
  const int written = ::GetClassNameA(ToHwnd(window), buffer.data(),
                                      static_cast<int>(buffer_size));
  return DecodeAnsiBuffer(buffer, written);
}

WindowRect Win32WindowSystem::GetWindowRect(WindowHandle window) {
  RECT rect{};
  ::GetWindowRect(ToHwnd(window), &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

bool Win32WindowSystem::IsWindowVisible(WindowHandle window) {
  return ::IsWindowVisible(ToHwnd(window)) != FALSE;
}

void Win32WindowSystem::ShowWindow(WindowHandle window, ShowCommand command) {
  ::ShowWindow(ToHwnd(window), static_cast<int>(command));
}

void Win32WindowSystem::MoveWindow(WindowHandle window, std::int32_t x,
                                   std::int32_t y, std::int32_t width,
                                   std::int32_t height, std::int32_t repaint) {
  ::MoveWindow(ToHwnd(window), x, y, width, height, repaint);
}

void Win32WindowSystem::SendMessageA(WindowHandle window,
                                     std::uint32_t message) {
  std::int32_t zero = 0;
  ::SendMessageA(ToHwnd(window), message, 0, reinterpret_cast<LPARAM>(&zero));
}

void Win32WindowSystem::SetWindowPos(WindowHandle window,
                                     WindowHandle insert_after,
                                     std::uint32_t flags) {
  ::SetWindowPos(ToHwnd(window), ToHwnd(insert_after), 0, 0, 0, 0, flags);
}

void Win32WindowSystem::ShellExecuteA(WindowHandle owner, const Text& operation,
                                      const Text& file, const Text& parameters,
                                      const Text& directory,
                                      std::int32_t show_command) {
  const std::string ansi_operation = Ansi(operation);
  const std::string ansi_file = Ansi(file);
  const std::string ansi_parameters = Ansi(parameters);
  const std::string ansi_directory = Ansi(directory);
  ::ShellExecuteA(ToHwnd(owner), ansi_operation.c_str(), ansi_file.c_str(),
                  ansi_parameters.c_str(), ansi_directory.c_str(),
                  show_command);
}

void Win32WindowSystem::Shell(const Text& command_line,
                              std::int32_t window_style) {
  std::string line = Ansi(command_line);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(window_style);
  PROCESS_INFORMATION process{};
  if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                       nullptr, nullptr, &startup, &process)) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
}

bool Win32WindowSystem::Responds(WindowHandle window) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(ToHwnd(window), WM_NULL, 0, 0,
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, kRespondTimeoutMs,
                               &result) != 0;
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

void Win32WindowSystem::PostMessageA(WindowHandle window,
                                     std::uint32_t message) {
  ::PostMessageA(ToHwnd(window), message, 0, 0);
}

void Win32WindowSystem::MarkHidden(WindowHandle window) {
  const HWND hwnd = ToHwnd(window);
  ::SetPropW(
      hwnd, kMarkStart,
      reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(ThisProcessStart())));
  ::SetPropW(hwnd, kMarkProcess,
             reinterpret_cast<HANDLE>(
                 static_cast<ULONG_PTR>(::GetCurrentProcessId())));
}

void Win32WindowSystem::RemoveHiddenMark(WindowHandle window) {
  const HWND hwnd = ToHwnd(window);
  ::RemovePropW(hwnd, kMarkProcess);
  ::RemovePropW(hwnd, kMarkStart);
}

HiddenMark Win32WindowSystem::ReadHiddenMark(WindowHandle window) {
  const HWND hwnd = ToHwnd(window);
  const auto process_id = static_cast<DWORD>(
      reinterpret_cast<ULONG_PTR>(::GetPropW(hwnd, kMarkProcess)));
  if (process_id == 0) return HiddenMark::None;
  const auto start = static_cast<DWORD>(
      reinterpret_cast<ULONG_PTR>(::GetPropW(hwnd, kMarkStart)));
  if (process_id == ::GetCurrentProcessId() && start == ThisProcessStart()) {
    return HiddenMark::ThisPanel;
  }
  return IsRunning(process_id, start) ? HiddenMark::RunningPanel
                                      : HiddenMark::GonePanel;
}

}  // namespace corvantis
