// The file system and message boxes on Windows.
#pragma once

#include "platform/shell_services.h"

namespace corvantis {

class Win32FileLookup : public FileLookup {
 public:
  bool IsNormalFile(const Text& path) override;
  Text ProgramDirectory() override;
};

class Win32MessageBoxService : public MessageBoxService {
 public:
  // The window the boxes belong to and keep disabled while they are open;
  // 0 for none.
  void SetOwner(WindowHandle owner) { owner_ = owner; }
  void ShowInformation(const Text& title, const Text& prompt) override;

 private:
  WindowHandle owner_ = 0;
};

}  // namespace corvantis
