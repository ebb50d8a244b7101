// The GUI thread's loop: a Qt event loop. It runs until the guest quits, the processor
// ends, or the process is asked to terminate (SIGINT, SIGTERM), and then returns so the
// program can shut down in order. Until the main window exists the requests of the
// processor thread that concern it are answered here.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace MainLoop {

// Creates the application object (with the offscreen platform when the process has no
// display), the wake-up channel and the signal handlers. False when the host refuses.
// Must run on the thread that will run the loop, before start-up.
bool init(int& argc, char** argv);

// Runs until one of the ending events arrives. Any thread blocked in a request to the
// GUI thread is released when the loop ends.
void run();

// The quit flag: set by every path that really ends the program.
bool quitRequested();

// Processor thread: sets the quit flag, asks the loop to end, and waits until it has.
void quitAndDestroy();

// GUI thread (window close, tray Exit): sets the quit flag and ends the loop.
void requestExit();

// The main window, once it exists: the title, the foreground query and the attention
// hint then concern it. nullptr before it exists and after it has gone.
void setMainWindow(QWidget* window);

// Any thread, never blocks: the processor thread has ended on its own.
void postProcessorEnded();

// Runs `work` on the GUI thread and waits for it. False when the loop has ended (or
// ends before the work ran); then `work` never runs. Never call it holding a lock the
// GUI thread may need.
bool callOnGui(const std::function<void()>& work);

// Requests of the processor thread (through the front end, ui/qt_front_end.h).
void setWindowTitle(const std::string& title);
std::string windowTitle();
bool isForeground();
void flashWindow();
bool clipboardPut(const std::string& text);
std::optional<std::string> clipboardText();
int openFile(const std::string& file, const std::string& parameters);

// Closes the wake-up channel, restores the default signal handling and destroys the
// application object.
void close();

}  // namespace MainLoop
