// Clicks a button of the running panel, as a user would, once the panel is
// up: demo_click.exe CAPTION [TIMEOUT_MS]. Exits 0 when clicked.
#include <windows.h>

#include <string>

namespace {

struct Search {
  std::wstring caption;
  HWND found = nullptr;
};

BOOL CALLBACK FindButton(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  wchar_t text[256] = {};
  ::GetWindowTextW(child, text, 256);
  if (search->caption == text) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const DWORD timeout = argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : 20000;
  const DWORD start = ::GetTickCount();
  HWND panel = nullptr;
  while (::GetTickCount() - start < timeout) {
    panel = ::FindWindowW(nullptr, L"Corvantis");
    DWORD_PTR result = 0;
    if (panel != nullptr && ::IsWindowVisible(panel) &&
        ::SendMessageTimeoutW(panel, WM_NULL, 0, 0, SMTO_BLOCK, 1000,
                              &result)) {
      break;
    }
    panel = nullptr;
    ::Sleep(50);
  }
  if (panel == nullptr) return 1;
  Search search{argv[1]};
  ::EnumChildWindows(panel, FindButton, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return 1;
  ::PostMessageW(panel, WM_COMMAND,
                 MAKEWPARAM(::GetDlgCtrlID(search.found), BN_CLICKED),
                 reinterpret_cast<LPARAM>(search.found));
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(panel, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result);
  return 0;
}
