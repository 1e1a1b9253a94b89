// What every measurement of desktop_bench shares: the clock, the output
// lines, the kinds of call an action's time is broken down by, and the
// turns that set the program's action against its floors.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace corvantis::bench {

double NowMs();

template <typename Work>
double TimeMs(Work work) {
  const double start = NowMs();
  work();
  return NowMs() - start;
}

double Median(std::vector<double> values);

// One line of the tab-separated output.
void Print(const std::string& line);
void Fail(const std::string& message);
std::string Number(double value);
// In the ANSI code page, as Linux sees command lines under Wine.
std::string Ansi(const wchar_t* text);

// ms when the side of a comparison left the desktop as it should, otherwise
// -1 after an error line naming the action and the side.
double Checked(double ms, bool as_it_should, const char* action,
               const char* side);

// Handles messages this thread's windows get while it waits on others.
void PumpMessages();

// What the time of one action goes to, by kind of call.
enum class Call {
  kHide,
  kMinimize,
  kMinimizeNoActivate,
  kShowNormal,
  kShowNoActivate,
  kMove,
  kForeground,
  kClose,
  kEnumerate,
  kCheck,
  kProbe,
  kMark,
  kOther,
  kCount
};

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
  void PrintLines(const std::string& fields) const;

 private:
  std::array<int, static_cast<std::size_t>(Call::kCount)> counts_{};
  std::array<double, static_cast<std::size_t>(Call::kCount)> ms_{};
};

// Runs work, timed as call when there are times to add to.
template <typename Work>
auto Timed(CallTimes* times, Call call, Work work) {
  return times != nullptr ? times->Time(call, work) : work();
}

// N client windows among M others, spread over K processes.
struct Desktop {
  int tracked = 0;
  int others = 0;
  int spread = 1;
  std::wstring directory;

  std::string Cell() const;
};

// One action measured in turns: the program's own code against the
// prescribed sequence (every call the action is made of, bare) and, if
// it differs, the change floor (the bare calls whose effect is not already
// there). Each side returns its time in ms, negative when it failed, and is
// timed call by call in the first turn. The order of the sides rotates from
// turn to turn, which cancels any drift between them, and each ratio is
// the median of the turns' ratios.
class Comparison {
 public:
  using Side = std::function<double(CallTimes* times)>;

  Comparison(Side program, Side prescribed, Side change = nullptr);
  bool Turn(int turn);
  // The action's line and its calls lines; without a change floor of its
  // own the prescribed sequence stands for it.
  void Print(const char* action, const Desktop& desktop) const;

 private:
  std::vector<Side> sides_;
  std::array<std::vector<double>, 3> ms_;
  std::array<std::vector<double>, 3> ratios_;
  std::array<CallTimes, 3> calls_;
};

}  // namespace corvantis::bench
