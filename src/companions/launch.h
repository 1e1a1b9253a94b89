// Starting the programs that live beside Corvantis: the updater at start,
// another client instance, and the download page.
#pragma once

#include "platform/window_system.h"

namespace corvantis {

class FileLookup {
 public:
  virtual ~FileLookup() = default;
  // True when path names a file that is neither hidden, a system file nor a
  // directory.
  virtual bool IsNormalFile(const Text& path) = 0;
  // The running program's directory: no trailing separator, except a drive
  // root, which keeps its "\".
  virtual Text ProgramDirectory() = 0;
};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // A modal information box (icon and one OK button); returns once closed.
  virtual void ShowInformation(const Text& title, const Text& prompt) = 0;
};

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
