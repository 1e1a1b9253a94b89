// Corvantis.exe: the control panel of the QQ Game client's windows.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <optional>

#include "app/form1_win32.h"
#include "app/guard_win32.h"
#include "control/window_control.h"
#include "platform/companion_services_win32.h"
#include "platform/win32_window_system.h"

namespace {

// Corvantis sits in the client's folder among DLLs it does not know: take
// system DLLs only from System32, never from that folder or the current
// directory. SetDefaultDllDirectories is looked up because Windows 7
// without KB2533623 lacks it.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll")) {
    const auto set_default_dll_directories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void*>(
                GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (set_default_dll_directories) {
      set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
  }
  SetDllDirectoryW(L"");
}

// comctl32 is not one of the KnownDLLs, so it stays off the import table
// and is loaded only once the search is restricted. The manifest's
// dependency makes this version 6 from the side-by-side store. Without it
// the panel still works, only without its tooltip.
void InitCommonControlsFromSystem() {
  const HMODULE comctl32 =
      LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!comctl32) return;
  using InitCommonControlsExFunction =
      BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto init_common_controls_ex =
      reinterpret_cast<InitCommonControlsExFunction>(reinterpret_cast<void*>(
          GetProcAddress(comctl32, "InitCommonControlsEx")));
  if (!init_common_controls_ex) return;
  const INITCOMMONCONTROLSEX classes = {sizeof(classes),
                                        ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  init_common_controls_ex(&classes);
}

// This panel process as its marks name it, and its guard, made before
// anything can fail.
corvantis::PanelProcess this_panel;
std::optional<corvantis::GuardOfPanel> guard;

// However the process fails, every window this panel hid comes back. The
// failing thread may hold the heap or the loader lock, which window calls
// need: with a guard waiting, the process only ends, at once, and the
// guard shows the windows.
void HandOverWindows(UINT exit_code) {
  if (guard && guard->Waits()) TerminateProcess(GetCurrentProcess(), exit_code);
  // Without a guard they are shown from here, once. The marks on the
  // windows say which; the panel's own state may be what failed, so it is
  // not used, and no call waits for a window.
  static volatile LONG done = 0;
  if (InterlockedExchange(&done, 1) != 0) return;
  corvantis::Win32WindowSystem windows;
  corvantis::ShowWindowsMarkedBy(windows, this_panel);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  HandOverWindows(exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_CONTINUE_SEARCH;
}

// The C runtime's abort ends the process with 3.
constexpr UINT kAbortExitCode = 3;

void OnTerminate() {
  HandOverWindows(kAbortExitCode);
  std::abort();
}

void OnAbortSignal(int) { HandOverWindows(kAbortExitCode); }

void ShowHiddenWindowsOnCrash() {
  this_panel = corvantis::Win32WindowSystem().CurrentProcess();
  guard.emplace(this_panel);
  SetUnhandledExceptionFilter(OnUnhandledException);
  std::set_terminate(OnTerminate);
  // abort's "Runtime Error" box would come before the handler and keep the
  // windows hidden until the user answered it: its text goes to the
  // standard error, which a windowed program has not got.
  _set_error_mode(_OUT_TO_STDERR);
  std::signal(SIGABRT, OnAbortSignal);
}

int RunMessageLoop(const corvantis::Form1& form) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The dialog manager gives the panel Tab, Shift+Tab, Space and Enter on
    // buttons, and arrow keys in the lists.
    if (IsDialogMessageW(form.Window(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

// The process stays DPI-unaware on purpose (no SetProcessDpiAware, no
// dpiAware in the manifest). The QQ Game client is DPI-unaware too, so the
// 800 x 600 the panel gives its windows is the size the client itself sees;
// above 96 dpi Windows scales the panel's bitmap, which keeps its fixed
// pixel layout whole and legible.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments,
                    int show_command) {
  RestrictDllSearch();
  // The guard is this exe too; it needs none of the panel's set-up.
  if (const auto exit_code = corvantis::RunGuardCommand(arguments)) {
    return *exit_code;
  }
  ShowHiddenWindowsOnCrash();
  InitCommonControlsFromSystem();

  corvantis::Win32WindowSystem windows;
  corvantis::Win32FileLookup files;
  corvantis::Win32MessageBoxService boxes;
  corvantis::Form1 form(instance, {windows, files, boxes}, *guard);
  if (!form.Create()) return 1;
  boxes.SetOwner(form.Handle());
  form.LoadAndShow(show_command);
  return RunMessageLoop(form);
}
