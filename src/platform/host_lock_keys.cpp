#include "platform/host_lock_keys.h"

#include <cstdlib>
#include <mutex>

#if ZEM_HAVE_XLIB
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

#if ZEM_HAVE_XLIB

namespace {

// A connection of our own: the toolkit's belongs to its thread, and this is asked from
// the processor thread too.
std::mutex connectionLock;
Display* display = nullptr;
bool tried = false;
int numIndex = -1, capsIndex = -1, scrollIndex = -1;

int indicatorIndex(const char* name)
{
    int index = -1;
    const Atom atom = XInternAtom(display, name, False);
    if (!XkbGetNamedIndicator(display, atom, &index, nullptr, nullptr, nullptr)) return -1;
    return index;
}

bool openLocked()
{
    if (display) return true;
    if (tried) return false;
    tried = true;
    if (!getenv("DISPLAY")) return false;
    int major = XkbMajorVersion, minor = XkbMinorVersion, error = 0, event = 0, reason = 0;
    display = XkbOpenDisplay(nullptr, &event, &error, &major, &minor, &reason);
    if (!display) return false;
    numIndex = indicatorIndex("Num Lock");
    capsIndex = indicatorIndex("Caps Lock");
    scrollIndex = indicatorIndex("Scroll Lock");
    if (numIndex < 0 && capsIndex < 0) {
        XCloseDisplay(display);
        display = nullptr;
        return false;
    }
    return true;
}

bool bit(unsigned state, int index) { return index >= 0 && (state >> index) & 1u; }

}  // namespace

std::optional<HostLockKeys> hostLockKeys()
{
    std::lock_guard guard(connectionLock);
    if (!openLocked()) return std::nullopt;
    unsigned state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success) return std::nullopt;
    return HostLockKeys{bit(state, numIndex), bit(state, capsIndex), bit(state, scrollIndex)};
}

void hostLockKeysClose()
{
    std::lock_guard guard(connectionLock);
    if (display) XCloseDisplay(display);
    display = nullptr;
    tried = false;
}

#else

std::optional<HostLockKeys> hostLockKeys() { return std::nullopt; }
void hostLockKeysClose() {}

#endif
