// The host-directory device: host directories as guest drives DOS1-DOS8, reached through
// the host-call group DOS.
#pragma once

#include <cstdint>
#include <string>

// Start-up step: the empty handle table and the group's operations. Never fails the
// machine (without memory the table simply has no room).
bool dosStart();
// Shut-down step: closes every host file still open and releases the table.
void dosShutDown();

// Gives every drive whose base directory is empty a folder of its own under the user's
// data folder (made when missing), so that a first run needs no set-up.
void dosFillDefaultBaseDirectories();

// The folder a drive gets by default ("" when the user has no data folder).
std::string dosDefaultBaseDirectory(int drive);
