// The toggle state of the host keyboard's three lock keys, as the keyboard's lights show
// it. Read from the X server's keyboard extension; unavailable elsewhere (Wayland without
// X, no display), where the keyboard follows the lock keys from its own key events.
#pragma once

#include <optional>

struct HostLockKeys {
    bool numLock = false;
    bool capsLock = false;
    bool scrollLock = false;
    bool operator==(const HostLockKeys&) const = default;
};

// Any thread. Nothing when the host cannot tell (the caller keeps its own idea).
std::optional<HostLockKeys> hostLockKeys();

// Closes the connection that hostLockKeys opened (shut-down).
void hostLockKeysClose();
