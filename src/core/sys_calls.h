// Host-call group SYS ($A0xx): general services of the machine.
#pragma once

#include <cstdint>

int32_t sysGroup(unsigned sub, unsigned low);

// Individual operations, for the dispatcher's table and for tests. n = register number.
int32_t sysQuit(unsigned n);
