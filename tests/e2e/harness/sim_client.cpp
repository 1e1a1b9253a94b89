#include "harness/sim_client.h"

#include <cwchar>

namespace corvantis::e2e {
namespace {

// Generous: the first program started in a fresh prefix, on a loaded
// machine, has been seen to take over ten seconds.
constexpr DWORD kStartTimeoutMs = 30000;

std::vector<std::wstring> Fields(const std::wstring& line) {
  std::vector<std::wstring> fields;
  size_t start = 0;
  for (;;) {
    size_t end = line.find(L'\t', start);
    fields.push_back(line.substr(start, end - start));
    if (end == std::wstring::npos) return fields;
    start = end + 1;
  }
}

}  // namespace

SimClient::SimClient(const std::vector<SimWindow>& windows)
    : SimClient(windows, Options()) {}

SimClient::SimClient(const std::vector<SimWindow>& windows, Options options)
    : directory_(MakeScratchDirectory()),
      handles_path_(directory_ + L"handles.txt"),
      log_path_(directory_ + L"close.log") {
  if (directory_.empty()) {
    failure_ = "no scratch directory: " + ErrorText(GetLastError());
    return;
  }
  std::wstring description;
  for (const SimWindow& window : windows) {
    description += window.class_name + L"\t" + window.title + L"\t" +
                   std::to_wstring(window.width) + L"\t" +
                   std::to_wstring(window.height) + L"\t" +
                   (window.visible ? L"visible" : L"hidden") + L"\t" +
                   window.behaviour + L"\n";
  }
  std::wstring description_path = directory_ + L"windows.txt";
  if (!WriteUtf8File(description_path, description)) {
    failure_ = "cannot write " + ToUtf8(description_path) + ": " +
               ErrorText(GetLastError());
    return;
  }
  // Named after the directory, which no other program has: an event of an
  // earlier program's client that still runs is never shared.
  const size_t leaf = directory_.find_last_of(L'\\', directory_.size() - 2) + 1;
  const std::wstring event_name =
      directory_.substr(leaf, directory_.size() - 1 - leaf) + L"-hang";
  hang_event_ =
      CreateEventW(nullptr, TRUE, options.hang_from_start, event_name.c_str());
  if (hang_event_ == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    failure_ = "hang event " + ToUtf8(event_name) + ": " +
               (hang_event_ == nullptr ? ErrorText(GetLastError())
                                       : "another process has one already");
    return;
  }
  std::vector<std::wstring> arguments = {
      L"--windows", description_path, L"--log",        log_path_,
      L"--handles", handles_path_,    L"--hang-event", event_name};
  if (options.churn_ms > 0) {
    arguments.push_back(L"--churn");
    arguments.push_back(std::to_wstring(options.churn_ms));
  }
  const std::wstring output_path = directory_ + L"simclient.err";
  const DWORD start = GetTickCount();
  const testing::AssertionResult created =
      process_.Start(ProgramDirectory() + L"simclient.exe", arguments,
                     std::wstring(), output_path);
  if (!created) {
    failure_ = created.message();
    return;
  }
  // The client writes its handles once every window has been shown.
  started_ = WaitUntil(
                 [&] {
                   return GetFileAttributesW(handles_path_.c_str()) !=
                              INVALID_FILE_ATTRIBUTES ||
                          !process_.Running();
                 },
                 kStartTimeoutMs) &&
             process_.Running();
  if (started_) return;
  DWORD exit_code = 0;
  failure_ = "simclient.exe (process " + std::to_string(process_.id()) + ") " +
             (process_.WaitForExit(0, &exit_code)
                  ? "ended with exit code " + std::to_string(exit_code)
                  : std::string("still runs but has not shown its windows"));
  const std::wstring output = ReadUtf8File(output_path);
  failure_ += " after " + std::to_string(GetTickCount() - start) + " ms in " +
              ToUtf8(directory_) +
              "; it wrote: " + (output.empty() ? "nothing" : ToUtf8(output));
}

SimClient::~SimClient() {
  process_.Kill();
  if (hang_event_ != nullptr) CloseHandle(hang_event_);
  RemoveScratchDirectory(directory_);
}

testing::AssertionResult SimClient::started() const {
  if (started_) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "the simulated client did not start: " << failure_;
}

namespace {

HWND HandleFromText(const std::wstring& text) {
  auto handle = static_cast<INT32>(_wtoi(text.c_str()));
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(handle));
}

}  // namespace

