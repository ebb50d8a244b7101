#include "display/screen_state.h"

#include "cpu/memory.h"
#include "display/block_ops.h"
#include "display/mirror.h"

#include <algorithm>
#include <bit>
#include <new>

ScreenState guestScreen;

namespace {

constexpr unsigned BitsPerWord = 32;
constexpr unsigned CellBytes = 4;

size_t qlOffset(unsigned x, unsigned y, size_t pitch) { return pitch * y + (x / 8) * 2; }
size_t indexedOffset(unsigned x, unsigned y, size_t pitch) { return pitch * y + x; }
size_t rgb16Offset(unsigned x, unsigned y, size_t pitch) { return pitch * y + 2 * size_t(x); }

const GuestFormat Formats[] = {
    {GuestFormatId::Ql4, &convertersFor(GuestFormatId::Ql4), nullptr, nullptr, nullptr, mirrorScreenToQlCopy,
     mirrorQlToScreenCopy, qlOffset, 0, 2},
    {GuestFormatId::Ql8, &convertersFor(GuestFormatId::Ql8), nullptr, nullptr, nullptr, mirrorScreenToQlCopy,
     mirrorQlToScreenCopy, qlOffset, 0, 2},
    {GuestFormatId::Indexed8, &convertersFor(GuestFormatId::Indexed8), fillBlock8, eorBlock8, combineBlock8,
     mirrorScreenToQl8, mirrorQlToScreen8, indexedOffset, 0, 1},
    {GuestFormatId::Rgb16, &convertersFor(GuestFormatId::Rgb16), fillBlock16, eorBlock16, combineBlock16,
     mirrorScreenToQl16, mirrorQlToScreen16, rgb16Offset, 1, 2},
};

// Sets bit `bit` of `word` unless it is set already. The load is enough when the bit is
// seen set: the update that clears it must come later in the single total order of
// these operations, and it takes the cell words only after that.
inline void setBitOnce(std::atomic<uint32_t>& word, uint32_t bit)
{
    if (!(word.load() & bit)) word.fetch_or(bit);
}

inline void markCells(unsigned line, size_t first, size_t last)
{
    std::atomic<uint32_t>* row = guestScreen.dirtyCells.get() + line * guestScreen.cellWords;
    size_t w = first / BitsPerWord, lastWord = last / BitsPerWord;
    const uint32_t firstMask = ~0u << (first % BitsPerWord);
    const uint32_t lastMask = ~0u >> (BitsPerWord - 1 - last % BitsPerWord);
    if (w == lastWord) {
        row[w].fetch_or(firstMask & lastMask);
    } else {
        row[w].fetch_or(firstMask);
        for (++w; w < lastWord; ++w) row[w].fetch_or(~0u);
        row[lastWord].fetch_or(lastMask);
    }
    setBitOnce(guestScreen.dirtyLines[line / BitsPerWord], 1u << (line % BitsPerWord));
    setBitOnce(guestScreen.dirtyAny, 1);
}

// One line's bytes with the mirror (the rule of every screen write).
void noteLine(unsigned line, size_t column, size_t length)
{
    if (line >= guestScreen.shownLines || column >= guestScreen.pitch || length == 0) return;
    length = std::min(length, guestScreen.pitch - column);
    if (guestScreen.mirrorMode != MirrorMode::Off)
        guestScreen.format->screenToQl(guestScreen.windowStart + guestScreen.pitch * line + column, unsigned(column),
                                       line, unsigned(length));
    markCells(line, column / CellBytes, (column + length - 1) / CellBytes);
}

// A range inside the screen window, split at line ends.
void noteWindowRange(uint8_t* from, uint8_t* to)
{
    size_t offset = size_t(from - guestScreen.windowStart);
    size_t remaining = size_t(to - from);
    unsigned line = unsigned(offset / guestScreen.pitch);
    size_t column = offset % guestScreen.pitch;
    while (remaining > 0 && line < guestScreen.shownLines) {
        size_t piece = std::min(remaining, guestScreen.pitch - column);
        noteLine(line, column, piece);
        remaining -= piece;
        column = 0;
        ++line;
    }
}

// A range inside the QL screen, in pieces of at most one QL line.
void noteQlRange(uint8_t* from, uint8_t* to)
{
    while (from < to) {
        const size_t offset = size_t(from - (mem.base + QlScreen::Address));
        const size_t piece = std::min(size_t(to - from), QlScreen::Pitch - offset % QlScreen::Pitch);
        qlScreenNoteWrite(from, unsigned(piece));
        from += piece;
    }
}

bool screenReady() { return guestScreen.format != nullptr && guestScreen.windowStart != nullptr; }

void clearMaps()
{
    guestScreen.dirtyAny.store(0);
    for (size_t i = 0; i < guestScreen.lineWords; ++i) guestScreen.dirtyLines[i].store(0);
    for (size_t i = 0; i < guestScreen.cellWords * guestScreen.height; ++i) guestScreen.dirtyCells[i].store(0);
}

// Lines that lie inside RAM at the current base and pitch.
void updateShownLines()
{
    guestScreen.shownLines = 0;
    if (!guestScreen.windowStart || guestScreen.pitch == 0 || !mem.ramEnd || guestScreen.windowStart >= mem.ramEnd)
        return;
    const size_t fit = size_t(mem.ramEnd - guestScreen.windowStart) / guestScreen.pitch;
    guestScreen.shownLines = unsigned(std::min<size_t>(fit, guestScreen.height));
}

}  // namespace

