#include "config/dialog_logic.h"

#include "config/config_blocks.h"
#include "config/configuration.h"
#include "platform/image_file.h"
#include "platform/ini_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr ScreenSize UsualSizes[] = {{512, 256},  {512, 384},  {640, 480},  {800, 600},   {1024, 512},
                                     {1024, 768}, {1280, 720}, {1360, 768}, {1600, 1200}, {1920, 1080}};
constexpr size_t MaxResolutions = 49;
constexpr double WindowFactors[] = {1, 1.5, 2, 2.5, 3, 4};
constexpr const char* MaxText = "Max";

bool equalsIgnoringCase(const std::string& a, const char* b)
{
    size_t n = strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (tolower(uint8_t(a[i])) != tolower(uint8_t(b[i]))) return false;
    return true;
}

std::string trimmed(const std::string& text)
{
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    size_t end = text.find_last_not_of(" \t");
    return text.substr(start, end - start + 1);
}

// A decimal number at the start of `text` (after blanks, with an optional sign), as a
// C library conversion reads it; nothing when there is none. Values beyond int saturate.
std::optional<long long> leadingNumber(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !isdigit(uint8_t(text[i]))) return std::nullopt;
    long long value = 0;
    for (; i < text.size() && isdigit(uint8_t(text[i])); ++i) value = std::min(value * 10 + (text[i] - '0'), 1LL << 40);
    return negative ? -value : value;
}

ScreenSize scaled(ScreenSize r, double factor) { return {int(r.width * factor + 0.5), int(r.height * factor + 0.5)}; }

bool fits(ScreenSize s, ScreenSize box) { return s.width <= box.width && s.height <= box.height; }

std::string factorText(double factor)
{
    char text[16];
    snprintf(text, sizeof text, "%g", factor);
    return text;
}

std::string sizeText(ScreenSize s)
{
    return std::to_string(unsigned(s.width)) + "x" + std::to_string(unsigned(s.height));
}

std::string rangeMessage(int nameId, int low, int high, Language language)
{
    return formatString(language, StringId::ValueOutOfRange, loadString(nameId, language), low, high);
}

std::string illegalMessage(int nameId, Language language)
{
    return formatString(language, StringId::IllegalValue, loadString(nameId, language));
}

// The full-screen entry in the user's language or in English.
bool isFullscreenText(const std::string& text, Language language)
{
    return text == loadString(StringId::Fullscreen, language) || text == loadString(StringId::Fullscreen);
}

const char* pick(Language language, const char* english, const char* german)
{
    return language == Language::German ? german : english;
}

}  // namespace

std::vector<ScreenSize> resolutionList(const std::vector<ScreenSize>& monitors)
{
    std::vector<ScreenSize> list;
    ScreenSize largest;
    auto add = [&](ScreenSize s) {
        if (list.size() < MaxResolutions && std::find(list.begin(), list.end(), s) == list.end()) list.push_back(s);
    };
    for (ScreenSize m : monitors) {
        add(m);
        largest.width = std::max(largest.width, m.width);
        largest.height = std::max(largest.height, m.height);
    }
    for (ScreenSize s : UsualSizes)
        if (fits(s, largest)) add(s);
    std::sort(list.begin(), list.end(),
              [](ScreenSize a, ScreenSize b) { return a.width != b.width ? a.width < b.width : a.height < b.height; });
    return list;
}

std::vector<std::string> resolutionEntries(const std::vector<ScreenSize>& resolutions)
{
    std::vector<std::string> entries{MaxText};
    for (ScreenSize s : resolutions) entries.push_back(std::to_string(s.width) + "x" + std::to_string(s.height));
    return entries;
}

std::vector<std::string> windowEntries(ScreenSize resolution, ScreenSize virtualScreen, Language language)
{
    std::vector<std::string> entries;
    if (resolution.width > 0 && resolution.height > 0)
        for (double f : WindowFactors)
            if (ScreenSize s = scaled(resolution, f); fits(s, virtualScreen))
                entries.push_back(sizeText(s) + " (" + factorText(f) + "x)");
    entries.push_back(MaxText);
    entries.push_back(loadString(StringId::Fullscreen, language));
    return entries;
}

std::string windowSizeText(ScreenSize size, ScreenSize resolution, ScreenSize virtualScreen)
{
    if (size.width == 0 || size.height == 0) return MaxText;
    std::string text = sizeText(size);
    if (resolution.width > 0 && resolution.height > 0)
        for (double f : WindowFactors)
            if (ScreenSize s = scaled(resolution, f); s == size && fits(s, virtualScreen))
                return text + " (" + factorText(f) + "x)";
    return text;
}

ScreenSize proposedWindow(ScreenSize resolution, ScreenSize primary)
{
    if (resolution.width <= 0 || resolution.height <= 0) return {};
    int m = 1;
    while ((m + 1) * resolution.width < primary.width && (m + 1) * resolution.height < primary.height) ++m;
    return {m * resolution.width, m * resolution.height};
}

