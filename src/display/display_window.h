// What the screen needs from the window and its presentation back end. The window front
// end implements it; without one a recording window stands in, which draws into a
// headless frame and remembers every request, so that tests can see what was asked.
#pragma once

#include "display/frame_source.h"
#include "display/pixel_formats.h"

#include <mutex>
#include <string>
#include <vector>

struct ClientSize {
    unsigned width = 0, height = 0;
};

class DisplayWindow {
public:
    virtual ~DisplayWindow() = default;

    // The host format the back end draws in, and the largest width and height among the
    // host's monitors.
    virtual HostFormat hostFormat() const = 0;
    virtual ClientSize monitorLimits() const = 0;

    // Processor thread: runs screenApplyMode on the window thread and returns when it has
    // finished (the initialisation event).
    virtual void applyModeAndWait() = 0;

    // Window-side steps of applying a mode, called by screenApplyMode on the window thread
    // under both display locks: drop the back end's mode resources, place the window
    // (returns the client size), set the back end up for client and guest size.
    virtual void dropModeResources() = 0;
    virtual ClientSize placeWindow() = 0;
    virtual bool setUpMode(ClientSize client, unsigned guestWidth, unsigned guestHeight) = 0;

    // Window requests of the guest (processor thread; they do not wait).
    virtual void maximise() = 0;
    virtual void minimise() = 0;
    virtual void restore() = 0;
    virtual void setClientSize(unsigned width, unsigned height) = 0;
};

// Installs the window (nullptr: the recording window). Before the processor runs.
void displaySetWindow(DisplayWindow* window);
DisplayWindow& displayWindow();

// The stand-in window: no host window at all.
class RecordingWindow : public DisplayWindow {
public:
    // What a headless host offers: one monitor of this size, 32-bit B, G, R, 0 pixels.
    static constexpr ClientSize DefaultMonitor{1920, 1080};

    HostFormat hostFormat() const override { return format_; }
    ClientSize monitorLimits() const override { return monitor_; }
    void applyModeAndWait() override;
    void dropModeResources() override { record("drop mode"); }
    ClientSize placeWindow() override;
    bool setUpMode(ClientSize client, unsigned guestWidth, unsigned guestHeight) override;
    void maximise() override { record("maximise"); }
    void minimise() override { record("minimise"); }
    void restore() override { record("restore"); }
    void setClientSize(unsigned width, unsigned height) override;

    void setHostFormat(HostFormat format) { format_ = format; }
    void setMonitorLimits(ClientSize size) { monitor_ = size; }

    // The requests so far, in order ("set up 640x480 for 640x480", "maximise", ...).
    std::vector<std::string> requests() const;
    void clearRequests();
    // The picture: updated from the dirty maps on demand.
    HeadlessFrame& frame() { return frame_; }

private:
    void record(std::string text);

    HostFormat format_ = HostFormat::Bgr0;
    ClientSize monitor_ = DefaultMonitor;
    HeadlessFrame frame_;
    mutable std::mutex requestLock_;
    std::vector<std::string> requests_;
};
