#include "harness/harness.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cwctype>

namespace corvantis::e2e {
namespace {

// CommandLineToArgvW's quoting: backslashes are literal unless they precede
// a quote.
std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() &&
      argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

bool SendWithTimeout(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                     DWORD timeout_ms, DWORD_PTR* result = nullptr) {
  DWORD_PTR ignored;
  return SendMessageTimeoutW(window, message, wparam, lparam,
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, Scaled(timeout_ms),
                             result != nullptr ? result : &ignored) != 0;
}

constexpr DWORD kReplyTimeoutMs = 3000;

// Windows calls its callbacks as CALLBACK (stdcall on i686), which a lambda
// is not: this one callback serves every enumeration.
BOOL CALLBACK VisitWindow(HWND window, LPARAM visit) {
  return (*reinterpret_cast<const std::function<bool(HWND)>*>(visit))(window);
}

// Calls visit for every top-level window (null parent) or every child of
// parent, until it returns false.
void EnumerateWindows(HWND parent, const std::function<bool(HWND)>& visit) {
  auto parameter = reinterpret_cast<LPARAM>(&visit);
  if (parent == nullptr) {
    EnumWindows(VisitWindow, parameter);
  } else {
    EnumChildWindows(parent, VisitWindow, parameter);
  }
}

}  // namespace

DWORD Scaled(DWORD timeout_ms) {
  static const DWORD scale = [] {
    wchar_t value[16] = {};
    GetEnvironmentVariableW(L"CORVANTIS_E2E_TIME_SCALE", value, 16);
    int parsed = _wtoi(value);
    return static_cast<DWORD>(parsed > 1 ? parsed : 1);
  }();
  return timeout_ms * scale;
}

Process::~Process() { Kill(); }

Process::Process(Process&& other) noexcept
    : process_(other.process_), id_(other.id_) {
  other.process_ = nullptr;
  other.id_ = 0;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Kill();
    process_ = other.process_;
    id_ = other.id_;
    other.process_ = nullptr;
    other.id_ = 0;
  }
  return *this;
}

testing::AssertionResult Process::Start(
    const std::wstring& executable, const std::vector<std::wstring>& arguments,
    const std::wstring& working_directory, const std::wstring& output_path) {
  Kill();
  std::wstring command_line = QuoteArgument(executable);
  for (const std::wstring& argument : arguments) {
    command_line += L" " + QuoteArgument(argument);
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!output_path.empty()) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    output = CreateFileW(output_path.c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         &inherited, CREATE_ALWAYS, 0, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
      return testing::AssertionFailure()
             << "cannot make " << ToUtf8(output_path) << ": "
             << ErrorText(GetLastError());
    }
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION info = {};
  const DWORD start = GetTickCount();
  const bool created = CreateProcessW(
      executable.c_str(), command_line.data(), nullptr, nullptr,
      output != INVALID_HANDLE_VALUE, 0, nullptr,
      working_directory.empty() ? nullptr : working_directory.c_str(), &startup,
      &info);
  const DWORD error = created ? ERROR_SUCCESS : GetLastError();
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (!created) {
    return testing::AssertionFailure()
           << "cannot start " << ToUtf8(command_line) << ": "
           << ErrorText(error) << " after " << GetTickCount() - start << " ms";
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  id_ = info.dwProcessId;
  return testing::AssertionSuccess();
}

bool Process::Running() const {
  return process_ != nullptr &&
         WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::WaitForExit(DWORD timeout_ms, DWORD* exit_code) const {
  if (process_ == nullptr) return true;
  if (WaitForSingleObject(process_, Scaled(timeout_ms)) != WAIT_OBJECT_0) {
    return false;
  }
  if (exit_code != nullptr) GetExitCodeProcess(process_, exit_code);
  return true;
}

void Process::Kill() {
  if (process_ == nullptr) return;
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
  process_ = nullptr;
  id_ = 0;
}

std::vector<PROCESSENTRY32W> RunningProcesses() {
  std::vector<PROCESSENTRY32W> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W process = {};
  process.dwSize = sizeof process;
  for (BOOL more = Process32FirstW(snapshot, &process); more;
       more = Process32NextW(snapshot, &process)) {
    found.push_back(process);
  }
  CloseHandle(snapshot);
  return found;
}

std::vector<PROCESSENTRY32W> ProcessesOfImage(const std::wstring& path) {
  std::vector<PROCESSENTRY32W> found;
  for (const PROCESSENTRY32W& entry : RunningProcesses()) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                 entry.th32ProcessID);
    if (process == nullptr) continue;
    wchar_t image[MAX_PATH * 2];
    DWORD length = MAX_PATH * 2;
    DWORD exit_code = 0;
    if (QueryFullProcessImageNameW(process, 0, image, &length) &&
        GetExitCodeProcess(process, &exit_code) && exit_code == STILL_ACTIVE &&
        _wcsicmp(image, path.c_str()) == 0) {
      found.push_back(entry);
    }
    CloseHandle(process);
  }
  return found;
}