SizeParse parseSize(const std::string& text, bool window, Language language)
{
    const int nameId = window ? StringId::WindowSize : StringId::Resolution;
    const int xId = window ? StringId::XWindowSize : StringId::XResolution;
    const int yId = window ? StringId::YWindowSize : StringId::YResolution;
    std::string t = trimmed(text);
    // A listed window entry carries its factor: "1024x768 (1x)".
    if (size_t paren = t.find(" ("); window && paren != std::string::npos) t = t.substr(0, paren);
    if (equalsIgnoringCase(t, MaxText)) return {ScreenSize{0, 0}, {}};
    size_t x = t.find_first_of("xX");
    if (x == std::string::npos) return {std::nullopt, illegalMessage(nameId, language)};
    std::optional<long long> w = leadingNumber(t.substr(0, x));
    std::optional<long long> h = leadingNumber(t.substr(x + 1));
    if (!w || !h) return {std::nullopt, illegalMessage(nameId, language)};
    if (*w < SizeLimits::MinX || *w > SizeLimits::MaxX)
        return {std::nullopt, rangeMessage(xId, SizeLimits::MinX, SizeLimits::MaxX, language)};
    if (*h < SizeLimits::MinY || *h > SizeLimits::MaxY)
        return {std::nullopt, rangeMessage(yId, SizeLimits::MinY, SizeLimits::MaxY, language)};
    return {ScreenSize{int(*w), int(*h)}, {}};
}

WindowTextResult typedWindowText(const std::string& typed, bool keepAspect, ScreenSize resolution,
                                 ScreenSize virtualScreen, Language language)
{
    const std::string t = trimmed(typed);
    if (isFullscreenText(t, language)) return {std::string(loadString(StringId::Fullscreen, language)), {}};
    const bool knownResolution = resolution.width > 0 && resolution.height > 0;
    if (keepAspect && knownResolution && t.find_first_of("xX") == std::string::npos &&
        !equalsIgnoringCase(t, MaxText)) {
        std::optional<long long> w = leadingNumber(t);
        if (!w) return {std::nullopt, illegalMessage(StringId::WindowSize, language)};
        if (*w < SizeLimits::MinX || *w > SizeLimits::MaxX)
            return {std::nullopt, rangeMessage(StringId::XWindowSize, SizeLimits::MinX, SizeLimits::MaxX, language)};
        const double aspect = double(resolution.width) / resolution.height;
        const int h = int(std::floor(double(*w) / aspect + 0.5));
        return {windowSizeText({int(*w), h}, resolution, virtualScreen), {}};
    }
    SizeParse parsed = parseSize(t, true, language);
    if (!parsed.size) return {std::nullopt, parsed.message};
    return {windowSizeText(*parsed.size, resolution, virtualScreen), {}};
}

NumberParse parseNumberField(const std::string& text, size_t maxChars, int low, int high, int nameId, Language language)
{
    std::optional<long long> n = leadingNumber(text.substr(0, maxChars));
    if (!n) return {std::nullopt, illegalMessage(nameId, language)};
    if (*n < low || *n > high) return {std::nullopt, rangeMessage(nameId, low, high, language)};
    return {int(*n), {}};
}

std::optional<DialogFailure> readMainFields(const MainFieldTexts& texts, Settings& s, Language language)
{
    constexpr size_t MemoryChars = 5;
    SizeParse resolution = parseSize(texts.resolution, false, language);
    if (!resolution.size) return DialogFailure{DialogField::Resolution, resolution.message};

    const bool fullScreen = isFullscreenText(trimmed(texts.window), language);
    ScreenSize window{s.WindowSizeX, s.WindowSizeY};
    if (!fullScreen) {
        SizeParse parsed = parseSize(texts.window, true, language);
        if (!parsed.size) return DialogFailure{DialogField::Window, parsed.message};
        window = *parsed.size;
        // A window is never smaller than the screen it shows ("Max" stays 0 x 0).
        if (window.width != 0 && window.height != 0) {
            window.width = std::max(window.width, resolution.size->width);
            window.height = std::max(window.height, resolution.size->height);
        }
    }
    NumberParse memory = parseNumberField(texts.memory, MemoryChars, 2, 255, StringId::MemorySize, language);
    if (!memory.value) return DialogFailure{DialogField::Memory, memory.message};
    NumberParse country =
        parseNumberField(texts.countryCode, std::string::npos, 1, 255, StringId::CountryCode, language);
    if (!country.value) return DialogFailure{DialogField::CountryCode, country.message};

    s.ResolutionX = resolution.size->width;
    s.ResolutionY = resolution.size->height;
    s.WindowMode = fullScreen ? 0 : 1;
    s.WindowSizeX = window.width;
    s.WindowSizeY = window.height;
    s.Memory = uint8_t(*memory.value);
    s.CountryCode = *country.value;
    return std::nullopt;
}

