// desktop_bench: times Corvantis's actions on a real desktop, under Wine or
// on Windows, against simulated clients, each beside its floor: a bare loop
// of only the Win32 calls the action is made of, on the same windows in the
// same order. Program and floor run in turns, and RATIO is the median of the
// turns' ratios, which keeps a machine whose load changes from skewing it.
// Prints tab-separated lines, times in ms (medians):
//   refresh|select|close N M K PROGRAM FLOOR RATIO
//   calls ACTION N M K program|floor CALL COUNT MS
//       (the first turn's time per kind of call)
//   walk MS WINDOWS     (the start-up walk for windows ended panels hid)
//   start PANEL FLOOR ONE_WINDOW RATIO_FLOOR RATIO_ONE_WINDOW  (warm starts)
//   memory PANEL PANEL_REFRESHED FLOOR ONE_WINDOW    (private bytes, medians)
//   guard PRIVATE_BYTES CPU_MS_WHILE_WAITING UNMARKED_MS SHOWN_MS
//
//   desktop_bench.exe PANEL_DIR [--runs R] [--close-runs C]
//       [--tracked N,...] [--others M,...] [--spread K,...]
//       [--panel-desktop N,M] [--no-panel]
//
// Each desktop has N client windows (every fifth a lobby) among M windows
// of another program, spread over K processes (1 unless --spread says
// otherwise). The program's side runs the program's own code
// (Win32WindowSystem, the refresh, select and close routines, real list
// boxes) in a window of this process. Start-up and memory are measured on a
// desktop of 200 client and 500 other windows (--panel-desktop), unless
// --no-panel. PANEL_DIR holds Corvantis.exe, panel_floor.exe (what any
// panel must do at start, and nothing else) and a stand-in for the
// updater; the one-window program is simclient.exe, from this program's own
// folder.
#include <windows.h>
// After windows.h, whose types they use.
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/controls_win32.h"
#include "app/panel.h"
#include "control/window_control.h"
#include "harness/harness.h"
#include "platform/win32_window_system.h"
#include "tracking/scan.h"

