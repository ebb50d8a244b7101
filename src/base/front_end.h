// How the machine reaches the user. The core knows nothing of windows: everything it
// asks of the user or of the desktop goes through this one interface, which the window
// program implements (src/ui) and which a headless implementation stands in for in
// scripted runs and tests (message boxes on standard error, no clipboard, no dialog).
//
// Threads: message boxes may be asked for from any thread. The requests of the processor
// thread block until the GUI thread has handled them, or return at once (with the
// answer of "nothing there") when the GUI thread no longer runs its loop. Texts cross
// this boundary in UTF-8.
#pragma once

#include <optional>
#include <string>

enum class MessageIcon { Error, Information };

// How the start-up configuration dialog ended. Skipped: it was not shown (no display,
// or not built yet); start-up goes on as after OK with the settings as they are.
enum class StartDialogResult { Ok, Cancel, Skipped };

class FrontEnd {
public:
    virtual ~FrontEnd() = default;

    // Shows a box and returns when the user has dismissed it.
    virtual void messageBox(const std::string& caption, const std::string& text, MessageIcon icon) = 0;

    // The start-up configuration dialog (GUI thread, during start-up).
    virtual StartDialogResult runStartDialog() = 0;

    virtual void setWindowTitle(const std::string& title) = 0;
    virtual bool isForeground() = 0;
    // Draws the user's attention to the window until it comes to the front.
    virtual void flashWindow() = 0;

    // Replaces the host clipboard's contents with plain text. False when it cannot.
    virtual bool clipboardPut(const std::string& text) = 0;
    // The host clipboard's plain text, or nothing when it holds none.
    virtual std::optional<std::string> clipboardText() = 0;

    // Opens `file` with the host's default handler (with `parameters` when it is a
    // program) and returns a shell-style result: above 32 is success, else the failure's
    // number (ShellResult below).
    virtual int openFile(const std::string& file, const std::string& parameters) = 0;

    // Window requests. requestQuit: sets the quit flag and destroys the main window,
    // which ends the GUI thread's loop and leads to shut-down; returns when the loop has
    // ended. processorEnded: the processor thread has ended on its own (any thread,
    // never blocks).
    virtual void requestQuit() = 0;
    virtual void processorEnded() = 0;
};

// The headless front end: boxes are written to standard error as "[caption] Error: text"
// (one write each, so concurrent log lines cannot split them); the clipboard and the
// desktop refuse, the dialog is skipped, nothing is ever in front.
class HeadlessFrontEnd : public FrontEnd {
public:
    void messageBox(const std::string& caption, const std::string& text, MessageIcon icon) override;
    StartDialogResult runStartDialog() override { return StartDialogResult::Skipped; }
    void setWindowTitle(const std::string& title) override;
    bool isForeground() override { return false; }
    void flashWindow() override {}
    bool clipboardPut(const std::string&) override { return false; }
    std::optional<std::string> clipboardText() override { return std::nullopt; }
    int openFile(const std::string& file, const std::string& parameters) override;
    void requestQuit() override {}
    void processorEnded() override {}
};

// Writes a box the headless way (also used by window front ends that run without a
// display).
void writeMessageBoxToStandardError(const std::string& caption, const std::string& text, MessageIcon icon);

// Installs the front end (nullptr: the headless one). Before the processor thread starts;
// the installed object must outlive the machine.
void frontEndInstall(FrontEnd* frontEnd);
FrontEnd& frontEnd();

// Shell-style results of FrontEnd::openFile.
namespace ShellResult {
constexpr int OutOfResources = 0;
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int AccessDenied = 5;
constexpr int OutOfMemory = 8;
constexpr int Share = 26;
constexpr int AssociationIncomplete = 27;
constexpr int DdeTimeout = 28;
constexpr int DdeFail = 29;
constexpr int DdeBusy = 30;
constexpr int NoAssociation = 31;
constexpr int DllNotFound = 32;
constexpr int Success = 33;  // any value above 32
}  // namespace ShellResult
