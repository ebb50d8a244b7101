#include "display/frame_source.h"

#include "display/png_file.h"
#include "display/screen_state.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>

namespace {

constexpr unsigned BitsPerWord = 32;
constexpr size_t CellBytes = 4;
constexpr size_t ShortRun = 4;     // runs shorter than this go cell by cell
constexpr size_t TakenWords = 64;  // map words taken from a line at a time

struct LineGeometry {
    size_t wholeCells;     // cells that lie wholly inside the line
    bool halfCell;         // the line ends in half a cell
    size_t hostCellBytes;  // host bytes one cell becomes
};

LineGeometry lineGeometry()
{
    return {guestScreen.pitch / CellBytes, guestScreen.pitch % CellBytes != 0,
            size_t(hostPixelsPerCell(guestScreen.format->id)) * hostBytesPerPixel(guestScreen.hostFormat)};
}

// Cells [first, first + count) of one line. A half cell at the line end is converted from
// the four bytes that end the line, half a cell earlier on the host side.
void convertCells(const HostSurface& s, const LineGeometry& g, unsigned line, size_t first, size_t count)
{
    const uint8_t* src = guestScreen.windowStart + guestScreen.pitch * line;
    uint8_t* dest = s.base + s.pitch * line;
    const size_t whole = first < g.wholeCells ? std::min(count, g.wholeCells - first) : 0;
    if (whole >= ShortRun) {
        guestScreen.spanConverter(dest + first * g.hostCellBytes, src + first * CellBytes, whole);
    } else {
        // Scattered cells: the cell converter skips the span's set-up.
        for (size_t c = first; c < first + whole; ++c)
            guestScreen.converter(dest + c * g.hostCellBytes, loadCell(src + c * CellBytes));
    }
    if (g.halfCell && first + count > g.wholeCells)
        guestScreen.converter(dest + g.wholeCells * g.hostCellBytes - g.hostCellBytes / 2,
                              loadCell(src + guestScreen.pitch - CellBytes));
}

void convertLine(const HostSurface& s, const LineGeometry& g, unsigned line)
{
    convertCells(s, g, line, 0, g.wholeCells + (g.halfCell ? 1 : 0));
}

bool ready() { return guestScreen.format && guestScreen.windowStart && guestScreen.spanConverter; }

}  // namespace

void ChangedArea::addLine(unsigned line, unsigned left, unsigned right)
{
    if (whole || left >= right) return;
    if (count > 0) {
        Band& last = bands[count - 1];
        if (line <= last.bottom || count == MaxBands) {
            last.left = std::min(last.left, left);
            last.right = std::max(last.right, right);
            last.bottom = std::max(last.bottom, line + 1);
            return;
        }
    }
    bands[count++] = {left, line, right, line + 1};
}

void screenConvertAll(const HostSurface& surface)
{
    std::lock_guard lock(screenLock());
    if (!ready()) return;
    const LineGeometry g = lineGeometry();
    for (unsigned y = 0; y < guestScreen.shownLines; ++y) convertLine(surface, g, y);
}

