#include "app/guard_win32.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>

#include "control/window_control.h"
#include "platform/win32_handles.h"
#include "platform/win32_process.h"
#include "platform/win32_window_system.h"
#include "tracking/tracked_windows.h"

namespace corvantis {
namespace {

// "/guard ID START" makes the guard of the panel process ID started at
// START; "/start-guard ID START" starts that guard and ends at once.
constexpr wchar_t kGuardSwitch[] = L"/guard";
constexpr wchar_t kStarterSwitch[] = L"/start-guard";

// Paths and names here are Text, not std::wstring: libstdc++'s wide
// strings and std::to_wstring (the C library's wide printf) would add some
// 55 KiB to the shipped exe, which must stay within 256 KiB.

// Long enough for any folder the client is installed in.
constexpr DWORD kPathChars = 1024;

// True when arguments begin with the switch name as a word of its own.
bool HasSwitch(const wchar_t* arguments, const wchar_t* name) {
  const std::size_t length = std::wcslen(name);
  return std::wcsncmp(arguments, name, length) == 0 &&
         (arguments[length] == L' ' || arguments[length] == L'\0');
}

// Reads "ID START", two decimal numbers, neither 0, after the switch.
bool ReadPanel(const wchar_t* values, PanelProcess& panel) {
  wchar_t* end = nullptr;
  const unsigned long id = std::wcstoul(values, &end, 10);
  if (end == values || *end != L' ') return false;
  const wchar_t* const start_text = end;
  const unsigned long start = std::wcstoul(start_text, &end, 10);
  if (end == start_text || *end != L'\0' || id == 0 || start == 0) {
    return false;
  }
  panel = {static_cast<std::uint32_t>(id), static_cast<std::uint32_t>(start)};
  return true;
}

// How long the panel's walk waits for a guard to be ready; a start that
// takes longer is looked at again before the next walk.
constexpr DWORD kReadyWaitMs = 2000;
// How long the starter waits for the guard to be ready before it gives up.
constexpr DWORD kStarterWaitMs = 30000;

// The name of the object a guard makes once it is ready. It also keeps a
// second guard of the same panel away.
Text GuardObjectName(PanelProcess panel) {
  return u"Local\\Corvantis.Guard." + Decimal(panel.id) + u"." +
         Decimal(panel.start);
}

bool GuardObjectExists(const Text& name) {
  const HANDLE object = OpenMutexW(SYNCHRONIZE, FALSE, Wide(name));
  if (object == nullptr) return false;
  CloseHandle(object);
  return true;
}

// Starts this exe again with a switch naming panel: the new process, or
// null when it could not be started.
HANDLE StartThisProgram(const wchar_t* name, PanelProcess panel) {
  Text exe(kPathChars, u'\0');
  const DWORD length = GetModuleFileNameW(nullptr, Wide(exe), kPathChars);
  if (length == 0 || length >= kPathChars) return nullptr;
  exe.resize(length);
  Text command_line = u"\"" + exe + u"\" " +
                      reinterpret_cast<const char16_t*>(name) + u" " +
                      Decimal(panel.id) + u" " + Decimal(panel.start);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  // A process that never reads input would keep the busy cursor up for
  // seconds.
  startup.dwFlags = STARTF_FORCEOFFFEEDBACK;
  PROCESS_INFORMATION process = {};
  // Outside any job the panel runs in, so that a launcher's job that ends
  // its processes when it closes does not end the guard with the panel; a
  // job that allows no breaking away refuses that, and a plain start is
  // better than none.
  for (const DWORD flags : {DWORD{CREATE_BREAKAWAY_FROM_JOB}, DWORD{0}}) {
    if (CreateProcessW(Wide(exe), Wide(command_line), nullptr, nullptr, FALSE,
                       flags, nullptr, nullptr, &startup, &process)) {
      CloseHandle(process.hThread);
      return process.hProcess;
    }
    if (GetLastError() != ERROR_ACCESS_DENIED) break;
  }
  return nullptr;
}

// Waits for object, at most timeout_ms, answering the messages sent to the
// panel meanwhile as it does while it waits in a call to another window:
// another panel's start probes whether this one answers.
void WaitAnsweringSentMessages(HANDLE object, DWORD timeout_ms) {
  const DWORD begun = GetTickCount();
  for (;;) {
    const DWORD waited = GetTickCount() - begun;
    if (waited >= timeout_ms) return;
    if (MsgWaitForMultipleObjects(1, &object, FALSE, timeout_ms - waited,
                                  QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1) {
      return;
    }
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// Starts the guard and ends once it is ready (0) or has failed (1): the
// panel waits for this process, not for the guard, which is no
// descendant of the panel's.
int StartGuard(PanelProcess panel) {
  const HANDLE guard = StartThisProgram(kGuardSwitch, panel);
  if (guard == nullptr) return 1;
  const Text name = GuardObjectName(panel);
  const DWORD begun = GetTickCount();
  bool ready = GuardObjectExists(name);
  while (!ready && GetTickCount() - begun < kStarterWaitMs &&
         WaitForSingleObject(guard, 10) == WAIT_TIMEOUT) {
    ready = GuardObjectExists(name);
  }
  CloseHandle(guard);
  // A guard that found one already there has ended, and the panel is
  // guarded all the same.
  return ready || GuardObjectExists(name) ? 0 : 1;
}

// The full path of a process's image; empty if it cannot be read.
Text ImagePath(HANDLE process) {
  Text path(kPathChars, u'\0');
  DWORD length = kPathChars;
  if (!QueryFullProcessImageNameW(process, 0, Wide(path), &length)) return {};
  path.resize(length);
  return path;
}

// Only a panel of this very program is guarded: a switch naming any other
// running process makes the guard leave.
bool IsThisProgram(HANDLE process) {
  const Text image = ImagePath(process);
  return !image.empty() &&
         CompareStringOrdinal(Wide(image), -1,
                              Wide(ImagePath(GetCurrentProcess())), -1,
                              TRUE) == CSTR_EQUAL;
}

// True when the panel named no longer runs: the process is gone, has
// ended, or the id now names a process started at another time.
bool HasEnded(HANDLE process, PanelProcess panel) {
  return process == nullptr ||
         WaitForSingleObject(process, 0) != WAIT_TIMEOUT ||
         StartTimeOf(process) != panel.start;
}

int Guard(PanelProcess panel) {
  const HANDLE process = OpenProcess(
      SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, panel.id);
  // Some process runs under the id that may not even be queried: no panel.
  if (process == nullptr && GetLastError() != ERROR_INVALID_PARAMETER) {
    return 1;
  }
  Win32WindowSystem windows;
  // The starter runs between the panel and its guard, and the panel may
  // have ended meanwhile. Only windows marked with this very id and start
  // are shown, which no running panel can carry.
  if (HasEnded(process, panel)) {
    if (process != nullptr) CloseHandle(process);
    ShowWindowsMarkedBy(windows, panel);
    return 0;
  }
  if (!IsThisProgram(process)) {
    CloseHandle(process);
    return 1;
  }
  // The first window call of a process sets up its side of the window
  // system (under Wine it loads the display driver, a few hundred ms):
  // made now, it is not paid for between the panel's end and the restore.
  windows.EnumChildWindows(
      0, [](WindowHandle, std::int32_t) -> std::int32_t { return 0; }, 0);
  // One guard per panel, whoever starts more. The name also tells that the
  // guard is ready.
  const HANDLE only =
      CreateMutexW(nullptr, FALSE, Wide(GuardObjectName(panel)));
  if (only == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(process);
    return 1;
  }
  WaitForSingleObject(process, INFINITE);
  // After a normal end the panel has shown everything and this finds
  // nothing.
  ShowWindowsMarkedBy(windows, panel);
  return 0;
}

}  // namespace

GuardOfPanel::GuardOfPanel(PanelProcess panel)
    : panel_(panel), name_(GuardObjectName(panel)) {}

GuardOfPanel::~GuardOfPanel() { ForgetStarter(); }

GuardState GuardOfPanel::State() {
  if (Waits()) {
    ForgetStarter();
    return GuardState::kRuns;
  }
  if (starter_ != nullptr && WaitForSingleObject(starter_, 0) == WAIT_TIMEOUT) {
    return GuardState::kStarting;
  }
  ForgetStarter();
  return GuardState::kAbsent;
}

GuardState GuardOfPanel::Start() {
  ForgetStarter();
  // Through a starter that ends once the guard is ready, so that the
  // guard is no descendant of the panel: "End process tree" on the panel,
  // the common way to end one that stopped answering, must not end the
  // guard too.
  starter_ = StartThisProgram(kStarterSwitch, panel_);
  if (starter_ == nullptr) return GuardState::kAbsent;
  WaitAnsweringSentMessages(starter_, kReadyWaitMs);
  return State();
}

bool GuardOfPanel::Waits() const { return GuardObjectExists(name_); }

void GuardOfPanel::ForgetStarter() {
  if (starter_ != nullptr) CloseHandle(std::exchange(starter_, nullptr));
}

std::optional<int> RunGuardCommand(const wchar_t* arguments) {
  const bool guard = HasSwitch(arguments, kGuardSwitch);
  const bool starter = HasSwitch(arguments, kStarterSwitch);
  if (!guard && !starter) return std::nullopt;
  const wchar_t* const values =
      arguments + std::wcslen(guard ? kGuardSwitch : kStarterSwitch);
  PanelProcess panel;
  if (!ReadPanel(values, panel)) return 1;
  return guard ? Guard(panel) : StartGuard(panel);
}

}  // namespace corvantis
