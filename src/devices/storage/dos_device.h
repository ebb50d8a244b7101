// The host-directory device: host directories as guest drives DOS1-DOS8, reached through
// the host-call group DOS.
#pragma once

#include "core/machine_parts.h"

#include <cstdint>
#include <string>

// Start-up step: the empty handle table and the group's operations. Never fails the
// machine (without memory the table simply has no room).
bool dosStart();
// Shut-down step: closes every host file still open and releases the table.
void dosShutDown();

// The device as a part of the machine.
MachinePart dosPart();
