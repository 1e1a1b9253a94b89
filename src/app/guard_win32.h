// The guard: a second process of Corvantis.exe that waits for the panel
// process to end, however it ends, and then shows again every window that
// panel left hidden.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/panel.h"
#include "platform/window_system.h"

namespace corvantis {

// The guard of this panel process. Without one the panel works as well:
// the next start still shows what the panel leaves hidden.
class GuardOfPanel final : public GuardStarter {
 public:
  explicit GuardOfPanel(PanelProcess panel);
  GuardOfPanel(const GuardOfPanel&) = delete;
  GuardOfPanel& operator=(const GuardOfPanel&) = delete;
  ~GuardOfPanel();

  GuardState State() override;
  GuardState Start() override;
  // True when the guard is set up and waits. Allocates nothing, for the
  // crash path.
  bool Waits() const;

 private:
  void ForgetStarter();

  PanelProcess panel_;
  Text name_;  // of the object the guard makes when it is ready
  // The starter of a start under way; it ends once the guard is ready or
  // has failed, and tells which.
  HANDLE starter_ = nullptr;
  // What the starter of the running guard told.
  bool in_panels_job_ = false;
};

// Runs the guard, or its starter, when the command line asks for one; the
// exit code. Nothing for any other command line: that is the panel's.
std::optional<int> RunGuardCommand(const wchar_t* arguments);

}  // namespace corvantis
