// Host file-system failures as guest error codes: one table keyed on the host's error
// numbers, shared by every storage device.
#pragma once

#include <cstdint>

// The guest code for a host error number (positive errno). An error the table does not
// know gives HostFailure and is logged whatever the debug mask is.
int32_t guestErrorFromHost(int hostError);
