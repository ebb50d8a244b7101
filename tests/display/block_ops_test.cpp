// Fill, exclusive-or, combine and move area against straightforward per-byte and
// per-pixel versions, on guest memory with a screen set up; each case also checks that
// the update after the operation shows the same picture as a full conversion.
#include "core/guest_error.h"
#include "log/log.h"
#include "display/block_ops.h"
#include "screen_fixture.h"

#include <random>

namespace {

constexpr unsigned Width = 320, Height = 200;

class BlockOps : public ScreenFixture {
protected:
    void prepare(unsigned bits, uint8_t mode = 0)
    {
        makeScreen(Width, Height, bits, mode);
        std::mt19937 random(bits * 31 + mode);
        for (uint32_t a = 0x10000; a < 0x50000; ++a) *at(a) = uint8_t(random());
        for (uint32_t a = ScreenBase; a < ScreenBase + guestScreen.size; ++a) *at(a) = uint8_t(random());
        screenRequestFullRedraw();
        ASSERT_TRUE(screenUpdateSurface(frame.surface()));
        before.assign(mem.base, mem.base + mem.ramSize);
        cpu.srSystem = 0;
    }

    // Memory equals `expected`, and the picture the marks produce is the whole truth.
    void expectMemoryAndPicture(const std::vector<uint8_t>& expected)
    {
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), mem.base)) << firstDifference(expected);
        screenUpdateSurface(frame.surface());
        HeadlessFrame full;
        full.resize(guestScreen.width, guestScreen.height, guestScreen.hostFormat);
        screenConvertAll(full.surface());
        EXPECT_TRUE(full.bytes() == frame.bytes()) << "a change was not marked";
    }

    std::string firstDifference(const std::vector<uint8_t>& expected) const
    {
        for (size_t i = 0; i < expected.size(); ++i)
            if (expected[i] != mem.base[i])
                return "first difference at $" + std::to_string(i) + ": want " + std::to_string(expected[i]) + " got " +
                       std::to_string(mem.base[i]);
        return "";
    }

    std::vector<uint8_t> before;
};

// ---- Reference versions, written from the parameter description byte by byte.

std::vector<uint8_t> referenceFill(std::vector<uint8_t> m, BlockKind kind, unsigned bits, const FillParams& p)
{
    const bool wide = bits == 16;
    const unsigned lead = wide ? ((p.d4 & 0xFF) ? 2 : 0) : (((p.d4 >> 16) & 0xFF) ? 1 : 0);
    const unsigned trail = wide ? ((p.d5 & 0xFF) ? 2 : 0) : (p.d4 & 0xFF);
    const uint32_t width = 4u * p.units + lead + trail, pitch = p.gap + width;
    for (unsigned r = 0; r < p.rows; ++r) {
        const uint32_t c = (r % 2 == 0) ? p.evenColour : p.oddColour;
        for (uint32_t i = 0; i < width; ++i) {
            uint8_t value, mask = 0xFF;
            if (i < lead)
                value = wide ? uint8_t(c >> (8 * (1 - i))) : uint8_t(c >> 16);
            else if (i < lead + 4 * p.units)
                value = uint8_t(c >> (8 * (3 - (i - lead) % 4)));
            else if (wide)
                value = uint8_t(c >> (8 * (3 - (i - lead - 4 * p.units))));
            else {
                const unsigned k = i - lead - 4 * p.units;
                value = uint8_t(c >> (8 * (3 - k)));
                mask = uint8_t(p.d5 >> (8 * (3 - k)));
            }
            uint8_t& b = m[p.address + r * pitch + i];
            b = kind == BlockKind::Fill ? uint8_t((b & ~mask) | (value & mask)) : uint8_t(b ^ (value & mask));
        }
    }
    return m;
}

int blendLevel(int l1, int l2, int alpha, int fieldShift, bool roundDown)
{
    // The step in field units (truncated), then rounded down to whole levels when asked.
    const int step = ((l1 - l2) << fieldShift) * alpha / 256;
    const int levels = roundDown ? (step >= 0 ? step >> fieldShift : -((-step + (1 << fieldShift) - 1) >> fieldShift))
                                 : step >> fieldShift;
    return l2 + levels;
}

