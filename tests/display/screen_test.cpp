// Change marking, the update pass, the mirror and the screen's set-up calls.
#include "config/settings.h"
#include "core/host_call.h"
#include "display/display.h"
#include "display/display_window.h"
#include "reference_pixels.h"
#include "screen_fixture.h"

#include <random>

namespace {

using Marked = std::vector<std::pair<unsigned, size_t>>;

// Every host pixel of the frame against pixel decoding of guest memory.
void expectFrameMatchesMemory(const HeadlessFrame& frame)
{
    for (unsigned y = 0; y < frame.height(); ++y) {
        const uint8_t* line = guestScreen.windowStart + guestScreen.pitch * y;
        for (unsigned x = 0; x < frame.width(); ++x) {
            const uint32_t want = reference::hostPixelColour(guestScreen.format->id, line, x);
            const std::vector<uint8_t> bytes = reference::hostBytes(want, frame.format());
            const uint8_t* got = frame.bytes().data() + frame.pitch() * y + x * bytes.size();
            ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), got)) << "pixel " << x << "," << y;
        }
    }
}

}  // namespace

using Marking = ScreenFixture;

TEST_F(Marking, WritesMarkTheirCellsAndTheNextWhenTheyCrossOne)
{
    makeScreen(640, 480, ScreenBits::Rgb16);
    struct Case {
        size_t offset;
        unsigned size;
        Marked cells;
    };
    const size_t pitch = 1280;
    const Case cases[] = {
        {8, 1, {{0, 2}}},
        {11, 2, {{0, 2}, {0, 3}}},  // word at a cell's last byte
        {10, 2, {{0, 2}}},
        {13, 4, {{0, 3}, {0, 4}}},  // long not on a cell boundary
        {pitch * 3 + 4, 4, {{3, 1}}},
        {pitch - 1, 2, {{0, pitch / 4 - 1}, {1, 0}}},  // across the line end
        {pitch * 479 + 1279, 1, {{479, 319}}},
    };
    for (const Case& c : cases) {
        screenSetBase(ScreenBase);  // clears the maps
        memset(screenAt(c.offset), 0x5A, c.size);
        screenNoteWrite(screenAt(c.offset), c.size);
        EXPECT_EQ(markedCells(), c.cells) << "offset " << c.offset << " size " << c.size;
        for (auto [line, cell] : c.cells) EXPECT_TRUE(lineMarked(line));
        EXPECT_EQ(guestScreen.dirtyAny.load(), 1u);
    }
    screenSetBase(ScreenBase);
    screenNoteWrite(screenAt(pitch * 480), 2);  // past the last line
    screenNoteWrite(screenAt(0) - 2, 2);        // before the window
    EXPECT_TRUE(markedCells().empty());
    EXPECT_EQ(guestScreen.dirtyAny.load(), 0u);
}

TEST_F(Marking, HostCopiesAndRectanglesMarkWhatTheyCover)
{
    makeScreen(512, 256, ScreenBits::Indexed);
    // A copy from before the screen into its second line.
    screenNoteBytes(screenAt(0) - 100, 100 + 512 + 10);
    Marked expected;
    for (size_t c = 0; c < 128; ++c) expected.emplace_back(0, c);
    expected.emplace_back(1, 0);
    expected.emplace_back(1, 1);
    expected.emplace_back(1, 2);
    EXPECT_EQ(markedCells(), expected);

    screenSetBase(ScreenBase);
    screenNoteRect(6, 2, 3, 2);  // bytes 6-8 of lines 2 and 3
    EXPECT_EQ(markedCells(), (Marked{{2, 1}, {2, 2}, {3, 1}, {3, 2}}));

    makeScreen(512, 256, ScreenBits::Rgb16);
    screenNoteRect(1, 0, 1, 1);  // bytes 2-3
    EXPECT_EQ(markedCells(), (Marked{{0, 0}}));
    makeScreen(1024, 256, ScreenBits::Ql);
    screenNoteRect(15, 0, 2, 1);  // pixels 15 and 16: words 1 and 2, bytes 2-5
    EXPECT_EQ(markedCells(), (Marked{{0, 0}, {0, 1}}));
}

TEST_F(Marking, ScreenBeyondTheEndOfRamShowsOnlyTheLinesInside)
{
    makeScreen(512, 256, ScreenBits::Indexed, 0, HostFormat::Bgr0, mem.ramSize - 512 * 10);
    EXPECT_EQ(guestScreen.shownLines, 10u);
    screenNoteBytes(screenAt(0), 512 * 20);
    EXPECT_EQ(markedCells().size(), 10u * 128);
    EXPECT_TRUE(screenUpdateSurface(frame.surface()));
}

