#include "display/display.h"

#include "config/settings.h"
#include "core/guest_write.h"
#include "log/log.h"
#include "base/message_box.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "display/display_back_end.h"
#include "display/display_window.h"
#include "display/screen_state.h"
#include "display/update_thread.h"
#include "core/timer.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

constexpr const char* FatalCaption = "Fatal error";
constexpr int FatalExitCode = 1;

std::atomic<bool> ready{false};
std::atomic<bool> fullScreen{false};
std::string snapshotPath;
ScreenWatch watch{};

RecordingWindow recordingWindow;
HeadlessBackEnd headlessBackEnd;
std::atomic<DisplayWindow*> installedWindow{nullptr};
std::atomic<DisplayBackEnd*> installedBackEnd{nullptr};

[[noreturn]] void fatal(const char* text)
{
    showError(FatalCaption, text);
    fflush(stdout);
    fflush(stderr);
    std::_Exit(FatalExitCode);
}

void noteFromWatch(uint8_t* host, unsigned size) { screenNoteWrite(host, size); }
void qlNoteFromWatch(uint32_t guest, unsigned size) { qlScreenNoteWrite(mem.base + (guest & mem.mask), size); }
void noteHostCopy(uint8_t* host, size_t length) { screenNoteBytes(host, length); }

// The configured window size follows a change of the guest's pixel size.
void scaleWindowSize(unsigned oldWidth, unsigned oldHeight)
{
    if (!guestScreen.pixelSizeKnown) {
        guestScreen.pixelSizeKnown = true;
        return;
    }
    if ((oldWidth == guestScreen.width && oldHeight == guestScreen.height) || settings.WindowSizeX == 0 ||
        settings.WindowSizeY == 0 || oldWidth == 0 || oldHeight == 0)
        return;
    settings.WindowSizeX = int(std::lround(double(settings.WindowSizeX) * guestScreen.width / oldWidth));
    settings.WindowSizeY = int(std::lround(double(settings.WindowSizeY) * guestScreen.height / oldHeight));
}

// The converted screen for the snapshot. The headless back end's frame has seen every
// mode: bring it up to date from the dirty maps, as a window's update would, so that the
// picture shows what change tracking delivered. Other back ends keep their pictures on
// the host side; convert afresh for them.
bool writeSnapshot(const std::string& path)
{
    if (!installedBackEnd.load()) {
        HostSurface surface;
        if (headlessBackEnd.lock(surface)) {
            screenUpdateSurface(surface);
            headlessBackEnd.unlock();
        }
        return headlessBackEnd.frame().writePng(path);
    }
    HeadlessFrame fresh;
    fresh.resize(guestScreen.width, guestScreen.height, guestScreen.hostFormat);
    screenConvertAll(fresh.surface());
    return fresh.writePng(path);
}

}  // namespace

void displaySetWindow(DisplayWindow* window) { installedWindow.store(window); }
void displaySetBackEnd(DisplayBackEnd* backEnd) { installedBackEnd.store(backEnd); }

DisplayWindow& displayWindow()
{
    DisplayWindow* w = installedWindow.load();
    return w ? *w : recordingWindow;
}

DisplayBackEnd& displayBackEnd()
{
    DisplayBackEnd* b = installedBackEnd.load();
    return b ? *b : headlessBackEnd;
}

MachinePart displayPart(DisplayWindow* window, DisplayBackEnd* backEnd)
{
    return {MachineSlot::Display,
            [window, backEnd] {
                displaySetWindow(window);
                displaySetBackEnd(backEnd);
                return displayStart();
            },
            displayShutDown};
}

bool displayReady() { return ready.load(); }
void displaySetNotReady() { ready.store(false); }
bool displayFullScreen() { return fullScreen.load(); }

