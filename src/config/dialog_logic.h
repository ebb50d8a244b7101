// What the start-up configuration dialog decides, apart from its widgets: the option
// lists, the resolution and window lists a set of monitors allows, the parsing and range
// checks of the typed fields with their messages, whether the dialog shows at all, and
// what OK and Save do with the settings. The Qt dialog (config/dialog/) only copies
// these values to and from its controls.
#pragma once

#include "base/string_table.h"
#include "config/settings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ScreenSize {
    int width = 0;
    int height = 0;
    bool operator==(const ScreenSize&) const = default;
};

// The host's monitors as the dialog sees them.
struct MonitorSet {
    std::vector<ScreenSize> monitors;  // each monitor's size; the primary one first
    ScreenSize primary;
    ScreenSize virtualScreen;  // the box around all monitors
};

// Typed sizes: the same limits hold for the resolution and the window size.
namespace SizeLimits {
constexpr int MinX = 512;
constexpr int MaxX = 4096;
constexpr int MinY = 256;
constexpr int MaxY = 4096;
}  // namespace SizeLimits

// The resolutions offered: each monitor's size and the usual sizes that fit within the
// largest monitor width and height, without duplicates, at most 49, sorted by width
// then height.
std::vector<ScreenSize> resolutionList(const std::vector<ScreenSize>& monitors);
// The list as shown: "Max" and then "%dx%d" for each.
std::vector<std::string> resolutionEntries(const std::vector<ScreenSize>& resolutions);

// The window sizes for a resolution: "%ux%u (%gx)" for each factor of 1, 1.5, 2, 2.5,
// 3, 4 whose size fits the virtual screen; then "Max" and "Fullscreen" (string 27). A
// resolution of "Max" (0 x 0) offers only the last two.
std::vector<std::string> windowEntries(ScreenSize resolution, ScreenSize virtualScreen, Language language);

// The text for a window size: "Max" when either side is 0, else "%ux%u" with " (%gx)"
// when the size is one of the factors the window list offers.
std::string windowSizeText(ScreenSize size, ScreenSize resolution, ScreenSize virtualScreen);

// The window proposed for a resolution: the largest whole multiple that stays below the
// primary monitor in both directions (at least 1x); 0 x 0 for "Max".
ScreenSize proposedWindow(ScreenSize resolution, ScreenSize primary);

// Which field a failed check concerns, so the dialog can put the focus there.
enum class DialogField { None, Resolution, Window, Memory, CountryCode, BaseDirectory };

// A parsed field: the value, or the message that refuses it.
struct SizeParse {
    std::optional<ScreenSize> size;  // 0 x 0 for "Max"
    std::string message;
};

// "Max" (any case) or "<x>x<y>" with X in 512-4096 and Y in 256-4096. The messages name
// the resolution (strings 28, 7, 8) or, with `window`, the window size (29, 22, 23).
SizeParse parseSize(const std::string& text, bool window, Language language);

// What a typed window text becomes when the field is left: with the aspect ratio kept and
// a known resolution a single number w gives w x round(w / aspect); otherwise the text is
// parsed as a size. The result is the rewritten field text, or nothing (with the message)
// when the text cannot be read. "Fullscreen" stays as it is.
struct WindowTextResult {
    std::optional<std::string> text;
    std::string message;
};
WindowTextResult typedWindowText(const std::string& typed, bool keepAspect, ScreenSize resolution,
                                 ScreenSize virtualScreen, Language language);

// A number field (memory from its first five characters, the country code from the start
// of its list text): its value when it lies in [low, high], else the message (string 5 for
// no number, string 6 out of range) naming string `nameId`.
struct NumberParse {
    std::optional<int> value;
    std::string message;
};
NumberParse parseNumberField(const std::string& text, size_t maxChars, int low, int high, int nameId,
                             Language language);

// The texts of the main dialog's fields, as they are read at OK and Save.
struct MainFieldTexts {
    std::string resolution;
    std::string window;
    std::string memory;
    std::string countryCode;
};

// The failure of a check: the message and the field to return to.
struct DialogFailure {
    DialogField field = DialogField::None;
    std::string message;
};

// OK's (and Save's) first step: the typed fields into `s` ("Fullscreen" sets WindowMode 0,
// anything else WindowMode 1 and a size raised to at least the resolution). On a failure
// `s` is left unchanged.
std::optional<DialogFailure> readMainFields(const MainFieldTexts& texts, Settings& s, Language language);

// OK's second step: every DOS drive needs a base directory (string 25 names the first
// empty one).
std::optional<DialogFailure> checkBaseDirectories(const Settings& s, Language language);

// Whether the dialog is shown: always when ShowDialog is 0, while Shift is held, or when
// a DOS base directory is empty (the check OK would fail).
bool startDialogShown(const Settings& s, bool shiftHeld);

// Option lists of the combo boxes, in the user's language.
namespace DialogLists {
std::vector<std::string> colourModes(Language language);
std::vector<std::string> drivers();
std::vector<std::string> filters(Language language);
std::vector<std::string> memorySizes();
std::vector<std::string> powerManagement(Language language);
std::vector<std::string> countryCodes();
std::vector<std::string> keyboardDrivers();
std::vector<std::string> homeEndKeys(Language language);
std::vector<std::string> taskButton(Language language);
std::vector<std::string> bootFromFloppy(Language language);
std::vector<std::string> bootFromWin();
std::vector<std::string> soundModes(Language language);
std::vector<std::string> serialPorts(Language language);  // "None", "COM1" ... "COM64"
}  // namespace DialogLists

// ColourDepth values behind the colour mode list entries 0, 1, 2.
int colourDepthFromEntry(int entry);
int colourEntryFromDepth(int depth);

// The country list entry that begins with `code`, or -1 (the field then shows the number).
int countryEntryFor(int code);

// The track bars of the sound dialog run the other way round.
inline int volumeToPosition(int volume) { return 100 - volume; }
inline int positionToVolume(int position) { return 100 - position; }

// Whether a parallel port row's printer list and filter box are enabled.
inline bool printerListEnabled(int portMode) { return portMode == ParallelModePrinter; }
inline bool filterBoxEnabled(int portMode, bool printerProgramPresent)
{
    return portMode == ParallelModePrinter && printerProgramPresent;
}

// Where the dialog reaches the rest of the start-up: the configuration copy and the image
// file behind it, and what the start-up found. Filled by the start-up before the dialog
// runs.
struct StartDialogHost {
    uint8_t* copy = nullptr;
    size_t copySize = 0;
    bool printerProgramPresent = false;
    // Writes `length` bytes over the start of the image file; returns the number written
    // and the host error (0 when none) in `error`.
    std::function<size_t(const uint8_t* data, size_t length, int& error)> writeImage;
};
StartDialogHost& startDialogHost();

// Save: the settings into the configuration copy (without screen-size filling), with
// `intoImage` the copy into the image file, then the whole configuration file. Returns the
// message to show about the image (empty when it was not asked for) and whether it is an
// error.
struct SaveOutcome {
    bool imageAsked = false;
    bool imageWritten = false;
    std::string message;
};
SaveOutcome saveSettings(StartDialogHost& host, bool intoImage, Language language);

// OK's last file step: ShowDialog goes to the file at once when it differs from what the
// file held (the rest of the settings are for this run only).
void writeShowDialogIfChanged();