const GuestFormat& guestFormat(GuestFormatId id) { return Formats[size_t(id)]; }

std::recursive_mutex& presentationLock()
{
    static std::recursive_mutex lock;
    return lock;
}

std::recursive_mutex& screenLock()
{
    static std::recursive_mutex lock;
    return lock;
}

void screenMarkLine(unsigned line, size_t column, size_t length)
{
    if (!screenReady() || line >= guestScreen.shownLines || column >= guestScreen.pitch || length == 0) return;
    length = std::min(length, guestScreen.pitch - column);
    markCells(line, column / CellBytes, (column + length - 1) / CellBytes);
}

void screenNoteWrite(uint8_t* address, unsigned size)
{
    if (!screenReady() || address < guestScreen.windowStart || address >= guestScreen.windowEnd) return;
    const size_t offset = size_t(address - guestScreen.windowStart);
    const unsigned line = unsigned(offset / guestScreen.pitch);
    const size_t column = offset % guestScreen.pitch;
    if (line >= guestScreen.shownLines) return;
    noteLine(line, column, size);
    // The bytes of a write that runs past the line end belong to the next line.
    if (column + size > guestScreen.pitch) noteLine(line + 1, 0, column + size - guestScreen.pitch);
}

void qlScreenNoteWrite(uint8_t* address, unsigned size)
{
    if (!screenReady() || guestScreen.mirrorMode == MirrorMode::Off || size == 0) return;
    uint8_t* const ql = mem.base + QlScreen::Address;
    if (address < ql || address >= ql + QlScreen::Size) return;
    if ((address - mem.base) & 1) {
        --address;
        ++size;
    }
    size = unsigned(std::min<size_t>(size, size_t(ql + QlScreen::Size - address)));
    const size_t offset = size_t(address - ql);
    guestScreen.format->qlToScreen(address, unsigned(offset % QlScreen::Pitch), unsigned(offset / QlScreen::Pitch),
                                   size);
}

void screenNoteBytes(uint8_t* address, size_t length)
{
    if (!screenReady() || length == 0 || !mem.base) return;
    uint8_t* const end = address + length;
    uint8_t* const windowEnd = guestScreen.windowStart + guestScreen.pitch * guestScreen.shownLines;
    uint8_t* from = std::max(address, guestScreen.windowStart);
    uint8_t* to = std::min(end, windowEnd);
    if (from < to) noteWindowRange(from, to);
    if (guestScreen.mirrorMode == MirrorMode::Off) return;
    // The QL screen's part outside the window follows the QL-screen rule.
    uint8_t* const ql = mem.base + QlScreen::Address;
    from = std::max(address, ql);
    to = std::min(end, ql + QlScreen::Size);
    if (from >= to) return;
    if (to <= guestScreen.windowStart || from >= windowEnd) {
        noteQlRange(from, to);
    } else {
        if (from < guestScreen.windowStart) noteQlRange(from, guestScreen.windowStart);
        if (to > windowEnd) noteQlRange(windowEnd, to);
    }
}

void screenNoteRect(unsigned x, unsigned y, unsigned width, unsigned height)
{
    std::lock_guard lock(screenLock());
    if (!screenReady() || width == 0) return;
    const GuestFormat& f = *guestScreen.format;
    const size_t first = f.byteOffset(x, 0, guestScreen.pitch);
    const size_t end = f.byteOffset(x + width - 1, 0, guestScreen.pitch) + f.bytesPerPixel;
    for (unsigned r = 0; r < height; ++r) noteLine(y + r, first, end - first);
}

void screenNoteRows(uint8_t* first, size_t rowPitch, size_t bytes, unsigned rows)
{
    std::lock_guard lock(screenLock());
    if (!screenReady()) return;
    for (unsigned r = 0; r < rows; ++r) screenNoteBytes(first + r * rowPitch, bytes);
}

void screenRequestFullRedraw() { guestScreen.fullRedraw.store(1); }

void screenSetBase(uint32_t guestAddress)
{
    std::lock_guard lock(screenLock());
    guestScreen.base = guestAddress;
    guestScreen.windowStart = mem.base + (guestAddress & mem.mask);
    guestScreen.windowEnd = guestScreen.windowStart + guestScreen.size;
    updateShownLines();
    clearMaps();
}

