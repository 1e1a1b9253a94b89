// Drives real windows of other processes from a Windows test program: starts
// programs, waits for their windows, reads and operates their controls. Every
// wait is bounded; nothing here sends a message without a timeout to a
// window whose thread might not answer.
#pragma once

#include <windows.h>
// After windows.h, whose types it uses.
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <functional>
#include <string>
#include <vector>

#include "harness/utf8.h"

namespace corvantis::e2e {

// A started program; killed when this object goes if it still runs.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Empty working_directory: the test program's own. A non-empty
  // output_path is made anew and receives the program's stdout and stderr.
  // A failure says why: the error and how long CreateProcess took (under
  // Wine it fails when the new process ends before it has started).
  testing::AssertionResult Start(
      const std::wstring& executable,
      const std::vector<std::wstring>& arguments,
      const std::wstring& working_directory = std::wstring(),
      const std::wstring& output_path = std::wstring());
  bool Running() const;
  // False if it still runs after timeout_ms.
  bool WaitForExit(DWORD timeout_ms, DWORD* exit_code = nullptr) const;
  void Kill();
  DWORD id() const { return id_; }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Every process running now.
std::vector<PROCESSENTRY32W> RunningProcesses();
// The running processes whose image is the file at path.
std::vector<PROCESSENTRY32W> ProcessesOfImage(const std::wstring& path);
// The guards of the panels started from the Corvantis.exe at image:
// processes of that image whose parent is neither this program, which
// starts the panels, nor a running process of the image, as the guards'
// starters are once they have ended.
std::vector<DWORD> GuardProcesses(const std::wstring& image);
// True once a guard of the panel process is set up and waits: it has made
// the object whose name keeps a second guard away.
bool GuardWaits(DWORD panel_id);
// Ends the process with this id and waits until it has ended.
void EndProcess(DWORD process_id);
// Waits up to timeout_ms for every process of the image to end, then ends
// those left; true if none was left.
bool AllOfImageEnd(const std::wstring& path, DWORD timeout_ms);
// The low 32 bits of a process's start time, made odd, as Corvantis names
// a process; 0 if it cannot be read.
DWORD StartTimeOf(DWORD process_id);

// "error N (system text)", for failure messages.
std::string ErrorText(DWORD error);
// Emulation runs every program several times slower: the time-outs of this
// harness's waits (WaitUntil and all that waits through it, the message
// round trips, Process::WaitForExit) are multiplied by
// CORVANTIS_E2E_TIME_SCALE (default 1), and so is every pause a test gives
// something to happen (Sleep(Scaled(ms))). Bounds a test measures a
// duration against are not waits and stay as they are.
DWORD Scaled(DWORD timeout_ms);

// The directory of the running test program, with a trailing backslash.
std::wstring ProgramDirectory();
// A new, empty directory under the temporary folder; empty if none could be
// made (GetLastError says why).
std::wstring MakeScratchDirectory();
// Removes a directory made by MakeScratchDirectory and its files, if it can:
// the directory stays while a process still has it or one of its files
// open (a crashed panel held by the debugger, a killed client whose
// handles the system has not closed yet).
void RemoveScratchDirectory(const std::wstring& directory);
// Whole file as UTF-8 converted to UTF-16; empty if it cannot be read.
std::wstring ReadUtf8File(const std::wstring& path);
bool WriteUtf8File(const std::wstring& path, const std::wstring& text);
std::vector<std::wstring> SplitLines(const std::wstring& text);

// Polls condition every 10 ms; true once it holds, false after timeout_ms.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms);
// A WM_NULL round trip within timeout_ms. False for a window that is gone,
// whose thread does not pump, or that the system already marks hung.
bool Responds(HWND window, DWORD timeout_ms = 1000);
// Waits for a visible top-level window whose class and title equal the given
// ones (null matches any) and that answers a WM_NULL round trip. Null after
// timeout_ms.
HWND WaitForWindow(const wchar_t* class_name, const wchar_t* title,
                   DWORD timeout_ms);
// Top-level windows, those of one process if process_id is not 0.
std::vector<HWND> TopLevelWindows(DWORD process_id = 0);
// The process's top-level window of the class, shown or not; null if none.
// Unlike FindWindowW it tells the windows of two running panels apart.
HWND FindProcessWindow(DWORD process_id, const wchar_t* class_name);

struct WindowState {
  bool exists = false;
  bool visible = false;
  bool iconic = false;
  RECT rect = {};
  LONG_PTR style = 0;
  LONG_PTR ex_style = 0;
};
// Reads without sending the window any message.
WindowState ReadWindow(HWND window);
// Title and class name, read without sending the window any message.
std::wstring WindowTitle(HWND window);
std::wstring ClassName(HWND window);
// The first child (at any depth) of the class whose text equals text (null
// matches any).
HWND FindChild(HWND parent, const wchar_t* class_name, const wchar_t* text);

// A list box's entries, read through the W messages.
std::vector<std::wstring> ListBoxTexts(HWND list);
int ListBoxSelection(HWND list);
// Selects an entry and tells the parent, as a user's click does; returns at
// once.
bool SelectListBoxEntry(HWND list, int index);
// Posts a key press (down and up) to a window's queue.
void PostKey(HWND window, UINT virtual_key);

// Posts WM_COMMAND(BN_CLICKED) to the parent: returns at once, whatever the
// handler does.
void PostClick(HWND button);
// BM_CLICK: returns when the handler has run, false after timeout_ms.
bool Click(HWND button, DWORD timeout_ms = 3000);

// A visible message box (#32770) of the process, null after timeout_ms.
HWND WaitForMessageBox(DWORD process_id, DWORD timeout_ms);
// Presses the message box's button (IDYES, IDNO, IDOK...).
bool AnswerMessageBox(HWND box, int button_id);

// The texts of a tooltip window's tools, read through memory allocated in
// the tooltip's process. Same bitness as this program only.
std::vector<std::wstring> TooltipTexts(HWND tooltip);

// A window's text through WM_GETTEXT (edit controls keep theirs apart from
// the window name); empty if it does not answer.
std::wstring ReadText(HWND window);
// WM_SETTEXT, as typing a whole new text would leave it.
bool WriteText(HWND window, const std::wstring& text);
// The texts of a window's children of a class, in z-order.
std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* class_name);

