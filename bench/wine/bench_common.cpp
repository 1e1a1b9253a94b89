#include "bench_common.h"

#include <algorithm>
#include <cstdio>

namespace corvantis::bench {
namespace {

constexpr const char* kCallNames[] = {
    "ShowWindow SW_HIDE",
    "ShowWindow SW_SHOWMINIMIZED",
    "ShowWindow SW_SHOWMINNOACTIVE",
    "ShowWindow SW_SHOWNORMAL",
    "ShowWindow SW_SHOWNOACTIVATE",
    "MoveWindow",
    "SetForegroundWindow",
    "SendMessageA WM_CLOSE",
    "EnumWindows and the reads in its callback",
    "checks: IsWindowVisible, IsIconic, GetWindowRect, IsWindow, "
    "GetWindowThreadProcessId",
    "probe: WM_NULL round trip",
    "marks: SetPropW, RemovePropW, GetPropW",
    "other calls"};
static_assert(std::size(kCallNames) == static_cast<std::size_t>(Call::kCount));

constexpr const char* kSideNames[] = {"program", "prescribed", "change"};

}  // namespace

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

double Checked(double ms, bool as_it_should, const char* action,
               const char* side) {
  if (as_it_should) return ms;
  Fail(std::string(action) + " by the " + side +
       " left the desktop otherwise than it should be");
  return -1;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void CallTimes::PrintLines(const std::string& fields) const {
  for (std::size_t slot = 0; slot < counts_.size(); ++slot) {
    if (counts_[slot] == 0) continue;
    bench::Print(fields + "\t" + kCallNames[slot] + "\t" +
                 std::to_string(counts_[slot]) + "\t" + Number(ms_[slot]));
  }
}

std::string Desktop::Cell() const {
  return std::to_string(tracked) + "\t" + std::to_string(others) + "\t" +
         std::to_string(spread);
}

Comparison::Comparison(Side program, Side prescribed, Side change)
    : sides_{std::move(program), std::move(prescribed)} {
  if (change) sides_.push_back(std::move(change));
}

bool Comparison::Turn(int turn) {
  std::array<double, 3> ms{};
  for (std::size_t step = 0; step < sides_.size(); ++step) {
    const std::size_t side =
        (step + static_cast<std::size_t>(turn)) % sides_.size();
    PumpMessages();
    ms[side] = sides_[side](turn == 0 ? &calls_[side] : nullptr);
    if (ms[side] < 0) return false;
  }
  for (std::size_t side = 0; side < sides_.size(); ++side) {
    ms_[side].push_back(ms[side]);
    ratios_[side].push_back(ms[0] / ms[side]);
  }
  return true;
}

void Comparison::Print(const char* action, const Desktop& desktop) const {
  const std::size_t change = sides_.size() - 1;
  bench::Print(std::string(action) + "\t" + desktop.Cell() + "\t" +
               Number(Median(ms_[0])) + "\t" + Number(Median(ms_[1])) + "\t" +
               Number(Median(ratios_[1])) + "\t" + Number(Median(ms_[change])) +
               "\t" + Number(Median(ratios_[change])));
  for (std::size_t side = 0; side < sides_.size(); ++side) {
    calls_[side].PrintLines(std::string("calls\t") + action + "\t" +
                            desktop.Cell() + "\t" + kSideNames[side]);
  }
}

}  // namespace corvantis::bench