std::vector<uint8_t> referenceCombine(std::vector<uint8_t> m, unsigned bits, const CombineParams& p)
{
    const unsigned width = p.size >> 16, rows = p.size & 0xFFFF, bpp = bits / 8;
    auto addr = [&](const BlockArea& a, unsigned x, unsigned y) {
        return a.base + ((a.position & 0xFFFF) + y) * a.pitch + ((a.position >> 16) + x) * bpp;
    };
    for (unsigned y = 0; y < rows; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const uint32_t s1 = addr(p.source1, x, y), s2 = addr(p.source2, x, y), d = addr(p.destination, x, y);
            if (bits == 16) {
                const int v1 = m[s1] | m[s1 + 1] << 8, v2 = m[s2] | m[s2 + 1] << 8;
                const int r = blendLevel(v1 >> 11, v2 >> 11, p.alpha, 11, true);
                const int g = blendLevel((v1 >> 5) & 63, (v2 >> 5) & 63, p.alpha, 5, true);
                const int b = (v2 & 31) + ((v1 & 31) - (v2 & 31)) * p.alpha / 256;
                const int v = r << 11 | g << 5 | b;
                m[d] = uint8_t(v);
                m[d + 1] = uint8_t(v >> 8);
            } else {
                const int c1 = paletteRgb9(m[s1]), c2 = paletteRgb9(m[s2]);
                const int r = blendLevel(c1 >> 6, c2 >> 6, p.alpha, 6, true);
                const int g = blendLevel((c1 >> 3) & 7, (c2 >> 3) & 7, p.alpha, 3, true);
                const int b = (c2 & 7) + ((c1 & 7) - (c2 & 7)) * p.alpha / 256;
                m[d] = paletteIndexOfRgb9(uint16_t(r << 6 | g << 3 | b));
            }
        }
    return m;
}

std::vector<uint8_t> referenceMove(std::vector<uint8_t> m, unsigned shift, const MoveParams& p)
{
    const unsigned width = p.size >> 16, rows = p.size & 0xFFFF;
    auto start = [&](const BlockArea& a) {
        return a.base + (a.position & 0xFFFF) * a.pitch + ((a.position >> 16) << shift);
    };
    std::vector<std::vector<uint8_t>> copy;
    for (unsigned r = 0; r < rows; ++r) {
        const uint32_t s = start(p.source) + r * p.source.pitch;
        copy.emplace_back(m.begin() + s, m.begin() + s + (width << shift));
    }
    for (unsigned r = 0; r < rows; ++r)
        std::copy(copy[r].begin(), copy[r].end(), m.begin() + start(p.destination) + r * p.destination.pitch);
    return m;
}

uint32_t xy(unsigned x, unsigned y) { return x << 16 | y; }

}  // namespace