std::vector<DWORD> GuardProcesses(const std::wstring& image) {
  const std::vector<PROCESSENTRY32W> corvantis = ProcessesOfImage(image);
  std::vector<DWORD> guards;
  for (const PROCESSENTRY32W& process : corvantis) {
    const DWORD parent = process.th32ParentProcessID;
    if (parent != GetCurrentProcessId() &&
        std::none_of(corvantis.begin(), corvantis.end(),
                     [&](const PROCESSENTRY32W& other) {
                       return other.th32ProcessID == parent;
                     })) {
      guards.push_back(process.th32ProcessID);
    }
  }
  return guards;
}

bool AllOfImageEnd(const std::wstring& path, DWORD timeout_ms) {
  if (WaitUntil([&] { return ProcessesOfImage(path).empty(); }, timeout_ms)) {
    return true;
  }
  for (const PROCESSENTRY32W& entry : ProcessesOfImage(path)) {
    EndProcess(entry.th32ProcessID);
  }
  return false;
}

bool GuardWaits(DWORD panel_id) {
  const std::wstring name = L"Local\\Corvantis.Guard." +
                            std::to_wstring(panel_id) + L"." +
                            std::to_wstring(StartTimeOf(panel_id));
  HANDLE only = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
  if (only == nullptr) return false;
  CloseHandle(only);
  return true;
}

void EndProcess(DWORD process_id) {
  HANDLE process =
      OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) return;
  TerminateProcess(process, 1);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
}

DWORD StartTimeOf(DWORD process_id) {
  HANDLE process =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) return 0;
  FILETIME created = {}, exited = {}, kernel = {}, user = {};
  const BOOL read = GetProcessTimes(process, &created, &exited, &kernel, &user);
  CloseHandle(process);
  return read ? created.dwLowDateTime | 1u : 0;
}

std::string ErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 ? std::wstring(text, length) : L"";
  LocalFree(text);
  while (!message.empty() && iswspace(message.back())) message.pop_back();
  return "error " + std::to_string(error) + " (" + ToUtf8(message) + ")";
}

std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory(path, length);
  return directory.substr(0, directory.find_last_of(L"\\/") + 1);
}

