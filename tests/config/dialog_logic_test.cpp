// The start-up dialog's decisions without widgets: the lists a set of monitors allows,
// typed sizes, the checks of OK with their messages, and whether the dialog shows.
#include "config/dialog_logic.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Sizes = std::vector<ScreenSize>;
using Texts = std::vector<std::string>;

std::string joined(const Texts& texts)
{
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : ",") + t;
    return out;
}

}  // namespace

TEST(DialogLogic, ResolutionListFromTheMonitors)
{
    struct Case {
        Sizes monitors;
        const char* expected;
    } cases[] = {
        // One full-HD monitor: its own size is among the usual ones, so it appears once.
        {{{1920, 1080}}, "Max,512x256,512x384,640x480,800x600,1024x512,1024x768,1280x720,1360x768,1920x1080"},
        // A small monitor cuts the usual sizes at its width and height; its own odd size is offered.
        {{{1000, 700}}, "Max,512x256,512x384,640x480,800x600,1000x700"},
        // Two monitors: the largest width and the largest height together decide (1600x1200
        // fits within 1600 wide and 1200 high although neither monitor is that size).
        {{{1280, 1200}, {1600, 900}},
         "Max,512x256,512x384,640x480,800x600,1024x512,1024x768,1280x720,1280x1200,1360x768,1600x900,1600x1200"},
        // No monitor known: only "Max".
        {{}, "Max"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(joined(resolutionEntries(resolutionList(c.monitors))), c.expected) << c.expected;
}

TEST(DialogLogic, ResolutionListHoldsAtMost49Entries)
{
    Sizes many;
    for (int i = 0; i < 60; ++i) many.push_back({600 + i, 400 + i});
    const Sizes list = resolutionList(many);
    EXPECT_EQ(list.size(), 49u);
    for (size_t i = 1; i < list.size(); ++i) EXPECT_LT(list[i - 1].width, list[i].width);
}

TEST(DialogLogic, WindowListPerFactorWithinTheVirtualScreen)
{
    struct Case {
        ScreenSize resolution, virtualScreen;
        const char* expected;
    } cases[] = {
        {{640, 480}, {1920, 1080}, "640x480 (1x),960x720 (1.5x),1280x960 (2x),Max,Fullscreen"},
        {{512, 256},
         {3840, 1080},
         "512x256 (1x),768x384 (1.5x),1024x512 (2x),1280x640 (2.5x),1536x768 (3x),"
         "2048x1024 (4x),Max,Fullscreen"},
        // Rounded halves: 683 x 1.5 = 1024.5 gives 1025.
        {{683, 384}, {1100, 600}, "683x384 (1x),1025x576 (1.5x),Max,Fullscreen"},
        {{1920, 1080}, {1920, 1080}, "1920x1080 (1x),Max,Fullscreen"},
        {{0, 0}, {1920, 1080}, "Max,Fullscreen"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(joined(windowEntries(c.resolution, c.virtualScreen, Language::English)), c.expected);
    EXPECT_EQ(joined(windowEntries({0, 0}, {1920, 1080}, Language::German)), "Max,Vollbild");
}

TEST(DialogLogic, ProposedWindowIsTheLargestMultipleBelowThePrimaryMonitor)
{
    struct Case {
        ScreenSize resolution, primary;
        const char* expected;
    } cases[] = {
        {{1024, 768}, {1920, 1080}, "1024x768 (1x)"},
        {{640, 480}, {1920, 1080}, "1280x960 (2x)"},
        // Equal to the monitor does not count as below it.
        {{960, 540}, {1920, 1080}, "960x540 (1x)"},
        {{512, 256}, {1920, 1080}, "1536x768 (3x)"},
        // 5x is no listed factor: no suffix.
        {{512, 256}, {3000, 1400}, "2560x1280"},
        // Larger than the monitor: still the resolution itself (not listed: it does not fit).
        {{2048, 1536}, {1920, 1080}, "2048x1536"},
        {{0, 0}, {1920, 1080}, "Max"},
    };
    for (const Case& c : cases) {
        const ScreenSize virtualScreen{std::max(c.primary.width, 3000), std::max(c.primary.height, 1400)};
        EXPECT_EQ(windowSizeText(proposedWindow(c.resolution, c.primary), c.resolution, virtualScreen), c.expected);
    }
}

TEST(DialogLogic, TypedWindowSizesWithAndWithoutTheAspectRule)
{
    const ScreenSize screen{1920, 1080};
    struct Case {
        const char* typed;
        bool keepAspect;
        ScreenSize resolution;
        const char* expected;  // the rewritten field, or the message
    } cases[] = {
        {"1280", true, {640, 480}, "1280x960 (2x)"},
        {"1000", true, {640, 480}, "1000x750"},
        // 1001 / (4/3) = 750.75 rounds to 751.
        {"1001", true, {640, 480}, "1001x751"},
        {"1000", true, {512, 256}, "1000x500"},
        // Aspect rule needs a known resolution; a bare number is then no size.
        {"1000", true, {0, 0}, "Illegal value in 'Window size'."},
        {"1000", false, {640, 480}, "Illegal value in 'Window size'."},
        {"1280x960", false, {640, 480}, "1280x960 (2x)"},
        {" 800 x 700 ", true, {640, 480}, "800x700"},
        {"max", false, {640, 480}, "Max"},
        {"Fullscreen", false, {640, 480}, "Fullscreen"},
        {"100", true, {640, 480}, "'X window size' must be between 512 and 4096."},
        {"800x100", false, {640, 480}, "'Y window size' must be between 256 and 4096."},
        {"5000x800", false, {640, 480}, "'X window size' must be between 512 and 4096."},
    };
    for (const Case& c : cases) {
        WindowTextResult r = typedWindowText(c.typed, c.keepAspect, c.resolution, screen, Language::English);
        EXPECT_EQ(r.text ? *r.text : r.message, c.expected) << c.typed;
    }
}

TEST(DialogLogic, OkReadsTheFieldsOrNamesTheFault)
{
    struct Case {
        MainFieldTexts texts;
        const char* message;  // "" when OK passes
        DialogField field;
    } cases[] = {
        {{"Max", "Max", "16", "44 (GB)"}, "", DialogField::None},
        {{"800x600", "1600x1200 (2x)", "255", "1 (US)"}, "", DialogField::None},
        {{"800", "Max", "16", "44"}, "Illegal value in 'Resolution'.", DialogField::Resolution},
        {{"511x256", "Max", "16", "44"}, "'X resolution' must be between 512 and 4096.", DialogField::Resolution},
        {{"4097x256", "Max", "16", "44"}, "'X resolution' must be between 512 and 4096.", DialogField::Resolution},
        {{"512x255", "Max", "16", "44"}, "'Y resolution' must be between 256 and 4096.", DialogField::Resolution},
        {{"512x4097", "Max", "16", "44"}, "'Y resolution' must be between 256 and 4096.", DialogField::Resolution},
        {{"Max", "wide", "16", "44"}, "Illegal value in 'Window size'.", DialogField::Window},
        {{"Max", "600x300", "16", "44"}, "", DialogField::None},
        {{"Max", "Max", "300", "44"}, "'Memory size' must be between 2 and 255.", DialogField::Memory},
        {{"Max", "Max", "1", "44"}, "'Memory size' must be between 2 and 255.", DialogField::Memory},
        {{"Max", "Max", "lots", "44"}, "Illegal value in 'Memory size'.", DialogField::Memory},
        // Only five characters are read: "000002" is "00000", which is too small.
        {{"Max", "Max", "000002", "44"}, "'Memory size' must be between 2 and 255.", DialogField::Memory},
        {{"Max", "Max", "16", "0"}, "'Country code' must be between 1 and 255.", DialogField::CountryCode},
        {{"Max", "Max", "16", "256 (X)"}, "'Country code' must be between 1 and 255.", DialogField::CountryCode},
        {{"Max", "Max", "16", "(GB)"}, "Illegal value in 'Country code'.", DialogField::CountryCode},
    };
    for (const Case& c : cases) {
        Settings s;
        s.Memory = 7;
        std::optional<DialogFailure> failure = readMainFields(c.texts, s, Language::English);
        EXPECT_EQ(failure ? failure->message : "", c.message) << c.texts.resolution << " " << c.texts.memory;
        EXPECT_EQ(failure ? failure->field : DialogField::None, c.field);
        if (failure) {
            EXPECT_EQ(s.Memory, 7) << "a refused OK changes nothing";
        }
    }
}

TEST(DialogLogic, OkStoresTheScreenAndRaisesTheWindowToTheResolution)
{
    Settings s;
    ASSERT_FALSE(readMainFields({"1024x768", "600x300", "24", "49 (D)"}, s, Language::English));
    EXPECT_EQ(s.ResolutionX, 1024);
    EXPECT_EQ(s.ResolutionY, 768);
    EXPECT_EQ(s.WindowMode, 1);
    EXPECT_EQ(s.WindowSizeX, 1024);
    EXPECT_EQ(s.WindowSizeY, 768);
    EXPECT_EQ(s.Memory, 24);
    EXPECT_EQ(s.CountryCode, 49);

    s.WindowSizeX = 1111;
    s.WindowSizeY = 999;
    ASSERT_FALSE(readMainFields({"MAX", "Fullscreen", "2", "33"}, s, Language::English));
    EXPECT_EQ(s.ResolutionX, 0);
    EXPECT_EQ(s.WindowMode, 0);
    EXPECT_EQ(s.WindowSizeX, 1111) << "full screen keeps the remembered window size";

    ASSERT_FALSE(readMainFields({"640x480", "Max", "2", "33"}, s, Language::English));
    EXPECT_EQ(s.WindowMode, 1);
    EXPECT_EQ(s.WindowSizeX, 0);
}

TEST(DialogLogic, GermanMessagesNameGermanFields)
{
    Settings s;
    std::optional<DialogFailure> f = readMainFields({"Max", "Vollbild", "300", "44"}, s, Language::German);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message, "'Speichergröße' muss zwischen 2 und 255 liegen.");
    EXPECT_FALSE(readMainFields({"Max", "Vollbild", "16", "44"}, s, Language::German));
    EXPECT_EQ(s.WindowMode, 0);
}

TEST(DialogLogic, BaseDirectoriesAndWhetherTheDialogShows)
{
    Settings s;
    for (int i = 0; i < HostDirDriveCount; ++i) s.DOS[i] = "/data/dos" + std::to_string(i + 1);
    EXPECT_FALSE(checkBaseDirectories(s, Language::English));

    struct Case {
        uint8_t showDialog;
        bool shift;
        int emptyDrive;  // 0: none
        bool shown;
    } cases[] = {
        {0, false, 0, true}, {1, false, 0, false}, {1, true, 0, true}, {1, false, 3, true}, {0, false, 8, true},
    };
    for (const Case& c : cases) {
        Settings t = s;
        t.ShowDialog = c.showDialog;
        if (c.emptyDrive) t.DOS[c.emptyDrive - 1] = "  ";
        EXPECT_EQ(startDialogShown(t, c.shift), c.shown) << int(c.showDialog) << c.shift << c.emptyDrive;
    }

    s.DOS[2].clear();
    std::optional<DialogFailure> f = checkBaseDirectories(s, Language::English);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message.rfind("Base directory of DOS3_ is invalid.", 0), 0u) << f->message;
}

TEST(DialogLogic, ListsAndTheirSettings)
{
    EXPECT_EQ(joined(DialogLists::memorySizes()), "2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,24,32,48,64,96,128,255");
    const Texts com = DialogLists::serialPorts(Language::English);
    ASSERT_EQ(com.size(), 65u);
    EXPECT_EQ(com[0], "None");
    EXPECT_EQ(com[64], "COM64");
    for (int entry = 0; entry < 3; ++entry) EXPECT_EQ(colourEntryFromDepth(colourDepthFromEntry(entry)), entry);
    EXPECT_EQ(colourDepthFromEntry(1), 2);
    EXPECT_EQ(countryEntryFor(49), 5);
    EXPECT_EQ(countryEntryFor(45), -1);
    EXPECT_EQ(volumeToPosition(30), 70);
    EXPECT_EQ(positionToVolume(volumeToPosition(0)), 0);
    EXPECT_TRUE(filterBoxEnabled(ParallelModePrinter, true));
    EXPECT_FALSE(filterBoxEnabled(ParallelModePrinter, false));
    EXPECT_FALSE(filterBoxEnabled(1, true));
    EXPECT_FALSE(printerListEnabled(3));
}

TEST(DialogLogic, LanguageFromTheLocale)
{
    // The process's own locale comes back afterwards.
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = getenv(name);
        saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    struct Case {
        const char *all, *messages, *lang;
        Language expected;
    } cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", Language::German},
        {nullptr, nullptr, "en_GB.UTF-8", Language::English},
        {"C", nullptr, "de_DE.UTF-8", Language::English},
        {nullptr, "de_AT", "en_US", Language::German},
        {"", nullptr, "de_CH", Language::German},
        {nullptr, nullptr, nullptr, Language::English},
    };
    for (const Case& c : cases) {
        for (auto [name, value] : {std::pair{"LC_ALL", c.all}, {"LC_MESSAGES", c.messages}, {"LANG", c.lang}}) {
            if (value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
        EXPECT_EQ(hostLanguage(), c.expected) << (c.all ? c.all : "-") << (c.lang ? c.lang : "-");
    }
    for (const auto& [name, value] : saved) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    EXPECT_EQ(std::string(loadString(StringId::Fullscreen, Language::German)), "Vollbild");
    EXPECT_EQ(formatString(Language::German, StringId::ValueOutOfRange, "X", 1, 2),
              "'X' muss zwischen 1 und 2 liegen.");
}
