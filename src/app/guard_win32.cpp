#include "app/guard_win32.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>

#include "app/guard.h"
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

// The starter's exit codes.
constexpr int kGuardReady = 0;
constexpr int kGuardFailed = 1;
// Ready, but inside a job of the panel's that refused the guard's
// breaking away: closing the job would end the guard with the panel.
constexpr int kGuardReadyInJob = 2;

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

// Starts the guard and ends once it is ready or has failed: the panel
// waits for this process, not for the guard, which is no descendant of
// the panel's.
int StartGuard(PanelProcess panel) {
  const HANDLE guard = StartThisProgram(kGuardSwitch, panel);
  if (guard == nullptr) return kGuardFailed;
  const Text name = GuardObjectName(panel);
  const DWORD begun = GetTickCount();
  bool ready = GuardObjectExists(name);
  while (!ready && GetTickCount() - begun < kStarterWaitMs &&
         WaitForSingleObject(guard, 10) == WAIT_TIMEOUT) {
    ready = GuardObjectExists(name);
  }
  // A guard that found one already there has ended, and the panel is
  // guarded all the same.
  ready = ready || GuardObjectExists(name);
  BOOL in_job = FALSE;
  IsProcessInJob(guard, nullptr, &in_job);
  CloseHandle(guard);
  if (!ready) return kGuardFailed;
  return in_job ? kGuardReadyInJob : kGuardReady;
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

class Win32GuardedProcess final : public GuardedProcess {
 public:
  Win32GuardedProcess() = default;
  Win32GuardedProcess(const Win32GuardedProcess&) = delete;
  Win32GuardedProcess& operator=(const Win32GuardedProcess&) = delete;
  ~Win32GuardedProcess() override {
    for (const HANDLE handle : {process_, only_}) {
      if (handle != nullptr) CloseHandle(handle);
    }
  }

  bool Open(std::uint32_t process_id) override {
    process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                           FALSE, process_id);
    return process_ != nullptr;
  }
  // Ended is ended even while some handle still keeps the process object.
  std::uint32_t Start() override {
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT
               ? StartTimeOf(process_)
               : 0;
  }
  bool RunsThisProgram() override { return IsThisProgram(process_); }
  bool BecomeOnlyGuard(PanelProcess panel) override {
    only_ = CreateMutexW(nullptr, FALSE, Wide(GuardObjectName(panel)));
    return only_ != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
  }
  void WaitForEnd() override { WaitForSingleObject(process_, INFINITE); }

 private:
  HANDLE process_ = nullptr;
  // Kept until the guard ends: its name says that the guard waits.
  HANDLE only_ = nullptr;
};

int Guard(PanelProcess panel) {
  Win32WindowSystem windows;
  Win32GuardedProcess process;
  return GuardPanel(windows, process, panel);
}

}  // namespace

GuardOfPanel::GuardOfPanel(PanelProcess panel)
    : panel_(panel), name_(GuardObjectName(panel)) {}

GuardOfPanel::~GuardOfPanel() { ForgetStarter(); }

GuardState GuardOfPanel::State() {
  if (starter_ != nullptr) {
    if (WaitForSingleObject(starter_, 0) == WAIT_TIMEOUT) {
      return GuardState::kStarting;
    }
    DWORD exit_code = kGuardFailed;
    GetExitCodeProcess(starter_, &exit_code);
    in_panels_job_ = exit_code == kGuardReadyInJob;
    ForgetStarter();
  }
  if (!Waits()) return GuardState::kAbsent;
  return in_panels_job_ ? GuardState::kRunsInPanelsJob : GuardState::kRuns;
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
