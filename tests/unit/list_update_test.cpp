// A refresh refills each list the user sees as one batch, so that a list on
// screen is redrawn once per refresh rather than once per entry.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "control/window_control.h"
#include "fake_controls.h"
#include "fake_desktop.h"
#include "tracking/scan.h"

namespace corvantis {
namespace {

using testing::FakeCaption;
using testing::FakeDesktop;
using testing::Utf8;

// A list that logs what is done to it, and keeps its entries.
class LoggingList final : public ListControl {
 public:
  void Clear() override {
    log.push_back("clear");
    entries_.Clear();
  }
  void AddItem(const Text& text) override {
    log.push_back("add " + Utf8(text));
    entries_.AddItem(text);
  }
  std::int16_t ListCount() const override { return entries_.ListCount(); }
  Text List(std::int16_t index) const override { return entries_.List(index); }
  std::int16_t ListIndex() const override { return entries_.ListIndex(); }
  void BeginUpdate() override { log.push_back("begin"); }
  void EndUpdate() override { log.push_back("end"); }

  std::vector<std::string> log;

 private:
  MemoryList entries_;
};

TEST(ListUpdateTest, RefreshRefillsEachShownListInOneBatch) {
  FakeDesktop desktop;
  desktop.Add(u"QQ游戏", u"QufPanelWnd");
  desktop.Add(u"斗地主", u"QufPanelWnd");
  desktop.Add(u"记事本", u"Notepad");
  desktop.Add(u"QQ游戏", u"QufPanelWnd");
  desktop.Add(u"象棋", u"QufPanelWnd");
  LoggingList lobby_names, game_names;
  MemoryList lobby_handles, game_handles;
  TrackedWindows lists{lobby_names, lobby_handles, game_names, game_handles};
  FakeCaption label1, label2;

  for (int refresh = 0; refresh < 2; ++refresh) {
    lobby_names.log.clear();
    game_names.log.clear();
    TrackedWindowWalks walks(desktop, false);
    RefreshWindowLists(desktop, lists, label1, label2, walks);
    EXPECT_EQ(lobby_names.log,
              (std::vector<std::string>{"begin", "clear", "add 1-QQ游戏",
                                        "add 2-QQ游戏", "end"}));
    EXPECT_EQ(game_names.log,
              (std::vector<std::string>{"begin", "clear", "add 1-斗地主",
                                        "add 2-象棋", "end"}));
  }
}

TEST(ListUpdateTest, ScopedUpdateEndsWhenLeftByAnException) {
  LoggingList list;
  try {
    ScopedListUpdate update(list);
    list.AddItem(u"1-QQ游戏");
    throw std::runtime_error("scan failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(list.log,
            (std::vector<std::string>{"begin", "add 1-QQ游戏", "end"}));
}

}  // namespace
}  // namespace corvantis
