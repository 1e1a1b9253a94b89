// desktop_bench: times Corvantis's work on a real desktop, under Wine or on
// Windows, against simulated clients, and prints tab-separated lines:
//   refresh N M REAL_MS BARE_MS RATIO SELECT_MS CLOSE_MS   (medians)
//   start PANEL_MS BASELINE_MS                       (medians, warm)
//   memory PANEL_PRIVATE_BYTES BASELINE_PRIVATE_BYTES
// The baseline is a program of one plain window (simclient.exe), started
// and measured the same way.
//
//   desktop_bench.exe PANEL_DIR [RUNS] [CLOSE_RUNS] [N M]
//
// With N and M only that desktop is measured, and not the panel program;
// with 0 0, only the panel program.
// PANEL_DIR holds Corvantis.exe and a stand-in for its updater; simclient.exe
// is taken from this program's own folder. The refresh runs the program's
// own code (Win32WindowSystem, RefreshWindowLists, real list boxes) in a
// window of this process; the bare loop beside it makes only the Win32 calls
// that refresh needs, so their ratio is the cost of everything else. The
// two run in turns and RATIO is the median of each turn's ratio, which
// keeps a machine whose load changes from skewing it.
#include <windows.h>
// After windows.h, whose types they use.
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/controls_win32.h"
#include "control/window_control.h"
#include "harness/harness.h"
#include "platform/win32_window_system.h"
#include "tracking/scan.h"

namespace {

using corvantis::e2e::Process;

constexpr int kTrackedCounts[] = {1, 10, 50, 200};
constexpr int kOtherCounts[] = {100, 500, 2000};
// The desktop on which the panel program itself is started and measured.
constexpr int kPanelTracked = 200;
constexpr int kPanelOthers = 500;
constexpr DWORD kClientStartTimeoutMs = 120000;
constexpr wchar_t kLobbyTitle[] = L"QQ游戏";

double NowMs() {
  static const double ticks_per_ms = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticks_per_ms;
}

template <typename Work>
double TimeMs(Work work) {
  const double start = NowMs();
  work();
  return NowMs() - start;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle]
                                : (values[middle - 1] + values[middle]) / 2;
}

void Print(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(),
            static_cast<DWORD>(text.size()), &written, nullptr);
}

void Fail(const std::string& message) { Print("error\t" + message); }

std::string Number(double value) {
  char text[32];
  snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string Ansi(const wchar_t* text) {
  const int size =
      WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(std::max(size - 1, 0)), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, bytes.data(), size, nullptr,
                      nullptr);
  return bytes;
}

// Handles messages this thread's windows get while it waits on others.
void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

int VisibleWindowsOf(DWORD process_id) {
  int visible = 0;
  for (HWND window : corvantis::e2e::TopLevelWindows(process_id)) {
    if (IsWindowVisible(window)) ++visible;
  }
  return visible;
}