bool displayChange(bool toggle)
{
    zlog(LogCat::Screen, "scr: Display change start.\r\n");
    std::lock_guard present(presentationLock());
    {
        std::lock_guard lock(screenLock());
        ready.store(false);
    }
    DisplayBackEnd& backEnd = displayBackEnd();
    backEnd.cleanup();
    if (toggle) fullScreen.store(!fullScreen.load());
    if (!backEnd.init()) {
        zlog(LogCat::Screen, "scr: Display initialisation failed.\r\n");
        return false;
    }
    zlog(LogCat::Screen, "scr: Display initialised.\r\n");
    // Already on the window thread: the mode is applied here rather than requested.
    if (guestScreen.format) screenApplyMode();
    screenRequestFullRedraw();
    updateThreadWake();
    zlog(LogCat::Screen, "scr: Display change done.\r\n");
    return true;
}

void displaySetSnapshotPath(const std::string& path) { snapshotPath = path; }

bool displayWriteSnapshot(const std::string& path)
{
    std::lock_guard present(presentationLock());
    return guestScreen.format && writeSnapshot(path);
}

void displayInstallWatch()
{
    watch = {guestScreen.windowStart, guestScreen.windowStart ? guestScreen.windowEnd : nullptr, noteFromWatch,
             qlNoteFromWatch};
    cpuSetScreenWatch(&watch);
}

void screenApplyMode()
{
    zlog(LogCat::Screen, "scr: SetWindowMode start.\r\n");
    {
        std::lock_guard present(presentationLock());
        std::lock_guard lock(screenLock());
        const unsigned oldWidth = guestScreen.width, oldHeight = guestScreen.height;
        switch (screenTakeRequestedMode()) {
        case ModeResult::Done:
            break;
        case ModeResult::UnsupportedMode:
            fatal("Unsupported display mode");
        case ModeResult::NoMemory:
            fatal("Error allocating display management memory");
        }
        scaleWindowSize(oldWidth, oldHeight);
        DisplayBackEnd& backEnd = displayBackEnd();
        ready.store(false);
        backEnd.cleanupMode();
        const ClientSize client = displayWindow().placeWindow();
        ready.store(backEnd.setWindowMode(client, guestScreen.width, guestScreen.height));
        // The new surface starts empty: everything is converted and shown again.
        screenRequestFullRedraw();
        updateThreadRequestPresent();
    }
    updateThreadWake();
    zlog(LogCat::Screen, "scr: SetWindowMode done.\r\n");
}

bool displayStart()
{
    zlog(LogCat::Screen, "scr: Disp_Init start\r\n");
    {
        std::lock_guard present(presentationLock());
        screenReset();
        DisplayBackEnd& backEnd = displayBackEnd();
        ready.store(false);
        if (!backEnd.init()) {
            zlog(LogCat::Screen, "scr: Disp_Init end\r\n");
            return false;
        }
        guestScreen.hostFormat = backEnd.hostFormat();
        const ClientSize limits = displayWindow().monitorLimits();
        guestScreen.maxWidth = limits.width;
        guestScreen.maxHeight = limits.height;
        fullScreen.store(settings.WindowMode == 0);
        // The headless stand-in is brought up to date when it is read; only a window
        // needs the thread.
        if (installedBackEnd.load()) {
            updateThreadStart();
            timerSetScreenUpdate(updateThreadWake);
        }
    }
    screenInstallHostCalls();
    guestSetHostWriteObserver(noteHostCopy);
    displayInstallWatch();
    zlog(LogCat::Screen, "scr: Disp_Init end\r\n");
    return true;
}

void displayShutDown()
{
    zlog(LogCat::Screen, "scr: Disp_Cleanup start.\r\n");
    {
        timerSetScreenUpdate(nullptr);
        // Joined before the lock: a pass waiting for the presentation lock would
        // otherwise never end.
        ready.store(false);
        updateThreadStop();
        std::lock_guard present(presentationLock());
        if (!snapshotPath.empty() && !writeSnapshot(snapshotPath))
            zlog(LogCat::Error, "scr: Cannot write the screen snapshot %s\r\n", snapshotPath.c_str());
        cpuSetScreenWatch(nullptr);
        guestSetHostWriteObserver(nullptr);
        screenRemoveHostCalls();
        displayBackEnd().cleanup();
        screenReset();
    }
    zlog(LogCat::Screen, "scr: Disp_Cleanup done.\r\n");
}
