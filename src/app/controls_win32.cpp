#include "app/controls_win32.h"

#include <algorithm>
#include <utility>

#include "platform/win32_handles.h"

namespace corvantis {
namespace {

Text WindowText(HWND window) {
  Text text(static_cast<std::size_t>(GetWindowTextLengthW(window)), u'\0');
  const int copied =
      GetWindowTextW(window, Wide(text), static_cast<int>(text.size()) + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

}  // namespace

void Win32ListBox::Clear() { SendMessageW(list_, LB_RESETCONTENT, 0, 0); }

void Win32ListBox::AddItem(const Text& text) {
  SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text)));
}

std::int16_t Win32ListBox::ListCount() const {
  // The list box itself counts further than the 16 bits of the interface.
  const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
  return static_cast<std::int16_t>(
      std::clamp<LRESULT>(count, 0, kMaxListCount));
}

Text Win32ListBox::List(std::int16_t index) const {
  const LRESULT length = SendMessageW(list_, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return Text();
  Text text(static_cast<std::size_t>(length), u'\0');
  const LRESULT copied = SendMessageW(list_, LB_GETTEXT, index,
                                      reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
  return text;
}

std::int16_t Win32ListBox::ListIndex() const {
  // An entry beyond the 16-bit range counts as no selection.
  const LRESULT index = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  return index >= 0 && index <= kMaxListCount ? static_cast<std::int16_t>(index)
                                              : std::int16_t{-1};
}

void Win32ListBox::BeginUpdate() {
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
}

void Win32ListBox::EndUpdate() {
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  // Turning redrawing back on does not repaint what changed meanwhile.
  RedrawWindow(list_, nullptr, nullptr,
               RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

Text Win32Caption::Caption() const { return WindowText(control_); }

void Win32Caption::SetCaption(const Text& caption) {
  SetWindowTextW(control_, Wide(caption));
}

Text Win32TextBox::GetText() const { return WindowText(edit_); }

std::int32_t Win32CheckBox::Value() const {
  return SendMessageW(check_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

Win32Timer::Win32Timer(HWND window, UINT_PTR id, bool enabled,
                       std::uint32_t milliseconds)
    : window_(window), id_(id), enabled_(enabled), interval_(milliseconds) {
  Apply();
}

Win32Timer::Win32Timer(Win32Timer&& other) noexcept
    : window_(std::exchange(other.window_, nullptr)),
      id_(other.id_),
      enabled_(other.enabled_),
      interval_(other.interval_) {}

Win32Timer::~Win32Timer() {
  if (window_) KillTimer(window_, id_);
}

void Win32Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Apply();
}

void Win32Timer::SetInterval(std::uint32_t milliseconds) {
  interval_ = milliseconds;
  if (enabled_) Apply();
}

void Win32Timer::Apply() {
  if (enabled_ && interval_ > 0) {
    // SetTimer on a running id restarts its count.
    SetTimer(window_, id_,
             std::min<std::uint32_t>(interval_, USER_TIMER_MAXIMUM), nullptr);
  } else {
    KillTimer(window_, id_);
  }
}

}  // namespace corvantis