// One simulated client with count windows, every fifth of them a lobby and
// the others games, or, when clients is false, windows of another program.
bool StartClient(Process& process, const std::wstring& directory, bool clients,
                 int count) {
  std::wstring description;
  for (int index = 0; index < count; ++index) {
    const std::wstring number = std::to_wstring(index);
    if (!clients) {
      description += L"OtherWnd\tWindow " + number + L"\t640\t480";
    } else if (index % 5 == 0) {
      description +=
          std::wstring(L"QufPanelWnd\t") + kLobbyTitle + L"\t800\t600";
    } else {
      description += L"QufPanelWnd\t游戏" + number + L"\t1024\t700";
    }
    description += L"\tvisible\tnormal\n";
  }
  const std::wstring name = clients ? L"clients" : L"others";
  const std::wstring path = directory + name + L".txt";
  if (!corvantis::e2e::WriteUtf8File(path, description) ||
      !process.Start(
          corvantis::e2e::ProgramDirectory() + L"simclient.exe",
          {L"--windows", path, L"--log", directory + name + L".log"})) {
    return false;
  }
  return corvantis::e2e::WaitUntil(
      [&] { return VisibleWindowsOf(process.id()) == count; },
      kClientStartTimeoutMs);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wparam,
                           LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND CreateChild(HWND parent, const wchar_t* window_class, DWORD style,
                 DWORD ex_style, int left, int top, int width, int height) {
  const HWND child = CreateWindowExW(
      ex_style, window_class, L"", WS_CHILD | WS_VISIBLE | style, left, top,
      width, height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(child, WM_SETFONT,
               reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  return child;
}

// A list box as the panel has them.
HWND CreateList(HWND parent, int left) {
  return CreateChild(
      parent, WC_LISTBOXW,
      LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
      WS_EX_CLIENTEDGE, left, 32, 97, 88);
}

HWND CreateFrame() {
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = FrameProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = L"CorvantisDesktopBench";
  RegisterClassExW(&window_class);
  const HWND frame = CreateWindowExW(
      0, window_class.lpszClassName, L"Refresh bench",
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 425, 210, 280,
      330, nullptr, nullptr, window_class.hInstance, nullptr);
  ShowWindow(frame, SW_SHOWNORMAL);
  UpdateWindow(frame);
  return frame;
}

// The panel's lists and labels as the panel lays them out, in a window of
// this process, driven by the program's own code.
class BenchPanel {
 public:
  BenchPanel()
      : frame_(CreateFrame()),
        lobby_list_(CreateList(frame_, 24)),
        大厅名称_(lobby_list_),
        游戏名称_(CreateList(frame_, 160)),
        label1_(CreateChild(frame_, WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, 16, 8,
                            97, 17)),
        label2_(CreateChild(frame_, WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, 152,
                            8, 81, 17)),
        lists_{大厅名称_, 大厅句柄_, 游戏名称_, 游戏句柄_} {}

  // What a click on 手动刷新 costs, up to the repainted panel.
  void Refresh() {
    corvantis::RefreshWindowLists(windows_, lists_, label1_, label2_);
    Repaint();
  }

  // What a click on the first lobby costs.
  void SelectFirstLobby() {
    SendMessageW(lobby_list_, LB_SETCURSEL, 0, 0);
    corvantis::SelectTrackedWindow(windows_, lists_, 大厅名称_, 大厅句柄_);
    Repaint();
  }

  void CloseAll() { corvantis::CloseAllTrackedWindows(windows_, lists_); }

  int tracked() const { return 大厅句柄_.ListCount() + 游戏句柄_.ListCount(); }
  std::vector<HWND> lobbies() const { return Windows(大厅句柄_); }
  std::vector<HWND> games() const { return Windows(游戏句柄_); }

 private:
  static std::vector<HWND> Windows(const corvantis::ListControl& handles) {
    std::vector<HWND> windows;
    for (std::int16_t index = 0; index < handles.ListCount(); ++index) {
      windows.push_back(reinterpret_cast<HWND>(
          static_cast<INT_PTR>(corvantis::HandleAt(handles, index))));
    }
    return windows;
  }

  void Repaint() {
    RedrawWindow(frame_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }

  HWND frame_;
  HWND lobby_list_;
  corvantis::Win32WindowSystem windows_;
  corvantis::Win32ListBox 大厅名称_;
  corvantis::Win32ListBox 游戏名称_;
  corvantis::MemoryList 大厅句柄_;
  corvantis::MemoryList 游戏句柄_;
  corvantis::Win32Caption label1_;
  corvantis::Win32Caption label2_;
  corvantis::TrackedWindows lists_;
};

// The least a refresh allows: the same Win32 calls on the same windows, in
// the same order, and nothing else.
class BareRefresh {
 public:
  // Starts from the windows the panel has hidden, as the panel does.
  BareRefresh(std::vector<HWND> lobbies, std::vector<HWND> games)
      : lobby_title_(kLobbyTitle),
        lobbies_(std::move(lobbies)),
        games_(std::move(games)) {}

  int tracked() const {
    return static_cast<int>(lobbies_.size() + games_.size());
  }

  void Run() {
    for (const auto* kind : {&lobbies_, &games_}) {
      for (HWND window : *kind) {
        ShowWindow(window, SW_SHOWNORMAL);
        MoveWindow(window, 0, 0, 800, 600, TRUE);
      }
    }
    lobbies_.clear();
    games_.clear();
    EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
    for (HWND window : lobbies_) {
      ShowWindow(window, SW_HIDE);
      MoveWindow(window, 0, 0, 800, 600, TRUE);
    }
    for (HWND window : games_) {
      ShowWindow(window, SW_SHOWMINIMIZED);
      ShowWindow(window, SW_HIDE);
      MoveWindow(window, 0, 0, 800, 600, TRUE);
    }
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM context) {
    auto* self = reinterpret_cast<BareRefresh*>(context);
    const int length = GetWindowTextLengthW(window);
    self->title_.resize(static_cast<std::size_t>(std::max(length, 0)) + 1);
    const int title_length =
        GetWindowTextW(window, self->title_.data(), length + 1);
    wchar_t class_name[256];
    const int class_length = GetClassNameW(window, class_name, 255);
    RECT rect;
    GetWindowRect(window, &rect);
    const bool visible = IsWindowVisible(window) != FALSE;
    const LONG width = rect.right - rect.left;
    if (class_length >= 11 &&
        std::wmemcmp(class_name, L"QufPanelWnd", 11) == 0 && visible &&
        title_length > 0 && width != 360 && width != 446 && width != 486) {
      const std::wstring_view title(self->title_.data(),
                                    static_cast<std::size_t>(title_length));
      (title == self->lobby_title_ ? self->lobbies_ : self->games_)
          .push_back(window);
    }
    return TRUE;
  }

  std::wstring lobby_title_;
  std::vector<wchar_t> title_;
  std::vector<HWND> lobbies_;
  std::vector<HWND> games_;
};

struct Row {
  double real = 0;
  double bare = 0;
  double ratio = 0;
  double select = 0;
  double close = 0;
};

bool MeasureDesktop(BenchPanel& panel, const std::wstring& directory,
                    int tracked, int runs, int close_runs, Row& row) {
  Process clients;
  if (!StartClient(clients, directory, true, tracked)) return false;
  // The first refresh fills the lists and hides the windows; from then on
  // each of the two shows what the last one hid, finds the windows again
  // and hides them.
  panel.Refresh();
  if (panel.tracked() != tracked) return false;
  BareRefresh bare(panel.lobbies(), panel.games());
  bare.Run();
  if (bare.tracked() != tracked) return false;
  std::vector<double> real_times, bare_times, ratios, select_times, close_times;
  for (int run = 0; run < runs; ++run) {
    PumpMessages();
    // Alternating which goes first cancels any drift between the two.
    if (run % 2 == 0) {
      real_times.push_back(TimeMs([&] { panel.Refresh(); }));
      bare_times.push_back(TimeMs([&] { bare.Run(); }));
    } else {
      bare_times.push_back(TimeMs([&] { bare.Run(); }));
      real_times.push_back(TimeMs([&] { panel.Refresh(); }));
    }
    ratios.push_back(real_times.back() / bare_times.back());
  }
  for (int run = 0; run < runs; ++run) {
    PumpMessages();
    select_times.push_back(TimeMs([&] { panel.SelectFirstLobby(); }));
  }
  for (int run = 0; run < close_runs; ++run) {
    if (run > 0 && !StartClient(clients, directory, true, tracked)) {
      return false;
    }
    panel.Refresh();
    PumpMessages();
    close_times.push_back(TimeMs([&] { panel.CloseAll(); }));
    // The client ends once its last window has closed.
    if (!clients.WaitForExit(30000)) return false;
  }
  row = {Median(real_times), Median(bare_times), Median(ratios),
         Median(select_times), Median(close_times)};
  return true;
}

// A visible top-level window of the process with this title that answers.
HWND FindAnsweringWindow(DWORD process_id, const wchar_t* title) {
  for (HWND window : corvantis::e2e::TopLevelWindows(process_id)) {
    DWORD_PTR result = 0;
    if (IsWindowVisible(window) &&
        corvantis::e2e::WindowTitle(window) == title &&
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &result)) {
      return window;
    }
  }
  return nullptr;
}

// Starts a program and waits until its window of this title is visible and
// answers; returns the time that took, or a negative value.
double StartAndTime(Process& process, const std::wstring& executable,
                    const std::vector<std::wstring>& arguments,
                    const std::wstring& working_directory, const wchar_t* title,
                    HWND& window) {
  const double start = NowMs();
  if (!process.Start(executable, arguments, working_directory)) return -1;
  for (;;) {
    window = FindAnsweringWindow(process.id(), title);
    if (window != nullptr) return NowMs() - start;
    if (NowMs() - start > 20000 || !process.Running()) return -1;
    Sleep(1);
  }
}

double StartPanel(Process& process, const std::wstring& panel_directory,
                  HWND& panel) {
  return StartAndTime(process, panel_directory + L"Corvantis.exe", {},
                      panel_directory, L"Corvantis", panel);
}

// A program of one plain window, for what Wine itself takes.
double StartBaseline(Process& process, const std::wstring& directory,
                     HWND& window) {
  const std::wstring path = directory + L"baseline.txt";
  corvantis::e2e::WriteUtf8File(
      path, L"OtherWnd\tBaseline\t640\t480\tvisible\tnormal\n");
  return StartAndTime(
      process, corvantis::e2e::ProgramDirectory() + L"simclient.exe",
      {L"--windows", path, L"--log", directory + L"baseline.log"},
      std::wstring(), L"Baseline", window);
}

void ClosePanel(Process& process, HWND panel) {
  PostMessageW(panel, WM_CLOSE, 0, 0);
  if (!process.WaitForExit(20000)) process.Kill();
}

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return bytes;
}

// Wine leaves PrivateUsage of another process at 0. There the process is a
// Linux process whose command line holds these words (a path unique to this
// run, as Linux lists every user's processes): its private memory is
// the private pages that Linux counts for it (Z: is the Linux root).
SIZE_T LinuxPrivateBytes(const std::string& words) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  SIZE_T bytes = 0;
  do {
    const std::wstring process = L"Z:\\proc\\" + std::wstring(found.cFileName);
    if (!iswdigit(found.cFileName[0]) ||
        ReadAll(process + L"\\cmdline").find(words) == std::string::npos) {
      continue;
    }
    const std::string rollup = ReadAll(process + L"\\smaps_rollup");
    for (const char* field : {"\nPrivate_Clean:", "\nPrivate_Dirty:"}) {
      const std::size_t at = rollup.find(field);
      if (at != std::string::npos) {
        bytes += std::strtoull(rollup.c_str() + at + std::strlen(field),
                               nullptr, 10) *
                 1024;
      }
    }
    break;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return bytes;
}

SIZE_T PrivateBytes(DWORD process_id, const std::string& command_words) {
  const HANDLE process = OpenProcess(
      PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
  if (process == nullptr) return 0;
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  const bool read = GetProcessMemoryInfo(
      process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
      sizeof counters);
  CloseHandle(process);
  return read && counters.PrivateUsage != 0 ? counters.PrivateUsage
                                            : LinuxPrivateBytes(command_words);
}

// Start-up time and memory of the panel program itself, each beside the
// same for a program of one plain window.
bool MeasurePanel(const std::wstring& directory,
                  const std::wstring& panel_directory, int runs) {
  Process others, clients;
  if (!StartClient(others, directory, false, kPanelOthers) ||
      !StartClient(clients, directory, true, kPanelTracked)) {
    Fail("the panel's desktop did not come up");
    return false;
  }
  std::vector<double> panel_times, baseline_times;
  // The first start of each warms Wine up and is not counted.
  for (int run = 0; run <= runs; ++run) {
    Process process;
    HWND window = nullptr;
    const double panel_time = StartPanel(process, panel_directory, window);
    if (panel_time < 0) {
      Fail("Corvantis.exe did not come up");
      return false;
    }
    ClosePanel(process, window);
    const double baseline_time = StartBaseline(process, directory, window);
    if (baseline_time < 0) {
      Fail("the one-window program did not come up");
      return false;
    }
    process.Kill();
    if (run > 0) {
      panel_times.push_back(panel_time);
      baseline_times.push_back(baseline_time);
    }
  }
  Print("start\t" + Number(Median(panel_times)) + "\t" +
        Number(Median(baseline_times)));

  Process process;
  HWND panel = nullptr;
  if (StartPanel(process, panel_directory, panel) < 0) return false;
  const HWND button = corvantis::e2e::FindChild(panel, L"Button", L"手动刷新");
  if (button == nullptr) {
    Fail("no button 手动刷新");
    return false;
  }
  corvantis::e2e::PostClick(button);
  const std::wstring games =
      L"游戏个数：" + std::to_wstring(kPanelTracked - kPanelTracked / 5);
  if (!corvantis::e2e::WaitUntil(
          [&] {
            return corvantis::e2e::FindChild(panel, L"Static", games.c_str()) !=
                   nullptr;
          },
          60000)) {
    Fail("the panel did not refresh");
    return false;
  }
  corvantis::e2e::Responds(panel, 5000);
  const SIZE_T panel_bytes = PrivateBytes(
      process.id(), Ansi((panel_directory + L"Corvantis.exe").c_str()));
  ClosePanel(process, panel);
  HWND window = nullptr;
  SIZE_T baseline_bytes = 0;
  if (StartBaseline(process, directory, window) >= 0) {
    baseline_bytes =
        PrivateBytes(process.id(), Ansi((directory + L"baseline.txt").c_str()));
  }
  Print("memory\t" + std::to_string(panel_bytes) + "\t" +
        std::to_string(baseline_bytes));
  return panel_bytes != 0 && baseline_bytes != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc == 5 || argc > 6) {
    Fail("usage: desktop_bench PANEL_DIR [RUNS] [CLOSE_RUNS] [N M]");
    return 2;
  }
  std::wstring panel_directory = argv[1];
  if (panel_directory.back() != L'\\') panel_directory += L'\\';
  const int runs = argc > 2 ? std::max(_wtoi(argv[2]), 1) : 11;
  const int close_runs = argc > 3 ? std::max(_wtoi(argv[3]), 1) : 5;
  const bool one_desktop = argc == 6;
  std::vector<int> tracked_counts(std::begin(kTrackedCounts),
                                  std::end(kTrackedCounts));
  std::vector<int> other_counts(std::begin(kOtherCounts),
                                std::end(kOtherCounts));
  const bool panel_only = one_desktop && _wtoi(argv[4]) == 0;
  if (panel_only) {
    other_counts.clear();
  } else if (one_desktop) {
    tracked_counts = {_wtoi(argv[4])};
    other_counts = {_wtoi(argv[5])};
  }
  const std::wstring directory = corvantis::e2e::MakeScratchDirectory();

  BenchPanel panel;
  for (const int others_count : other_counts) {
    Process others;
    if (!StartClient(others, directory, false, others_count)) {
      Fail("the other windows did not come up");
      return 1;
    }
    for (const int tracked : tracked_counts) {
      Row row;
      if (!MeasureDesktop(panel, directory, tracked, runs, close_runs, row)) {
        Fail("desktop N=" + std::to_string(tracked) +
             " M=" + std::to_string(others_count) + " failed");
        return 1;
      }
      Print("refresh\t" + std::to_string(tracked) + "\t" +
            std::to_string(others_count) + "\t" + Number(row.real) + "\t" +
            Number(row.bare) + "\t" + Number(row.ratio) + "\t" +
            Number(row.select) + "\t" + Number(row.close));
    }
  }
  const bool panel_measured = (one_desktop && !panel_only) ||
                              MeasurePanel(directory, panel_directory, runs);
  corvantis::e2e::RemoveScratchDirectory(directory);
  return panel_measured ? 0 : 1;
}