namespace {

using corvantis::e2e::Process;

constexpr int kTrackedCounts[] = {1, 10, 50, 200};
constexpr int kOtherCounts[] = {100, 500, 2000};
constexpr int kRuns = 5;
constexpr int kCloseRuns = 3;
// The desktop on which the panel program itself is started and measured.
constexpr int kPanelTracked = 200;
constexpr int kPanelOthers = 500;
constexpr DWORD kClientStartTimeoutMs = 120000;
// How long a started program is left before its memory is read.
constexpr DWORD kSettleMs = 500;
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
// name tells its files apart from those of other clients.
bool StartClient(Process& process, const std::wstring& directory,
                 const std::wstring& name, bool clients, int count) {
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

bool StartClients(Process& process, const std::wstring& directory, int count) {
  return StartClient(process, directory, L"clients", true, count);
}

// count windows of other programs, spread over as many processes as given.
bool StartOthers(std::vector<Process>& processes, const std::wstring& directory,
                 int count) {
  const int spread = static_cast<int>(processes.size());
  for (int index = 0; index < spread; ++index) {
    const int share = count / spread + (index < count % spread ? 1 : 0);
    if (!StartClient(processes[static_cast<std::size_t>(index)], directory,
                     L"others" + std::to_wstring(index), false, share)) {
      return false;
    }
  }
  return true;
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

// What the time of one action goes to, by kind of call.
enum class Call {
  kHide,
  kMinimize,
  kShowNormal,
  kMove,
  kClose,
  kProbe,
  kMark,
  kOther,
  kCount
};

constexpr const char* kCallNames[] = {"ShowWindow SW_HIDE",
                                      "ShowWindow SW_SHOWMINIMIZED",
                                      "ShowWindow SW_SHOWNORMAL",
                                      "MoveWindow",
                                      "SendMessageA WM_CLOSE",
                                      "probe: WM_NULL round trip",
                                      "marks: SetPropW, RemovePropW, GetPropW",
                                      "other calls"};

class CallTimes {
 public:
  template <typename Work>
  auto Time(Call call, Work work) {
    const auto slot = static_cast<std::size_t>(call);
    ++counts_[slot];
    const double start = NowMs();
    if constexpr (std::is_void_v<decltype(work())>) {
      work();
      ms_[slot] += NowMs() - start;
    } else {
      auto result = work();
      ms_[slot] += NowMs() - start;
      return result;
    }
  }

  // One line per kind of call that was made, after the given fields.
  void PrintLines(const std::string& fields) const {
    for (std::size_t slot = 0; slot < counts_.size(); ++slot) {
      if (counts_[slot] == 0) continue;
      Print(fields + "\t" + kCallNames[slot] + "\t" +
            std::to_string(counts_[slot]) + "\t" + Number(ms_[slot]));
    }
  }

 private:
  std::array<int, static_cast<std::size_t>(Call::kCount)> counts_{};
  std::array<double, static_cast<std::size_t>(Call::kCount)> ms_{};
};

// Runs work, timed as call when there are times to add to.
template <typename Work>
auto Timed(CallTimes* times, Call call, Work work) {
  return times != nullptr ? times->Time(call, work) : work();
}

Call ShowCall(int command) {
  switch (command) {
    case SW_HIDE:
      return Call::kHide;
    case SW_SHOWMINIMIZED:
      return Call::kMinimize;
    case SW_SHOWNORMAL:
      return Call::kShowNormal;
  }
  return Call::kOther;
}

// The program's own desktop calls, each timed by its kind.
class TimedWindowSystem final : public corvantis::WindowSystem {
 public:
  using WindowHandle = corvantis::WindowHandle;
  using Text = corvantis::Text;

  TimedWindowSystem(corvantis::WindowSystem& inner, CallTimes& times)
      : inner_(inner), times_(times) {}

  void EnumChildWindows(WindowHandle parent,
                        corvantis::EnumWindowsCallback callback,
                        std::int32_t argument) override {
    inner_.EnumChildWindows(parent, callback, argument);
  }
  std::int32_t GetWindowTextLengthW(WindowHandle window) override {
    return times_.Time(Call::kOther,
                       [&] { return inner_.GetWindowTextLengthW(window); });
  }
  Text GetWindowTextW(WindowHandle window, std::int32_t size) override {
    return times_.Time(Call::kOther,
                       [&] { return inner_.GetWindowTextW(window, size); });
  }
  Text GetClassNameW(WindowHandle window, std::int32_t size) override {
    return times_.Time(Call::kOther,
                       [&] { return inner_.GetClassNameW(window, size); });
  }
  corvantis::WindowRect GetWindowRect(WindowHandle window) override {
    return times_.Time(Call::kOther,
                       [&] { return inner_.GetWindowRect(window); });
  }
  bool IsWindowVisible(WindowHandle window) override {
    return times_.Time(Call::kOther,
                       [&] { return inner_.IsWindowVisible(window); });
  }
  bool IsWindow(WindowHandle window) override {
    return times_.Time(Call::kOther, [&] { return inner_.IsWindow(window); });
  }
  std::uint32_t WindowProcessId(WindowHandle window) override {
    return times_.Time(Call::kOther,
                       [&] { return inner_.WindowProcessId(window); });
  }
  bool IsIconic(WindowHandle window) override {
    return times_.Time(Call::kOther, [&] { return inner_.IsIconic(window); });
  }
  void SetForegroundWindow(WindowHandle window) override {
    times_.Time(Call::kOther, [&] { inner_.SetForegroundWindow(window); });
  }
  void ShowWindow(WindowHandle window,
                  corvantis::ShowCommand command) override {
    times_.Time(ShowCall(static_cast<int>(command)),
                [&] { inner_.ShowWindow(window, command); });
  }
  void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                  std::int32_t width, std::int32_t height,
                  std::int32_t repaint) override {
    times_.Time(Call::kMove, [&] {
      inner_.MoveWindow(window, x, y, width, height, repaint);
    });
  }
  bool SendMessageA(WindowHandle window, std::uint32_t message) override {
    return times_.Time(
        message == corvantis::kWmClose ? Call::kClose : Call::kOther,
        [&] { return inner_.SendMessageA(window, message); });
  }
  void SetWindowPos(WindowHandle window, WindowHandle insert_after,
                    std::uint32_t flags) override {
    times_.Time(Call::kOther,
                [&] { inner_.SetWindowPos(window, insert_after, flags); });
  }
  void ShellExecuteW(WindowHandle owner, const Text& operation,
                     const Text& file, const Text& parameters,
                     const Text& directory, std::int32_t show) override {
    inner_.ShellExecuteW(owner, operation, file, parameters, directory, show);
  }
  void CreateProcessW(const Text& application, const Text& command_line,
                      std::int32_t show) override {
    inner_.CreateProcessW(application, command_line, show);
  }
  Text GetSystemDirectoryW() override { return inner_.GetSystemDirectoryW(); }
  bool Responds(WindowHandle window) override {
    return times_.Time(Call::kProbe, [&] { return inner_.Responds(window); });
  }
  void ShowWindowAsync(WindowHandle window,
                       corvantis::ShowCommand command) override {
    times_.Time(Call::kOther, [&] { inner_.ShowWindowAsync(window, command); });
  }
  void MoveWindowAsync(WindowHandle window, std::int32_t x, std::int32_t y,
                       std::int32_t width, std::int32_t height) override {
    times_.Time(Call::kOther,
                [&] { inner_.MoveWindowAsync(window, x, y, width, height); });
  }
  bool PostMessageA(WindowHandle window, std::uint32_t message) override {
    return times_.Time(Call::kOther,
                       [&] { return inner_.PostMessageA(window, message); });
  }
  bool MarkHidden(WindowHandle window) override {
    return times_.Time(Call::kMark, [&] { return inner_.MarkHidden(window); });
  }
  void RemoveHiddenMark(WindowHandle window) override {
    times_.Time(Call::kMark, [&] { inner_.RemoveHiddenMark(window); });
  }
  corvantis::PanelProcess ReadHiddenMark(WindowHandle window) override {
    return times_.Time(Call::kMark,
                       [&] { return inner_.ReadHiddenMark(window); });
  }
  bool AnyWindowMarked() override {
    return times_.Time(Call::kMark, [&] { return inner_.AnyWindowMarked(); });
  }
  corvantis::PanelProcess CurrentProcess() override {
    return times_.Time(Call::kMark, [&] { return inner_.CurrentProcess(); });
  }
  std::uint32_t ProcessStartTime(std::uint32_t process_id) override {
    return times_.Time(Call::kMark,
                       [&] { return inner_.ProcessStartTime(process_id); });
  }

 private:
  corvantis::WindowSystem& inner_;
  CallTimes& times_;
};

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
    corvantis::TrackedWindowWalks walks(windows_, false);
    corvantis::RefreshWindowLists(windows_, lists_, label1_, label2_, walks);
    Repaint();
  }

