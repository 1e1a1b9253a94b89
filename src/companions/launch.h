// Starting the programs that live beside Corvantis: the updater at start,
// another client instance, and the download page.
#pragma once

#include "platform/shell_services.h"
#include "platform/window_system.h"

namespace corvantis {

struct CompanionServices {
  WindowSystem& windows;
  FileLookup& files;
  MessageBoxService& boxes;
};

// One program beside Corvantis and what to say when it is missing.
struct Companion {
  const char16_t* file_name;  // begins with "\"
  const char16_t* parameters;
  const char16_t* stored_missing_message;
};

extern const Companion kUpdater;
extern const Companion kClient;

// The site that serves the download page.
extern const char16_t kDownloadHost[];

// Starts the companion hidden with the panel as owner, or, when it is
// missing, tells the user so in an information box.
void LaunchCompanion(CompanionServices& services, WindowHandle panel,
                     const Companion& companion);

// Hands the download page to the default browser through the command
// interpreter.
void OpenDownloadPage(WindowSystem& windows);

}  // namespace corvantis
