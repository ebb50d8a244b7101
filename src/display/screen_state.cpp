#include "display/screen_state.h"

#include "cpu/memory.h"
#include "display/block_ops.h"
#include "display/mirror.h"

#include <algorithm>
#include <bit>
#include <new>

ScreenState screen;

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
    std::atomic<uint32_t>* row = screen.dirtyCells.get() + line * screen.cellWords;
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
    setBitOnce(screen.dirtyLines[line / BitsPerWord], 1u << (line % BitsPerWord));
    setBitOnce(screen.dirtyAny, 1);
}

// One line's bytes with the mirror (the rule of every screen write).
void noteLine(unsigned line, size_t column, size_t length)
{
    if (line >= screen.shownLines || column >= screen.pitch || length == 0) return;
    length = std::min(length, screen.pitch - column);
    if (screen.mirrorMode != MirrorMode::Off)
        screen.format->screenToQl(screen.windowStart + screen.pitch * line + column, unsigned(column), line,
                                  unsigned(length));
    markCells(line, column / CellBytes, (column + length - 1) / CellBytes);
}

// A range inside the screen window, split at line ends.
void noteWindowRange(uint8_t* from, uint8_t* to)
{
    size_t offset = size_t(from - screen.windowStart);
    size_t remaining = size_t(to - from);
    unsigned line = unsigned(offset / screen.pitch);
    size_t column = offset % screen.pitch;
    while (remaining > 0 && line < screen.shownLines) {
        size_t piece = std::min(remaining, screen.pitch - column);
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

bool screenReady() { return screen.format != nullptr && screen.windowStart != nullptr; }

void clearMaps()
{
    screen.dirtyAny.store(0);
    for (size_t i = 0; i < screen.lineWords; ++i) screen.dirtyLines[i].store(0);
    for (size_t i = 0; i < screen.cellWords * screen.height; ++i) screen.dirtyCells[i].store(0);
}

// Lines that lie inside RAM at the current base and pitch.
void updateShownLines()
{
    screen.shownLines = 0;
    if (!screen.windowStart || screen.pitch == 0 || !mem.ramEnd || screen.windowStart >= mem.ramEnd) return;
    const size_t fit = size_t(mem.ramEnd - screen.windowStart) / screen.pitch;
    screen.shownLines = unsigned(std::min<size_t>(fit, screen.height));
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
    if (!screenReady() || line >= screen.shownLines || column >= screen.pitch || length == 0) return;
    length = std::min(length, screen.pitch - column);
    markCells(line, column / CellBytes, (column + length - 1) / CellBytes);
}

void screenNoteWrite(uint8_t* address, unsigned size)
{
    if (!screenReady() || address < screen.windowStart || address >= screen.windowEnd) return;
    const size_t offset = size_t(address - screen.windowStart);
    const unsigned line = unsigned(offset / screen.pitch);
    const size_t column = offset % screen.pitch;
    if (line >= screen.shownLines) return;
    noteLine(line, column, size);
    // The bytes of a write that runs past the line end belong to the next line.
    if (column + size > screen.pitch) noteLine(line + 1, 0, column + size - screen.pitch);
}

void qlScreenNoteWrite(uint8_t* address, unsigned size)
{
    if (!screenReady() || screen.mirrorMode == MirrorMode::Off || size == 0) return;
    uint8_t* const ql = mem.base + QlScreen::Address;
    if (address < ql || address >= ql + QlScreen::Size) return;
    if ((address - mem.base) & 1) {
        --address;
        ++size;
    }
    size = unsigned(std::min<size_t>(size, size_t(ql + QlScreen::Size - address)));
    const size_t offset = size_t(address - ql);
    screen.format->qlToScreen(address, unsigned(offset % QlScreen::Pitch), unsigned(offset / QlScreen::Pitch),
                              size);
}

void screenNoteBytes(uint8_t* address, size_t length)
{
    if (!screenReady() || length == 0 || !mem.base) return;
    uint8_t* const end = address + length;
    uint8_t* const windowEnd = screen.windowStart + screen.pitch * screen.shownLines;
    uint8_t* from = std::max(address, screen.windowStart);
    uint8_t* to = std::min(end, windowEnd);
    if (from < to) noteWindowRange(from, to);
    if (screen.mirrorMode == MirrorMode::Off) return;
    // The QL screen's part outside the window follows the QL-screen rule.
    uint8_t* const ql = mem.base + QlScreen::Address;
    from = std::max(address, ql);
    to = std::min(end, ql + QlScreen::Size);
    if (from >= to) return;
    if (to <= screen.windowStart || from >= windowEnd) {
        noteQlRange(from, to);
    } else {
        if (from < screen.windowStart) noteQlRange(from, screen.windowStart);
        if (to > windowEnd) noteQlRange(windowEnd, to);
    }
}

void screenNoteRect(unsigned x, unsigned y, unsigned width, unsigned height)
{
    std::lock_guard lock(screenLock());
    if (!screenReady() || width == 0) return;
    const GuestFormat& f = *screen.format;
    const size_t first = f.byteOffset(x, 0, screen.pitch);
    const size_t end = f.byteOffset(x + width - 1, 0, screen.pitch) + f.bytesPerPixel;
    for (unsigned r = 0; r < height; ++r) noteLine(y + r, first, end - first);
}

void screenNoteRows(uint8_t* first, size_t rowPitch, size_t bytes, unsigned rows)
{
    std::lock_guard lock(screenLock());
    if (!screenReady()) return;
    for (unsigned r = 0; r < rows; ++r) screenNoteBytes(first + r * rowPitch, bytes);
}

void screenRequestFullRedraw() { screen.fullRedraw.store(1); }

void screenSetBase(uint32_t guestAddress)
{
    std::lock_guard lock(screenLock());
    screen.base = guestAddress;
    screen.windowStart = mem.base + (guestAddress & mem.mask);
    screen.windowEnd = screen.windowStart + screen.size;
    updateShownLines();
    clearMaps();
}

void screenSetMode(uint8_t modeByte)
{
    std::lock_guard lock(screenLock());
    screen.qlModeByte = modeByte;
    // Before the first mode there is nothing to re-select.
    if (!screen.format) return;
    if (const GuestFormat* f = screenSelectFormat(screen.bitsPerPixel, modeByte)) {
        // Cells converted in the old format would keep their old colours until written.
        if (f != screen.format) screenRequestFullRedraw();
        screen.format = f;
        screen.converter = f->converters->cell[size_t(screen.hostFormat)];
        screen.spanConverter = f->converters->span[size_t(screen.hostFormat)];
    }
}

void screenMirrorControl(int32_t value)
{
    switch (value) {
    case -1:
        screen.mirrorAuto = true;
        break;
    case 0:
        screen.mirrorAuto = false;
        screen.mirrorMode = MirrorMode::Off;
        break;
    case 1:
        if (screen.mirrorAuto) screen.mirrorMode = MirrorMode::Four;
        break;
    case 2:
        if (screen.mirrorAuto) screen.mirrorMode = MirrorMode::Eight;
        break;
    case MirrorMode::Four:
    case MirrorMode::Eight:
        screen.mirrorAuto = false;
        screen.mirrorMode = uint8_t(value);
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
    const GuestFormat* f = screenSelectFormat(screen.requestedBits, screen.qlModeByte);
    if (!f) return ModeResult::UnsupportedMode;
    const unsigned width = screen.requestedWidth, height = screen.requestedHeight;
    const size_t pitch = size_t(width) * screen.requestedBits / 8;
    const size_t cellWords = ((pitch + CellBytes - 1) / CellBytes + BitsPerWord - 1) / BitsPerWord;
    const size_t lineWords = (height + BitsPerWord - 1) / BitsPerWord;
    std::unique_ptr<std::atomic<uint32_t>[]> lines(new (std::nothrow) std::atomic<uint32_t>[lineWords + 1]);
    std::unique_ptr<std::atomic<uint32_t>[]> cells(
        new (std::nothrow) std::atomic<uint32_t>[cellWords * height + 1]);
    if (!lines || !cells) return ModeResult::NoMemory;

    screen.width = width;
    screen.height = height;
    screen.bitsPerPixel = screen.requestedBits;
    screen.pitch = pitch;
    screen.size = pitch * height;
    if (screen.windowStart) screen.windowEnd = screen.windowStart + screen.size;
    screen.dirtyLines = std::move(lines);
    screen.dirtyCells = std::move(cells);
    screen.lineWords = lineWords;
    screen.cellWords = cellWords;
    screen.format = f;
    screen.converter = f->converters->cell[size_t(screen.hostFormat)];
    screen.spanConverter = f->converters->span[size_t(screen.hostFormat)];
    updateShownLines();
    clearMaps();
    return ModeResult::Done;
}

void screenReset()
{
    std::lock_guard present(presentationLock());
    std::lock_guard lock(screenLock());
    screen.width = screen.height = screen.bitsPerPixel = 0;
    screen.pitch = screen.size = 0;
    screen.base = 0;
    screen.windowStart = screen.windowEnd = nullptr;
    screen.qlModeByte = 0;
    screen.mirrorMode = MirrorMode::Off;
    screen.mirrorAuto = false;
    screen.requestedWidth = QlScreen::Width;
    screen.requestedHeight = QlScreen::Lines;
    screen.requestedBits = ScreenBits::Ql;
    screen.format = nullptr;
    screen.converter = nullptr;
    screen.spanConverter = nullptr;
    screen.dirtyAny.store(0);
    screen.fullRedraw.store(0);
    screen.dirtyLines.reset();
    screen.dirtyCells.reset();
    screen.lineWords = screen.cellWords = 0;
    screen.shownLines = 0;
    screen.pixelSizeKnown = false;
}
