// What the guard decides: the guard of a panel process waits for it to
// end and then shows again every window it left hidden. The Win32 side
// only opens, asks and waits.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace corvantis {

// The guard's hold on the process its command line names.
class GuardedProcess {
 public:
  virtual ~GuardedProcess() = default;
  // Opens the process that now runs under the id, to wait for it; false
  // when it cannot be opened, whatever the reason.
  virtual bool Open(std::uint32_t process_id) = 0;
  // Of the opened process: its start as marks name it; 0 once it has
  // ended.
  virtual std::uint32_t Start() = 0;
  // Whether the opened process runs this very program.
  virtual bool RunsThisProgram() = 0;
  // Makes this the one guard of panel, which also tells the panel that it
  // is ready; false when there is one already.
  virtual bool BecomeOnlyGuard(PanelProcess panel) = 0;
  // Returns once the opened process has ended.
  virtual void WaitForEnd() = 0;
};

// Guards panel; the exit code: 0 once the windows marked as hidden by it
// have been shown, 1 when the process is no panel of this program or has
// a guard already.
int GuardPanel(WindowSystem& windows, GuardedProcess& process,
               PanelProcess panel);

}  // namespace corvantis