std::vector<SimWindowHandle> SimClient::Windows() const {
  std::vector<SimWindowHandle> windows;
  for (const std::wstring& line : SplitLines(ReadUtf8File(handles_path_))) {
    std::vector<std::wstring> fields = Fields(line);
    if (fields.size() != 3) continue;
    windows.push_back({HandleFromText(fields[0]), fields[1], fields[2]});
  }
  return windows;
}

std::vector<HWND> SimClient::HandlesOf(const std::wstring& title) const {
  std::vector<HWND> handles;
  for (const SimWindowHandle& window : Windows()) {
    if (window.title == title) handles.push_back(window.window);
  }
  return handles;
}

HWND SimClient::HandleOf(const std::wstring& title) const {
  std::vector<HWND> handles = HandlesOf(title);
  return handles.size() == 1 ? handles[0] : nullptr;
}

namespace {

RECT RectFromText(const std::wstring& text) {
  RECT rect = {};
  int x = 0, y = 0, width = 0, height = 0;
  if (swscanf(text.c_str(), L"%d,%d,%d,%d", &x, &y, &width, &height) == 4) {
    rect = {x, y, x + width, y + height};
  }
  return rect;
}

}  // namespace

std::vector<SimLogEntry> SimClient::Log() const {
  std::vector<SimLogEntry> entries;
  for (const std::wstring& line : SplitLines(ReadUtf8File(log_path_))) {
    std::vector<std::wstring> fields = Fields(line);
    if (fields.size() < 4) continue;
    SimLogEntry entry;
    entry.what = fields[0];
    entry.window = HandleFromText(fields[1]);
    entry.title = fields[2];
    entry.tick = static_cast<DWORD>(_wtoi64(fields[3].c_str()));
    if (fields.size() == 7) {
      entry.rect = RectFromText(fields[4]);
      entry.restored = RectFromText(fields[5]);
      entry.change = fields[6];
    }
    entries.push_back(entry);
  }
  return entries;
}

std::vector<SimLogEntry> SimClient::MovesOf(HWND window, size_t from) const {
  std::vector<SimLogEntry> moves;
  const std::vector<SimLogEntry> log = Log();
  for (size_t i = from; i < log.size(); ++i) {
    if (log[i].what == L"move" && log[i].window == window) {
      moves.push_back(log[i]);
    }
  }
  return moves;
}

std::string SimClient::LogText() const {
  return ToUtf8(ReadUtf8File(log_path_));
}

std::vector<std::wstring> SimClient::LoggedTitles(
    const std::wstring& what) const {
  std::vector<std::wstring> titles;
  for (const SimLogEntry& entry : Log()) {
    if (entry.what == what) titles.push_back(entry.title);
  }
  return titles;
}

std::vector<HWND> SimClient::LoggedHandles(const std::wstring& what) const {
  std::vector<HWND> handles;
  for (const SimLogEntry& entry : Log()) {
    if (entry.what == what) handles.push_back(entry.window);
  }
  return handles;
}

std::vector<HWND> SimClient::Activated() const {
  return LoggedHandles(L"activate");
}

std::vector<HWND> SimClient::Shown() const { return LoggedHandles(L"show"); }

std::vector<std::wstring> SimClient::ClosedTitles() const {
  return LoggedTitles(L"close");
}

int SimClient::SlowCalls() const {
  return static_cast<int>(LoggedTitles(L"slow").size());
}

void SimClient::Hang() { SetEvent(hang_event_); }

void SimClient::Resume() { ResetEvent(hang_event_); }

}  // namespace corvantis::e2e
