// Corvantis.exe starting the programs that live beside it: the updater at
// start, another client instance on Command3 and the download page on
// Command4. The companions are copies of companion_stub.exe, which record
// how they were started; Wine's browser is a recorder that opens nothing.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <iostream>
#include <string>
#include <utility>

#include "app/form1_win32.h"
#include "harness/harness.h"
#include "harness/sim_client.h"

namespace corvantis::e2e {
namespace {

constexpr DWORD kWaitMs = 5000;
// How long a test watches for a start or a box that must not come.
constexpr DWORD kSettleMs = 1000;

constexpr wchar_t kUpdater[] = L"自动升级.exe";
constexpr wchar_t kClient[] = L"QQGame.exe";
constexpr wchar_t kUpdaterMissing[] =
    L"找不到QQ游戏的自动升级程序“自动升级.exe”，请把Corvantis放到QQ游戏客户端"
    L"文件夹里，与QQGame.exe放在一起，然后重新运行";
constexpr wchar_t kClientMissing[] =
    L"找不到QQ游戏客户端程序“QQGame.exe”，请把Corvantis放到QQ游戏客户端文件夹"
    L"里，与QQGame.exe放在一起，然后再试";
constexpr wchar_t kDownloadUrl[] = L"http://download.ostrel.net/tamo.asp";

// One start of a companion, as the stub saw it.
struct Launch {
  std::wstring path;     // its own, as the system reports it
  std::wstring program;  // as its command line names it
  int show_command = -1;
  std::wstring parameters;
};

// Splits a command line into the program's name (unquoted) and what
// follows it.
std::pair<std::wstring, std::wstring> SplitCommandLine(
    const std::wstring& command_line) {
  const bool quoted = !command_line.empty() && command_line[0] == L'"';
  size_t end = quoted ? command_line.find(L'"', 1) : command_line.find(L' ');
  if (end == std::wstring::npos) end = command_line.size();
  std::wstring program =
      quoted ? command_line.substr(1, end - 1) : command_line.substr(0, end);
  size_t start = command_line.find_first_not_of(L' ', end + (quoted ? 1 : 0));
  return {program,
          start == std::wstring::npos ? L"" : command_line.substr(start)};
}

// The text of a message box: its one static control that is not the icon.
std::wstring BoxText(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == L"Static" &&
        (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON &&
        !WindowTitle(child).empty()) {
      return WindowTitle(child);
    }
  }
  return L"";
}

// The number of message boxes the process shows.
int BoxCount(DWORD process_id) {
  int count = 0;
  for (HWND window : TopLevelWindows(process_id)) {
    if (ClassName(window) == L"#32770" && IsWindowVisible(window)) ++count;
  }
  return count;
}

// Every visible top-level window, in handle order.
std::vector<HWND> VisibleWindows() {
  std::vector<HWND> visible;
  for (HWND window : TopLevelWindows()) {
    if (IsWindowVisible(window)) visible.push_back(window);
  }
  std::sort(visible.begin(), visible.end());
  return visible;
}

// Wine's file name of a Windows path (it maps drives through its own
// directory of symbolic links); empty outside Wine.
std::string UnixPathOf(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  auto unix_file_name =
      reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(GetProcAddress(
          GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unix_file_name == nullptr) return std::string();
  char* name = unix_file_name(path.c_str());
  if (name == nullptr) return std::string();
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// A free drive letter mapped to a folder while this object lives: on
// Windows with DefineDosDeviceW, as subst does. Wine's file lookups ignore
// names made so and CreateSymbolicLinkW does nothing, so under Wine the
// drive is defined through Wine's mount manager, as its configuration tool
// does.
class MappedDrive {
 public:
  explicit MappedDrive(const std::wstring& folder)
      : unix_path_(UnixPathOf(folder)) {
    DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'R'; letter <= L'Y'; ++letter) {
      if ((used & (1u << (letter - L'A'))) == 0) {
        // The folder without its trailing backslash.
        const bool mapped =
            unix_path_.empty()
                ? DefineDosDeviceW(
                      0, std::wstring{letter, L':'}.c_str(),
                      folder.substr(0, folder.size() - 1).c_str()) != 0
                : Define(letter, unix_path_.c_str());
        if (mapped) letter_ = letter;
        return;
      }
    }
  }
  ~MappedDrive() {
    if (letter_ == 0) return;
    if (unix_path_.empty()) {
      DefineDosDeviceW(DDD_REMOVE_DEFINITION,
                       std::wstring{letter_, L':'}.c_str(), nullptr);
    } else {
      Define(letter_, nullptr);
    }
  }
  MappedDrive(const MappedDrive&) = delete;
  MappedDrive& operator=(const MappedDrive&) = delete;

  // "R:\"; empty if no drive could be mapped.
  std::wstring Root() const {
    return letter_ == 0 ? L"" : std::wstring{letter_, L':', L'\\'};
  }

 private:
  // Wine's request to define (or, with no path, remove) a drive letter.
  struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset;
    USHORT device_offset;
    USHORT label_offset;
  };
  static constexpr DWORD kDefineUnixDrive =
      CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

  static bool Define(wchar_t letter, const char* unix_path) {
    HANDLE manager = CreateFileW(
        L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    size_t path_size = unix_path == nullptr ? 0 : std::strlen(unix_path) + 1;
    std::string request(sizeof(UnixDrive) + path_size, '\0');
    UnixDrive drive = {};
    drive.size = static_cast<ULONG>(request.size());
    drive.type = unix_path == nullptr ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
    drive.letter = static_cast<WCHAR>(towlower(letter));
    if (unix_path != nullptr) {
      drive.mount_point_offset = sizeof(UnixDrive);
      std::memcpy(&request[sizeof(UnixDrive)], unix_path, path_size);
    }
    std::memcpy(request.data(), &drive, sizeof drive);
    DWORD returned = 0;
    bool ok = DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                              static_cast<DWORD>(request.size()), nullptr, 0,
                              &returned, nullptr) != 0;
    CloseHandle(manager);
    return ok;
  }

  std::string unix_path_;  // empty outside Wine
  wchar_t letter_ = 0;
};

// The file Wine's browser records each URL in, as a Windows path (Wine
// maps / to Z:\); empty when the run has none.
std::wstring BrowserLog() {
  wchar_t path[MAX_PATH];
  DWORD length =
      GetEnvironmentVariableW(L"CORVANTIS_BROWSER_LOG", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring log = L"Z:" + std::wstring(path, length);
  for (wchar_t& c : log) {
    if (c == L'/') c = L'\\';
  }
  return log;
}

class CompanionsTest : public testing::Test {
 protected:
  void SetUp() override {
    // Corvantis passes its environment on to what it starts.
    ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANTIS_STUB_LOG",
                                        (scratch_ + L"stub.log").c_str()));
  }

