// The program's own desktop calls, each timed by its kind.
#pragma once

#include "bench_common.h"
#include "platform/window_system.h"

namespace corvantis::bench {

// Calls made inside an enumeration's callback count towards the
// enumeration, as the floors' enumerations are timed whole.
class TimedWindowSystem final : public WindowSystem {
  // Ahead of the calls, which deduce their types from it.
  static Call ShowCall(ShowCommand command) {
    switch (command) {
      case ShowCommand::Hide:
        return Call::kHide;
      case ShowCommand::ShowMinimized:
        return Call::kMinimize;
      case ShowCommand::ShowMinNoActive:
        return Call::kMinimizeNoActivate;
      case ShowCommand::ShowNormal:
        return Call::kShowNormal;
      case ShowCommand::ShowNoActivate:
        return Call::kShowNoActivate;
    }
    return Call::kOther;
  }

  template <typename Work>
  auto Time(Call call, Work work) {
    return enumerating_ ? work() : times_.Time(call, work);
  }

 public:
  TimedWindowSystem(WindowSystem& inner, CallTimes& times)
      : inner_(inner), times_(times) {}

  void EnumChildWindows(WindowHandle parent, EnumWindowsCallback callback,
                        std::int32_t argument) override {
    Time(Call::kEnumerate, [&] {
      enumerating_ = true;
      inner_.EnumChildWindows(parent, callback, argument);
      enumerating_ = false;
    });
  }
  WindowHandle NextTopLevelWindow(WindowHandle after) override {
    return Time(Call::kOther, [&] { return inner_.NextTopLevelWindow(after); });
  }
  std::int32_t GetWindowTextLengthW(WindowHandle window) override {
    return Time(Call::kOther,
                [&] { return inner_.GetWindowTextLengthW(window); });
  }
  Text GetWindowTextW(WindowHandle window, std::int32_t size) override {
    return Time(Call::kOther,
                [&] { return inner_.GetWindowTextW(window, size); });
  }
  Text GetClassNameW(WindowHandle window, std::int32_t size) override {
    return Time(Call::kOther,
                [&] { return inner_.GetClassNameW(window, size); });
  }
  WindowRect GetWindowRect(WindowHandle window) override {
    return Time(Call::kCheck, [&] { return inner_.GetWindowRect(window); });
  }
  bool IsWindowVisible(WindowHandle window) override {
    return Time(Call::kCheck, [&] { return inner_.IsWindowVisible(window); });
  }
  bool IsIconic(WindowHandle window) override {
    return Time(Call::kCheck, [&] { return inner_.IsIconic(window); });
  }
  bool IsWindow(WindowHandle window) override {
    return Time(Call::kCheck, [&] { return inner_.IsWindow(window); });
  }
  std::uint32_t WindowProcessId(WindowHandle window) override {
    return Time(Call::kCheck, [&] { return inner_.WindowProcessId(window); });
  }
  void ShowWindow(WindowHandle window, ShowCommand command) override {
    Time(ShowCall(command), [&] { inner_.ShowWindow(window, command); });
  }
  void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                  std::int32_t width, std::int32_t height,
                  std::int32_t repaint) override {
    Time(Call::kMove,
         [&] { inner_.MoveWindow(window, x, y, width, height, repaint); });
  }
  bool SendMessageA(WindowHandle window, std::uint32_t message) override {
    return Time(message == kWmClose ? Call::kClose : Call::kOther,
                [&] { return inner_.SendMessageA(window, message); });
  }
  void SetWindowPos(WindowHandle window, WindowHandle insert_after,
                    std::uint32_t flags) override {
    Time(Call::kOther,
         [&] { inner_.SetWindowPos(window, insert_after, flags); });
  }
  void SetForegroundWindow(WindowHandle window) override {
    Time(Call::kForeground, [&] { inner_.SetForegroundWindow(window); });
  }
  WindowHandle GetForegroundWindow() override {
    return Time(Call::kOther, [&] { return inner_.GetForegroundWindow(); });
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
    return Time(Call::kProbe, [&] { return inner_.Responds(window); });
  }
  bool PanelResponds(WindowHandle window) override {
    return Time(Call::kProbe, [&] { return inner_.PanelResponds(window); });
  }
  void ShowWindowAsync(WindowHandle window, ShowCommand command) override {
    Time(Call::kOther, [&] { inner_.ShowWindowAsync(window, command); });
  }
  void MoveWindowAsync(WindowHandle window, std::int32_t x, std::int32_t y,
                       std::int32_t width, std::int32_t height) override {
    Time(Call::kOther,
         [&] { inner_.MoveWindowAsync(window, x, y, width, height); });
  }
  bool PostMessageA(WindowHandle window, std::uint32_t message) override {
    return Time(Call::kOther,
                [&] { return inner_.PostMessageA(window, message); });
  }
  bool MarkHidden(WindowHandle window) override {
    return Time(Call::kMark, [&] { return inner_.MarkHidden(window); });
  }
  void RemoveHiddenMark(WindowHandle window) override {
    Time(Call::kMark, [&] { inner_.RemoveHiddenMark(window); });
  }
  PanelProcess ReadHiddenMark(WindowHandle window) override {
    return Time(Call::kMark, [&] { return inner_.ReadHiddenMark(window); });
  }
  bool AnyWindowMarked() override {
    return Time(Call::kMark, [&] { return inner_.AnyWindowMarked(); });
  }
  PanelProcess CurrentProcess() override {
    return Time(Call::kMark, [&] { return inner_.CurrentProcess(); });
  }
  std::uint32_t ProcessStartTime(std::uint32_t process_id) override {
    return Time(Call::kMark,
                [&] { return inner_.ProcessStartTime(process_id); });
  }

 private:
  WindowSystem& inner_;
  CallTimes& times_;
  bool enumerating_ = false;
};

}  // namespace corvantis::bench
