// The panel's controls as the portable panel logic sees them, realised on
// native child windows and window timers.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/panel.h"
#include "tracking/controls.h"

namespace corvantis {

// An unsorted single-selection list box.
class Win32ListBox final : public ListControl {
 public:
  explicit Win32ListBox(HWND list) : list_(list) {}
  void Clear() override;
  void AddItem(const Text& text) override;
  std::int16_t ListCount() const override;
  Text List(std::int16_t index) const override;
  std::int16_t ListIndex() const override;
  void BeginUpdate() override;
  void EndUpdate() override;

 private:
  HWND list_;
};

// The caption of a label or a button.
class Win32Caption final : public CaptionControl {
 public:
  explicit Win32Caption(HWND control) : control_(control) {}
  Text Caption() const override;
  void SetCaption(const Text& caption) override;

 private:
  HWND control_;
};

class Win32TextBox final : public TextControl {
 public:
  explicit Win32TextBox(HWND edit) : edit_(edit) {}
  Text GetText() const override;

 private:
  HWND edit_;
};

class Win32CheckBox final : public CheckControl {
 public:
  explicit Win32CheckBox(HWND check) : check_(check) {}
  std::int32_t Value() const override;

 private:
  HWND check_;
};

// A window timer whose ticks arrive as WM_TIMER with its id. Windows cannot
// express an enabled timer that never ticks (SetTimer with 0 ticks about
// every 10 ms), so interval 0 keeps the system timer killed while the timer
// counts as enabled.
class Win32Timer final : public TimerControl {
 public:
  Win32Timer(HWND window, UINT_PTR id, bool enabled,
             std::uint32_t milliseconds);
  Win32Timer(Win32Timer&& other) noexcept;
  Win32Timer& operator=(Win32Timer&&) = delete;
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;
  ~Win32Timer() override;

  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  std::uint32_t Interval() const override { return interval_; }
  // Restarts the count of an enabled timer, as any new interval does.
  void SetInterval(std::uint32_t milliseconds) override;

 private:
  // Makes the system timer match enabled_ and interval_, starting its count
  // afresh.
  void Apply();

  HWND window_;
  UINT_PTR id_;
  bool enabled_;
  std::uint32_t interval_;
};

}  // namespace corvantis
