// Guest programs draw through the real emulator; the screen as the display converted it
// comes back as a PNG snapshot, compared here with pixels computed from the programs'
// own rules.
#include "guest_runner.h"
#include "reference_pixels.h"
#include "support/temp_dir.h"

#include <QImage>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

class ScreenProgram : public ::testing::Test {
protected:
    void SetUp() override { dir.write("zem.ini", "[Emulation]\nMemory=4\n"); }

    // Runs the program with the snapshot switched on; the snapshot in `picture`.
    GuestRun run(const char* image, int expectedExit = 0)
    {
        GuestRunOptions options;
        options.args = {"-OS",  image, "-INI",  (dir / "zem.ini").string(),
                        "-DBG", "0",   "-SNAP", (dir / "screen.png").string()};
        options.workingDirectory = dir.path().string();
        GuestRun result = runGuest(options);
        EXPECT_TRUE(result.exited && result.exitCode == expectedExit) << result.describe();
        picture = QImage(QString::fromStdString((dir / "screen.png").string()));
        return result;
    }

    uint32_t at(int x, int y) const { return picture.pixel(x, y) & 0xFFFFFF; }

    // Every pixel against `expected`; reports the first few mismatches.
    void expectPicture(int width, int height, const std::function<uint32_t(int, int)>& expected)
    {
        ASSERT_EQ(picture.width(), width);
        ASSERT_EQ(picture.height(), height);
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) != expected(x, y) && ++wrong <= 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << at(x, y) << " want "
                                  << expected(x, y);
        EXPECT_EQ(wrong, 0);
    }

    zemtest::TempDir dir{"zem-screen"};
    QImage picture;
};

uint8_t bytePattern(uint32_t i) { return uint8_t(7 * i + 3 * (i >> 7)); }

uint32_t from565(uint32_t v) { return reference::from565(uint16_t(v)); }

// Pixel colours of a QL-format screen filled with the byte pattern.
std::function<uint32_t(int, int)> qlPattern(GuestFormatId format, uint32_t pitch)
{
    return [format, pitch, line = std::vector<uint8_t>(pitch), lineY = -1](int x, int y) mutable {
        if (y != lineY) {
            for (uint32_t i = 0; i < pitch; ++i) line[i] = bytePattern(pitch * uint32_t(y) + i);
            lineY = y;
        }
        return reference::hostPixelColour(format, line.data(), unsigned(x));
    };
}

}  // namespace

TEST_F(ScreenProgram, SixteenBitPixelsWrittenInEveryWidthAndAlignment)
{
    GuestRun result = run(GUEST_RGB16);
    EXPECT_TRUE(result.hasLine("sizes 02000100 04000200 07800438")) << result.describe();
    expectPicture(640, 480, [](int x, int y) { return from565(uint32_t(37 * x + 101 * y) & 0xFFFF); });
}

TEST_F(ScreenProgram, EightBitPaletteAndMirroredQlColours)
{
    run(GUEST_INDEXED8);
    expectPicture(512, 256, [](int x, int y) {
        if (y == 200 && x < 8) return reference::paletteColour(x < 4 ? 147 : 73);  // one QL word
        return reference::paletteColour(uint8_t(x + 3 * y));
    });
    EXPECT_EQ(at(0, 200), 0x24FF00u);            // index 147
    EXPECT_EQ(at(146 - 3 * 10, 10), 0x00FF00u);  // index 146
}

TEST_F(ScreenProgram, MirrorInBothDirectionsOnASixteenBitScreen)
{
    GuestRun result = run(GUEST_MIRROR16);
    bool found = false;
    for (const std::string& line : result.lines()) found |= line.rfind("ql 80 80 00 00 00 00 00 00", 0) == 0;
    EXPECT_TRUE(found) << result.describe();
    EXPECT_EQ(at(0, 0), 0xF8FCF8u);
    EXPECT_EQ(at(8, 0), from565(0x1234));
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(at(x, 10), x < 2 ? 0x00FC00u : 0u) << x;
        EXPECT_EQ(at(x, 11), x < 2 ? 0x808080u : 0u) << x;
        EXPECT_EQ(at(x, 12), 0x00FC00u) << x;
    }
    EXPECT_EQ(at(8, 12), 0u);
}

TEST_F(ScreenProgram, QlFourColourScreenAtTheClassicAddress)
{
    run(GUEST_QL4);
    expectPicture(512, 256, qlPattern(GuestFormatId::Ql4, 128));
}

TEST_F(ScreenProgram, QlEightColourScreenShowsFlashAsTheSecondSet)
{
    run(GUEST_QL8);
    expectPicture(1024, 512, qlPattern(GuestFormatId::Ql8, 256));
}

TEST_F(ScreenProgram, BlockOperationsThroughTheirHostCallsAndTheTraceAfterABadMove)
{
    GuestRun result = run(GUEST_BLOCKS);
    for (const char* line : {"fill 00000000", "eor 00000000", "combine 00000000", "move 00000000", "tall fill fffffff1",
                             "traced fffffff1"})
        EXPECT_TRUE(result.hasLine(line)) << line << "\n" << result.describe();
    EXPECT_FALSE(result.hasLine("not traced"));

    const uint32_t red = 0xF800, green = 0x07E0;
    auto filled = [&](int row) -> uint32_t {  // the fill area's pixel value in its row 0-19
        const uint32_t base = row % 2 ? green : red;
        return row >= 2 && row < 6 ? base ^ 0xFFFF : base;
    };
    auto blend = [](uint32_t v) {  // with black at alpha 128: red and green fields halve, rounded down
        return ((v >> 11) / 2) << 11 | (((v >> 5) & 63) / 2) << 5 | (v & 31) / 2;
    };
    for (int row = 0; row < 20; ++row)
        for (int x : {0, 1, 20, 21}) {
            EXPECT_EQ(at(5 + x, 10 + row), from565(filled(row))) << x << "," << row;
            EXPECT_EQ(at(200 + x, 200 + row), from565(blend(filled(row)))) << x << "," << row;
            EXPECT_EQ(at(300 + x, 50 + row), from565(filled(row))) << x << "," << row;
        }
    for (auto [x, y] : {std::pair{4, 10}, {27, 10}, {5, 9}, {5, 30}, {222, 200}, {322, 50}, {0, 475}})
        EXPECT_EQ(at(x, y), 0u) << x << "," << y;
}

TEST_F(ScreenProgram, DisplayStartsBeforeTheProcessorAndEndsBeforeTheMemory)
{
    GuestRunOptions options;
    options.args = {"-OS", GUEST_MIRROR16, "-INI", (dir / "zem.ini").string(), "-DBG", "3"};
    options.workingDirectory = dir.path().string();
    GuestRun result = runGuest(options);
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    EXPECT_TRUE(result.linesInOrder({"ZEM: OS read", "scr: Disp_Init start", "scr: Disp_Init end",
                                     "ZEM: Screen driver ready", "ZEM: Emulation started", "scr: SetWindowMode start.",
                                     "scr: SetWindowMode done.", "scr: InitEvent signaled.", "ZEM: Shutdown screen",
                                     "scr: Disp_Cleanup start.", "scr: Disp_Cleanup done.", "ZEM: Free memory"}))
        << result.describe();
}

TEST_F(ScreenProgram, UnsupportedDepthEndsTheProgramWithAFatalError)
{
    GuestRun result = run(GUEST_BAD_MODE, 1);
    EXPECT_TRUE(result.contains("Unsupported display mode")) << result.describe();
    EXPECT_FALSE(result.contains("still running"));
}
