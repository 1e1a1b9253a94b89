// WindowSystem on the real desktop.
#pragma once

#include "platform/window_system.h"

namespace corvantis {

class Win32WindowSystem final : public WindowSystem {
 public:
  void EnumChildWindows(WindowHandle parent, EnumWindowsCallback callback,
                        std::int32_t argument) override;
  WindowHandle NextTopLevelWindow(WindowHandle after) override;
  std::int32_t GetWindowTextLengthW(WindowHandle window) override;
  Text GetWindowTextW(WindowHandle window, std::int32_t buffer_size) override;
  Text GetClassNameW(WindowHandle window, std::int32_t buffer_size) override;
  WindowRect GetWindowRect(WindowHandle window) override;
  bool IsWindowVisible(WindowHandle window) override;
  bool IsIconic(WindowHandle window) override;
  bool IsWindow(WindowHandle window) override;
  std::uint32_t WindowProcessId(WindowHandle window) override;
  void ShowWindow(WindowHandle window, ShowCommand command) override;
  void MoveWindow(WindowHandle window, std::int32_t x, std::int32_t y,
                  std::int32_t width, std::int32_t height,
                  std::int32_t repaint) override;
  bool SendMessageA(WindowHandle window, std::uint32_t message) override;
  void SetWindowPos(WindowHandle window, WindowHandle insert_after,
                    std::uint32_t flags) override;
  void SetForegroundWindow(WindowHandle window) override;
  WindowHandle GetForegroundWindow() override;
  void ShellExecuteW(WindowHandle owner, const Text& operation,
                     const Text& file, const Text& parameters,
                     const Text& directory, std::int32_t show_command) override;
  void CreateProcessW(const Text& application, const Text& command_line,
                      std::int32_t show_command) override;
  Text GetSystemDirectoryW() override;
  bool Responds(WindowHandle window) override;
  bool PanelResponds(WindowHandle window) override;
  void ShowWindowAsync(WindowHandle window, ShowCommand command) override;
  void MoveWindowAsync(WindowHandle window, std::int32_t x, std::int32_t y,
                       std::int32_t width, std::int32_t height) override;
  bool PostMessageA(WindowHandle window, std::uint32_t message) override;
  bool MarkHidden(WindowHandle window) override;
  void RemoveHiddenMark(WindowHandle window) override;
  PanelProcess ReadHiddenMark(WindowHandle window) override;
  bool AnyWindowMarked() override;
  PanelProcess CurrentProcess() override;
  std::uint32_t ProcessStartTime(std::uint32_t process_id) override;
};

}  // namespace corvantis