TEST_F(BlockOps, FillAndEorMatchTheReferenceInBothFormats)
{
    struct Case {
        const char* what;
        unsigned bits;
        FillParams p;
    };
    const uint32_t pitch8 = Width, pitch16 = Width * 2;
    const Case cases[] = {
        {"16: lead, one unit, trail",
         16,
         {ScreenBase + 2 * pitch16 + 6, pitch16 - 8, 1, 3, 1, 1, 0x11223344, 0x55667788}},
        {"16: units only, long rows", 16, {ScreenBase, 0, 160, 4, 0, 0, 0xF800F800, 0x07E007E0}},
        {"16: lead only, no units", 16, {ScreenBase + 10, pitch16 - 2, 0, 5, 0xFF, 0, 0xAAAABBBB, 0xCCCCDDDD}},
        {"16: many units, odd rows count",
         16,
         {ScreenBase + 100 * pitch16 + 2, pitch16 - 70, 17, 7, 0, 0x80, 0x01020304, 0xF0E0D0C0}},
        {"16: off screen", 16, {0x10000, 12, 5, 3, 1, 1, 0x12345678, 0x9ABCDEF0}},
        {"8: lead byte, units, 3 trailing",
         8,
         {ScreenBase + pitch8 + 3, pitch8 - 12, 2, 4, 0x10003, 0xFFFFFF00, 0x11223344, 0xA5A5A5A5}},
        {"8: masked trailing bytes", 8, {ScreenBase + 5, pitch8 - 6, 1, 6, 2, 0xF00F0000, 0xDEADBEEF, 0x01234567}},
        {"8: trailing only",
         8,
         {ScreenBase + 50 * pitch8 + 1, pitch8 - 1, 0, 2, 1, 0xFF000000, 0x99000000, 0x77000000}},
        {"8: whole line", 8, {ScreenBase + 199 * pitch8, 0, 80, 1, 0, 0, 0x4D4D4D4D, 0}},
    };
    for (const Case& c : cases)
        for (BlockKind kind : {BlockKind::Fill, BlockKind::Eor}) {
            SCOPED_TRACE(std::string(c.what) + (kind == BlockKind::Fill ? " fill" : " eor"));
            prepare(c.bits);
            const std::vector<uint8_t> expected = referenceFill(before, kind, c.bits, c.p);
            EXPECT_EQ(fillBlock(kind, c.bits, c.p), 0);
            expectMemoryAndPicture(expected);
        }
}

TEST_F(BlockOps, SixteenBitFillWithLeadAndTrailWritesLowWordLongHighWord)
{
    prepare(16);
    const FillParams p{ScreenBase, Width * 2 - 8, 1, 2, 1, 1, 0xAABBCCDD, 0x11223344};
    ASSERT_EQ(fillBlock(BlockKind::Fill, 16, p), 0);
    const uint8_t* row0 = at(ScreenBase);
    const uint8_t* row1 = at(ScreenBase + Width * 2);
    EXPECT_EQ(std::vector<uint8_t>(row0, row0 + 8),
              (std::vector<uint8_t>{0xCC, 0xDD, 0xAA, 0xBB, 0xCC, 0xDD, 0xAA, 0xBB}));
    EXPECT_EQ(std::vector<uint8_t>(row1, row1 + 8),
              (std::vector<uint8_t>{0x33, 0x44, 0x11, 0x22, 0x33, 0x44, 0x11, 0x22}));
}

TEST_F(BlockOps, FillRejectsBadParametersWithoutWritingAndLogs)
{
    zlogSetMask(LogCat::Screen);
    struct Case {
        const char* what;
        FillParams p;
        int32_t result;
        const char* log;
    };
    const Case cases[] = {
        {"no rows", {ScreenBase, 0, 4, 0, 0, 0, 1, 1}, 0, ""},
        {"nothing per row", {ScreenBase, 0, 0, 5, 0, 0, 1, 1}, 0, ""},
        {"more rows than the screen, even off screen",
         {0x10000, 0, 1, Height + 1, 0, 0, 1, 1},
         GuestError::BadParameter,
         "Error in FillBlock (base 10000, pitch 4, size 4 x 201)"},
        {"row wider than the screen line",
         {ScreenBase, 0, Width / 2 + 1, 1, 0, 0, 1, 1},
         GuestError::BadParameter,
         "Error in FillBlock (base 100000, pitch 284, size 644 x 1)"},
        {"beyond the end of RAM",
         {RamMegabytes * 0x100000 - 8, 0, 2, 2, 0, 0, 1, 1},
         GuestError::BadParameter,
         "Error in FillBlock (base 7ffff8, pitch 8, size 8 x 2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prepare(16);
        testing::internal::CaptureStderr();
        EXPECT_EQ(fillBlock(BlockKind::Fill, 16, c.p), c.result);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(c.log), std::string::npos) << log;
        expectMemoryAndPicture(before);
    }
    prepare(8);
    testing::internal::CaptureStderr();
    EXPECT_EQ(fillBlock(BlockKind::Eor, 8, {ScreenBase, 0, 1, Height + 1, 0, 0, 1, 1}), GuestError::BadParameter);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error in EorBlock"), std::string::npos);
    zlogSetMask(0);
}