using Update = ScreenFixture;

TEST_F(Update, ConvertsOnlyMarkedCellsAndNothingWhenNothingChanged)
{
    makeScreen(640, 480, ScreenBits::Rgb16, 0, HostFormat::Rgb0);
    for (size_t i = 0; i < guestScreen.size; ++i) *screenAt(i) = uint8_t(i * 7);
    EXPECT_FALSE(screenUpdateSurface(frame.surface()));  // unmarked memory is not shown
    EXPECT_EQ(frame.rgb(1, 0), 0u);

    write(2, {0xFF, 0xFF});
    write(1280 * 5 + 6, {0x00, 0xF8, 0xE0, 0x07});
    EXPECT_TRUE(screenUpdateSurface(frame.surface()));
    EXPECT_EQ(frame.rgb(1, 0), 0xF8FCF8u);
    EXPECT_EQ(frame.rgb(3, 5), 0xF80000u);
    EXPECT_EQ(frame.rgb(4, 5), 0x00FC00u);
    EXPECT_EQ(frame.rgb(1, 5), 0u);  // cell 0 was not marked
    EXPECT_EQ(frame.rgb(2, 5), reference::hostPixelColour(GuestFormatId::Rgb16, screenAt(1280 * 5), 2));
    EXPECT_FALSE(screenUpdateSurface(frame.surface()));

    screenRequestFullRedraw();
    EXPECT_TRUE(screenUpdateSurface(frame.surface()));
    expectFrameMatchesMemory(frame);
}

// A window repaints only what a pass reports, so the report must cover every converted
// pixel: a pixel left out would keep its old colour on the screen.
TEST_F(Update, ReportsWhereItConvertedInBandsOfLines)
{
    makeScreen(640, 480, ScreenBits::Rgb16);
    struct Write {
        size_t offset;
        unsigned size;
    };
    struct Case {
        const char* name;
        std::vector<Write> writes;
        std::vector<ChangedArea::Band> bands;  // left, top, right, bottom (pixels)
    };
    const size_t pitch = 1280;
    const Case cases[] = {
        {"one long", {{pitch * 3 + 8, 4}}, {{3, 3, 6, 4}}},  // cell 2 = pixels 4-5, half a cell to the left
        {"first cell", {{0, 2}}, {{0, 0, 2, 1}}},
        {"last pixel", {{pitch * 479 + 1278, 2}}, {{637, 479, 640, 480}}},
        {"neighbouring lines join", {{pitch * 10 + 40, 4}, {pitch * 11 + 400, 4}}, {{19, 10, 202, 12}}},
        {"a gap starts a band", {{pitch * 10, 4}, {pitch * 12, 4}}, {{0, 10, 2, 11}, {0, 12, 2, 13}}},
    };
    for (const Case& c : cases) {
        for (const Write& w : c.writes) {
            memset(screenAt(w.offset), 0x5A, w.size);
            screenNoteWrite(screenAt(w.offset), w.size);
        }
        ChangedArea area;
        ASSERT_TRUE(screenUpdateSurface(frame.surface(), &area)) << c.name;
        EXPECT_FALSE(area.whole) << c.name;
        ASSERT_EQ(area.count, c.bands.size()) << c.name;
        for (size_t i = 0; i < c.bands.size(); ++i) {
            const ChangedArea::Band& got = area.bands[i];
            const ChangedArea::Band& want = c.bands[i];
            EXPECT_TRUE(got.left == want.left && got.top == want.top && got.right == want.right &&
                        got.bottom == want.bottom)
                << c.name << " band " << i << ": " << got.left << "," << got.top << " to " << got.right << ","
                << got.bottom;
        }
    }

    // More separate lines than bands: the last band grows to take the rest in.
    for (unsigned line = 0; line < 40; line += 4) screenNoteWrite(screenAt(pitch * line + 80), 4);
    ChangedArea many;
    ASSERT_TRUE(screenUpdateSurface(frame.surface(), &many));
    ASSERT_EQ(many.count, ChangedArea::MaxBands);
    EXPECT_EQ(many.bands[ChangedArea::MaxBands - 1].top, 4u * (ChangedArea::MaxBands - 1));
    EXPECT_EQ(many.bands[ChangedArea::MaxBands - 1].bottom, 37u);

    screenRequestFullRedraw();
    ChangedArea everything;
    ASSERT_TRUE(screenUpdateSurface(frame.surface(), &everything));
    EXPECT_TRUE(everything.whole);
}

