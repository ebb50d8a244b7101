// The container drives WIN1-WIN8 and the floppy drives FLP1-FLP2 as parts of the machine.
#pragma once

#include "core/machine_parts.h"

MachinePart winPart();
MachinePart flpPart();
