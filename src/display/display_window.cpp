#include "display/display_window.h"

#include "display/display.h"
#include "display/screen_state.h"

namespace {
std::string sizeText(unsigned w, unsigned h) { return std::to_string(w) + "x" + std::to_string(h); }
}  // namespace

void RecordingWindow::applyModeAndWait()
{
    // There is no window thread: the request is served on the caller's thread.
    record("apply mode");
    screenApplyMode();
}

ClientSize RecordingWindow::placeWindow()
{
    record("place window");
    return {guestScreen.width, guestScreen.height};
}

void RecordingWindow::setClientSize(unsigned width, unsigned height)
{
    record("client size " + sizeText(width, height));
}

std::vector<std::string> RecordingWindow::requests() const
{
    std::lock_guard lock(requestLock_);
    return requests_;
}

void RecordingWindow::clearRequests()
{
    std::lock_guard lock(requestLock_);
    requests_.clear();
}

void RecordingWindow::record(std::string text)
{
    std::lock_guard lock(requestLock_);
    requests_.push_back(std::move(text));
}
