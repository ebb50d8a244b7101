#include "display/display.h"

#include "config/settings.h"
#include "core/guest_strings.h"
#include "core/log.h"
#include "core/message_box.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "display/display_window.h"
#include "display/screen_state.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

constexpr const char* FatalCaption = "Fatal error";
constexpr int FatalExitCode = 1;

std::atomic<bool> ready{false};
std::string snapshotPath;
ScreenWatch watch{};

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
    if (!screen.pixelSizeKnown) {
        screen.pixelSizeKnown = true;
        return;
    }
    if ((oldWidth == screen.width && oldHeight == screen.height) || settings.WindowSizeX == 0 ||
        settings.WindowSizeY == 0 || oldWidth == 0 || oldHeight == 0)
        return;
    settings.WindowSizeX = int(std::lround(double(settings.WindowSizeX) * screen.width / oldWidth));
    settings.WindowSizeY = int(std::lround(double(settings.WindowSizeY) * screen.height / oldHeight));
}

}  // namespace

bool displayReady() { return ready.load(); }

void displaySetSnapshotPath(const std::string& path) { snapshotPath = path; }

void displayInstallWatch()
{
    watch = {screen.windowStart, screen.windowStart ? screen.windowEnd : nullptr, noteFromWatch, qlNoteFromWatch};
    cpuSetScreenWatch(&watch);
}

void screenApplyMode()
{
    zlog(LogCat::Screen, "scr: SetWindowMode start.\r\n");
    {
        std::lock_guard present(presentationLock());
        std::lock_guard lock(screenLock());
        const unsigned oldWidth = screen.width, oldHeight = screen.height;
        switch (screenTakeRequestedMode()) {
        case ModeResult::Done:
            break;
        case ModeResult::UnsupportedMode:
            fatal("Unsupported display mode");
        case ModeResult::NoMemory:
            fatal("Error allocating display management memory");
        }
        scaleWindowSize(oldWidth, oldHeight);
        DisplayWindow& window = displayWindow();
        ready.store(false);
        window.dropModeResources();
        const ClientSize client = window.placeWindow();
        window.setUpMode(client, screen.width, screen.height);
        ready.store(true);
    }
    zlog(LogCat::Screen, "scr: SetWindowMode done.\r\n");
}

bool displayStart()
{
    zlog(LogCat::Screen, "scr: Disp_Init start\r\n");
    {
        std::lock_guard present(presentationLock());
        screenReset();
        DisplayWindow& window = displayWindow();
        screen.hostFormat = window.hostFormat();
        const ClientSize limits = window.monitorLimits();
        screen.maxWidth = limits.width;
        screen.maxHeight = limits.height;
        ready.store(false);
    }
    screenInstallHostCalls();
    setScreenNoteHook(noteHostCopy);
    displayInstallWatch();
    zlog(LogCat::Screen, "scr: Disp_Init end\r\n");
    return true;
}

void displayShutDown()
{
    zlog(LogCat::Screen, "scr: Disp_Cleanup start.\r\n");
    {
        std::lock_guard present(presentationLock());
        ready.store(false);
        if (!snapshotPath.empty()) {
            HeadlessFrame fresh;
            HeadlessFrame* frame = &fresh;
            if (auto* recorder = dynamic_cast<RecordingWindow*>(&displayWindow())) {
                // The recording window's frame has seen every mode: bring it up to date
                // from the dirty maps, as a window's update would.
                frame = &recorder->frame();
                frame->update();
            } else {
                fresh.resize(screen.width, screen.height, screen.hostFormat);
                screenConvertAll(fresh.surface());
            }
            if (!frame->writePng(snapshotPath))
                zlog(LogCat::Error, "scr: Cannot write the screen snapshot %s\r\n", snapshotPath.c_str());
        }
        cpuSetScreenWatch(nullptr);
        setScreenNoteHook(nullptr);
        screenRemoveHostCalls();
        screenReset();
    }
    zlog(LogCat::Screen, "scr: Disp_Cleanup done.\r\n");
}