  void TearDown() override {
    HWND form = Form();
    if (form != nullptr) PostMessageW(form, WM_CLOSE, 0, 0);
    panel_.WaitForExit(kWaitMs);
    panel_.Kill();
    // The panel's guard ends with it; its exe is in the folder.
    if (!image_.empty()) AllOfImageEnd(image_, kWaitMs);
    // The program folder first: it may lie inside the scratch folder.
    for (const std::wstring& folder : {folder_, scratch_}) {
      RemoveDirectoryW((folder + kClient).c_str());
      RemoveScratchDirectory(folder);
    }
  }

  // Makes the program folder a new subfolder of the scratch folder.
  void UseSubfolder(const std::wstring& name) {
    folder_ = scratch_ + name + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  }

  // Puts Corvantis.exe and the named stand-ins into the program folder.
  void Install(const std::vector<std::wstring>& companions) {
    ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"Corvantis.exe").c_str(),
                          (folder_ + L"Corvantis.exe").c_str(), FALSE));
    for (const std::wstring& name : companions) {
      ASSERT_NO_FATAL_FAILURE(InstallStandIn(folder_ + name));
    }
  }

  // A stand-in that records its start, at path.
  void InstallStandIn(const std::wstring& path) {
    ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"companion_stub.exe").c_str(),
                          path.c_str(), FALSE));
  }

  // Starts the Corvantis.exe of program_folder (the program folder unless
  // given), in working_folder (the same unless given).
  void StartPanel(std::wstring program_folder = std::wstring(),
                  std::wstring working_folder = std::wstring()) {
    if (program_folder.empty()) program_folder = folder_;
    if (working_folder.empty()) working_folder = program_folder;
    image_ = program_folder + L"Corvantis.exe";
    ASSERT_TRUE(panel_.Start(image_, {}, working_folder));
  }

  // Starts the panel with its updater beside it and waits until it shows
  // itself and has started the updater.
  void StartWithUpdater(const std::wstring& program_folder = std::wstring(),
                        const std::wstring& working_folder = std::wstring()) {
    ASSERT_NO_FATAL_FAILURE(StartPanel(program_folder, working_folder));
    ASSERT_NE(WaitForForm(), nullptr);
    ASSERT_TRUE(WaitForLaunches(1));
  }

  HWND Form() const { return FindProcessWindow(panel_.id(), kForm1ClassName); }

  HWND WaitForForm() const {
    HWND form = nullptr;
    WaitUntil(
        [&] {
          form = Form();
          return form != nullptr && IsWindowVisible(form) &&
                 Responds(form, 200);
        },
        kWaitMs);
    return form;
  }

  HWND Button(int id) const { return GetDlgItem(Form(), id); }

  std::vector<Launch> Launches() const {
    std::vector<Launch> launches;
    for (std::wstring line : SplitLines(ReadUtf8File(scratch_ + L"stub.log"))) {
      size_t first = line.find(L'\t');
      size_t second = line.find(L'\t', first + 1);
      if (second == std::wstring::npos) continue;
      auto [program, parameters] = SplitCommandLine(line.substr(second + 1));
      launches.push_back(
          {line.substr(0, first), program,
           _wtoi(line.substr(first + 1, second - first - 1).c_str()),
           parameters});
    }
    return launches;
  }

  bool WaitForLaunches(size_t count) const {
    return WaitUntil([&] { return Launches().size() >= count; }, kWaitMs);
  }

  // Once the panel has had time to start anything more, the number of
  // companions started so far.
  size_t SettledLaunchCount() const {
    Sleep(Scaled(kSettleMs));
    return Launches().size();
  }

  // Clicks Command3 while its companion is missing: the box that says so
  // comes up, with the panel as its owner, and is answered.
  void ExpectMissingClientBox() {
    PostClick(Button(kCommand3));
    HWND box = WaitForMessageBox(panel_.id(), kWaitMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowTitle(box), L"系统提示");
    EXPECT_EQ(GetWindow(box, GW_OWNER), Form());
    EXPECT_EQ(BoxText(box), kClientMissing);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return BoxCount(panel_.id()) == 0; }, kWaitMs));
  }

  std::wstring scratch_ = MakeScratchDirectory();
  std::wstring folder_ = scratch_;
  std::wstring image_;  // the Corvantis.exe started
  Process panel_;
};

