// The TCP/IP device: guest channels mapped onto host sockets through host-call group $A.
#pragma once

#include "core/machine_parts.h"

#include <cstddef>

// Start-up step: installs the host calls and starts the host socket library. False when
// sockets cannot be used; the device then refuses every open, and the machine goes on.
bool ipStart();
// Shut-down step: closes every socket still open and removes the host calls.
void ipShutDown();

// Objects currently open (for tests and diagnosis).
size_t ipOpenObjectCount();

// The device as a part of the machine.
MachinePart ipPart();
