// The presentation back end: the host side of drawing the converted guest screen. The
// window program's back ends (src/ui) implement it; without one the headless back end
// stands in, which draws into a host-memory frame.
//
// Threads: init and cleanup run at display start-up and shut-down; setWindowMode,
// cleanupMode and resize on the window thread; lock, unlock and present on the update
// thread. Every call but present is made under the presentation lock; lock and unlock
// also under the screen lock.
#pragma once

#include "display/frame_source.h"
#include "display/pixel_formats.h"

#include <mutex>
#include <string>
#include <vector>

struct ClientSize {
    unsigned width = 0, height = 0;
};

class DisplayBackEnd {
public:
    virtual ~DisplayBackEnd() = default;

    // Creates the host objects; afterwards hostFormat() and stretchCapable() hold. False
    // abandons start-up (or leaves the display not ready after a display change); the
    // back end has shown its message.
    virtual bool init() = 0;
    virtual void cleanup() = 0;
    // Sets up for a client area of `client` showing a guest screen of the given size.
    virtual bool setWindowMode(ClientSize client, unsigned guestWidth, unsigned guestHeight) = 0;
    // The client area changed size (mode unchanged).
    virtual bool resize(ClientSize client) = 0;
    // Releases what setWindowMode created.
    virtual void cleanupMode() = 0;
    // Gives the surface the update converts into (guest size, host format). False when
    // there is none to be had now (the update then keeps its marks for later).
    virtual bool lock(HostSurface& surface) = 0;
    // Between lock and unlock: where the pass converted, or `whole` for a present asked
    // for without a conversion. A back end that always shows everything ignores it.
    virtual void noteChanged(const ChangedArea&) {}
    virtual void unlock() = 0;
    // Shows the surface in the window.
    virtual void present() = 0;

    virtual HostFormat hostFormat() const = 0;
    virtual bool stretchCapable() const = 0;
};

// The stand-in back end: a host-memory frame and a list of the calls made, in order
// ("init", "set window mode 640x480 for 640x480", ...), so that tests can see them.
class HeadlessBackEnd : public DisplayBackEnd {
public:
    bool init() override;
    void cleanup() override;
    bool setWindowMode(ClientSize client, unsigned guestWidth, unsigned guestHeight) override;
    bool resize(ClientSize client) override;
    void cleanupMode() override;
    bool lock(HostSurface& surface) override;
    void unlock() override;
    void present() override;
    HostFormat hostFormat() const override { return format_; }
    bool stretchCapable() const override { return true; }

    // The format a headless host offers (set before init).
    void setHostFormat(HostFormat format) { format_ = format; }

    std::vector<std::string> requests() const;
    void clearRequests();
    // The picture as converted into the surface so far.
    HeadlessFrame& frame() { return frame_; }

private:
    void record(std::string text);

    HostFormat format_ = HostFormat::Bgr0;
    HeadlessFrame frame_;
    mutable std::mutex requestLock_;
    std::vector<std::string> requests_;
};
