// The keyboard and the mouse as one part of the machine (the keyboard's slot): the ring,
// the lock state and the INP operations of both.
#pragma once

#include "core/machine_parts.h"

MachinePart inputPart();
