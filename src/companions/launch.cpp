#include "companions/launch.h"

#include "companions/messages.h"
#include "companions/unscramble.h"

namespace corvantis {

const Companion kUpdater = {u"\\自动升级.exe", u"25-131228-Corvantis",
                            kUpdaterMissingMessage};
const Companion kClient = {u"\\QQGame.exe", u"", kClientMissingMessage};

const char16_t kDownloadHost[] = u"download.ostrel.net";

void LaunchCompanion(CompanionServices& services, WindowHandle panel,
                     const Companion& companion) {
  // The directory and the name are joined as they are: a drive root gives
  // two separators in a row, which every lookup and launch accepts.
  const Text path = services.files.ProgramDirectory() + companion.file_name;
  if (!services.files.IsNormalFile(path)) {
    services.boxes.ShowInformation(
        kBoxTitle, UnscrambleMessage(companion.stored_missing_message));
    return;
  }
  services.windows.ShellExecuteW(panel, u"open", path, companion.parameters,
                                 u"",
                                 static_cast<std::int32_t>(ShowCommand::Hide));
}

void OpenDownloadPage(WindowSystem& windows) {
  // A bare "cmd" is looked for in the program's folder, which is the
  // client's, and in the working folder before the system's: the system's
  // own interpreter is named, and without it nothing is started.
  const Text system_directory = windows.GetSystemDirectoryW();
  if (system_directory.empty()) return;
  // Style 2 shows the command interpreter minimised for the moment it runs.
  windows.CreateProcessW(
      system_directory + u"\\cmd.exe",
      Text(u"cmd /c start http://") + kDownloadHost + u"/tamo.asp",
      static_cast<std::int32_t>(ShowCommand::ShowMinimized));
}

}  // namespace corvantis
