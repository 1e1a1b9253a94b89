#include "platform/companion_services_win32.h"

#include <windows.h>

#include <cstdint>

#include "platform/win32_handles.h"

namespace corvantis {

bool Win32FileLookup::IsNormalFile(const Text& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path));
  constexpr DWORD kNotNormal =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & kNotNormal) == 0;
}

Text Win32FileLookup::ProgramDirectory() {
  // The program may sit deeper than MAX_PATH allows: grow the buffer until
  // the whole path fits (a cut path fills the buffer exactly).
  Text path(MAX_PATH, u'\0');
  DWORD length = 0;
  for (;;) {
    const auto size = static_cast<DWORD>(path.size());
    length = GetModuleFileNameW(nullptr, Wide(path), size);
    if (length < size) break;
    path.resize(path.size() * 2);
  }
  path.resize(length);
  const std::size_t separator = path.find_last_of(u'\\');
  if (separator == Text::npos) return Text();
  // A drive root ("C:\", "\\?\C:\") keeps its separator.
  const bool drive_root = separator > 0 && path[separator - 1] == u':';
  path.resize(drive_root ? separator + 1 : separator);
  return path;
}

void Win32MessageBoxService::ShowInformation(const Text& title,
                                             const Text& prompt) {
  const auto owner = reinterpret_cast<HWND>(static_cast<std::intptr_t>(owner_));
  MessageBoxW(owner, Wide(prompt), Wide(title), MB_ICONINFORMATION | MB_OK);
}

}  // namespace corvantis
