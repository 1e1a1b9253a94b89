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
  services.windows.ShellExecuteA(panel, u"open", path, companion.parameters,
                                 u"",
                                 static_cast<std::int32_t>(ShowCommand::Hide));
}

void OpenDownloadPage(WindowSystem& windows) {
  // Style 2 shows the command interpreter minimised for the moment it runs.
  windows.Shell(Text(u"cmd /c start http://") + kDownloadHost + u"/tamo.asp",
                static_cast<std::int32_t>(ShowCommand::ShowMinimized));
}

}  // namespace corvantis
