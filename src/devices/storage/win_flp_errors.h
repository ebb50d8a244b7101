// Host errno values as guest error codes, for the container and floppy drives.
#pragma once

#include <cstdint>

// The guest code for `error` (an errno value); an unknown value gives HostFailure and
// logs its number.
int32_t diskGuestError(int error);