TEST_F(Update, ChangingTheQlModeRedrawsInTheNewFormat)
{
    makeScreen(512, 256, ScreenBits::Ql);
    for (size_t i = 0; i < guestScreen.size; ++i) *screenAt(i) = uint8_t(i * 5 + 1);
    screenRequestFullRedraw();
    ASSERT_TRUE(screenUpdateSurface(frame.surface()));
    screenSetMode(QlEightColourMode);
    EXPECT_EQ(guestScreen.format->id, GuestFormatId::Ql8);
    ASSERT_TRUE(screenUpdateSurface(frame.surface()));
    expectFrameMatchesMemory(frame);
    screenSetMode(QlEightColourMode);  // no change: nothing to redraw
    EXPECT_FALSE(screenUpdateSurface(frame.surface()));
}

TEST_F(Update, LineOf1030BytesTakesItsLastCellFromTheBytesEndingTheLine)
{
    for (uint8_t mode : {uint8_t(0), QlEightColourMode}) {
        makeScreen(4120, 4, ScreenBits::Ql, mode, HostFormat::Rgb565);
        ASSERT_EQ(guestScreen.pitch, 1030u);
        for (size_t i = 0; i < guestScreen.size; ++i) *screenAt(i) = uint8_t(i * 13 + 5);
        screenNoteBytes(screenAt(1026), 4);  // the last two cells of line 0
        EXPECT_EQ(markedCells(), (Marked{{0, 256}, {0, 257}}));
        const std::vector<uint8_t> before = frame.bytes();
        ASSERT_TRUE(screenUpdateSurface(frame.surface()));
        for (unsigned x = 4096; x < 4120; ++x)
            EXPECT_EQ(frame.rgb(x, 0) & 0xF8FCF8,
                      reference::hostPixelColour(guestScreen.format->id, screenAt(0), x) & 0xF8FCF8)
                << x;
        // Nothing outside the line's host row changed.
        EXPECT_TRUE(std::equal(before.begin() + ptrdiff_t(frame.pitch()), before.end(),
                               frame.bytes().begin() + ptrdiff_t(frame.pitch())));
        screenRequestFullRedraw();
        screenUpdateSurface(frame.surface());
        expectFrameMatchesMemory(frame);
    }
}

TEST_F(Update, FullConversionOfEveryFormatMatchesPixelDecoding)
{
    struct Case {
        unsigned bits;
        uint8_t mode;
        HostFormat host;
    };
    std::mt19937 random(11);
    for (Case c : {Case{2, 0, HostFormat::Bgr24}, Case{2, 8, HostFormat::Bgr0}, Case{8, 0, HostFormat::Rgb555},
                   Case{16, 0, HostFormat::Rgb0}, Case{16, 0, HostFormat::Rgb565}}) {
        makeScreen(520, 260, c.bits, c.mode, c.host);
        for (size_t i = 0; i < guestScreen.size; ++i) *screenAt(i) = uint8_t(random());
        screenRequestFullRedraw();
        ASSERT_TRUE(screenUpdateSurface(frame.surface()));
        expectFrameMatchesMemory(frame);
    }
}

using Mirror = ScreenFixture;

