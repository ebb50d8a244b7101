// What the screen needs from the window: the monitors, placement, the mode requests of
// the guest and its window requests. The window program implements it (src/ui); without
// one a recording window stands in, which remembers every request so that tests can see
// what was asked. How the picture gets into the window is the back end's business
// (display/display_back_end.h).
#pragma once

#include "display/display_back_end.h"

#include <mutex>
#include <string>
#include <vector>

class DisplayWindow {
public:
    virtual ~DisplayWindow() = default;

    // The largest width and height among the host's monitors.
    virtual ClientSize monitorLimits() const = 0;

    // Processor thread: runs screenApplyMode on the window thread and returns when it has
    // finished (the initialisation event).
    virtual void applyModeAndWait() = 0;

    // Window thread, during screenApplyMode under both display locks: places the window
    // for the current guest size and returns its client size.
    virtual ClientSize placeWindow() = 0;

    // Window requests of the guest (processor thread; they do not wait).
    virtual void maximise() = 0;
    virtual void minimise() = 0;
    virtual void restore() = 0;
    virtual void setClientSize(unsigned width, unsigned height) = 0;
};

// The stand-in window: no host window at all.
class RecordingWindow : public DisplayWindow {
public:
    // What a headless host offers: one monitor of this size.
    static constexpr ClientSize DefaultMonitor{1920, 1080};

    ClientSize monitorLimits() const override { return monitor_; }
    void applyModeAndWait() override;
    ClientSize placeWindow() override;
    void maximise() override { record("maximise"); }
    void minimise() override { record("minimise"); }
    void restore() override { record("restore"); }
    void setClientSize(unsigned width, unsigned height) override;

    void setMonitorLimits(ClientSize size) { monitor_ = size; }

    // The requests so far, in order ("apply mode", "place window", "maximise", ...).
    std::vector<std::string> requests() const;
    void clearRequests();

private:
    void record(std::string text);

    ClientSize monitor_ = DefaultMonitor;
    mutable std::mutex requestLock_;
    std::vector<std::string> requests_;
};
