// Stands in for a companion program (the updater or the client) beside
// Corvantis. It starts no window: it appends one UTF-8 line to the file
// named by CORVANTIS_STUB_LOG (if set) and ends at once:
//   <its own path><TAB><show command><TAB><command line>
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(),
                                         static_cast<int>(text.size()), nullptr,
                                         0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                        out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t log_path[MAX_PATH * 4] = {};
  if (::GetEnvironmentVariableW(L"CORVANTIS_STUB_LOG", log_path,
                                MAX_PATH * 4) == 0) {
    return 0;
  }
  wchar_t self[MAX_PATH * 4] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  ::GetStartupInfoW(&startup);
  const int show =
      (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
  const std::string line = Utf8(self) + "\t" + std::to_string(show) + "\t" +
                           Utf8(::GetCommandLineW()) + "\n";
  HANDLE log = ::CreateFileW(log_path, FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written,
                nullptr);
    ::CloseHandle(log);
  }
  return 0;
}
