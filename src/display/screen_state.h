// The guest screen: geometry and base, the guest format in use, the dirty maps that tell
// the update which cells changed, and the write notifications that fill them.
//
// Threads: the processor thread marks changes without a lock (atomic ORs only); the
// update takes words with atomic exchange under the screen lock; geometry and format
// change under the presentation lock and the screen lock, taken in that order, only
// while the processor thread waits for them (mode application) or is the caller.
#pragma once

#include "display/pixel_formats.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

// Guest address and size of the classic QL screen that the mirror keeps in step.
namespace QlScreen {
constexpr uint32_t Address = 0x20000;
constexpr uint32_t Pitch = 128;
constexpr uint32_t Lines = 256;
constexpr uint32_t Size = Pitch * Lines;
constexpr unsigned Width = 512;  // pixels of the mirrored area
}  // namespace QlScreen

namespace ScreenBits {
constexpr unsigned Ql = 2;
constexpr unsigned Indexed = 8;
constexpr unsigned Rgb16 = 16;
}  // namespace ScreenBits

constexpr uint8_t QlEightColourMode = 8;

namespace MirrorMode {
constexpr uint8_t Off = 0;
constexpr uint8_t Four = 4;
constexpr uint8_t Eight = 8;
}  // namespace MirrorMode

// Block operations read their parameters from the processor's registers.
using BlockOperation = int32_t (*)();
// Mirror writers: (host address written, byte column, line, size in bytes).
using MirrorWriter = void (*)(uint8_t* host, unsigned column, unsigned line, unsigned size);

struct GuestFormat {
    GuestFormatId id;
    const ConverterSet* converters;
    BlockOperation fill, eor, combine;  // nullptr in the QL formats
    MirrorWriter screenToQl, qlToScreen;
    size_t (*byteOffset)(unsigned x, unsigned y, size_t pitch);
    unsigned shift;          // log2 of bytes per pixel (0 in the QL formats: x counts bytes)
    unsigned bytesPerPixel;  // bytes one pixel's byte offset spans (2 in the QL formats: a word)
};
const GuestFormat& guestFormat(GuestFormatId id);

struct ScreenState {
    unsigned width = 0, height = 0;
    unsigned bitsPerPixel = 0;
    size_t pitch = 0;
    size_t size = 0;
    uint32_t base = 0;
    uint8_t* windowStart = nullptr;
    uint8_t* windowEnd = nullptr;
    uint8_t qlModeByte = 0;
    uint8_t mirrorMode = MirrorMode::Off;
    bool mirrorAuto = false;
    unsigned requestedWidth = QlScreen::Width, requestedHeight = QlScreen::Lines;
    uint32_t requestedBits = ScreenBits::Ql;
    unsigned maxWidth = 0, maxHeight = 0;
    HostFormat hostFormat = HostFormat::Bgr0;
    const GuestFormat* format = nullptr;  // nullptr until the first mode is applied
    CellConverter converter = nullptr;
    SpanConverter spanConverter = nullptr;

    std::atomic<uint32_t> dirtyAny{0};
    std::unique_ptr<std::atomic<uint32_t>[]> dirtyLines;
    std::unique_ptr<std::atomic<uint32_t>[]> dirtyCells;
    size_t lineWords = 0;
    size_t cellWords = 0;  // per line
    std::atomic<uint32_t> fullRedraw{0};

    // Lines that lie wholly inside RAM: a base near the top of memory shows only these.
    unsigned shownLines = 0;
    bool pixelSizeKnown = false;  // the first mode after start-up does not scale the window
};

extern ScreenState guestScreen;

// The two display locks (both recursive); take the presentation lock first.
std::recursive_mutex& presentationLock();
std::recursive_mutex& screenLock();

// Write notifications (host addresses inside guest memory).
void screenNoteWrite(uint8_t* address, unsigned size);                         // inside [windowStart, windowEnd)
void qlScreenNoteWrite(uint8_t* address, unsigned size);                       // inside guest $20000-$27FFF
void screenNoteBytes(uint8_t* address, size_t length);                         // bulk host copy (any address)
void screenNoteRect(unsigned x, unsigned y, unsigned width, unsigned height);  // pixels

// Marks `rows` rows of `bytes` bytes, row r starting at first + r * rowPitch, where they
// lie on the screen (block operations).
void screenNoteRows(uint8_t* first, size_t rowPitch, size_t bytes, unsigned rows);

// Marks every cell for the next update.
void screenRequestFullRedraw();

// Set-up calls (processor thread, or tests).
void screenSetBase(uint32_t guestAddress);
void screenSetMode(uint8_t modeByte);
// Mirror control by the guest's value (-1, 0, 1, 2, 4, 8; others change nothing).
void screenMirrorControl(int32_t value);

// The format a geometry selects; nullptr for an unsupported bits value.
const GuestFormat* screenSelectFormat(unsigned bitsPerPixel, uint8_t qlModeByte);

// Takes the requested size and bits and rebuilds the maps and the format (under both
// locks). Returns false when the bits are unsupported or the maps cannot be had (the
// state is then unchanged); the caller reports it.
enum class ModeResult { Done, UnsupportedMode, NoMemory };
ModeResult screenTakeRequestedMode();

// Back to the start-up state (no mode, empty maps); tests and shut-down.
void screenReset();

// Marks bytes [column, column + length) of one line (cut at the line end) without the
// mirror; the mirror writers use it for what they drew.
void screenMarkLine(unsigned line, size_t column, size_t length);