TEST_F(Mirror, SixteenBitScreenWritesOnlyExactQlColoursIntoTheQlScreen)
{
    makeScreen(640, 480, ScreenBits::Rgb16);
    screenMirrorControl(MirrorMode::Four);
    write(0, {0xFF, 0xFF});  // white at (0, 0)
    EXPECT_EQ(*at(0x20000), 0x80);
    EXPECT_EQ(*at(0x20001), 0x80);
    write(2, {0x34, 0x12});  // $1234 at (1, 0): no QL colour
    EXPECT_EQ(*at(0x20000), 0x80);
    EXPECT_EQ(*at(0x20001), 0x80);
    write(1280 * 3 + 2 * 9, {0x00, 0xF8});  // red at (9, 3): bit 6 of the odd byte of word 1
    EXPECT_EQ(*at(0x20000 + 128 * 3 + 2), 0x00);
    EXPECT_EQ(*at(0x20000 + 128 * 3 + 3), 0x40);
    write(1280 * 3 + 2 * 9, {0x00, 0x00});  // black clears it
    EXPECT_EQ(*at(0x20000 + 128 * 3 + 3), 0x00);
    write(2 * 512, {0xFF, 0xFF});  // x = 512 lies outside the mirrored area
    EXPECT_EQ(*at(0x20000 + 128), 0x00);

    screenMirrorControl(MirrorMode::Eight);
    write(2 * 4, {0xE0, 0xFF});  // yellow (FFFF00 = $FFE0) at even x = 4: pair 1 of word 0
    EXPECT_EQ(*at(0x20000) & 0x0C, 0x08);
    EXPECT_EQ(*at(0x20001) & 0x0C, 0x08);
    write(2 * 6 + 2, {0xFF, 0xFF});  // odd x = 7: ignored in mode 8
    EXPECT_EQ(*at(0x20000) & 0x03, 0x00);
    write(2 * 6, {0x10, 0x84});  // flash grey $8410 is not matched
    EXPECT_EQ(*at(0x20000) & 0x03, 0x00);
}

TEST_F(Mirror, QlScreenWritesAreDrawnDecodedAndMarked)
{
    makeScreen(640, 480, ScreenBits::Rgb16, 0, HostFormat::Bgr0);
    screenMirrorControl(MirrorMode::Eight);
    *at(0x20000) = 0x80;  // green at QL pixel 0
    *at(0x20001) = 0x00;
    qlScreenNoteWrite(at(0x20000), 2);
    *at(0x20080) = 0x40;                // flash only at line 1: mid grey
    qlScreenNoteWrite(at(0x20081), 1);  // odd address: the whole word is taken
    EXPECT_EQ(markedCells(), (Marked{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}, {1, 1}, {1, 2}, {1, 3}}));
    ASSERT_TRUE(screenUpdateSurface(frame.surface()));
    EXPECT_EQ(frame.rgb(0, 0), 0x00FC00u);  // green as 5-6-5
    EXPECT_EQ(frame.rgb(1, 0), 0x00FC00u);
    EXPECT_EQ(frame.rgb(2, 0), 0x000000u);
    EXPECT_EQ(frame.rgb(0, 1), 0x808080u);
    EXPECT_EQ(frame.rgb(1, 1), 0x808080u);

    makeScreen(512, 256, ScreenBits::Indexed);
    screenMirrorControl(MirrorMode::Four);
    *at(0x20000 + 128 * 2 + 4) = 0xF0;  // word 2 of line 2: green, green, green, green, white...
    *at(0x20000 + 128 * 2 + 5) = 0x0F;
    screenNoteBytes(at(0x20000 + 128 * 2 + 4), 2);
    const uint8_t* line = screenAt(512 * 2 + 16);
    EXPECT_EQ(std::vector<uint8_t>(line, line + 8), (std::vector<uint8_t>{147, 147, 147, 147, 73, 73, 73, 73}));
}

TEST_F(Mirror, QlFormatsCopyBytesBothWays)
{
    makeScreen(1024, 512, ScreenBits::Ql);
    screenMirrorControl(MirrorMode::Four);
    write(126, {1, 2, 3, 4});  // cut at QL column 128
    EXPECT_EQ(*at(0x20000 + 126), 1);
    EXPECT_EQ(*at(0x20000 + 127), 2);
    EXPECT_EQ(*at(0x20000 + 128), 0);
    write(256 * 256, {9});  // line 256 is beyond the QL screen
    EXPECT_EQ(*at(0x20000 + 0x7FFF), 0);

    *at(0x20000 + 128 * 5 + 10) = 0xAB;
    qlScreenNoteWrite(at(0x20000 + 128 * 5 + 10), 1);
    EXPECT_EQ(*screenAt(256 * 5 + 10), 0xAB);
    EXPECT_TRUE(cellMarked(5, 2));
}

TEST(MirrorControl, ValuesSwitchAutomaticAndFixedModes)
{
    struct Step {
        int32_t value;
        uint8_t mode;
        bool automatic;
    };
    screenReset();
    const Step steps[] = {{1, 0, false}, {-1, 0, true}, {1, 4, true},  {2, 8, true},  {3, 8, true},
                          {0, 0, false}, {2, 0, false}, {8, 8, false}, {1, 8, false}, {4, 4, false}};
    for (const Step& s : steps) {
        screenMirrorControl(s.value);
        EXPECT_EQ(guestScreen.mirrorMode, s.mode) << s.value;
        EXPECT_EQ(guestScreen.mirrorAuto, s.automatic) << s.value;
    }
    screenReset();
}

