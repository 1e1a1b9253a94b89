// simclient: stands in for the game client in end-to-end tests. It opens
// top-level windows from a description file and records what is done to
// them.
//
//   simclient.exe --windows FILE --log FILE [--handles FILE]
//                 [--hang-event NAME] [--churn MS]
//
// --windows: UTF-8 text, one window per line, fields separated by tabs:
//     class  title  width  height  visible|hidden  normal|hung|confirm|slow
//   Blank lines and lines starting with '#' are skipped. A "slow" window
//   answers messages at once but, once every window is shown, takes
//   kSlowMs over each show, hide or move done to it.
// --log: UTF-8 lines "<what><TAB><handle><TAB><title><TAB><tick>", tick
//   being GetTickCount's milliseconds, appended at once: "close" for each
//   WM_CLOSE received, "slow" for each slow start of a show, hide or move;
//   once every window is shown, "activate" for each activation, "show" and
//   "hide" each time a window is made visible or hidden, and "move" each
//   time its place or size changes. A move line goes on with
//   "<TAB><x>,<y>,<width>,<height>" of the window, "<TAB><x>,<y>,<width>,
//   <height>" of the place it is restored to, and "<TAB><change>": normal,
//   minimise, restore, or minimised (moved while it stays minimised).
// --handles: whenever the set of windows changes, replaced by lines
//   "<handle><TAB><class><TAB><title>" for every open window. Its first
//   appearance means every window exists and has been shown.
// --hang-event: a manual-reset event (created if it does not exist); while
//   it is set, the thread of each "hung" window stops pumping messages.
// --churn MS: every MS milliseconds each window that is not "hung" is
//   destroyed and created again, under a new handle.
// Handles are written as signed 32-bit decimals. The program exits with 0
// once every window has been closed.
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "harness/utf8.h"

namespace {

using corvantis::e2e::FromUtf8;
using corvantis::e2e::ToUtf8;

enum class Behaviour { kNormal, kHung, kConfirm, kSlow };

constexpr DWORD kSlowMs = 2500;

struct WindowDescription {
  std::wstring class_name;
  std::wstring title;
  int width = 0;
  int height = 0;
  bool visible = true;
  Behaviour behaviour = Behaviour::kNormal;
};

struct Slot {
  WindowDescription description;
  int index = 0;
  HWND window = nullptr;    // null once closed
  bool churning = false;    // destroyed by churn, to be created again
  HANDLE ready = nullptr;   // set by a hung window's thread once shown
  HANDLE thread = nullptr;  // a hung window's
  // As the last move line found the window.
  bool iconic = false;
  RECT rect = {};
};

struct Options {
  std::wstring windows_path;
  std::wstring log_path;
  std::wstring handles_path;
  std::wstring hang_event_name;
  UINT churn_ms = 0;
};

// Everything the window procedure and the threads share.
CRITICAL_SECTION g_lock;
std::vector<std::unique_ptr<Slot>> g_slots;
Options g_options;
HANDLE g_log = INVALID_HANDLE_VALUE;
HANDLE g_hang_event = nullptr;
DWORD g_main_thread = 0;
LONG g_open_windows = 0;
// Set once every window has been shown: the client's own shows are not slow.
bool g_started = false;

std::wstring RectText(const RECT& rect) {
  return std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
         std::to_wstring(rect.right - rect.left) + L"," +
         std::to_wstring(rect.bottom - rect.top);
}

std::wstring HandleText(HWND window) {
  return std::to_wstring(static_cast<INT32>(reinterpret_cast<INT_PTR>(window)));
}

void Fail(const std::wstring& message) {
  std::string line = ToUtf8(L"simclient: " + message + L"\n");
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(),
            static_cast<DWORD>(line.size()), &written, nullptr);
}

bool ReadFileText(const std::wstring& path, std::string* text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD got;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    text->append(buffer, got);
  }
  CloseHandle(file);
  return true;
}

std::vector<std::wstring> Split(const std::wstring& line, wchar_t separator) {
  std::vector<std::wstring> fields;
  size_t start = 0;
  for (;;) {
    size_t end = line.find(separator, start);
    fields.push_back(line.substr(start, end - start));
    if (end == std::wstring::npos) return fields;
    start = end + 1;
  }
}

bool ParseDescription(const std::wstring& line,
                      WindowDescription* description) {
  std::vector<std::wstring> fields = Split(line, L'\t');
  if (fields.size() != 6) return false;
  description->class_name = fields[0];
  description->title = fields[1];
  description->width = _wtoi(fields[2].c_str());
  description->height = _wtoi(fields[3].c_str());
  if (description->class_name.empty() || description->width <= 0 ||
      description->height <= 0) {
    return false;
  }
  if (fields[4] == L"visible") {
    description->visible = true;
  } else if (fields[4] == L"hidden") {
    description->visible = false;
  } else {
    return false;
  }
  if (fields[5] == L"normal") {
    description->behaviour = Behaviour::kNormal;
  } else if (fields[5] == L"hung") {
    description->behaviour = Behaviour::kHung;
  } else if (fields[5] == L"confirm") {
    description->behaviour = Behaviour::kConfirm;
  } else if (fields[5] == L"slow") {
    description->behaviour = Behaviour::kSlow;
  } else {
    return false;
  }
  return true;
}

