// What the settings window shows, as plain values: loaded from TSettings when
// the window is shown and applied back before a preview and on closing. The
// widgets only copy these to and from their controls.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "printer/settings/settings.h"
#include "printer/base/typefaces.h"

namespace zemprint {

// The width a box holds when its text is not an integer.
inline constexpr int kUnreadableWidth = 100;
// The width "Auto detect" puts into every box.
inline constexpr int kDetectedWidth = kDefaultZoom;

struct SettingsFormValues {
    std::array<std::string, kTypefaceCount> fontNames{};
    std::array<std::string, kZoomedTypefaceCount> widthTexts{};
    // Index into the character-table list; none when the stored identifier
    // matches no table (the list then shows no selection).
    std::array<std::optional<std::size_t>, kCharsetSlotCount> charsetIndex{};
    std::string letterheadFile;
    std::string letterheadLeftText;
    std::string letterheadTopText;
    std::string letterheadDpiText;
    bool letterheadFirstPageOnly = false;
    bool debug = false;
    bool hideDialog = false;
    int pins = kDefaultPins;  // the printer model
};

SettingsFormValues loadFormValues(const TSettings& settings);

// Stores the values in settings. The offsets and the DPI are checked first,
// so a value that does not parse throws EZEMPrint and changes nothing.
// A list without a selection keeps the stored identifier.
void applyFormValues(const SettingsFormValues& values, TSettings& settings);

// The automatic font choice for all twelve typefaces and 140 in every width box.
void autoDetectFonts(const TSettings& settings, SettingsFormValues& values);

// A width box's value: the integer it holds, or 100.
int widthFromText(const std::string& text);

enum class SaveAnswer { Yes, No, Cancel };

// The closing step after the values were applied: when the settings changed,
// ask; Yes saves. Returns whether the window may close. Throws EZEMPrint when
// saving fails (the window then stays open).
bool settingsMayClose(TSettings& settings, const std::function<SaveAnswer()>& ask);

}  // namespace zemprint