bool screenUpdateSurface(const HostSurface& surface, ChangedArea* changed)
{
    std::lock_guard lock(screenLock());
    if (!ready()) return false;
    const LineGeometry g = lineGeometry();
    const unsigned cellPixels = hostPixelsPerCell(guestScreen.format->id);
    if (guestScreen.fullRedraw.exchange(0)) {
        if (changed) changed->whole = true;
        guestScreen.dirtyAny.store(0);
        for (size_t i = 0; i < guestScreen.lineWords; ++i) guestScreen.dirtyLines[i].store(0);
        for (size_t i = 0; i < guestScreen.cellWords * guestScreen.height; ++i) guestScreen.dirtyCells[i].store(0);
        for (unsigned y = 0; y < guestScreen.shownLines; ++y) convertLine(surface, g, y);
        return true;
    }
    if (!guestScreen.dirtyAny.exchange(0)) return false;
    for (size_t w = 0; w < guestScreen.lineWords; ++w) {
        uint32_t lines = guestScreen.dirtyLines[w].exchange(0);
        while (lines) {
            const unsigned y = unsigned(w * BitsPerWord) + unsigned(std::countr_zero(lines));
            lines &= lines - 1;
            if (y >= guestScreen.shownLines) continue;
            std::atomic<uint32_t>* row = guestScreen.dirtyCells.get() + size_t(y) * guestScreen.cellWords;
            size_t firstCell = SIZE_MAX, endCell = 0;
            // The marks of a stretch of the line are taken first and converted after:
            // an exchange is a locked operation that waits for earlier stores, so one
            // between every two conversions would wait for each converted cell's store.
            for (size_t base = 0; base < guestScreen.cellWords; base += TakenWords) {
                const size_t words = std::min(TakenWords, guestScreen.cellWords - base);
                uint32_t taken[TakenWords];
                for (size_t i = 0; i < words; ++i)
                    // A word seen empty needs no exchange: a mark that lands after this
                    // load sets the line bit again, which was taken above.
                    taken[i] = row[base + i].load() == 0 ? 0 : row[base + i].exchange(0);
                for (size_t i = 0; i < words; ++i) {
                    uint32_t cells = taken[i];
                    const size_t c = base + i;
                    // Runs of neighbouring marked cells go to the span converter in one call.
                    while (cells) {
                        const unsigned start = unsigned(std::countr_zero(cells));
                        const unsigned run = unsigned(std::countr_one(cells >> start));
                        convertCells(surface, g, y, c * BitsPerWord + start, run);
                        firstCell = std::min(firstCell, c * BitsPerWord + start);
                        endCell = c * BitsPerWord + start + run;
                        cells = run + start >= BitsPerWord ? 0 : cells & (~0u << (start + run));
                    }
                }
            }
            // A half cell at the line end is drawn half a cell to the left: the band
            // reaches back that far and stops at the screen's edge.
            if (changed && endCell > firstCell)
                changed->addLine(y, unsigned(firstCell > 0 ? firstCell * cellPixels - cellPixels / 2 : 0),
                                 unsigned(std::min<size_t>(endCell * cellPixels, guestScreen.width)));
        }
    }
    return true;
}

void HeadlessFrame::resize(unsigned width, unsigned height, HostFormat format)
{
    width_ = width;
    height_ = height;
    format_ = format;
    pitch_ = size_t(width) * hostBytesPerPixel(format);
    pixels_.assign(pitch_ * height, 0);
}

uint32_t HeadlessFrame::rgb(unsigned x, unsigned y) const
{
    const unsigned bpp = hostBytesPerPixel(format_);
    const uint8_t* p = pixels_.data() + pitch_ * y + size_t(x) * bpp;
    uint32_t v = 0;
    for (unsigned i = 0; i < bpp; ++i) v |= uint32_t(p[i]) << (8 * i);
    auto widen = [](uint32_t value, unsigned bits) { return (value << (8 - bits)) & 0xFF; };
    switch (format_) {
    case HostFormat::Rgb565:
        return widen(v >> 11, 5) << 16 | widen((v >> 5) & 0x3F, 6) << 8 | widen(v & 0x1F, 5);
    case HostFormat::Rgb555:
        return widen((v >> 10) & 0x1F, 5) << 16 | widen((v >> 5) & 0x1F, 5) << 8 | widen(v & 0x1F, 5);
    case HostFormat::Bgr24:
    case HostFormat::Bgr0:
        return v & 0xFFFFFF;
    case HostFormat::Rgb0:
        return (v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFF);
    }
    return 0;
}

bool HeadlessFrame::writePng(const std::string& path) const
{
    std::vector<uint8_t> rgbRows;
    rgbRows.reserve(size_t(width_) * height_ * 3);
    for (unsigned y = 0; y < height_; ++y)
        for (unsigned x = 0; x < width_; ++x) {
            const uint32_t c = rgb(x, y);
            rgbRows.push_back(uint8_t(c >> 16));
            rgbRows.push_back(uint8_t(c >> 8));
            rgbRows.push_back(uint8_t(c));
        }
    return writeRgbPng(path, width_, height_, rgbRows);
}
