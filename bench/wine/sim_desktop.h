// The desktops the actions are measured on: simulated clients
// (simclient.exe, from this program's folder) with their windows up.
#pragma once

#include <string>
#include <vector>

#include "harness/harness.h"

namespace corvantis::bench {

inline constexpr wchar_t kLobbyTitle[] = L"QQ游戏";

// One simulated client with count windows, every fifth of them a lobby and
// the others games, or, when clients is false, windows of another program.
// name tells its files apart from those of other clients. True once all its
// windows are visible.
bool StartClient(e2e::Process& process, const std::wstring& directory,
                 const std::wstring& name, bool clients, int count);
bool StartClients(e2e::Process& process, const std::wstring& directory,
                  int count);
// count windows of other programs, spread over as many processes as given.
bool StartOthers(std::vector<e2e::Process>& processes,
                 const std::wstring& directory, int count);

}  // namespace corvantis::bench
