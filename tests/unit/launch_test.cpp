#include "companions/launch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "companions/messages.h"
#include "companions/unscramble.h"
#include "fake_controls.h"
#include "fake_desktop.h"
#include "platform/code_page.h"

#ifdef _WIN32
#include "platform/companion_services_win32.h"
#endif

namespace corvantis {
namespace {

using testing::FakeBoxes;
using testing::FakeDesktop;
using testing::FakeFiles;

const Text kUpdaterMissingText =
    u"找不到QQ游戏的自动升级程序“自动升级.exe”，请把Corvantis放到QQ游戏客户端"
    u"文件夹里，与QQGame.exe放在一起，然后重新运行";
const Text kClientMissingText =
    u"找不到QQ游戏客户端程序“QQGame.exe”，请把Corvantis放到QQ游戏客户端文件夹"
    u"里，与QQGame.exe放在一起，然后再试";
const Text kBadPeriodText =
    u"自动刷新时间必须是 0 到 86400 秒之间的数字，可以带小数，例如 0.5";

TEST(StoredMessagesTest, UnscrambleToTheirWordingThroughRealCharacters) {
  const std::pair<const char16_t*, Text> messages[] = {
      {kUpdaterMissingMessage, kUpdaterMissingText},
      {kClientMissingMessage, kClientMissingText},
      {kBadPeriodMessage, kBadPeriodText},
  };
  for (const auto& [stored, shown] : messages) {
    EXPECT_EQ(UnscrambleMessage(stored), shown);
    // Every stored character survives the trip through code page 936, so
    // no platform's table can read it differently.
    for (const char16_t character : Text(stored)) {
      const Text alone(1, character);
      EXPECT_EQ(
          DecodeCodePage(EncodeCodePage(alone, kCodePage936), kCodePage936),
          alone)
          << "U+" << std::hex << static_cast<int>(character);
    }
  }
}

class LaunchTest : public ::testing::Test {
 protected:
  static constexpr WindowHandle kPanel = 0x1234;

  FakeDesktop desktop_;
  FakeFiles files_;
  FakeBoxes boxes_;
  CompanionServices services_{desktop_, files_, boxes_};
};

TEST_F(LaunchTest, StartsAPresentCompanionHiddenFromTheProgramDirectory) {
  files_.directory = u"C:\\Games\\QQGame";
  files_.normal_files = {u"C:\\Games\\QQGame\\自动升级.exe",
                         u"C:\\Games\\QQGame\\QQGame.exe"};
  LaunchCompanion(services_, kPanel, kUpdater);
  LaunchCompanion(services_, kPanel, kClient);
  EXPECT_EQ(desktop_.calls,
            (std::vector<std::string>{
                "ShellExecuteW 4660 open C:\\Games\\QQGame\\自动升级.exe "
                "[25-131228-Corvantis] [] 0",
                "ShellExecuteW 4660 open C:\\Games\\QQGame\\QQGame.exe [] [] "
                "0"}));
  EXPECT_TRUE(boxes_.shown.empty());
}

// The lookup says "not normal" for a missing file as for a hidden one or a
// directory of that name: all three get the box and start nothing.
TEST_F(LaunchTest, TellsTheUserWhenACompanionIsNotANormalFile) {
  LaunchCompanion(services_, kPanel, kUpdater);
  LaunchCompanion(services_, kPanel, kClient);
  EXPECT_TRUE(desktop_.calls.empty());
  EXPECT_EQ(boxes_.shown, (std::vector<std::pair<Text, Text>>{
                              {u"系统提示", kUpdaterMissingText},
                              {u"系统提示", kClientMissingText}}));
  EXPECT_EQ(files_.looked_up,
            (std::vector<Text>{u"C:\\Games\\QQGame\\自动升级.exe",
                               u"C:\\Games\\QQGame\\QQGame.exe"}));
}

TEST_F(LaunchTest, EveryClickOnAMissingClientShowsTheWholeMessage) {
  for (int click = 0; click < 2; ++click) {
    LaunchCompanion(services_, kPanel, kClient);
  }
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[0].second, kClientMissingText);
  EXPECT_EQ(boxes_.shown[1].second, kClientMissingText);
}

TEST_F(LaunchTest, DriveRootKeepsBothSeparatorsForLookupAndLaunch) {
  files_.directory = u"D:\\";
  files_.normal_files = {u"D:\\\\QQGame.exe"};
  LaunchCompanion(services_, kPanel, kClient);
  EXPECT_EQ(files_.looked_up, std::vector<Text>{u"D:\\\\QQGame.exe"});
  EXPECT_EQ(desktop_.calls,
            std::vector<std::string>{
                "ShellExecuteW 4660 open D:\\\\QQGame.exe [] [] 0"});
}

TEST(DownloadPageTest, RunsTheSystemsOwnCommandInterpreterMinimized) {
  FakeDesktop desktop;
  OpenDownloadPage(desktop);
  // Without the system directory no interpreter is looked for elsewhere.
  desktop.system_directory.clear();
  OpenDownloadPage(desktop);
  EXPECT_EQ(desktop.calls,
            std::vector<std::string>{
                "CreateProcessW C:\\windows\\system32\\cmd.exe "
                "[cmd /c start http://download.ostrel.net/tamo.asp] 2"});
}

#ifdef _WIN32
TEST(Win32FileLookupTest, OnlyVisibleOrdinaryFilesAreNormal) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "corvantis_lookup_test";
  fs::remove_all(folder);
  fs::create_directories(folder / "folder.exe");
  std::ofstream(folder / "plain.exe") << "MZ";
  std::ofstream(folder / "hidden.exe") << "MZ";
  const std::string hide =
      "attrib +h \"" + (folder / "hidden.exe").string() + "\"";
  ASSERT_EQ(std::system(hide.c_str()), 0);

  Win32FileLookup files;
  EXPECT_TRUE(files.IsNormalFile((folder / "plain.exe").u16string()));
  EXPECT_FALSE(files.IsNormalFile((folder / "hidden.exe").u16string()));
  EXPECT_FALSE(files.IsNormalFile((folder / "folder.exe").u16string()));
  EXPECT_FALSE(files.IsNormalFile((folder / "missing.exe").u16string()));
  fs::remove_all(folder);
}

TEST(Win32FileLookupTest, ProgramDirectoryHoldsThisProgram) {
  Win32FileLookup files;
  const Text directory = files.ProgramDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), u'\\');
  EXPECT_TRUE(files.IsNormalFile(directory + u"\\corvantis_unit_tests.exe"));
}
#endif

}  // namespace
}  // namespace corvantis
