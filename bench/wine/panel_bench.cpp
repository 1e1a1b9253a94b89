// The panel program itself: its start-up and memory beside the panel floor
// and a program of one plain window, the walk it makes at start, and its
// guard.
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "app/panel.h"
#include "control/window_control.h"
#include "measures.h"
#include "platform/win32_window_system.h"
#include "sim_desktop.h"
#include "timed_window_system.h"

namespace corvantis::bench {
namespace {

using e2e::Process;

// How long a started program is left before its memory is read.
constexpr DWORD kSettleMs = 500;

// A visible top-level window of the process with this title that answers.
HWND FindAnsweringWindow(DWORD process_id, const wchar_t* title) {
  for (HWND window : e2e::TopLevelWindows(process_id)) {
    DWORD_PTR result = 0;
    if (IsWindowVisible(window) && e2e::WindowTitle(window) == title &&
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
  e2e::WriteUtf8File(path, L"OtherWnd\tBaseline\t640\t480\tvisible\tnormal\n");
  return StartAndTime(
      process, e2e::ProgramDirectory() + L"simclient.exe",
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
  using e2e::GuardProcesses;
  if (!e2e::WaitUntil(
          [&] {
            return e2e::GuardWaits(panel.id()) &&
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
  for (HWND window : e2e::TopLevelWindows(clients.id())) {
    if (e2e::ClassName(window) == L"QufPanelWnd") {
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
  if (!e2e::WaitUntil(none_visible, 60000)) {
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
  const bool unmarked = e2e::WaitUntil(none_marked, 20000);
  const double walked = NowMs() - start;
  const bool back = unmarked && e2e::WaitUntil(all_visible, 60000);
  const double restore = NowMs() - start;
  if (!back) {
    Fail("the guard did not show the windows again");
    return false;
  }
  Print("guard\t" + std::to_string(guard_bytes) + "\t" + Number(cpu_waiting) +
        "\t" + Number(walked) + "\t" + Number(restore));
  return guard_bytes != 0;
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

}  // namespace

// Start-up time and memory of the panel program itself, each beside the
// panel floor and a program of one plain window.
bool MeasurePanel(const PanelDesktop& desktop, const std::wstring& directory) {
  const std::wstring& panel_directory = desktop.panel_directory;
  Process others, clients;
  if (!StartClient(others, directory, L"others", false, desktop.others) ||
      !StartClients(clients, directory, desktop.tracked)) {
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
    e2e::Responds(window, 5000);
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
  for (int run = 0; run <= desktop.runs; ++run) {
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
  Win32WindowSystem windows;
  TimedWindowSystem timed(windows, walk_calls);
  const double walk_ms =
      TimeMs([&] { RestoreWindowsOfEndedPanels(timed, kPanelClassName); });
  Print("walk\t" + Number(walk_ms) + "\t" +
        std::to_string(e2e::TopLevelWindows().size()));
  walk_calls.PrintLines("calls\twalk\t" + std::to_string(desktop.tracked) +
                        "\t" + std::to_string(desktop.others) + "\t1\tprogram");
  Print("start\t" + Number(Median(times[0])) + "\t" + Number(Median(times[1])) +
        "\t" + Number(Median(times[2])) + "\t" + Number(Median(floor_ratios)) +
        "\t" + Number(Median(baseline_ratios)));

  // The panel once more, to refresh the client windows.
  Process process;
  HWND panel = nullptr;
  if (StartPanel(process, panel_directory, kCorvantis, panel) < 0) return false;
  const HWND button = e2e::FindChild(panel, L"Button", L"手动刷新");
  if (button == nullptr) {
    Fail("no button 手动刷新");
    return false;
  }
  e2e::PostClick(button);
  const std::wstring games =
      L"游戏个数：" +
      std::to_wstring(desktop.tracked - (desktop.tracked + 4) / 5);
  if (!e2e::WaitUntil(
          [&] {
            return e2e::FindChild(panel, L"Static", games.c_str()) != nullptr;
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

}  // namespace corvantis::bench
