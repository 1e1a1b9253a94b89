// Form1, the control panel's native window: it builds the controls from the
// layout table, hands them to Panel and turns window messages into Panel's
// handlers. It makes no decisions of its own.
#pragma once

#include <windows.h>

#include <optional>

#include "app/controls_win32.h"
#include "app/handles_win32.h"
#include "app/panel.h"
#include "companions/launch.h"

namespace corvantis {

// Child window ids. They start above IDOK and IDCANCEL, which the dialog
// manager sends for Enter and Esc, so neither key reaches a control.
enum ControlId : int {
  kCommand1 = 1001,
  kCommand2,
  kCommand3,
  kCommand4,
  kCommand5,
  k大厅名称,
  k游戏名称,
  kLabel1,
  kLabel2,
  kLabel3,
  kLabel4,
  kLabel5,
  kText1,
  kCheck1,
};

enum TimerId : UINT_PTR {
  kTimer1 = 1,
  kTimer2 = 2,
  kGuardWatch = 3,
};

// UTF-16, as wchar_t is on Windows.
inline const wchar_t* const kForm1ClassName =
    reinterpret_cast<const wchar_t*>(kPanelClassName);

class Form1 {
 public:
  Form1(HINSTANCE instance, CompanionServices services, GuardStarter& guard);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;
  ~Form1();

  // Builds the window and its controls, still hidden. False on failure.
  bool Create();
  // Runs the Load handler, then shows the panel.
  void LoadAndShow(int show_command);
  // The panel's window; null once it has been destroyed.
  HWND Window() const { return window_.Get(); }
  WindowHandle Handle() const;

 private:
  // The controls as the panel logic sees them, and the panel logic itself,
  // made once the child windows exist. They outlive the window: it can be
  // destroyed while a handler waits in a modal box.
  struct Live {
    Live(HWND form, CompanionServices services, GuardStarter& guard);
    Win32ListBox 大厅名称;
    Win32ListBox 游戏名称;
    Win32Caption Label1;
    Win32Caption Label2;
    Win32Caption Command2;
    Win32TextBox Text1;
    Win32CheckBox Check1;
    Win32Timer Timer1;
    Win32Timer Timer2;
    Win32Timer GuardWatch;
    Panel panel;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  bool OnCreate();
  void CreateText1Tooltip();
  // True when it has placed the focus itself.
  bool OnActivate(WPARAM wparam);
  void OnEraseBackground(HDC dc) const;
  void OnPaint() const;
  void OnWindowPosChanged(const WINDOWPOS& position) const;
  LRESULT OnColorStatic(HDC dc) const;
  void OnEvent(UINT message, UINT_PTR source, UINT code);
  void OnQueryEndSession();
  // close_only: the session does not end, only this program is asked to
  // close. Otherwise the process ends once this returns.
  void OnEndSession(bool ending, bool close_only);
  void OnDestroy();

  HINSTANCE instance_;
  CompanionServices services_;
  GuardStarter& guard_;
  UniqueWindow window_;
  UniqueWindow tooltip_;
  UniqueBrush background_;
  // The control that had the focus when the panel was last deactivated.
  HWND saved_focus_ = nullptr;
  std::optional<Live> live_;
};

}  // namespace corvantis
