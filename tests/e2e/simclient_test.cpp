// The simulated client behaves as the tracking tests assume: the windows it
// reports are the ones on the desktop, hung windows stop answering, confirm
// windows ask first, and its close log is in arrival order.
#include <gtest/gtest.h>

#include "harness/harness.h"
#include "harness/sim_client.h"

namespace corvantis::e2e {
namespace {

TEST(SimClientTest, OpensTheDescribedWindows) {
  SimClient client({{L"QufPanelWnd", L"QQ游戏", 1000, 700, true},
                    {L"QufPanelWndGame", L"中国象棋 ", 486, 500, true},
                    {L"QufPanelWnd", L"", 640, 480, false}});
  ASSERT_TRUE(client.started());
  std::vector<SimWindowHandle> windows = client.Windows();
  ASSERT_EQ(windows.size(), 3u);

  EXPECT_EQ(ClassName(windows[0].window), L"QufPanelWnd");
  EXPECT_EQ(WindowTitle(windows[0].window), L"QQ游戏");
  WindowState lobby = ReadWindow(windows[0].window);
  EXPECT_TRUE(lobby.visible);
  EXPECT_EQ(lobby.rect.right - lobby.rect.left, 1000);
  EXPECT_EQ(lobby.rect.bottom - lobby.rect.top, 700);

  EXPECT_EQ(ClassName(windows[1].window), L"QufPanelWndGame");
  EXPECT_EQ(WindowTitle(windows[1].window), L"中国象棋 ");
  WindowState game = ReadWindow(windows[1].window);
  EXPECT_EQ(game.rect.right - game.rect.left, 486);

  EXPECT_EQ(WindowTitle(windows[2].window), L"");
  EXPECT_FALSE(ReadWindow(windows[2].window).visible);
  EXPECT_EQ(client.HandleOf(L"QQ游戏"), windows[0].window);
}

// Class names are compared case-sensitively by the scan, so the client must
// keep the spelling it registered.
TEST(SimClientTest, KeepsTheSpellingOfItsClass) {
  SimClient client({{L"qufpanelwnd", L"小写", 640, 480, true}});
  ASSERT_TRUE(client.started());
  EXPECT_EQ(ClassName(client.HandleOf(L"小写")), L"qufpanelwnd");
}

TEST(SimClientTest, HungWindowStopsAnsweringUntilResumed) {
  SimClient client({{L"QufPanelWnd", L"卡住", 640, 480, true, L"hung"},
                    {L"QufPanelWnd", L"正常", 640, 480, true}});
  ASSERT_TRUE(client.started());
  HWND hung = client.HandleOf(L"卡住");
  HWND normal = client.HandleOf(L"正常");
  ASSERT_TRUE(Responds(hung));

  client.Hang();
  EXPECT_TRUE(WaitUntil([&] { return !Responds(hung, 100); }, 2000));
  EXPECT_TRUE(Responds(normal));
  EXPECT_TRUE(ReadWindow(hung).visible);

  client.Resume();
  EXPECT_TRUE(WaitUntil([&] { return Responds(hung, 100); }, 2000));
}

TEST(SimClientTest, CanHangFromTheStart) {
  SimClient client({{L"QufPanelWnd", L"卡住", 640, 480, true, L"hung"}},
                   {0, true});
  ASSERT_TRUE(client.started());
  HWND hung = client.HandleOf(L"卡住");
  EXPECT_TRUE(ReadWindow(hung).visible);
  EXPECT_FALSE(Responds(hung, 200));
}

TEST(SimClientTest, ConfirmWindowClosesOnlyOnYes) {
  SimClient client({{L"QufPanelWnd", L"确认", 640, 480, true, L"confirm"}});
  ASSERT_TRUE(client.started());
  HWND window = client.HandleOf(L"确认");

  PostMessageW(window, WM_CLOSE, 0, 0);
  HWND box = WaitForMessageBox(client.process().id(), 5000);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(AnswerMessageBox(box, IDNO));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 2000));
  EXPECT_TRUE(IsWindow(window));

  PostMessageW(window, WM_CLOSE, 0, 0);
  box = WaitForMessageBox(client.process().id(), 5000);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(AnswerMessageBox(box, IDYES));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, 2000));
  EXPECT_EQ(client.ClosedTitles(),
            (std::vector<std::wstring>{L"确认", L"确认"}));
}

TEST(SimClientTest, LogsClosesInOrderAndExitsWhenAllAreClosed) {
  SimClient client({{L"QufPanelWnd", L"甲", 640, 480, true},
                    {L"QufPanelWnd", L"乙", 640, 480, true},
                    {L"QufPanelWnd", L"丙", 640, 480, true}});
  ASSERT_TRUE(client.started());
  for (const wchar_t* title : {L"丙", L"甲", L"乙"}) {
    PostMessageW(client.HandleOf(title), WM_CLOSE, 0, 0);
  }
  DWORD exit_code = 1;
  ASSERT_TRUE(client.process().WaitForExit(5000, &exit_code));
  EXPECT_EQ(exit_code, 0u);
  EXPECT_EQ(client.ClosedTitles(),
            (std::vector<std::wstring>{L"丙", L"甲", L"乙"}));
}

// A client that cannot start says why in the test's own failure message:
// its exit code and what it wrote.
TEST(SimClientTest, AFailedStartSaysWhy) {
  SimClient client({{L"QufPanelWnd", L"零宽", 0, 480, true}});
  testing::AssertionResult started = client.started();
  ASSERT_FALSE(started);
  const std::string message = started.message();
  EXPECT_NE(message.find("ended with exit code 3"), std::string::npos)
      << message;
  EXPECT_NE(message.find("simclient: "), std::string::npos) << message;
  EXPECT_NE(message.find("bad window line"), std::string::npos) << message;
}

TEST(SimClientTest, ChurnReplacesWindowsUnderNewHandles) {
  SimClient client({{L"QufPanelWnd", L"甲", 640, 480, true},
                    {L"QufPanelWnd", L"乙", 640, 480, true}},
                   {20, false});
  ASSERT_TRUE(client.started());
  HWND first = client.HandleOf(L"甲");
  ASSERT_TRUE(WaitUntil(
      [&] {
        HWND now = client.HandleOf(L"甲");
        return now != nullptr && now != first;
      },
      2000));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(client.Windows().size(), 2u);
}

}  // namespace
}  // namespace corvantis::e2e