std::wstring MakeScratchDirectory() {
  // The process id alone does not make a name unique: Wine hands out ids
  // again, and a fresh wineserver hands them out in the same order, so an
  // earlier test program may have left a directory of this name behind
  // (RemoveScratchDirectory cannot remove one that a process still uses).
  // Only a directory this call creates is known to be new and empty.
  static std::atomic<int> counter{0};
  wchar_t temporary[MAX_PATH];
  GetTempPathW(MAX_PATH, temporary);
  const std::wstring prefix = std::wstring(temporary) + L"corvantis-e2e-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-";
  for (;;) {
    std::wstring directory = prefix + std::to_wstring(++counter);
    if (CreateDirectoryW(directory.c_str(), nullptr)) return directory + L"\\";
    if (GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
  }
}

void RemoveScratchDirectory(const std::wstring& directory) {
  // An empty name, from a failed MakeScratchDirectory, would mean the
  // current directory's files.
  if (directory.empty()) return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((directory + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW((directory + found.cFileName).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(directory.c_str());
}

std::wstring ReadUtf8File(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  std::string bytes;
  char buffer[4096];
  DWORD got;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return FromUtf8(bytes);
}

bool WriteUtf8File(const std::wstring& path, const std::wstring& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string bytes = ToUtf8(text);
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                      &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  timeout_ms = Scaled(timeout_ms);
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(10);
  }
}

bool Responds(HWND window, DWORD timeout_ms) {
  return IsWindow(window) && SendWithTimeout(window, WM_NULL, 0, 0, timeout_ms);
}

std::vector<HWND> TopLevelWindows(DWORD process_id) {
  std::vector<HWND> found;
  EnumerateWindows(nullptr, [&](HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (process_id == 0 || owner == process_id) found.push_back(window);
    return true;
  });
  return found;
}

HWND FindProcessWindow(DWORD process_id, const wchar_t* class_name) {
  for (HWND window : TopLevelWindows(process_id)) {
    if (ClassName(window) == class_name) return window;
  }
  return nullptr;
}

HWND WaitForWindow(const wchar_t* class_name, const wchar_t* title,
                   DWORD timeout_ms) {
  HWND found = nullptr;
  // FindWindowW succeeds while the window is still inside WM_CREATE: only a
  // shown window that answers is ready to be driven.
  WaitUntil(
      [&] {
        found = FindWindowW(class_name, title);
        return found != nullptr && IsWindowVisible(found) &&
               Responds(found, 200);
      },
      timeout_ms);
  return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

WindowState ReadWindow(HWND window) {
  WindowState state;
  state.exists = IsWindow(window) != 0;
  if (!state.exists) return state;
  state.visible = IsWindowVisible(window) != 0;
  state.iconic = IsIconic(window) != 0;
  GetWindowRect(window, &state.rect);
  state.style = GetWindowLongPtrW(window, GWL_STYLE);
  state.ex_style = GetWindowLongPtrW(window, GWL_EXSTYLE);
  return state;
}

std::wstring WindowTitle(HWND window) {
  // InternalGetWindowText never sends WM_GETTEXT, even to a window of this
  // process.
  wchar_t buffer[1024];
  int length = InternalGetWindowText(window, buffer, 1024);
  return std::wstring(buffer, static_cast<size_t>(length));
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256];
  int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, static_cast<size_t>(length));
}

HWND FindChild(HWND parent, const wchar_t* class_name, const wchar_t* text) {
  HWND found = nullptr;
  EnumerateWindows(parent, [&](HWND window) {
    if ((class_name == nullptr ||
         _wcsicmp(ClassName(window).c_str(), class_name) == 0) &&
        (text == nullptr || WindowTitle(window) == text)) {
      found = window;
      return false;
    }
    return true;
  });
  return found;
}

std::vector<std::wstring> ListBoxTexts(HWND list) {
  std::vector<std::wstring> texts;
  DWORD_PTR count = 0;
  if (!SendWithTimeout(list, LB_GETCOUNT, 0, 0, kReplyTimeoutMs, &count) ||
      static_cast<LRESULT>(count) == LB_ERR) {
    return texts;
  }
  for (WPARAM i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    SendWithTimeout(list, LB_GETTEXTLEN, i, 0, kReplyTimeoutMs, &length);
    if (static_cast<LRESULT>(length) == LB_ERR) length = 0;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendWithTimeout(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()),
                    kReplyTimeoutMs, &copied);
    text.resize(static_cast<LRESULT>(copied) == LB_ERR ? 0 : copied);
    texts.push_back(text);
  }
  return texts;
}

int ListBoxSelection(HWND list) {
  DWORD_PTR selection = static_cast<DWORD_PTR>(LB_ERR);
  SendWithTimeout(list, LB_GETCURSEL, 0, 0, kReplyTimeoutMs, &selection);
  return static_cast<int>(static_cast<LRESULT>(selection));
}

bool SelectListBoxEntry(HWND list, int index) {
  // Both posted, so that they reach the panel together in its own turn, as
  // a click does: a selection sent while a walk waits in a call would be
  // made at once, and a refresh under way would empty it again before its
  // notice came.
  return index >= 0 &&
         PostMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0) &&
         PostMessageW(GetParent(list), WM_COMMAND,
                      MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                      reinterpret_cast<LPARAM>(list));
}