bool ReadSpecs(const std::wstring& path) {
  std::string bytes;
  if (!ReadFileText(path, &bytes)) {
    Fail(L"cannot read " + path);
    return false;
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  int number = 0;
  for (std::wstring line : Split(FromUtf8(bytes), L'\n')) {
    ++number;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty() || line[0] == L'#') continue;
    auto slot = std::make_unique<Slot>();
    if (!ParseDescription(line, &slot->description)) {
      Fail(path + L":" + std::to_wstring(number) + L": bad window line");
      return false;
    }
    slot->index = static_cast<int>(g_slots.size());
    g_slots.push_back(std::move(slot));
  }
  return true;
}

bool ParseOptions(int argc, wchar_t** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::wstring name = argv[i];
    const wchar_t* value = argv[i + 1];
    if (name == L"--windows") {
      g_options.windows_path = value;
    } else if (name == L"--log") {
      g_options.log_path = value;
    } else if (name == L"--handles") {
      g_options.handles_path = value;
    } else if (name == L"--hang-event") {
      g_options.hang_event_name = value;
    } else if (name == L"--churn") {
      g_options.churn_ms = static_cast<UINT>(_wtoi(value));
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && !g_options.windows_path.empty() &&
         !g_options.log_path.empty();
}

// One WriteFile per line: lines from different threads never interleave,
// and nothing waits in a buffer if the process is killed.
void Log(const wchar_t* what, HWND window, const std::wstring& title,
         const std::wstring& details = std::wstring()) {
  std::string line =
      ToUtf8(what + (L"\t" + HandleText(window)) + L"\t" + title + L"\t" +
             std::to_wstring(GetTickCount()) + details + L"\n");
  EnterCriticalSection(&g_lock);
  DWORD written;
  WriteFile(g_log, line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
  LeaveCriticalSection(&g_lock);
}

// Writes a new file beside the old one and renames it over, so a reader
// never sees a half-written list.
void WriteHandles() {
  if (g_options.handles_path.empty()) return;
  std::wstring text;
  EnterCriticalSection(&g_lock);
  for (const auto& slot : g_slots) {
    if (slot->window == nullptr) continue;
    text += HandleText(slot->window) + L"\t" + slot->description.class_name +
            L"\t" + slot->description.title + L"\n";
  }
  LeaveCriticalSection(&g_lock);
  std::string bytes = ToUtf8(text);
  std::wstring temporary = g_options.handles_path + L".new";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Fail(L"cannot write " + temporary);
    return;
  }
  DWORD written;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
  CloseHandle(file);
  MoveFileExW(temporary.c_str(), g_options.handles_path.c_str(),
              MOVEFILE_REPLACE_EXISTING);
}

// The client's own placement of its window, which another process cannot
// read: Windows gives it the restored place, Wine only the current one.
void LogPositionChange(HWND window, Slot* slot, const WINDOWPOS& position) {
  const std::wstring& title = slot->description.title;
  // Not WM_SHOWWINDOW, which a restore from minimised does not send.
  if (position.flags & SWP_SHOWWINDOW) Log(L"show", window, title);
  if (position.flags & SWP_HIDEWINDOW) Log(L"hide", window, title);
  RECT rect;
  GetWindowRect(window, &rect);
  const bool iconic = IsIconic(window) != 0;
  if (EqualRect(&rect, &slot->rect) && iconic == slot->iconic) return;
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  GetWindowPlacement(window, &placement);
  const wchar_t* change = iconic ? (slot->iconic ? L"minimised" : L"minimise")
                                 : (slot->iconic ? L"restore" : L"normal");
  slot->rect = rect;
  slot->iconic = iconic;
  Log(L"move", window, title,
      L"\t" + RectText(rect) + L"\t" + RectText(placement.rcNormalPosition) +
          L"\t" + change);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                            LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* slot =
      reinterpret_cast<Slot*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (slot == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_CLOSE:
      Log(L"close", window, slot->description.title);
      if (slot->description.behaviour == Behaviour::kConfirm &&
          MessageBoxW(window, L"Close this window?",
                      slot->description.title.c_str(),
                      MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return 0;
      }
      DestroyWindow(window);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && g_started) {
        Log(L"activate", window, slot->description.title);
      }
      break;
    case WM_WINDOWPOSCHANGED:
      if (g_started)
        LogPositionChange(window, slot,
                          *reinterpret_cast<const WINDOWPOS*>(lparam));
      break;
    case WM_WINDOWPOSCHANGING:
      // Every show, hide and move passes here before it takes effect.
      if (slot->description.behaviour == Behaviour::kSlow && g_started) {
        Log(L"slow", window, slot->description.title);
        Sleep(kSlowMs);
      }
      break;
    case WM_DESTROY:
      if (slot->churning) return 0;
      EnterCriticalSection(&g_lock);
      slot->window = nullptr;
      LeaveCriticalSection(&g_lock);
      WriteHandles();
      if (slot->description.behaviour == Behaviour::kHung) PostQuitMessage(0);
      if (InterlockedDecrement(&g_open_windows) == 0) {
        PostThreadMessageW(g_main_thread, WM_QUIT, 0, 0);
      }
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

bool RegisterClasses() {
  for (const auto& slot : g_slots) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    const wchar_t* name = slot->description.class_name.c_str();
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &existing)) continue;
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = name;
    if (!RegisterClassExW(&window_class)) {
      Fail(L"cannot register class " + slot->description.class_name);
      return false;
    }
  }
  return true;
}

