// Folders a first run gives the host-directory drives, so that a fresh machine goes
// straight into a working guest instead of stopping at the start-up dialog's rule that
// no drive may be empty.
#pragma once

#include <string>

// The default folder of DOS`drive` (1-8): "<user data folder>/zem2/DOS<drive>"; empty
// when the host has no user data folder.
std::string defaultDosFolder(int drive);

// Gives every empty DOS1-DOS8 setting its default folder, making the folder when it is
// missing. A folder that cannot be made leaves the setting empty (logged).
void fillDefaultDosFolders();