TEST_F(CompanionsTest, MissingUpdaterIsReportedBeforeThePanelShows) {
  // The client beside it must not be started in the updater's place.
  ASSERT_NO_FATAL_FAILURE(Install({kClient}));
  ASSERT_NO_FATAL_FAILURE(StartPanel());
  HWND box = WaitForMessageBox(panel_.id(), kWaitMs);
  ASSERT_NE(box, nullptr);
  HWND form = Form();
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(IsWindowVisible(form));
  EXPECT_EQ(ClassName(box), L"#32770");
  EXPECT_EQ(WindowTitle(box), L"系统提示");
  EXPECT_EQ(GetWindow(box, GW_OWNER), form);
  EXPECT_EQ(BoxText(box), kUpdaterMissing);
  // The box keeps the panel disabled while it is open.
  EXPECT_FALSE(IsWindowEnabled(form));

  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_EQ(WaitForForm(), form);
  EXPECT_TRUE(IsWindowEnabled(form));
  EXPECT_EQ(SettledLaunchCount(), 0u);
  EXPECT_EQ(BoxCount(panel_.id()), 0);
}

class UpdaterFolderTest : public CompanionsTest,
                          public testing::WithParamInterface<const wchar_t*> {};

TEST_P(UpdaterFolderTest, UpdaterStartsOnceHiddenWithItsParameters) {
  if (*GetParam() != L'\0') {
    ASSERT_NO_FATAL_FAILURE(UseSubfolder(GetParam()));
  }
  ASSERT_NO_FATAL_FAILURE(Install({kUpdater}));
  ASSERT_NO_FATAL_FAILURE(StartWithUpdater());
  EXPECT_EQ(SettledLaunchCount(), 1u);
  std::vector<Launch> launches = Launches();
  ASSERT_FALSE(launches.empty());
  EXPECT_EQ(launches[0].path, folder_ + kUpdater);
  EXPECT_EQ(launches[0].program, folder_ + kUpdater);
  EXPECT_EQ(launches[0].parameters, L"25-131228-Corvantis");
  EXPECT_EQ(launches[0].show_command, SW_HIDE);
  EXPECT_EQ(BoxCount(panel_.id()), 0);
}

// The last holds a character outside code page 936.
INSTANTIATE_TEST_SUITE_P(Folders, UpdaterFolderTest,
                         testing::Values(L"", L"测试 文件夹",
                                         L"客户端目录 한"));