// True if upper comes before lower in the z-order of top-level windows.
bool IsAbove(HWND upper, HWND lower);
// The focus window of the thread that owns window; null if none.
HWND FocusOf(HWND window);
// Brings window to the foreground and types the keys as real input: each
// entry is pressed in order and all are released in reverse order, so
// {VK_MENU, VK_F4} is Alt+F4. False if the window cannot be made
// foreground.
bool PressKeys(HWND window, const std::vector<WORD>& virtual_keys);
// The colour of a point of a window's client area as drawn on the screen.
COLORREF ScreenPixel(HWND window, POINT client_point);

// A visible top-level window of this process, served by a thread of its
// own so that other processes' calls on it never wait on the test.
class OwnWindow {
 public:
  OwnWindow(const wchar_t* class_name, const wchar_t* title, RECT rect);
  ~OwnWindow();
  OwnWindow(const OwnWindow&) = delete;
  OwnWindow& operator=(const OwnWindow&) = delete;

  HWND window() const { return window_; }
  // True once something has hidden the window.
  bool WasHidden() const { return hidden_ != 0; }

 private:
  static DWORD WINAPI Serve(void* self);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam);

  std::wstring class_name_;
  std::wstring title_;
  RECT rect_;
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  HWND window_ = nullptr;
  volatile LONG hidden_ = 0;
};

// Milliseconds that f takes.
double Measure(const std::function<void()>& f);

}  // namespace corvantis::e2e
