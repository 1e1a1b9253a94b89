// The file system and the message boxes, as the companion launches and the
// panel need them.
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

}  // namespace corvantis