TEST_F(CompanionsTest, EachClickWithoutTheClientSaysItIsMissing) {
  ASSERT_NO_FATAL_FAILURE(Install({kUpdater}));
  ASSERT_NO_FATAL_FAILURE(StartWithUpdater());
  ASSERT_NO_FATAL_FAILURE(ExpectMissingClientBox());
  ASSERT_NO_FATAL_FAILURE(ExpectMissingClientBox());
  EXPECT_EQ(SettledLaunchCount(), 1u);
}

TEST_F(CompanionsTest, EachClickStartsAnotherClientHidden) {
  ASSERT_NO_FATAL_FAILURE(Install({kUpdater, kClient}));
  ASSERT_NO_FATAL_FAILURE(StartWithUpdater());
  for (int i = 0; i < 3; ++i) PostClick(Button(kCommand3));
  ASSERT_TRUE(WaitForLaunches(4));
  EXPECT_EQ(SettledLaunchCount(), 4u);
  std::vector<Launch> launches = Launches();
  int clients = 0;
  for (const Launch& launch : launches) {
    if (launch.path != folder_ + kClient) continue;
    ++clients;
    EXPECT_EQ(launch.parameters, L"");
    EXPECT_EQ(launch.show_command, SW_HIDE);
  }
  EXPECT_EQ(clients, 3);
  EXPECT_EQ(BoxCount(panel_.id()), 0);
}

