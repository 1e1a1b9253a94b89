// Owners of the Win32 objects the panel creates itself. Child controls need
// none: they go with their parent window.
#pragma once

#include <windows.h>

#include <utility>

namespace corvantis {

// A window destroyed with its owner object, unless it is already gone and
// has been released.
class UniqueWindow {
 public:
  UniqueWindow() = default;
  explicit UniqueWindow(HWND window) : window_(window) {}
  UniqueWindow(UniqueWindow&& other) noexcept : window_(other.Release()) {}
  UniqueWindow& operator=(UniqueWindow&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  UniqueWindow(const UniqueWindow&) = delete;
  UniqueWindow& operator=(const UniqueWindow&) = delete;
  ~UniqueWindow() { Reset(); }

  HWND Get() const { return window_; }
  // Gives up ownership, for a window Windows is already destroying.
  HWND Release() { return std::exchange(window_, nullptr); }
  void Reset(HWND window = nullptr) {
    if (HWND old = std::exchange(window_, window)) DestroyWindow(old);
  }

 private:
  HWND window_ = nullptr;
};

class UniqueBrush {
 public:
  explicit UniqueBrush(HBRUSH brush) : brush_(brush) {}
  UniqueBrush(UniqueBrush&& other) noexcept
      : brush_(std::exchange(other.brush_, nullptr)) {}
  UniqueBrush& operator=(UniqueBrush&& other) noexcept {
    std::swap(brush_, other.brush_);
    return *this;
  }
  UniqueBrush(const UniqueBrush&) = delete;
  UniqueBrush& operator=(const UniqueBrush&) = delete;
  ~UniqueBrush() {
    if (brush_) DeleteObject(brush_);
  }

  HBRUSH Get() const { return brush_; }

 private:
  HBRUSH brush_;
};

}  // namespace corvantis
