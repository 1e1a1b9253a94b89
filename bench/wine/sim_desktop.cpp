#include "sim_desktop.h"

#include <windows.h>

namespace corvantis::bench {
namespace {

constexpr DWORD kClientStartTimeoutMs = 120000;

int VisibleWindowsOf(DWORD process_id) {
  int visible = 0;
  for (HWND window : e2e::TopLevelWindows(process_id)) {
    if (IsWindowVisible(window)) ++visible;
  }
  return visible;
}

}  // namespace

bool StartClient(e2e::Process& process, const std::wstring& directory,
                 const std::wstring& name, bool clients, int count) {
  std::wstring description;
  for (int index = 0; index < count; ++index) {
    const std::wstring number = std::to_wstring(index);
    if (!clients) {
      description += L"OtherWnd\tWindow " + number + L"\t640\t480";
    } else if (index % 5 == 0) {
      description +=
          std::wstring(L"QufPanelWnd\t") + kLobbyTitle + L"\t800\t600";
    } else {
      description += L"QufPanelWnd\t游戏" + number + L"\t1024\t700";
    }
    description += L"\tvisible\tnormal\n";
  }
  const std::wstring path = directory + name + L".txt";
  if (!e2e::WriteUtf8File(path, description) ||
      !process.Start(
          e2e::ProgramDirectory() + L"simclient.exe",
          {L"--windows", path, L"--log", directory + name + L".log"})) {
    return false;
  }
  return e2e::WaitUntil([&] { return VisibleWindowsOf(process.id()) == count; },
                        kClientStartTimeoutMs);
}

bool StartClients(e2e::Process& process, const std::wstring& directory,
                  int count) {
  return StartClient(process, directory, L"clients", true, count);
}

bool StartOthers(std::vector<e2e::Process>& processes,
                 const std::wstring& directory, int count) {
  const int spread = static_cast<int>(processes.size());
  for (int index = 0; index < spread; ++index) {
    const int share = count / spread + (index < count % spread ? 1 : 0);
    if (!StartClient(processes[static_cast<std::size_t>(index)], directory,
                     L"others" + std::to_wstring(index), false, share)) {
      return false;
    }
  }
  return true;
}

}  // namespace corvantis::bench
