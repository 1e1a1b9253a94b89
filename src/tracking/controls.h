// The operations of the panel's controls that the panel's logic relies on.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/window_system.h"

namespace corvantis {

// Lists count their entries in 16 bits, as the list controls they mirror.
constexpr std::int16_t kMaxListCount = 32767;

class ListControl {
 public:
  virtual ~ListControl() = default;
  virtual void Clear() = 0;
  virtual void AddItem(const Text& text) = 0;
  virtual std::int16_t ListCount() const = 0;
  virtual Text List(std::int16_t index) const = 0;
  // Index of the entry the user selected, -1 when none.
  virtual std::int16_t ListIndex() const = 0;
  // Between these a list on screen need not show each change: a refill
  // inside them is drawn once, at the end, not once per entry.
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}
};

// One batch of changes to a list, ended however the scope is left.
class ScopedListUpdate {
 public:
  explicit ScopedListUpdate(ListControl& list) : list_(list) {
    list_.BeginUpdate();
  }
  ~ScopedListUpdate() { list_.EndUpdate(); }
  ScopedListUpdate(const ScopedListUpdate&) = delete;
  ScopedListUpdate& operator=(const ScopedListUpdate&) = delete;

 private:
  ListControl& list_;
};

class CaptionControl {
 public:
  virtual ~CaptionControl() = default;
  virtual Text Caption() const = 0;
  virtual void SetCaption(const Text& caption) = 0;
};

// A list that lives in memory only: the handle lists, which the user never
// sees, are kept this way beside the two list boxes.
class MemoryList final : public ListControl {
 public:
  void Clear() override {
    entries_.clear();
    selected_ = -1;
  }
  void AddItem(const Text& text) override { entries_.push_back(text); }
  std::int16_t ListCount() const override {
    return static_cast<std::int16_t>(entries_.size());
  }
  Text List(std::int16_t index) const override {
    return index >= 0 && static_cast<std::size_t>(index) < entries_.size()
               ? entries_[static_cast<std::size_t>(index)]
               : Text();
  }
  std::int16_t ListIndex() const override { return selected_; }
  // What a user's selection would set; out-of-range indices select nothing.
  void Select(std::int16_t index) {
    selected_ = index >= 0 && index < ListCount() ? index : -1;
  }

 private:
  std::vector<Text> entries_;
  std::int16_t selected_ = -1;
};

}  // namespace corvantis
