// What the control panel does when the user acts on it or a timer ticks.
// The native window turns its messages into calls of these handlers and
// decides nothing itself.
#pragma once

#include <cstdint>
#include <functional>

#include "companions/launch.h"
#include "platform/window_system.h"
#include "tracking/controls.h"
#include "tracking/tracked_windows.h"

namespace corvantis {

// The class of the panel's window, by which a later panel finds it.
inline constexpr char16_t kPanelClassName[] = u"CorvantisForm1";

class TextControl {
 public:
  virtual ~TextControl() = default;
  virtual Text GetText() const = 0;
};

class CheckControl {
 public:
  virtual ~CheckControl() = default;
  // 0 clear, 1 ticked.
  virtual std::int32_t Value() const = 0;
};

class TimerControl {
 public:
  virtual ~TimerControl() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Milliseconds; 0 means an enabled timer that never ticks.
  virtual std::uint32_t Interval() const = 0;
  virtual void SetInterval(std::uint32_t milliseconds) = 0;
};

// Whether the guard of this panel process waits for the panel to end.
enum class GuardState {
  kRuns,
  // A start is under way: neither ready yet nor known to have failed.
  kStarting,
  // Runs, but inside a job of the panel's that allows no breaking away:
  // closing the job, as a launcher may, ends the guard with the panel.
  kRunsInPanelsJob,
  kAbsent,
};

// How often the panel looks whether a start of its guard under way has
// come to an end.
inline constexpr std::uint32_t kGuardWatchMs = 250;

// The process that shows again what the panel hid if the panel ends
// without doing so itself.
class GuardStarter {
 public:
  virtual ~GuardStarter() = default;
  // Asks without waiting.
  virtual GuardState State() = 0;
  // Starts a guard and waits a bounded time, at most 2 s, for it to be
  // ready.
  virtual GuardState Start() = 0;
};

struct PanelControls {
  ListControl& 大厅名称;
  ListControl& 游戏名称;
  CaptionControl& Label1;
  CaptionControl& Label2;
  CaptionControl& Command2;
  TextControl& Text1;
  CheckControl& Check1;
  TimerControl& Timer1;
  TimerControl& Timer2;
  // Not on the form: ticks while a start of the guard is under way.
  TimerControl& GuardWatch;
};

class Panel {
 public:
  Panel(CompanionServices services, PanelControls controls,
        GuardStarter& guard);

  // The native window's handle, once it exists.
  void SetWindowHandle(WindowHandle window) { window_ = window; }

  void Form_Load();
  // Shows every tracked window and stops both timers; runs once however the
  // panel ends, including when the user's session is ending, and even
  // inside another handler's walk: the walk then hides nothing more.
  void Form_Unload();
  // The session end that ran Form_Unload was called off: the panel goes on.
  void ResumeAfterCancelledEnd();
  void 大厅名称_Click();
  void 游戏名称_Click();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void Check1_Click();
  void Timer1_Timer();
  void Timer2_Timer();
  void GuardWatch_Timer();

  const TrackedWindows& lists() const { return lists_; }

 private:
  void Refresh();
  void Select(const ListControl& names, const ListControl& handles);
  // The refresh's walks may have moved the focus, which focus had before,
  // to the client's windows or the panel: it goes back.
  void GiveFocusBack(WindowHandle focus);
  // Runs a handler that walks the client's windows. While the panel waits
  // in a call to a client window, messages sent to it are handled: such a
  // handler that would start inside a running walk does not run at all,
  // nor does one after the panel has unloaded. The user's clicks and the
  // timers' ticks are posted, so they come only after the walk.
  // walk(keep_guard) returns whether it was complete; a walk that may hide
  // a window calls keep_guard before it hides the first one, so that it
  // hides only with a guard, or after trying to have one.
  template <typename Walk>
  void RunWalk(Walk walk);
  // Before each walk that may hide a window, not at start: starting a
  // process is the dearest part of a start, and nothing is hidden before
  // the user's first refresh. False when no guard that outlives the panel
  // can be had; a start under way counts, and is watched until it ends.
  bool KeepGuard();
  // Windows this panel hides would stay hidden if it were ended from
  // outside. The user is told once per run, as soon as it turns out.
  void ReportNoGuard();
  // A window refused the panel's mark or its show: the client runs with
  // higher rights. The user is told once per run.
  void ReportRefusal();

  CompanionServices services_;
  PanelControls controls_;
  GuardStarter& guard_;
  MemoryList 大厅句柄_;
  MemoryList 游戏句柄_;
  TrackedWindows lists_;
  WindowHandle window_ = 0;
  bool unloaded_ = false;
  bool walking_ = false;
  bool told_of_no_guard_ = false;
  // A walk of this run was refused: a window this panel hid may have
  // fallen out of the lists.
  bool refused_ = false;
  bool told_of_refusal_ = false;
};

}  // namespace corvantis