  // The entry the next selections are of, as a click leaves it; a refresh
  // clears it.
  void ChooseFirstLobby() { SendMessageW(lobby_list_, LB_SETCURSEL, 0, 0); }

  // What a click on the chosen lobby costs, up to the repainted panel.
  void SelectLobby(CallTimes* times) {
    Through(times, [&](corvantis::WindowSystem& windows) {
      corvantis::SelectTrackedWindow(windows, lists_, 大厅名称_, 大厅句柄_);
    });
    Repaint();
  }

  void CloseAll(CallTimes* times) {
    Through(times, [&](corvantis::WindowSystem& windows) {
      corvantis::CloseAllTrackedWindows(windows, lists_);
    });
  }

  int tracked() const { return 大厅句柄_.ListCount() + 游戏句柄_.ListCount(); }
  std::vector<HWND> lobbies() const { return Windows(大厅句柄_); }
  std::vector<HWND> games() const { return Windows(游戏句柄_); }

 private:
  // The program's code on the desktop, each call timed when there are
  // times to add to.
  template <typename Work>
  void Through(CallTimes* times, Work work) {
    if (times == nullptr) {
      work(windows_);
    } else {
      TimedWindowSystem timed(windows_, *times);
      work(timed);
    }
  }

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

void ShowAndPlace(HWND window, CallTimes* times) {
  Timed(times, Call::kShowNormal, [&] { ShowWindow(window, SW_SHOWNORMAL); });
  Timed(times, Call::kMove, [&] { MoveWindow(window, 0, 0, 800, 600, TRUE); });
}

// Hides and places every tracked window: lobbies directly, games minimised
// first.
void FloorHide(const std::vector<HWND>& lobbies, const std::vector<HWND>& games,
               CallTimes* times) {
  for (HWND window : lobbies) {
    Timed(times, Call::kHide, [&] { ShowWindow(window, SW_HIDE); });
    Timed(times, Call::kMove,
          [&] { MoveWindow(window, 0, 0, 800, 600, TRUE); });
  }
  for (HWND window : games) {
    Timed(times, Call::kMinimize,
          [&] { ShowWindow(window, SW_SHOWMINIMIZED); });
    Timed(times, Call::kHide, [&] { ShowWindow(window, SW_HIDE); });
    Timed(times, Call::kMove,
          [&] { MoveWindow(window, 0, 0, 800, 600, TRUE); });
  }
}

// The least a selection of the first lobby allows: hide every tracked
// window, then show the lobby.
void FloorSelect(const std::vector<HWND>& lobbies,
                 const std::vector<HWND>& games, CallTimes* times) {
  FloorHide(lobbies, games, times);
  if (!lobbies.empty()) {
    Timed(times, Call::kShowNormal,
          [&] { ShowWindow(lobbies.front(), SW_SHOWNORMAL); });
  }
}

// The least a close-all allows: WM_CLOSE to every game, then every lobby.
void FloorClose(const std::vector<HWND>& lobbies,
                const std::vector<HWND>& games, CallTimes* times) {
  for (const auto* kind : {&games, &lobbies}) {
    for (HWND window : *kind) {
      std::int32_t zero = 0;
      Timed(times, Call::kClose, [&] {
        SendMessageA(window, WM_CLOSE, 0, reinterpret_cast<LPARAM>(&zero));
      });
    }
  }
}

// The least a refresh allows: the same Win32 calls on the same windows, in
// the same order, and nothing else.
class FloorRefresh {
 public:
  // Starts from the windows the panel has hidden, as the panel does.
  FloorRefresh(std::vector<HWND> lobbies, std::vector<HWND> games)
      : lobby_title_(kLobbyTitle),
        lobbies_(std::move(lobbies)),
        games_(std::move(games)) {}

