// Processes as the marks on hidden windows name them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace corvantis {

// Low 32 bits of the process's creation time, never 0; 0 when it cannot be
// read. The handle needs PROCESS_QUERY_LIMITED_INFORMATION.
std::uint32_t StartTimeOf(HANDLE process);

}  // namespace corvantis
