// Guest memory and a screen set up the way the guest's host calls would, for tests that
// drive the display module directly.
#pragma once

#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "display/frame_source.h"
#include "display/screen_state.h"

#include <gtest/gtest.h>

#include <cstring>

class ScreenFixture : public ::testing::Test {
protected:
    static constexpr uint32_t RamMegabytes = 8;
    static constexpr uint32_t ScreenBase = 0x100000;

    void SetUp() override
    {
        ASSERT_TRUE(memoryAllocate(RamMegabytes));
        memset(mem.base, 0, mem.ramSize);
        screenReset();
        guestScreen.maxWidth = 8192;
        guestScreen.maxHeight = 4096;
    }
    void TearDown() override
    {
        screenReset();
        memoryRelease();
    }

    // A screen of this size and depth at `base`, drawn into `host`.
    void makeScreen(unsigned width, unsigned height, unsigned bits, uint8_t mode = 0,
                    HostFormat host = HostFormat::Bgr0, uint32_t base = ScreenBase)
    {
        guestScreen.hostFormat = host;
        guestScreen.qlModeByte = mode;
        guestScreen.requestedWidth = width;
        guestScreen.requestedHeight = height;
        guestScreen.requestedBits = bits;
        ASSERT_EQ(screenTakeRequestedMode(), ModeResult::Done);
        screenSetBase(base);
        frame.resize(width, height, host);
    }

    uint8_t* at(uint32_t guest) { return mem.base + guest; }
    uint8_t* screenAt(size_t offset) { return guestScreen.windowStart + offset; }

    // Guest-like write: the bytes, then the notification the write watch would give.
    void write(size_t offset, std::initializer_list<uint8_t> bytes)
    {
        memcpy(screenAt(offset), bytes.begin(), bytes.size());
        screenNoteWrite(screenAt(offset), unsigned(bytes.size()));
    }

    bool cellMarked(unsigned line, size_t cell) const
    {
        return (guestScreen.dirtyCells[line * guestScreen.cellWords + cell / 32].load() >> (cell % 32)) & 1;
    }
    bool lineMarked(unsigned line) const { return (guestScreen.dirtyLines[line / 32].load() >> (line % 32)) & 1; }
    // Every marked (line, cell) pair.
    std::vector<std::pair<unsigned, size_t>> markedCells() const
    {
        std::vector<std::pair<unsigned, size_t>> out;
        for (unsigned y = 0; y < guestScreen.height; ++y)
            for (size_t c = 0; c < guestScreen.cellWords * 32; ++c)
                if (cellMarked(y, c)) out.emplace_back(y, c);
        return out;
    }

    HeadlessFrame frame;
};
