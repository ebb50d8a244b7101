// Drive error numbers (platform/cd_drive.h) as guest error codes.
#pragma once

#include <cstdint>

// 0 stays 0; every number without a guest meaning of its own becomes -1 (not complete).
int32_t cdGuestError(int driveError);
