// Stand-ins for the panel's controls and the services around it.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/panel.h"

namespace corvantis::testing {

class FakeCaption final : public CaptionControl {
 public:
  explicit FakeCaption(Text caption = Text()) : caption_(std::move(caption)) {}
  Text Caption() const override { return caption_; }
  void SetCaption(const Text& caption) override { caption_ = caption; }

 private:
  Text caption_;
};

class FakeText final : public TextControl {
 public:
  Text GetText() const override { return text; }
  Text text = u"20";
};

class FakeCheck final : public CheckControl {
 public:
  std::int32_t Value() const override { return value; }
  std::int32_t value = 1;
};

class FakeTimer final : public TimerControl {
 public:
  FakeTimer(bool enabled, std::uint32_t interval)
      : enabled_(enabled), interval_(interval) {}
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  std::uint32_t Interval() const override { return interval_; }
  void SetInterval(std::uint32_t milliseconds) override {
    interval_ = milliseconds;
    ++interval_sets;
  }
  int interval_sets = 0;

 private:
  bool enabled_;
  std::uint32_t interval_;
};

class FakeFiles final : public FileLookup {
 public:
  bool IsNormalFile(const Text& path) override {
    looked_up.push_back(path);
    return normal_files.count(path) != 0;
  }
  Text ProgramDirectory() override { return directory; }

  Text directory = u"C:\\Games\\QQGame";
  std::set<Text> normal_files;
  std::vector<Text> looked_up;
};

class FakeBoxes final : public MessageBoxService {
 public:
  void ShowInformation(const Text& title, const Text& prompt) override {
    shown.emplace_back(title, prompt);
    if (while_open) while_open();
  }
  std::vector<std::pair<Text, Text>> shown;
  // Runs while the box is open, as timer ticks may.
  std::function<void()> while_open;
};

class FakeGuard final : public GuardStarter {
 public:
  GuardState State() override { return state; }
  GuardState Start() override {
    ++starts;
    if (on_start) on_start();
    return state = start_gives;
  }
  GuardState state = GuardState::kAbsent;
  // Where a start leads.
  GuardState start_gives = GuardState::kRuns;
  int starts = 0;
  // Runs as each start begins.
  std::function<void()> on_start;
};

}  // namespace corvantis::testing
