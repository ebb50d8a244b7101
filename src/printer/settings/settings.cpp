#include "printer/settings/settings.h"

#include <utility>

#include "printer/base/errors.h"
#include "printer/settings/font_choice.h"
#include "printer/settings/measurement.h"

namespace zemprint {

namespace {

constexpr const char* kFonts = "Fonts";
constexpr const char* kDefaults = "Defaults";

std::string fontNameKey(int t) { return "Font" + std::to_string(t) + "Name"; }
std::string fontZoomKey(int t) { return "Font" + std::to_string(t) + "Zoom"; }
std::string charsetKey(int slot) { return "Charset" + std::to_string(slot); }

}  // namespace

StoredSettings::StoredSettings()
{
    zoom.fill(kDefaultZoom);
    charsets.fill(kDefaultCharset);
}

TSettings::TSettings(const std::string& iniPath, FamilyList families, char decimalSeparator)
    : ini_(iniPath), familySource_(std::move(families)), decimalSeparator_(decimalSeparator)
{
}

const std::vector<std::string>& TSettings::families() const
{
    if (!familiesKnown_) {
        if (familySource_) families_ = familySource_();
        familiesKnown_ = true;
    }
    return families_;
}

std::string TSettings::automaticFont(int typeface) const { return chooseFont(typeface, families()); }

void TSettings::load()
{
    ini_.reload();
    StoredSettings loaded;
    for (int t = 0; t < kTypefaceCount; ++t) {
        const std::string name = ini_.readString(kFonts, fontNameKey(t), "");
        std::string installed = findInstalledFamily(families(), name);
        loaded.fontNames[static_cast<std::size_t>(t)] = installed.empty() ? automaticFont(t) : installed;
    }
    for (int t = 0; t < kZoomedTypefaceCount; ++t) {
        const int zoom = ini_.readInteger(kFonts, fontZoomKey(t), kDefaultZoom);
        loaded.zoom[static_cast<std::size_t>(t)] = (zoom < kMinZoom || zoom > kMaxZoom) ? kDefaultZoom : zoom;
    }
    for (int slot = 0; slot < kCharsetSlotCount; ++slot)
        loaded.charsets[static_cast<std::size_t>(slot)] =
            ini_.readInteger(kDefaults, charsetKey(slot), kDefaultCharset);
    loaded.letterheadFile = ini_.readString(kDefaults, "LHFilename", "");
    loaded.letterheadLeftText = ini_.readString(kDefaults, "LHLeft", kDefaultMeasurement);
    loaded.letterheadTopText = ini_.readString(kDefaults, "LHTop", kDefaultMeasurement);
    loaded.letterheadDpi = ini_.readInteger(kDefaults, "LHDPI", kDefaultLetterheadDpi);
    loaded.letterheadFirstPageOnly = ini_.readBool(kDefaults, "LHFirstPage", false);
    loaded.hideDialog = ini_.readBool(kDefaults, "HideDialog", false);
    loaded.pins = ini_.readInteger(kDefaults, "Pins", kDefaultPins) == kNinePins ? kNinePins : kDefaultPins;
    loaded.paperSize = ini_.readString(kDefaults, "PaperSize", "");
    loaded.letterheadLeft = parseMeasurement(loaded.letterheadLeftText, decimalSeparator_);
    loaded.letterheadTop = parseMeasurement(loaded.letterheadTopText, decimalSeparator_);
    values_ = loaded;
    snapshot_ = values_;
}

void TSettings::save()
{
    for (int t = 0; t < kTypefaceCount; ++t)
        ini_.writeString(kFonts, fontNameKey(t), values_.fontNames[static_cast<std::size_t>(t)]);
    for (int t = 0; t < kZoomedTypefaceCount; ++t)
        ini_.writeInteger(kFonts, fontZoomKey(t), values_.zoom[static_cast<std::size_t>(t)]);
    for (int slot = 0; slot < kCharsetSlotCount; ++slot)
        ini_.writeInteger(kDefaults, charsetKey(slot), values_.charsets[static_cast<std::size_t>(slot)]);
    ini_.writeString(kDefaults, "LHFilename", values_.letterheadFile);
    ini_.writeString(kDefaults, "LHLeft", values_.letterheadLeftText);
    ini_.writeString(kDefaults, "LHTop", values_.letterheadTopText);
    ini_.writeInteger(kDefaults, "LHDPI", values_.letterheadDpi);
    ini_.writeBool(kDefaults, "LHFirstPage", values_.letterheadFirstPageOnly);
    ini_.writeInteger(kDefaults, "Pins", values_.pins);
    ini_.writeString(kDefaults, "PaperSize", values_.paperSize);
    ini_.writeBool(kDefaults, "HideDialog", values_.hideDialog);
    if (!ini_.save()) throw EZEMPrint(formatMessage("Cannot write settings file \"%s\"", ini_.path().c_str()));
    snapshot_ = values_;
}

void TSettings::setLetterheadLeftText(const std::string& text)
{
    const int value = parseMeasurement(text, decimalSeparator_);
    values_.letterheadLeftText = text;
    values_.letterheadLeft = value;
}

void TSettings::setLetterheadTopText(const std::string& text)
{
    const int value = parseMeasurement(text, decimalSeparator_);
    values_.letterheadTopText = text;
    values_.letterheadTop = value;
}

}  // namespace zemprint
