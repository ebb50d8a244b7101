// What ZEMPrint keeps between runs (ZEMPrint.ini) and the snapshot that tells
// the settings window whether anything was changed.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "printer/base/typefaces.h"

namespace zemprint {

inline constexpr int kCharsetSlotCount = 4;
inline constexpr int kDefaultZoom = 140;
inline constexpr int kMinZoom = 1;
inline constexpr int kMaxZoom = 400;
inline constexpr int kDefaultCharset = 768;  // PC850
inline constexpr int kDefaultLetterheadDpi = 300;
inline constexpr const char* kDefaultMeasurement = "0 mm";
inline constexpr int kDefaultPins = 24;
inline constexpr int kNinePins = 9;

// Every value that is stored in the INI file.
struct StoredSettings {
    std::string letterheadLeftText = kDefaultMeasurement;
    std::string letterheadTopText = kDefaultMeasurement;
    int letterheadLeft = 0;  // tenths of a millimetre
    int letterheadTop = 0;
    std::array<std::string, kTypefaceCount> fontNames{};
    std::array<int, kZoomedTypefaceCount> zoom{};
    std::array<int, kCharsetSlotCount> charsets{};
    std::string letterheadFile;
    int letterheadDpi = kDefaultLetterheadDpi;
    bool letterheadFirstPageOnly = false;
    bool hideDialog = false;
    int pins = kDefaultPins;  // 24 or 9: the printer model
    std::string paperSize;    // of PDF and PNG output; empty: the locale's

    StoredSettings();
    bool operator==(const StoredSettings&) const = default;
};

class TSettings {
public:
    using FamilyList = std::function<std::vector<std::string>()>;

    // families enumerates the installed font families (asked only when a font
    // name must be checked or chosen); decimalSeparator is the locale's.
    TSettings(const std::string& iniPath, FamilyList families, char decimalSeparator);

    // Reads every key; a name that is empty or not installed is chosen
    // automatically. Throws EZEMPrint when an offset is not a measurement.
    void load();
    // Writes every key, HideDialog last. Throws EZEMPrint when the file cannot be written.
    void save();
    bool changed() const { return !(values_ == snapshot_); }

    // The automatic font choice for typeface t.
    std::string automaticFont(int typeface) const;

    StoredSettings& values() { return values_; }
    const StoredSettings& values() const { return values_; }

    // Set the offset texts, parsing them; they throw as load does.
    void setLetterheadLeftText(const std::string& text);
    void setLetterheadTopText(const std::string& text);

    // Write the debug trace; never stored, off at every start.
    bool debug = false;
    // The command line's choices for this run only (0 / empty: the stored ones).
    int runPins = 0;
    std::string runPaperSize;
    int pins() const { return runPins != 0 ? runPins : values_.pins; }
    const std::string& paperSize() const { return runPaperSize.empty() ? values_.paperSize : runPaperSize; }

    const std::string& iniPath() const { return ini_.path(); }
    char decimalSeparator() const { return decimalSeparator_; }

private:
    const std::vector<std::string>& families() const;

    StoredSettings values_;
    StoredSettings snapshot_;
    IniFile ini_;
    FamilyList familySource_;
    mutable std::vector<std::string> families_;
    mutable bool familiesKnown_ = false;
    char decimalSeparator_;
};

}  // namespace zemprint