HWND CreateSlotWindow(Slot* slot) {
  int offset = 40 + 24 * slot->index;
  HWND window = CreateWindowExW(
      0, slot->description.class_name.c_str(), slot->description.title.c_str(),
      WS_OVERLAPPEDWINDOW, offset, offset, slot->description.width,
      slot->description.height, nullptr, nullptr, GetModuleHandleW(nullptr),
      slot);
  if (window != nullptr && slot->description.visible) {
    ShowWindow(window, SW_SHOWNORMAL);
  }
  if (window != nullptr) {
    GetWindowRect(window, &slot->rect);
    slot->iconic = false;
  }
  EnterCriticalSection(&g_lock);
  slot->window = window;
  LeaveCriticalSection(&g_lock);
  return window;
}

// While the hang event is set this thread handles nothing: every message
// sent to its window waits, as with a client stuck in a long operation. The
// event is checked before each message, so a hang requested from the start
// begins before the first one.
DWORD WINAPI HungWindowThread(void* parameter) {
  auto* slot = static_cast<Slot*>(parameter);
  if (CreateSlotWindow(slot) == nullptr) return 1;
  SetEvent(slot->ready);
  for (;;) {
    while (WaitForSingleObject(g_hang_event, 0) == WAIT_OBJECT_0) Sleep(10);
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(1, &g_hang_event, FALSE, INFINITE, QS_ALLINPUT);
      continue;
    }
    if (message.message == WM_QUIT) return 0;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Churn() {
  for (const auto& slot : g_slots) {
    if (slot->description.behaviour == Behaviour::kHung ||
        slot->window == nullptr) {
      continue;
    }
    slot->churning = true;
    DestroyWindow(slot->window);
    slot->churning = false;
    CreateSlotWindow(slot.get());
  }
  WriteHandles();
}

int Run(int argc, wchar_t** argv) {
  if (!ParseOptions(argc, argv)) {
    Fail(
        L"usage: simclient --windows FILE --log FILE [--handles FILE] "
        L"[--hang-event NAME] [--churn MS]");
    return 2;
  }
  if (!ReadSpecs(g_options.windows_path) || !RegisterClasses()) return 3;
  g_log = CreateFileW(g_options.log_path.c_str(), FILE_APPEND_DATA,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_ALWAYS, 0, nullptr);
  if (g_log == INVALID_HANDLE_VALUE) {
    Fail(L"cannot open " + g_options.log_path);
    return 3;
  }
  g_main_thread = GetCurrentThreadId();
  g_open_windows = static_cast<LONG>(g_slots.size());
  if (g_slots.empty()) return 0;

  std::vector<HANDLE> threads;
  for (const auto& slot : g_slots) {
    if (slot->description.behaviour != Behaviour::kHung) continue;
    if (g_hang_event == nullptr) {
      if (g_options.hang_event_name.empty()) {
        Fail(L"a hung window needs --hang-event");
        return 2;
      }
      g_hang_event =
          CreateEventW(nullptr, TRUE, FALSE, g_options.hang_event_name.c_str());
    }
    slot->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    slot->thread =
        CreateThread(nullptr, 0, HungWindowThread, slot.get(), 0, nullptr);
    threads.push_back(slot->thread);
  }
  for (const auto& slot : g_slots) {
    if (slot->description.behaviour == Behaviour::kHung) continue;
    if (CreateSlotWindow(slot.get()) == nullptr) {
      Fail(L"cannot create window " + slot->description.title);
      return 3;
    }
  }
  // Many threads making windows at once can take long under emulation on a
  // loaded machine: the test that started the client bounds the wait.
  for (const auto& slot : g_slots) {
    if (slot->ready == nullptr) continue;
    const HANDLE ready_or_ended[] = {slot->ready, slot->thread};
    if (WaitForMultipleObjects(2, ready_or_ended, FALSE, INFINITE) !=
        WAIT_OBJECT_0) {
      Fail(L"a hung window was not created");
      return 3;
    }
  }
  g_started = true;
  WriteHandles();
  if (g_options.churn_ms > 0) SetTimer(nullptr, 0, g_options.churn_ms, nullptr);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == nullptr) {
      Churn();
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (!threads.empty()) {
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(),
                           TRUE, 10000);
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  InitializeCriticalSection(&g_lock);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  return Run(argc, argv);
}