using ScreenCalls = ScreenFixture;

TEST_F(ScreenCalls, SetSizeRoundsAndClampsAndTakesBitsFromTheNextRegister)
{
    screenInstallHostCalls();
    guestScreen.maxWidth = 1920;
    guestScreen.maxHeight = 1080;
    struct Case {
        unsigned n;
        uint32_t value, written;
        unsigned width, height;
    };
    for (Case c : {Case{1, 0x01FF0100, 0x02000100, 512, 256}, Case{1, 0x04060200, 0x04000200, 1024, 512},
                   Case{3, 0xFFFFFFFF, 0x07800438, 1920, 1080}, Case{7, 0x02800000, 0x02800100, 640, 256}}) {
        cpu.D[c.n] = c.value;
        if (c.n == 7)
            cpu.A[0] = 16;
        else
            cpu.D[c.n + 1] = 8;
        EXPECT_EQ(hostCall(1, 0, c.n), 0);
        EXPECT_EQ(cpu.D[c.n], c.written);
        EXPECT_EQ(guestScreen.requestedWidth, c.width);
        EXPECT_EQ(guestScreen.requestedHeight, c.height);
        EXPECT_EQ(guestScreen.requestedBits, c.n == 7 ? 16u : 8u);
    }
    // Block operations of a QL screen and unknown window calls are illegal.
    makeScreen(512, 256, ScreenBits::Ql);
    for (unsigned sub : {5u, 6u, 7u}) EXPECT_EQ(hostCall(1, sub, 0), HostCallResult::Illegal) << sub;
    EXPECT_EQ(hostCall(1, 0xF, 4), HostCallResult::Illegal);
    EXPECT_EQ(hostCall(1, 0x8, 0), HostCallResult::Illegal);
    screenRemoveHostCalls();
}

TEST_F(ScreenCalls, InitialiseAppliesTheRequestThroughTheWindowAndScalesTheWindowSize)
{
    RecordingWindow window;
    HeadlessBackEnd backEnd;
    window.setMonitorLimits({1280, 1024});
    displaySetWindow(&window);
    displaySetBackEnd(&backEnd);
    ASSERT_TRUE(displayStart());
    EXPECT_EQ(guestScreen.maxWidth, 1280u);
    settings.WindowSizeX = 1000;
    settings.WindowSizeY = 600;

    cpu.D[0] = 0x02800190;  // 640 x 400, 16 bits
    cpu.D[1] = 16;
    EXPECT_EQ(hostCall(1, 0, 0), 0);
    EXPECT_EQ(hostCall(1, 1, 0), 0);
    EXPECT_EQ(guestScreen.pitch, 1280u);
    EXPECT_EQ(settings.WindowSizeX, 1000);  // the first mode does not scale
    cpu.D[0] = 0x04000320;                  // 1024 x 800
    EXPECT_EQ(hostCall(1, 0, 0), 0);
    EXPECT_EQ(hostCall(1, 1, 0), 0);
    EXPECT_EQ(settings.WindowSizeX, 1600);
    EXPECT_EQ(settings.WindowSizeY, 1200);

    cpu.D[1] = 300;
    cpu.D[2] = 200;
    EXPECT_EQ(hostCall(1, 0xF, 3), 0);
    EXPECT_EQ(hostCall(1, 0xF, 0), 0);
    const std::vector<std::string> expected = {"apply mode",   "place window",        "apply mode",
                                               "place window", "client size 300x200", "maximise"};
    EXPECT_EQ(window.requests(), expected);
    EXPECT_TRUE(displayReady());
    displayShutDown();
    const std::vector<std::string> backEndCalls = {"init",
                                                   "cleanup mode",
                                                   "set window mode 640x400 for 640x400",
                                                   "cleanup mode",
                                                   "set window mode 1024x800 for 1024x800",
                                                   "cleanup"};
    EXPECT_EQ(backEnd.requests(), backEndCalls);
    displaySetWindow(nullptr);
    displaySetBackEnd(nullptr);
    settings.WindowSizeX = settings.WindowSizeY = 0;
}

TEST_F(ScreenCalls, UnsupportedDepthIsFatal)
{
    guestScreen.requestedBits = 4;
    EXPECT_EXIT(screenApplyMode(), testing::ExitedWithCode(1), "Unsupported display mode");
}
