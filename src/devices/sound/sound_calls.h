// The SND host calls ($A7xy): beeper, sampled sound and the two sound chips.
#pragma once

#include "core/machine_parts.h"

void soundInstallHostCalls();
void soundRemoveHostCalls();

// The sound part of the machine: settings in, engine started, calls installed.
MachinePart soundPart();
