// How the processor thread reaches the GUI thread. The core knows nothing of windows:
// the program entry installs the functions that deliver each request to its GUI thread.
// Every function here blocks until the GUI thread has handled the request, or until the
// GUI thread no longer runs its loop (then the request is moot and returns at once).
// Texts cross this boundary in UTF-8.
#pragma once

#include <optional>
#include <string>

struct GuiLink {
    // Sets the quit flag and destroys the main window, which ends the message loop and
    // leads to shut-down.
    void (*quitAndDestroy)() = nullptr;
    void (*setWindowTitle)(const std::string& title) = nullptr;
    bool (*isForeground)() = nullptr;
    // Draws the user's attention to the window until it comes to the front.
    void (*flashWindow)() = nullptr;
    // Replaces the host clipboard's contents with plain text. False when it cannot.
    bool (*clipboardPut)(const std::string& text) = nullptr;
    // The host clipboard's plain text, or nothing when it holds none.
    std::optional<std::string> (*clipboardText)() = nullptr;
    // Opens `file` with the host's default handler (with `parameters` when it is a program)
    // and returns a shell-style result: above 32 is success, else the failure's number.
    int (*openFile)(const std::string& file, const std::string& parameters) = nullptr;
};

// Installs the link (nullptr removes it). Call before the processor thread starts.
void guiLinkInstall(const GuiLink* link);
const GuiLink* guiLink();

// Shell-style results of GuiLink::openFile.
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