void screenSetMode(uint8_t modeByte)
{
    std::lock_guard lock(screenLock());
    guestScreen.qlModeByte = modeByte;
    // Before the first mode there is nothing to re-select.
    if (!guestScreen.format) return;
    if (const GuestFormat* f = screenSelectFormat(guestScreen.bitsPerPixel, modeByte)) {
        // Cells converted in the old format would keep their old colours until written.
        if (f != guestScreen.format) screenRequestFullRedraw();
        guestScreen.format = f;
        guestScreen.converter = f->converters->cell[size_t(guestScreen.hostFormat)];
        guestScreen.spanConverter = f->converters->span[size_t(guestScreen.hostFormat)];
    }
}

void screenMirrorControl(int32_t value)
{
    switch (value) {
    case -1:
        guestScreen.mirrorAuto = true;
        break;
    case 0:
        guestScreen.mirrorAuto = false;
        guestScreen.mirrorMode = MirrorMode::Off;
        break;
    case 1:
        if (guestScreen.mirrorAuto) guestScreen.mirrorMode = MirrorMode::Four;
        break;
    case 2:
        if (guestScreen.mirrorAuto) guestScreen.mirrorMode = MirrorMode::Eight;
        break;
    case MirrorMode::Four:
    case MirrorMode::Eight:
        guestScreen.mirrorAuto = false;
        guestScreen.mirrorMode = uint8_t(value);
        break;
    default:
        break;
    }
}

const GuestFormat* screenSelectFormat(unsigned bitsPerPixel, uint8_t qlModeByte)
{
    switch (bitsPerPixel) {
    case ScreenBits::Ql:
        return &Formats[qlModeByte == QlEightColourMode ? 1 : 0];
    case ScreenBits::Indexed:
        return &Formats[2];
    case ScreenBits::Rgb16:
        return &Formats[3];
    default:
        return nullptr;
    }
}

ModeResult screenTakeRequestedMode()
{
    std::lock_guard present(presentationLock());
    std::lock_guard lock(screenLock());
    const GuestFormat* f = screenSelectFormat(guestScreen.requestedBits, guestScreen.qlModeByte);
    if (!f) return ModeResult::UnsupportedMode;
    const unsigned width = guestScreen.requestedWidth, height = guestScreen.requestedHeight;
    const size_t pitch = size_t(width) * guestScreen.requestedBits / 8;
    const size_t cellWords = ((pitch + CellBytes - 1) / CellBytes + BitsPerWord - 1) / BitsPerWord;
    const size_t lineWords = (height + BitsPerWord - 1) / BitsPerWord;
    std::unique_ptr<std::atomic<uint32_t>[]> lines(new (std::nothrow) std::atomic<uint32_t>[lineWords + 1]);
    std::unique_ptr<std::atomic<uint32_t>[]> cells(new (std::nothrow) std::atomic<uint32_t>[cellWords * height + 1]);
    if (!lines || !cells) return ModeResult::NoMemory;

    guestScreen.width = width;
    guestScreen.height = height;
    guestScreen.bitsPerPixel = guestScreen.requestedBits;
    guestScreen.pitch = pitch;
    guestScreen.size = pitch * height;
    if (guestScreen.windowStart) guestScreen.windowEnd = guestScreen.windowStart + guestScreen.size;
    guestScreen.dirtyLines = std::move(lines);
    guestScreen.dirtyCells = std::move(cells);
    guestScreen.lineWords = lineWords;
    guestScreen.cellWords = cellWords;
    guestScreen.format = f;
    guestScreen.converter = f->converters->cell[size_t(guestScreen.hostFormat)];
    guestScreen.spanConverter = f->converters->span[size_t(guestScreen.hostFormat)];
    updateShownLines();
    clearMaps();
    return ModeResult::Done;
}

void screenReset()
{
    std::lock_guard present(presentationLock());
    std::lock_guard lock(screenLock());
    guestScreen.width = guestScreen.height = guestScreen.bitsPerPixel = 0;
    guestScreen.pitch = guestScreen.size = 0;
    guestScreen.base = 0;
    guestScreen.windowStart = guestScreen.windowEnd = nullptr;
    guestScreen.qlModeByte = 0;
    guestScreen.mirrorMode = MirrorMode::Off;
    guestScreen.mirrorAuto = false;
    guestScreen.requestedWidth = QlScreen::Width;
    guestScreen.requestedHeight = QlScreen::Lines;
    guestScreen.requestedBits = ScreenBits::Ql;
    guestScreen.format = nullptr;
    guestScreen.converter = nullptr;
    guestScreen.spanConverter = nullptr;
    guestScreen.dirtyAny.store(0);
    guestScreen.fullRedraw.store(0);
    guestScreen.dirtyLines.reset();
    guestScreen.dirtyCells.reset();
    guestScreen.lineWords = guestScreen.cellWords = 0;
    guestScreen.shownLines = 0;
    guestScreen.pixelSizeKnown = false;
}