void PostKey(HWND window, UINT virtual_key) {
  UINT scan = MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
  PostMessageW(window, WM_KEYDOWN, virtual_key, 1 | (scan << 16));
  PostMessageW(window, WM_KEYUP, virtual_key,
               1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void PostClick(HWND button) {
  PostMessageW(GetParent(button), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

bool Click(HWND button, DWORD timeout_ms) {
  return SendWithTimeout(button, BM_CLICK, 0, 0, timeout_ms);
}

HWND WaitForMessageBox(DWORD process_id, DWORD timeout_ms) {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(process_id)) {
          if (ClassName(window) == L"#32770" && IsWindowVisible(window) &&
              Responds(window, 200)) {
            box = window;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return box;
}

bool AnswerMessageBox(HWND box, int button_id) {
  HWND button = GetDlgItem(box, button_id);
  return button != nullptr && Click(button);
}

std::vector<std::wstring> TooltipTexts(HWND tooltip) {
  std::vector<std::wstring> texts;
  DWORD process_id = 0;
  GetWindowThreadProcessId(tooltip, &process_id);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE,
                  FALSE, process_id);
  if (process == nullptr) return texts;
  // The tool record and the text buffer must live in the tooltip's address
  // space: the control writes through the pointers it is given.
  constexpr size_t kTextChars = 1024;
  const size_t size = sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t);
  auto* remote = static_cast<char*>(VirtualAllocEx(
      process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (remote != nullptr) {
    auto* remote_info = reinterpret_cast<TTTOOLINFOW*>(remote);
    auto* remote_text =
        reinterpret_cast<wchar_t*>(remote + sizeof(TTTOOLINFOW));
    DWORD_PTR count = 0;
    SendWithTimeout(tooltip, TTM_GETTOOLCOUNT, 0, 0, kReplyTimeoutMs, &count);
    for (WPARAM i = 0; i < count; ++i) {
      TTTOOLINFOW info = {};
      info.cbSize = sizeof info;
      info.lpszText = remote_text;
      WriteProcessMemory(process, remote_info, &info, sizeof info, nullptr);
      DWORD_PTR found = 0;
      if (!SendWithTimeout(tooltip, TTM_ENUMTOOLSW, i,
                           reinterpret_cast<LPARAM>(remote_info),
                           kReplyTimeoutMs, &found) ||
          found == 0) {
        continue;
      }
      // TTM_ENUMTOOLSW replaced the text pointer with the tool's own.
      ReadProcessMemory(process, remote_info, &info, sizeof info, nullptr);
      info.lpszText = remote_text;
      WriteProcessMemory(process, remote_info, &info, sizeof info, nullptr);
      wchar_t empty = L'\0';
      WriteProcessMemory(process, remote_text, &empty, sizeof empty, nullptr);
      SendWithTimeout(tooltip, TTM_GETTEXTW, kTextChars,
                      reinterpret_cast<LPARAM>(remote_info), kReplyTimeoutMs);
      std::wstring text(kTextChars, L'\0');
      ReadProcessMemory(process, remote_text, text.data(),
                        kTextChars * sizeof(wchar_t), nullptr);
      text.resize(wcsnlen(text.c_str(), kTextChars - 1));
      texts.push_back(text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return texts;
}

std::wstring ReadText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, kReplyTimeoutMs,
                       &length)) {
    return std::wstring();
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendWithTimeout(window, WM_GETTEXT, text.size(),
                  reinterpret_cast<LPARAM>(text.data()), kReplyTimeoutMs,
                  &copied);
  text.resize(std::min<size_t>(copied, length));
  return text;
}

bool WriteText(HWND window, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendWithTimeout(window, WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(text.c_str()),
                         kReplyTimeoutMs, &result) &&
         result != 0;
}

std::vector<std::wstring> ChildTexts(HWND parent, const wchar_t* class_name) {
  std::vector<std::wstring> texts;
  EnumerateWindows(parent, [&](HWND window) {
    if (_wcsicmp(ClassName(window).c_str(), class_name) == 0) {
      texts.push_back(WindowTitle(window));
    }
    return true;
  });
  return texts;
}

bool IsAbove(HWND upper, HWND lower) {
  for (HWND window = GetTopWindow(nullptr); window != nullptr;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (window == upper) return true;
    if (window == lower) return false;
  }
  return false;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
    return nullptr;
  }
  return info.hwndFocus;
}

bool PressKeys(HWND window, const std::vector<WORD>& virtual_keys) {
  // Under Wine, windows of other processes that were just shown or hidden
  // can take the foreground back a few hundred milliseconds later: the keys
  // go out once the window has kept it for a while.
  constexpr DWORD kSettledMs = 300;
  DWORD since = GetTickCount();
  if (!WaitUntil(
          [&] {
            if (GetForegroundWindow() != window) {
              SetForegroundWindow(window);
              since = GetTickCount();
              return false;
            }
            return GetTickCount() - since >= kSettledMs;
          },
          kReplyTimeoutMs)) {
    return false;
  }
  std::vector<INPUT> inputs;
  auto key = [&](WORD virtual_key, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtual_key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtual_key, 0));
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  for (WORD virtual_key : virtual_keys) key(virtual_key, 0);
  for (auto it = virtual_keys.rbegin(); it != virtual_keys.rend(); ++it) {
    key(*it, KEYEVENTF_KEYUP);
  }
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(),
                   sizeof(INPUT)) == inputs.size();
}

COLORREF ScreenPixel(HWND window, POINT client_point) {
  ClientToScreen(window, &client_point);
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, client_point.x, client_point.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

OwnWindow::OwnWindow(const wchar_t* class_name, const wchar_t* title, RECT rect)
    : class_name_(class_name),
      title_(title),
      rect_(rect),
      ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  thread_ = CreateThread(nullptr, 0, Serve, this, 0, nullptr);
  if (thread_ != nullptr) WaitForSingleObject(ready_, 10000);
}

DWORD WINAPI OwnWindow::Serve(void* parameter) {
  auto* self = static_cast<OwnWindow*>(parameter);
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = self->class_name_.c_str();
  RegisterClassW(&window_class);  // fails harmlessly the second time
  self->window_ =
      CreateWindowExW(0, self->class_name_.c_str(), self->title_.c_str(),
                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, self->rect_.left,
                      self->rect_.top, self->rect_.right - self->rect_.left,
                      self->rect_.bottom - self->rect_.top, nullptr, nullptr,
                      GetModuleHandleW(nullptr), self);
  SetEvent(self->ready_);
  if (self->window_ == nullptr) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}

LRESULT CALLBACK OwnWindow::WindowProc(HWND window, UINT message, WPARAM wparam,
                                       LPARAM lparam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(
            reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  }
  auto* self =
      reinterpret_cast<OwnWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_WINDOWPOSCHANGED && self != nullptr &&
      (reinterpret_cast<const WINDOWPOS*>(lparam)->flags & SWP_HIDEWINDOW)) {
    InterlockedExchange(&self->hidden_, 1);
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wparam, lparam);
}

OwnWindow::~OwnWindow() {
  if (window_ != nullptr) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (thread_ != nullptr) {
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
  }
  CloseHandle(ready_);
}

double Measure(const std::function<void()>& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace corvantis::e2e