TEST_F(CompanionsTest, HiddenClientCountsAsMissing) {
  ASSERT_NO_FATAL_FAILURE(Install({kUpdater, kClient}));
  ASSERT_TRUE(
      SetFileAttributesW((folder_ + kClient).c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_NO_FATAL_FAILURE(StartWithUpdater());
  ASSERT_NO_FATAL_FAILURE(ExpectMissingClientBox());
  EXPECT_EQ(SettledLaunchCount(), 1u);
}

TEST_F(CompanionsTest, DirectoryNamedLikeTheClientCountsAsMissing) {
  ASSERT_NO_FATAL_FAILURE(Install({kUpdater}));
  ASSERT_TRUE(CreateDirectoryW((folder_ + kClient).c_str(), nullptr));
  ASSERT_NO_FATAL_FAILURE(StartWithUpdater());
  ASSERT_NO_FATAL_FAILURE(ExpectMissingClientBox());
  EXPECT_EQ(SettledLaunchCount(), 1u);
}

TEST_F(CompanionsTest, CompanionsStartFromADriveRoot) {
  ASSERT_NO_FATAL_FAILURE(Install({kUpdater, kClient}));
  MappedDrive drive(folder_);
  const std::wstring root = drive.Root();
  ASSERT_FALSE(root.empty()) << "no drive letter could be mapped";
  ASSERT_NE(GetFileAttributesW((root + kUpdater).c_str()),
            INVALID_FILE_ATTRIBUTES);
  ASSERT_NO_FATAL_FAILURE(StartWithUpdater(root));
  PostClick(Button(kCommand3));
  ASSERT_TRUE(WaitForLaunches(2));
  EXPECT_EQ(SettledLaunchCount(), 2u);
  // The drive's root keeps its separator and the companion's name brings
  // its own: the path the panel looks up and starts has two in a row. What
  // reached the programs is shown for the record.
  std::cout << ToUtf8(ReadUtf8File(scratch_ + L"stub.log"));
  std::vector<Launch> launches = Launches();
  ASSERT_EQ(launches.size(), 2u);
  EXPECT_EQ(launches[0].program, root + L"\\" + kUpdater);
  EXPECT_EQ(launches[1].program, root + L"\\" + kClient);
  EXPECT_EQ(launches[0].path, root + kUpdater);
  EXPECT_EQ(launches[0].parameters, L"25-131228-Corvantis");
  EXPECT_EQ(launches[0].show_command, SW_HIDE);
  EXPECT_EQ(launches[1].path, root + kClient);
  EXPECT_EQ(launches[1].parameters, L"");
  EXPECT_EQ(launches[1].show_command, SW_HIDE);
  EXPECT_EQ(BoxCount(panel_.id()), 0);
  // The panel's working folder is the drive: it must end before the drive
  // goes.
  PostMessageW(Form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(panel_.WaitForExit(kWaitMs));
}

TEST_F(CompanionsTest, DownloadPageGoesToTheBrowserOncePerClick) {
  const std::wstring log = BrowserLog();
  if (log.empty() && UnixPathOf(L"C:\\").empty()) {
    GTEST_SKIP() << "on Windows: no browser here records the pages opened, "
                    "and the real one would open twice";
  }
  ASSERT_FALSE(log.empty()) << "CORVANTIS_BROWSER_LOG is not set";
  // A bare "cmd" is looked for in the program folder and the working
  // folder before the system's: stand-ins there must never run.
  ASSERT_NO_FATAL_FAILURE(UseSubfolder(L"程序"));
  ASSERT_NO_FATAL_FAILURE(Install({kUpdater, L"cmd.exe"}));
  ASSERT_NO_FATAL_FAILURE(InstallStandIn(scratch_ + L"cmd.exe"));
  ASSERT_NO_FATAL_FAILURE(StartWithUpdater(folder_, scratch_));
  // Other programs of the run may have opened pages before.
  const size_t before = SplitLines(ReadUtf8File(log)).size();
  const std::vector<HWND> shown = VisibleWindows();
  for (size_t clicks = 1; clicks <= 2; ++clicks) {
    PostClick(Button(kCommand4));
    ASSERT_TRUE(WaitUntil(
        [&] { return SplitLines(ReadUtf8File(log)).size() >= before + clicks; },
        kWaitMs))
        << "started: " << ToUtf8(ReadUtf8File(scratch_ + L"stub.log"));
  }
  Sleep(Scaled(kSettleMs));
  std::vector<std::wstring> urls = SplitLines(ReadUtf8File(log));
  urls.erase(urls.begin(), urls.begin() + before);
  EXPECT_EQ(urls, (std::vector<std::wstring>{kDownloadUrl, kDownloadUrl}));
  // Nothing came up on the screen: no browser, no command window.
  EXPECT_EQ(VisibleWindows(), shown);
  // The updater alone: neither stand-in ran.
  EXPECT_EQ(SettledLaunchCount(), 1u);
  EXPECT_EQ(BoxCount(panel_.id()), 0);
}

TEST_F(CompanionsTest, RefreshTicksDuringTheMissingClientBoxDoNoHarm) {
  SimClient client({{L"QufPanelWnd", L"QQ游戏", 1000, 700},
                    {L"QufPanelWnd", L"斗地主", 900, 650}});
  ASSERT_TRUE(client.started());
  const std::vector<HWND> tracked = {client.HandleOf(L"QQ游戏"),
                                     client.HandleOf(L"斗地主")};
  auto hidden = [&] {
    return !IsWindowVisible(tracked[0]) && !IsWindowVisible(tracked[1]);
  };
  ASSERT_NO_FATAL_FAILURE(Install({kUpdater}));
  ASSERT_NO_FATAL_FAILURE(StartWithUpdater());
  ASSERT_TRUE(WriteText(GetDlgItem(Form(), kText1), L"0.5"));
  PostClick(Button(kCommand2));
  ASSERT_TRUE(WaitUntil(
      [&] { return WindowTitle(Button(kCommand2)) == L"取消自动"; }, kWaitMs));
  ASSERT_TRUE(WaitUntil(hidden, kWaitMs));

  PostClick(Button(kCommand3));
  HWND box = WaitForMessageBox(panel_.id(), kWaitMs);
  ASSERT_NE(box, nullptr);
  // Four ticks come and go while the box waits for its answer.
  Sleep(Scaled(2000));
  EXPECT_TRUE(panel_.Running());
  EXPECT_EQ(BoxCount(panel_.id()), 1);
  EXPECT_EQ(BoxText(box), kClientMissing);
  // Each tick shows the windows for a moment and hides them again.
  EXPECT_TRUE(WaitUntil(hidden, kWaitMs));
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));

  // The panel goes on: its lists and buttons work, and closing it brings
  // every window back.
  EXPECT_TRUE(Responds(Form()));
  EXPECT_TRUE(WaitUntil(
      [&] {
        return ListBoxTexts(GetDlgItem(Form(), k大厅名称)) ==
                   std::vector<std::wstring>{L"1-QQ游戏"} &&
               ListBoxTexts(GetDlgItem(Form(), k游戏名称)) ==
                   std::vector<std::wstring>{L"1-斗地主"};
      },
      kWaitMs));
  ASSERT_TRUE(Click(Button(kCommand2)));
  EXPECT_EQ(WindowTitle(Button(kCommand2)), L"自动刷新");
  PostMessageW(Form(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(panel_.WaitForExit(kWaitMs));
  for (HWND window : tracked) {
    WindowState state = ReadWindow(window);
    EXPECT_TRUE(state.visible) << WindowTitle(window);
    EXPECT_EQ(state.rect.left, 0);
    EXPECT_EQ(state.rect.top, 0);
    EXPECT_EQ(state.rect.right, 800);
    EXPECT_EQ(state.rect.bottom, 600);
  }
  EXPECT_EQ(SettledLaunchCount(), 1u);
}

}  // namespace
}  // namespace corvantis::e2e
