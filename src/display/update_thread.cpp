#include "display/update_thread.h"

#include "log/log.h"
#include "display/display.h"
#include "display/display_back_end.h"
#include "display/frame_source.h"
#include "display/screen_state.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// An auto-reset event: one wake-up releases one wait, and wakes given while the thread
// works are folded into one.
class WakeEvent {
public:
    void signal()
    {
        {
            std::lock_guard guard(lock_);
            signalled_ = true;
        }
        changed_.notify_one();
    }
    void wait()
    {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return signalled_; });
        signalled_ = false;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

WakeEvent wake;
std::thread thread;
std::atomic<bool> quit{false};
std::atomic<bool> running{false};
std::atomic<bool> presentNeeded{false};
std::atomic<bool> wholeNeeded{false};  // a present asked for from outside shows everything
std::atomic<bool> suspended{false};
std::atomic<bool> resizing{false};
std::atomic<uint64_t> conversions{0};
std::atomic<uint64_t> presents{0};

bool anythingMarked() { return guestScreen.fullRedraw.load() || guestScreen.dirtyAny.load(); }

void convert()
{
    // Checked first without the locks: an idle guest costs the thread nothing.
    if (!anythingMarked()) return;
    std::lock_guard present(presentationLock());
    std::lock_guard screen(screenLock());
    // Without a surface the marks stay where they are and are taken by a later pass.
    if (!displayReady() || suspended.load()) return;
    DisplayBackEnd& backEnd = displayBackEnd();
    HostSurface surface;
    if (!backEnd.lock(surface)) return;
    ChangedArea changed;
    const bool converted = screenUpdateSurface(surface, &changed);
    if (converted) backEnd.noteChanged(changed);
    backEnd.unlock();
    if (converted) {
        conversions.fetch_add(1);
        presentNeeded.store(true);
    }
}

void presentIfNeeded()
{
    if (!presentNeeded.load() || resizing.load()) return;
    std::lock_guard present(presentationLock());
    // Taken under the lock: of two callers that saw the request, only one presents.
    if (!presentNeeded.exchange(false)) return;
    if (!displayReady() || suspended.load()) return;
    DisplayBackEnd& backEnd = displayBackEnd();
    if (wholeNeeded.exchange(false)) {
        std::lock_guard screen(screenLock());
        HostSurface surface;
        if (backEnd.lock(surface)) {
            ChangedArea everything;
            everything.whole = true;
            backEnd.noteChanged(everything);
            backEnd.unlock();
        }
    }
    backEnd.present();
    presents.fetch_add(1);
}

void run()
{
    zlog(LogCat::Screen, "scr: UpdateThread startet.\r\n");
    for (;;) {
        wake.wait();
        if (quit.load()) break;
        updateThreadPass();
    }
    zlog(LogCat::Screen, "scr: UpdateThread exited.\r\n");
}

}  // namespace

void updateThreadPass()
{
    convert();
    presentIfNeeded();
}

void updateThreadStart()
{
    if (running.load()) return;
    quit.store(false);
    suspended.store(false);
    resizing.store(false);
    presentNeeded.store(false);
    wholeNeeded.store(false);
    conversions.store(0);
    presents.store(0);
    thread = std::thread(run);
    running.store(true);
}

void updateThreadStop()
{
    if (!running.load()) return;
    quit.store(true);
    wake.signal();
    thread.join();
    running.store(false);
    zlog(LogCat::Screen, "scr: %llu conversions, %llu presents\r\n", (unsigned long long)conversions.load(),
         (unsigned long long)presents.load());
}

bool updateThreadRunning() { return running.load(); }

void updateThreadWake() { wake.signal(); }

void updateThreadRequestPresent()
{
    wholeNeeded.store(true);
    presentNeeded.store(true);
}

void updateThreadSetSuspended(bool value)
{
    if (suspended.exchange(value) && !value) {
        screenRequestFullRedraw();
        wake.signal();
    }
}

bool updateThreadSuspended() { return suspended.load(); }

void updateThreadSetResizing(bool value) { resizing.store(value); }

UpdateCounts updateThreadCounts() { return {conversions.load(), presents.load()}; }
