// A running simclient.exe (built beside the test programs) with the windows
// a test describes, and what it has recorded.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "harness/harness.h"

namespace corvantis::e2e {

struct SimWindow {
  std::wstring class_name;
  std::wstring title;
  int width = 640;
  int height = 480;
  bool visible = true;
  // "normal", "hung" (stops pumping while the client hangs), "confirm"
  // (closes only when its Yes/No box is answered Yes) or "slow" (answers
  // at once, but takes seconds over each show, hide or move).
  std::wstring behaviour = L"normal";
};

struct SimWindowHandle {
  HWND window = nullptr;
  std::wstring class_name;
  std::wstring title;
};

// A line of the client's log: what was done to one of its windows, when
// (GetTickCount in the client), and for a move where the window went.
struct SimLogEntry {
  // close, slow, activate, show, hide or move.
  std::wstring what;
  HWND window = nullptr;
  std::wstring title;
  DWORD tick = 0;
  // Moves only: the window's rectangle, the one it is restored to, and the
  // change: normal, minimise, restore, or minimised (moved while it stays
  // minimised).
  RECT rect = {};
  RECT restored = {};
  std::wstring change;
};

class SimClient {
 public:
  struct Options {
    // Recreate the windows that are not "hung" every churn_ms milliseconds.
    int churn_ms = 0;
    // The "hung" windows stop pumping as soon as they are shown.
    bool hang_from_start = false;
  };

  // Starts the client and waits until all its windows are shown; assert
  // started() before use.
  explicit SimClient(const std::vector<SimWindow>& windows);
  SimClient(const std::vector<SimWindow>& windows, Options options);
  ~SimClient();
  SimClient(const SimClient&) = delete;
  SimClient& operator=(const SimClient&) = delete;

  // On failure its message says why: the step that failed with the
  // system's error, or the client's exit code and what it wrote.
  testing::AssertionResult started() const;
  Process& process() { return process_; }

  // The client's open windows as it last reported them.
  std::vector<SimWindowHandle> Windows() const;
  // Every open window with this title.
  std::vector<HWND> HandlesOf(const std::wstring& title) const;
  // The only open window with this title; null if none or several.
  HWND HandleOf(const std::wstring& title) const;
  // Titles of the windows in the order their WM_CLOSE arrived.
  std::vector<std::wstring> ClosedTitles() const;
  // What was done to the windows since the client showed them, in order.
  std::vector<SimLogEntry> Log() const;
  // The moves of window past the log's first from entries.
  std::vector<SimLogEntry> MovesOf(HWND window, size_t from = 0) const;
  // The log as the client wrote it, for a failure's message.
  std::string LogText() const;
  // The windows activated, or made visible from hidden, in order.
  std::vector<HWND> Activated() const;
  std::vector<HWND> Shown() const;
  // How many slow shows, hides or moves the "slow" windows have begun.
  int SlowCalls() const;

  // The "hung" windows stop pumping messages until Resume.
  void Hang();
  void Resume();

 private:
  std::vector<std::wstring> LoggedTitles(const std::wstring& what) const;
  std::vector<HWND> LoggedHandles(const std::wstring& what) const;

  std::wstring directory_;
  std::wstring handles_path_;
  std::wstring log_path_;
  HANDLE hang_event_ = nullptr;
  Process process_;
  bool started_ = false;
  std::string failure_;
};

}  // namespace corvantis::e2e
