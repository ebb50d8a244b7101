#include "printer/settings/settings_form_values.h"

#include <cctype>
#include <charconv>

#include "printer/data/charsets.h"
#include "printer/base/errors.h"
#include "printer/settings/measurement.h"

namespace zemprint {

namespace {

std::string trimmed(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::optional<int> parseInteger(const std::string& text)
{
    const std::string digits = trimmed(text);
    const char* first = digits.data();
    const char* last = first + digits.size();
    if (first != last && *first == '+') ++first;
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last) return std::nullopt;
    return value;
}

}  // namespace

int widthFromText(const std::string& text) { return parseInteger(text).value_or(kUnreadableWidth); }

SettingsFormValues loadFormValues(const TSettings& settings)
{
    const StoredSettings& stored = settings.values();
    SettingsFormValues values;
    values.fontNames = stored.fontNames;
    for (std::size_t t = 0; t < values.widthTexts.size(); ++t) values.widthTexts[t] = std::to_string(stored.zoom[t]);
    for (std::size_t slot = 0; slot < values.charsetIndex.size(); ++slot)
        values.charsetIndex[slot] = charsetIndexOf(static_cast<std::uint32_t>(stored.charsets[slot]));
    values.letterheadFile = stored.letterheadFile;
    values.letterheadLeftText = stored.letterheadLeftText;
    values.letterheadTopText = stored.letterheadTopText;
    values.letterheadDpiText = std::to_string(stored.letterheadDpi);
    values.letterheadFirstPageOnly = stored.letterheadFirstPageOnly;
    values.debug = settings.debug;
    values.hideDialog = stored.hideDialog;
    values.pins = stored.pins;
    return values;
}

void applyFormValues(const SettingsFormValues& values, TSettings& settings)
{
    const int left = parseMeasurement(values.letterheadLeftText, settings.decimalSeparator());
    const int top = parseMeasurement(values.letterheadTopText, settings.decimalSeparator());
    const std::optional<int> dpi = parseInteger(values.letterheadDpiText);
    if (!dpi) throw EZEMPrint(formatMessage("Illegal value \"%s\"", values.letterheadDpiText.c_str()));

    StoredSettings& stored = settings.values();
    stored.fontNames = values.fontNames;
    for (std::size_t t = 0; t < values.widthTexts.size(); ++t) stored.zoom[t] = widthFromText(values.widthTexts[t]);
    for (std::size_t slot = 0; slot < values.charsetIndex.size(); ++slot) {
        if (!values.charsetIndex[slot]) continue;
        if (const TCharset* table = charsetByIndex(*values.charsetIndex[slot]))
            stored.charsets[slot] = static_cast<int>(table->id);
    }
    stored.letterheadFile = values.letterheadFile;
    stored.letterheadLeftText = values.letterheadLeftText;
    stored.letterheadLeft = left;
    stored.letterheadTopText = values.letterheadTopText;
    stored.letterheadTop = top;
    stored.letterheadDpi = *dpi;
    stored.letterheadFirstPageOnly = values.letterheadFirstPageOnly;
    settings.debug = values.debug;
    stored.hideDialog = values.hideDialog;
    stored.pins = values.pins == kNinePins ? kNinePins : kDefaultPins;
}

void autoDetectFonts(const TSettings& settings, SettingsFormValues& values)
{
    for (int t = 0; t < kTypefaceCount; ++t) values.fontNames[static_cast<std::size_t>(t)] = settings.automaticFont(t);
    values.widthTexts.fill(std::to_string(kDetectedWidth));
}

bool settingsMayClose(TSettings& settings, const std::function<SaveAnswer()>& ask)
{
    if (!settings.changed()) return true;
    switch (ask()) {
    case SaveAnswer::Yes:
        settings.save();
        return true;
    case SaveAnswer::No:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

}  // namespace zemprint
