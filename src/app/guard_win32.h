// The guard: a second process of Corvantis.exe that waits for the panel
// process to end, however it ends, and then shows again every window that
// panel left hidden.
#pragma once

#include <optional>

#include "app/panel.h"
#include "platform/window_system.h"

namespace corvantis {

// Starts the guard of this panel process. A failure leaves the panel as it
// was: the next start still shows what the panel leaves hidden.
class GuardOfPanel final : public GuardStarter {
 public:
  explicit GuardOfPanel(PanelProcess panel) : panel_(panel) {}
  void StartGuard() override;

 private:
  PanelProcess panel_;
};

// Runs the guard, or its starter, when the command line asks for one; the
// exit code. Nothing for any other command line: that is the panel's.
std::optional<int> RunGuardCommand(const wchar_t* arguments);

}  // namespace corvantis