std::optional<DialogFailure> checkBaseDirectories(const Settings& s, Language language)
{
    for (int drive = 1; drive <= HostDirDriveCount; ++drive)
        if (trimmed(s.DOS[drive - 1]).empty())
            return DialogFailure{DialogField::BaseDirectory,
                                 formatString(language, StringId::InvalidBaseDirectory, drive)};
    return std::nullopt;
}

bool startDialogShown(const Settings& s, bool shiftHeld)
{
    return s.ShowDialog == 0 || shiftHeld || checkBaseDirectories(s, Language::English).has_value();
}

namespace DialogLists {

std::vector<std::string> colourModes(Language l)
{
    return {pick(l, "QL colours (mode 4/8)", "QL-Farben (Modus 4/8)"),
            pick(l, "8 bit colour (mode 16)", "8 Bit Farbe (Modus 16)"),
            pick(l, "High colour (mode 32)", "High Color (Modus 32)")};
}
// The two presentation back ends of this host (ScreenDriver 0 and 1).
std::vector<std::string> drivers() { return {"OpenGL", "Raster"}; }
std::vector<std::string> filters(Language l)
{
    return {pick(l, "None", "Keiner"), pick(l, "Anisotropic", "Anisotrop")};
}
std::vector<std::string> memorySizes()
{
    std::vector<std::string> list;
    for (int mb = 2; mb <= 16; ++mb) list.push_back(std::to_string(mb));
    for (int mb : {24, 32, 48, 64, 96, 128, 255}) list.push_back(std::to_string(mb));
    return list;
}
std::vector<std::string> powerManagement(Language l)
{
    return {pick(l, "Off", "Aus"), pick(l, "On", "Ein"), pick(l, "Suspend", "Anhalten")};
}
std::vector<std::string> countryCodes() { return {"1 (US)", "33 (FR)", "34 (ES)", "39 (IT)", "44 (GB)", "49 (D)"}; }
std::vector<std::string> keyboardDrivers() { return {"VROS/E", "Windows"}; }
std::vector<std::string> homeEndKeys(Language l) { return {pick(l, "Line", "Zeile"), pick(l, "Document", "Dokument")}; }
std::vector<std::string> taskButton(Language l)
{
    return {pick(l, "Taskbar", "Taskleiste"), pick(l, "System tray", "Infobereich"),
            pick(l, "Task/Tray", "Taskleiste/Infobereich")};
}
std::vector<std::string> bootFromFloppy(Language l) { return {pick(l, "neither", "keinem"), "flp1_", "flp2_"}; }
std::vector<std::string> bootFromWin()
{
    std::vector<std::string> list;
    for (int i = 1; i <= ContainerDriveCount; ++i) list.push_back("WIN" + std::to_string(i));
    return list;
}
std::vector<std::string> soundModes(Language l)
{
    return {pick(l, "Disabled", "Aus"), pick(l, "Enabled", "Ein"), pick(l, "Automatic", "Automatisch")};
}
std::vector<std::string> serialPorts(Language l)
{
    std::vector<std::string> list{pick(l, "None", "Keiner")};
    for (int i = 1; i <= 64; ++i) list.push_back("COM" + std::to_string(i));
    return list;
}

}  // namespace DialogLists

int colourDepthFromEntry(int entry)
{
    static constexpr int depths[] = {0, 2, 3};
    return entry >= 0 && entry < 3 ? depths[entry] : 3;
}

int colourEntryFromDepth(int depth)
{
    switch (depth) {
    case 0:
        return 0;
    case 2:
        return 1;
    default:
        return 2;
    }
}

int countryEntryFor(int code)
{
    const std::vector<std::string> list = DialogLists::countryCodes();
    for (size_t i = 0; i < list.size(); ++i)
        if (leadingNumber(list[i]) == code) return int(i);
    return -1;
}

StartDialogHost& startDialogHost()
{
    static StartDialogHost host;
    return host;
}

SaveOutcome saveSettings(StartDialogHost& host, bool intoImage, Language language)
{
    SaveOutcome outcome;
    if (host.copy) settingsToBlocks(host.copy, host.copySize, false);
    if (intoImage) {
        outcome.imageAsked = true;
        int error = 0;
        size_t written = 0;
        if (host.copy && host.writeImage) written = host.writeImage(host.copy, host.copySize, error);
        outcome.imageWritten = host.copy && written == host.copySize && error == 0;
        if (outcome.imageWritten)
            outcome.message =
                pick(language, "Settings saved to VROS/E file", "Einstellungen in der VROS/E-Datei gespeichert");
        else
            outcome.message = formatString(language, StringId::CannotWriteFile, int(written), int(host.copySize),
                                           long(error), hostErrorText(error).c_str());
    }
    writeIniFile(false);
    return outcome;
}

void writeShowDialogIfChanged()
{
    if (settings.ShowDialog == configState.showDialogAsRead || configState.iniPath.empty() || configState.iniReadOnly)
        return;
    IniFile ini(configState.iniPath);
    ini.writeString("General", "ShowDialog", std::to_string(settings.ShowDialog));
    ini.save();
    configState.showDialogAsRead = settings.ShowDialog;
}