TEST_F(BlockOps, CombineBlendsBySourceOneWeight)
{
    struct Case {
        const char* what;
        unsigned bits;
        CombineParams p;
    };
    const uint32_t p8 = Width, p16 = Width * 2;
    const Case cases[] = {
        {"16: alpha 128",
         16,
         {xy(40, 30),
          {xy(0, 0), ScreenBase, p16},
          {xy(100, 50), ScreenBase, p16},
          {xy(200, 100), ScreenBase, p16},
          128}},
        {"16: alpha 0 copies source 2",
         16,
         {xy(17, 9), {xy(3, 1), ScreenBase, p16}, {xy(5, 60), ScreenBase, p16}, {xy(1, 150), ScreenBase, p16}, 0}},
        {"16: alpha 255",
         16,
         {xy(33, 5), {xy(7, 7), ScreenBase, p16}, {xy(50, 70), ScreenBase, p16}, {xy(280, 190), ScreenBase, p16}, 255}},
        {"16: areas with own pitches, off-screen sources",
         16,
         {xy(10, 10), {xy(0, 0), 0x10000, 64}, {xy(0, 0), 0x18000, 100}, {xy(30, 30), ScreenBase, p16}, 77}},
        {"8: alpha 128",
         8,
         {xy(64, 20), {xy(0, 0), ScreenBase, p8}, {xy(100, 100), ScreenBase, p8}, {xy(200, 150), ScreenBase, p8}, 128}},
        {"8: alpha 37",
         8,
         {xy(31, 31), {xy(9, 2), ScreenBase, p8}, {xy(60, 80), ScreenBase, p8}, {xy(250, 3), ScreenBase, p8}, 37}},
        {"8: alpha 0 and 255 ends",
         8,
         {xy(5, 5), {xy(0, 190), ScreenBase, p8}, {xy(300, 0), ScreenBase, p8}, {xy(315, 195), ScreenBase, p8}, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prepare(c.bits);
        const std::vector<uint8_t> expected = referenceCombine(before, c.bits, c.p);
        EXPECT_EQ(combineBlock(c.bits, c.p), 0);
        expectMemoryAndPicture(expected);
    }
    // Alpha 0 leaves the destination equal to source 2.
    prepare(16);
    const CombineParams copy{xy(20, 4),
                             {xy(0, 0), ScreenBase, Width * 2},
                             {xy(40, 40), ScreenBase, Width * 2},
                             {xy(100, 100), ScreenBase, Width * 2},
                             0};
    ASSERT_EQ(combineBlock(16, copy), 0);
    for (unsigned y = 0; y < 4; ++y)
        EXPECT_EQ(0,
                  memcmp(at(ScreenBase + (40 + y) * Width * 2 + 80), at(ScreenBase + (100 + y) * Width * 2 + 200), 40));
}

TEST_F(BlockOps, CombineRejectsAreasOutsideTheScreenOrRam)
{
    zlogSetMask(LogCat::Screen);
    const uint32_t p16 = Width * 2;
    const BlockArea ok{xy(0, 0), ScreenBase, p16};
    const CombineParams cases[] = {
        {xy(10, 10), {xy(0, Height - 9), ScreenBase, p16}, ok, ok, 1},
        {xy(10, 10), ok, {xy(Width - 9, 0), ScreenBase, p16}, ok, 1},
        {xy(10, 10), ok, ok, {xy(311, 190), ScreenBase, p16}, 1},
        {xy(10, 10), ok, ok, {xy(0, 0), RamMegabytes * 0x100000 - 100, p16}, 1},
    };
    for (const CombineParams& p : cases) {
        prepare(16);
        testing::internal::CaptureStderr();
        EXPECT_EQ(combineBlock(16, p), GuestError::BadParameter);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("Error in CombineBlock ("), std::string::npos);
        expectMemoryAndPicture(before);
    }
    prepare(16);
    EXPECT_EQ(combineBlock(16, {xy(0, 10), ok, ok, ok, 1}), 0);  // no width: nothing to do
    expectMemoryAndPicture(before);
    zlogSetMask(0);
}

TEST_F(BlockOps, MoveAreaCopiesAsThroughATemporaryBufferInEveryDirection)
{
    struct Case {
        const char* what;
        unsigned bits;
        uint8_t mode;
        MoveParams p;
    };
    const uint32_t p8 = Width, p16 = Width * 2, pQl = Width / 4;
    const Case cases[] = {
        {"16: one row down, overlapping",
         16,
         0,
         {xy(50, 40), {xy(10, 10), ScreenBase, p16}, {xy(10, 11), ScreenBase, p16}}},
        {"16: one row up, overlapping",
         16,
         0,
         {xy(50, 40), {xy(10, 11), ScreenBase, p16}, {xy(10, 10), ScreenBase, p16}}},
        {"16: right by one pixel", 16, 0, {xy(100, 3), {xy(0, 5), ScreenBase, p16}, {xy(1, 5), ScreenBase, p16}}},
        {"16: left by three pixels", 16, 0, {xy(100, 3), {xy(3, 5), ScreenBase, p16}, {xy(0, 5), ScreenBase, p16}}},
        {"8: from off-screen buffer", 8, 0, {xy(33, 21), {xy(1, 1), 0x10000, 40}, {xy(7, 100), ScreenBase, p8}}},
        {"8: to off-screen buffer", 8, 0, {xy(33, 21), {xy(7, 100), ScreenBase, p8}, {xy(1, 1), 0x10000, 40}}},
        {"QL: bytes, overlapping", 2, 0, {xy(20, 30), {xy(3, 0), ScreenBase, pQl}, {xy(5, 2), ScreenBase, pQl}}},
        {"QL 8-colour: to the right edge",
         2,
         8,
         {xy(10, 4), {xy(0, 0), ScreenBase, pQl}, {xy(pQl - 10, 196), ScreenBase, pQl}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prepare(c.bits, c.mode);
        const std::vector<uint8_t> expected = referenceMove(before, c.bits == 16 ? 1 : 0, c.p);
        EXPECT_EQ(moveArea(c.p), 0);
        expectMemoryAndPicture(expected);
        EXPECT_EQ(cpu.srSystem & SrBit::T1, 0);
    }
}

TEST_F(BlockOps, MoveAreaRejectionLogsAndTurnsTraceOn)
{
    zlogSetMask(LogCat::Screen);
    const uint32_t p16 = Width * 2;
    struct Case {
        MoveParams p;
        const char* log;
    };
    const Case cases[] = {
        {{xy(10, 10), {xy(0, 0), ScreenBase, p16}, {xy(0, Height - 9), ScreenBase, p16}},
         "Error in MoveArea (0 x 0 = 0 x 191, size 10 x 10)"},
        {{xy(10, 10), {xy(0, 0), ScreenBase, p16}, {xy(Width - 9, 0), ScreenBase, p16}},
         "Error in MoveArea (0 x 0 = 311 x 0, size 10 x 10)"},
        {{xy(10, 10), {xy(0, 0), RamMegabytes * 0x100000 - 64, 8}, {xy(0, 0), ScreenBase, p16}}, "Error in MoveArea"},
        {{xy(10, 10), {xy(0, 0), ScreenBase, p16}, {xy(0, 0), RamMegabytes * 0x100000 - 64, 8}}, "Error in MoveArea"},
    };
    for (const Case& c : cases) {
        prepare(16);
        testing::internal::CaptureStderr();
        EXPECT_EQ(moveArea(c.p), GuestError::BadParameter);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(c.log), std::string::npos) << log;
        EXPECT_NE(cpu.srSystem & SrBit::T1, 0);
        expectMemoryAndPicture(before);
    }
    // Off the screen the screen's limits do not apply.
    prepare(16);
    const MoveParams tall{xy(4, Height + 50), {xy(0, 0), 0x10000, 8}, {xy(0, 0), 0x40000, 8}};
    EXPECT_EQ(moveArea(tall), 0);
    expectMemoryAndPicture(referenceMove(before, 1, tall));
    EXPECT_EQ(cpu.srSystem & SrBit::T1, 0);
    zlogSetMask(0);
}