  int tracked() const {
    return static_cast<int>(lobbies_.size() + games_.size());
  }

  void Run() {
    for (const auto* kind : {&lobbies_, &games_}) {
      for (HWND window : *kind) ShowAndPlace(window, nullptr);
    }
    lobbies_.clear();
    games_.clear();
    EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
    FloorHide(lobbies_, games_, nullptr);
  }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM context) {
    auto* self = reinterpret_cast<FloorRefresh*>(context);
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

// Medians of one action, the program against its floor.
struct Comparison {
  std::vector<double> program;
  std::vector<double> floor;
  std::vector<double> ratios;

  // One turn: alternating which goes first cancels any drift between the
  // two.
  template <typename Program, typename Floor>
  void Turn(int turn, Program run_program, Floor run_floor) {
    double program_ms = 0;
    double floor_ms = 0;
    if (turn % 2 == 0) {
      program_ms = TimeMs(run_program);
      floor_ms = TimeMs(run_floor);
    } else {
      floor_ms = TimeMs(run_floor);
      program_ms = TimeMs(run_program);
    }
    Add(program_ms, floor_ms);
  }

  void Add(double program_ms, double floor_ms) {
    program.push_back(program_ms);
    floor.push_back(floor_ms);
    ratios.push_back(program_ms / floor_ms);
  }

  std::string Line(const std::string& action,
                   const std::string& desktop) const {
    return action + "\t" + desktop + "\t" + Number(Median(program)) + "\t" +
           Number(Median(floor)) + "\t" + Number(Median(ratios));
  }
};

struct Desktop {
  int tracked = 0;
  int others = 0;
  int spread = 1;
  std::wstring directory;

  std::string Cell() const {
    return std::to_string(tracked) + "\t" + std::to_string(others) + "\t" +
           std::to_string(spread);
  }
  // What a calls line says of this desktop.
  std::string CallFields(const char* action, const char* who) const {
    return std::string("calls\t") + action + "\t" + Cell() + "\t" + who;
  }
};

bool MeasureRefresh(BenchPanel& panel, const Desktop& desktop, int runs) {
  // The first refresh fills the lists and hides the windows; from then on
  // each of the two shows what the last one hid, finds the windows again
  // and hides them.
  panel.Refresh();
  if (panel.tracked() != desktop.tracked) return false;
  FloorRefresh floor(panel.lobbies(), panel.games());
  floor.Run();
  if (floor.tracked() != desktop.tracked) return false;
  Comparison refresh;
  for (int run = 0; run < runs; ++run) {
    PumpMessages();
    refresh.Turn(
        run, [&] { panel.Refresh(); }, [&] { floor.Run(); });
  }
  Print(refresh.Line("refresh", desktop.Cell()));
  return true;
}

// Each turn selects the first lobby twice, from the same state: every
// tracked window hidden but that lobby.
void MeasureSelect(BenchPanel& panel, const Desktop& desktop, int runs) {
  panel.ChooseFirstLobby();
  const std::vector<HWND> lobbies = panel.lobbies();
  const std::vector<HWND> games = panel.games();
  panel.SelectLobby(nullptr);
  CallTimes program_calls, floor_calls;
  Comparison select;
  for (int run = 0; run < runs; ++run) {
    PumpMessages();
    const bool first = run == 0;
    select.Turn(
        run, [&] { panel.SelectLobby(first ? &program_calls : nullptr); },
        [&] { FloorSelect(lobbies, games, first ? &floor_calls : nullptr); });
  }
  Print(select.Line("select", desktop.Cell()));
  program_calls.PrintLines(desktop.CallFields("select", "program"));
  floor_calls.PrintLines(desktop.CallFields("select", "floor"));
}

// Each turn closes two fresh clients' windows, hidden by a refresh as a
// user's would be, one by the program and one by the floor.
bool MeasureClose(BenchPanel& panel, const Desktop& desktop, int runs) {
  CallTimes program_calls, floor_calls;
  Comparison close;
  const auto closed = [&](bool by_program, CallTimes* times) {
    Process clients;
    if (!StartClients(clients, desktop.directory, desktop.tracked)) {
      return -1.0;
    }
    panel.Refresh();
    const std::vector<HWND> lobbies = panel.lobbies();
    const std::vector<HWND> games = panel.games();
    PumpMessages();
    const double ms = TimeMs([&] {
      if (by_program) {
        panel.CloseAll(times);
      } else {
        FloorClose(lobbies, games, times);
      }
    });
    // The client ends once its last window has closed.
    return clients.WaitForExit(30000) ? ms : -1.0;
  };
  for (int run = 0; run < runs; ++run) {
    const bool first = run == 0;
    double program_ms = 0;
    double floor_ms = 0;
    // Each half of the turn starts its own client, so the two are timed
    // apart; the order still alternates.
    if (run % 2 == 0) {
      program_ms = closed(true, first ? &program_calls : nullptr);
      floor_ms = closed(false, first ? &floor_calls : nullptr);
    } else {
      floor_ms = closed(false, nullptr);
      program_ms = closed(true, nullptr);
    }
    if (program_ms < 0 || floor_ms < 0) return false;
    close.Add(program_ms, floor_ms);
  }
  Print(close.Line("close", desktop.Cell()));
  program_calls.PrintLines(desktop.CallFields("close", "program"));
  floor_calls.PrintLines(desktop.CallFields("close", "floor"));
  return true;
}

bool MeasureDesktop(BenchPanel& panel, const Desktop& desktop, int runs,
                    int close_runs) {
  Process clients;
  if (!StartClients(clients, desktop.directory, desktop.tracked) ||
      !MeasureRefresh(panel, desktop, runs)) {
    return false;
  }
  MeasureSelect(panel, desktop, runs);
  clients.Kill();
  return MeasureClose(panel, desktop, close_runs);
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

// The guard's command line switch: the panel and its guard run the same exe.
constexpr char kGuardSwitch[] = "/guard";

// Wine leaves PrivateUsage of another process at 0. There the process is a
// Linux process whose command line holds these words (a path unique to this
// run, as Linux lists every user's processes) and, for the guard only, its
// switch: its private memory is the private pages that Linux counts for it
// (Z: is the Linux root).
SIZE_T LinuxPrivateBytes(const std::string& words, bool guard) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  SIZE_T bytes = 0;
  do {
    const std::wstring process = L"Z:\\proc\\" + std::wstring(found.cFileName);
    const std::string command_line = ReadAll(process + L"\\cmdline");
    if (!iswdigit(found.cFileName[0]) ||
        command_line.find(words) == std::string::npos ||
        (command_line.find(kGuardSwitch) != std::string::npos) != guard) {
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

SIZE_T PrivateBytes(DWORD process_id, const std::string& command_words,
                    bool guard = false) {
  const HANDLE process = OpenProcess(
      PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
  if (process == nullptr) return 0;
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  const bool read = GetProcessMemoryInfo(
      process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
      sizeof counters);
  CloseHandle(process);
  return read && counters.PrivateUsage != 0
             ? counters.PrivateUsage
             : LinuxPrivateBytes(command_words, guard);
}

double CpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  const auto ticks = [](FILETIME time) {
    return static_cast<double>(
        (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) |
        time.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 10000.0;
}

// The panel's guard: its private memory and the CPU it takes while it
// waits, then, once the panel is ended from outside, the time until no
// window the panel hid carries its mark (the guard has queued their
// restore) and until all are visible (their thread has caught up).
bool MeasureGuard(Process& panel, const std::wstring& image, Process& clients) {
  using corvantis::e2e::GuardProcesses;
  if (!corvantis::e2e::WaitUntil(
          [&] {
            return corvantis::e2e::GuardWaits(panel.id()) &&
                   GuardProcesses(image).size() == 1;
          },
          20000)) {
    Fail("the panel's guard did not come up");
    return false;
  }
  const DWORD guard_id = GuardProcesses(image)[0];
  const HANDLE guard =
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, guard_id);
  const double cpu_before = CpuMs(guard);
  Sleep(2000);
  const double cpu_waiting = CpuMs(guard) - cpu_before;
  CloseHandle(guard);
  const SIZE_T guard_bytes = PrivateBytes(guard_id, Ansi(image.c_str()), true);
  // The client windows, once the panel has hidden them all.
  std::vector<HWND> windows;
  for (HWND window : corvantis::e2e::TopLevelWindows(clients.id())) {
    if (corvantis::e2e::ClassName(window) == L"QufPanelWnd") {
      windows.push_back(window);
    }
  }
  const auto all_visible = [&] {
    return std::all_of(windows.begin(), windows.end(),
                       [](HWND window) { return IsWindowVisible(window); });
  };
  const auto none_visible = [&] {
    return std::none_of(windows.begin(), windows.end(),
                        [](HWND window) { return IsWindowVisible(window); });
  };
  if (!corvantis::e2e::WaitUntil(none_visible, 60000)) {
    Fail("the panel did not hide the windows");
    return false;
  }
  const auto none_marked = [&] {
    return std::none_of(windows.begin(), windows.end(), [](HWND window) {
      return GetPropW(window, L"Corvantis.HiddenBy") != nullptr;
    });
  };
  panel.Kill();
  const double start = NowMs();
  const bool unmarked = corvantis::e2e::WaitUntil(none_marked, 20000);
  const double walked = NowMs() - start;
  const bool back = unmarked && corvantis::e2e::WaitUntil(all_visible, 60000);
  const double restore = NowMs() - start;
  if (!back) {
    Fail("the guard did not show the windows again");
    return false;
  }
  Print("guard\t" + std::to_string(guard_bytes) + "\t" + Number(cpu_waiting) +
        "\t" + Number(walked) + "\t" + Number(restore));
  return guard_bytes != 0;
}

std::vector<int> Counts(const wchar_t* list) {
  std::vector<int> counts;
  for (const wchar_t* at = list; *at != L'\0';) {
    wchar_t* end = nullptr;
    counts.push_back(static_cast<int>(std::wcstol(at, &end, 10)));
    if (end == at) return {};
    at = *end == L',' ? end + 1 : end;
  }
  return counts;
}

struct Options {
  std::wstring panel_directory;
  int runs = kRuns;
  int close_runs = kCloseRuns;
  std::vector<int> tracked{std::begin(kTrackedCounts),
                           std::end(kTrackedCounts)};
  std::vector<int> others{std::begin(kOtherCounts), std::end(kOtherCounts)};
  std::vector<int> spreads{1};
  int panel_tracked = kPanelTracked;
  int panel_others = kPanelOthers;
  bool panel = true;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  if (argc < 2) return false;
  options.panel_directory = argv[1];
  if (options.panel_directory.back() != L'\\') options.panel_directory += L'\\';
  for (int index = 2; index < argc; ++index) {
    const std::wstring name = argv[index];
    if (name == L"--no-panel") {
      options.panel = false;
      continue;
    }
    if (index + 1 == argc) return false;
    const wchar_t* value = argv[++index];
    if (name == L"--runs") {
      options.runs = std::max(_wtoi(value), 1);
    } else if (name == L"--close-runs") {
      options.close_runs = std::max(_wtoi(value), 1);
    } else if (name == L"--tracked") {
      options.tracked = Counts(value);
    } else if (name == L"--others") {
      options.others = Counts(value);
    } else if (name == L"--spread") {
      options.spreads = Counts(value);
    } else if (name == L"--panel-desktop") {
      const std::vector<int> counts = Counts(value);
      if (counts.size() != 2) return false;
      options.panel_tracked = counts[0];
      options.panel_others = counts[1];
    } else {
      return false;
    }
  }
  const auto positive = [](const std::vector<int>& counts) {
    return !counts.empty() && std::all_of(counts.begin(), counts.end(),
                                          [](int count) { return count > 0; });
  };
  return positive(options.tracked) && positive(options.others) &&
         positive(options.spreads) && options.panel_tracked > 0 &&
         options.panel_others > 0;
}

// Corvantis.exe and the panel floor, both from the panel's folder, whose
// updater they start.
struct PanelProgram {
  const wchar_t* file;
  const wchar_t* title;
};
constexpr PanelProgram kCorvantis = {L"Corvantis.exe", L"Corvantis"};
constexpr PanelProgram kPanelFloor = {L"panel_floor.exe", L"Panel floor"};

double StartPanel(Process& process, const std::wstring& panel_directory,
                  const PanelProgram& program, HWND& window) {
  return StartAndTime(process, panel_directory + program.file, {},
                      panel_directory, program.title, window);
}

// Start-up time and memory of the panel program itself, each beside the
// panel floor and a program of one plain window.
bool MeasurePanel(const Options& options, const std::wstring& directory) {
  const std::wstring& panel_directory = options.panel_directory;
  Process others, clients;
  if (!StartClient(others, directory, L"others", false, options.panel_others) ||
      !StartClients(clients, directory, options.panel_tracked)) {
    Fail("the panel's desktop did not come up");
    return false;
  }
  // Each run starts the three in a rotated order, so none always follows
  // the same one; the first run warms Wine up and is not counted. Each is
  // measured again once it has had a moment to settle.
  struct Started {
    double ms = -1;
    SIZE_T bytes = 0;
  };
  const auto settled_bytes = [](HWND window, const std::string& words,
                                DWORD process_id) {
    Sleep(kSettleMs);
    corvantis::e2e::Responds(window, 5000);
    return PrivateBytes(process_id, words);
  };
  const auto start_panel = [&](const PanelProgram& program) {
    Process process;
    HWND window = nullptr;
    Started started;
    started.ms = StartPanel(process, panel_directory, program, window);
    if (started.ms < 0) return started;
    started.bytes = settled_bytes(
        window, Ansi((panel_directory + program.file).c_str()), process.id());
    ClosePanel(process, window);
    return started;
  };
  const std::array<std::function<Started()>, 3> starts = {
      [&] { return start_panel(kCorvantis); },
      [&] { return start_panel(kPanelFloor); },
      [&] {
        Process process;
        HWND window = nullptr;
        Started started;
        started.ms = StartBaseline(process, directory, window);
        if (started.ms >= 0) {
          started.bytes =
              settled_bytes(window, Ansi((directory + L"baseline.txt").c_str()),
                            process.id());
        }
        return started;
      }};
  std::array<std::vector<double>, 3> times, bytes;
  std::vector<double> floor_ratios, baseline_ratios;
  for (int run = 0; run <= options.runs; ++run) {
    std::array<Started, 3> started;
    for (std::size_t turn = 0; turn < starts.size(); ++turn) {
      const std::size_t program = (turn + static_cast<std::size_t>(run)) % 3;
      started[program] = starts[program]();
      if (started[program].ms < 0 || started[program].bytes == 0) {
        Fail("a program did not come up or could not be measured");
        return false;
      }
    }
    if (run == 0) continue;
    for (std::size_t program = 0; program < started.size(); ++program) {
      times[program].push_back(started[program].ms);
      bytes[program].push_back(static_cast<double>(started[program].bytes));
    }
    floor_ratios.push_back(started[0].ms / started[1].ms);
    baseline_ratios.push_back(started[0].ms / started[2].ms);
  }
  // The walk every panel makes at start for windows that an ended panel
  // left hidden, on this desktop, where there are none.
  CallTimes walk_calls;
  corvantis::Win32WindowSystem windows;
  TimedWindowSystem timed(windows, walk_calls);
  const double walk_ms = TimeMs([&] {
    corvantis::RestoreWindowsOfEndedPanels(timed, corvantis::kPanelClassName);
  });
  Print("walk\t" + Number(walk_ms) + "\t" +
        std::to_string(corvantis::e2e::TopLevelWindows().size()));
  walk_calls.PrintLines("calls\twalk\t" +
                        std::to_string(options.panel_tracked) + "\t" +
                        std::to_string(options.panel_others) + "\t1\tprogram");
  Print("start\t" + Number(Median(times[0])) + "\t" + Number(Median(times[1])) +
        "\t" + Number(Median(times[2])) + "\t" + Number(Median(floor_ratios)) +
        "\t" + Number(Median(baseline_ratios)));

  // The panel once more, to refresh the client windows.
  Process process;
  HWND panel = nullptr;
  if (StartPanel(process, panel_directory, kCorvantis, panel) < 0) return false;
  const HWND button = corvantis::e2e::FindChild(panel, L"Button", L"手动刷新");
  if (button == nullptr) {
    Fail("no button 手动刷新");
    return false;
  }
  corvantis::e2e::PostClick(button);
  const std::wstring games =
      L"游戏个数：" +
      std::to_wstring(options.panel_tracked - (options.panel_tracked + 4) / 5);
  if (!corvantis::e2e::WaitUntil(
          [&] {
            return corvantis::e2e::FindChild(panel, L"Static", games.c_str()) !=
                   nullptr;
          },
          60000)) {
    Fail("the panel did not refresh");
    return false;
  }
  const std::wstring image = panel_directory + kCorvantis.file;
  const SIZE_T refreshed_bytes =
      settled_bytes(panel, Ansi(image.c_str()), process.id());
  if (!MeasureGuard(process, image, clients)) return false;
  Print("memory\t" + Number(Median(bytes[0])) + "\t" +
        std::to_string(refreshed_bytes) + "\t" + Number(Median(bytes[1])) +
        "\t" + Number(Median(bytes[2])));
  return refreshed_bytes != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Fail(
        "usage: desktop_bench PANEL_DIR [--runs R] [--close-runs C] "
        "[--tracked N,...] [--others M,...] [--spread K,...] "
        "[--panel-desktop N,M] [--no-panel]");
    return 2;
  }
  const std::wstring directory = corvantis::e2e::MakeScratchDirectory();
  BenchPanel panel;
  for (const int spread : options.spreads) {
    for (const int others_count : options.others) {
      std::vector<Process> others(static_cast<std::size_t>(spread));
      if (!StartOthers(others, directory, others_count)) {
        Fail("the other windows did not come up");
        return 1;
      }
      for (const int tracked : options.tracked) {
        const Desktop desktop{tracked, others_count, spread, directory};
        if (!MeasureDesktop(panel, desktop, options.runs, options.close_runs)) {
          Fail("desktop N=" + std::to_string(tracked) +
               " M=" + std::to_string(others_count) + " failed");
          return 1;
        }
      }
    }
  }
  const bool panel_measured =
      !options.panel || MeasurePanel(options, directory);
  corvantis::e2e::RemoveScratchDirectory(directory);
  return panel_measured ? 0 : 1;
}
