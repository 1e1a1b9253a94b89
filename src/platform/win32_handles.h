// Window handles and texts between Win32 and the portable code.
#pragma once

#include <windows.h>

#include "platform/window_system.h"

namespace corvantis {

// Window handles are 32-bit values even in a 64-bit process, so the
// truncation loses nothing and the sign extension restores the handle.
inline HWND ToHwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(window));
}

inline WindowHandle FromHwnd(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<INT_PTR>(window));
}

// Text is UTF-16, as wchar_t is on Windows.
inline const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline wchar_t* Wide(Text& text) {
  return reinterpret_cast<wchar_t*>(&text[0]);
}

}  // namespace corvantis
