#include "printer/page/ink_layer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <numeric>
#include <utility>

namespace zemprint {

namespace {

Rgb mixInks(Rgb a, Rgb b)
{
    return {static_cast<std::uint8_t>(a.red & b.red), static_cast<std::uint8_t>(a.green & b.green),
            static_cast<std::uint8_t>(a.blue & b.blue)};
}

// Rounds towards minus infinity (positions left of or above the printable
// area are negative).
int floorDiv(std::int64_t value, int divisor)
{
    std::int64_t quotient = value / divisor;
    if (value % divisor != 0 && value < 0) --quotient;
    return static_cast<int>(std::clamp<std::int64_t>(quotient, INT_MIN / 2, INT_MAX / 2));
}

constexpr int kInksForOneImage = 2;
// Empty layer rows (1/720 inch) that split a band's pending dots in two.
constexpr int kSplitRows = 8;

int squaredDistance(Rgb a, Rgb b)
{
    const int r = a.red - b.red;
    const int g = a.green - b.green;
    const int bl = a.blue - b.blue;
    return r * r + g * g + bl * bl;
}

}  // namespace

void InkLayer::clear()
{
    inks_.assign(1, Rgb{});
    bands_.clear();
    pending_ = false;
}

std::uint8_t InkLayer::inkIndex(Rgb colour)
{
    for (std::size_t i = 1; i < inks_.size(); ++i)
        if (inks_[i] == colour) return static_cast<std::uint8_t>(i);
    if (inks_.size() <= kMaxInks) {
        inks_.push_back(colour);
        return static_cast<std::uint8_t>(inks_.size() - 1);
    }
    // The interpreter's inks and their mixes are far fewer than the palette
    // holds; should a page still run out, the nearest known ink stands in.
    std::size_t nearest = 1;
    for (std::size_t i = 2; i < inks_.size(); ++i)
        if (squaredDistance(inks_[i], colour) < squaredDistance(inks_[nearest], colour)) nearest = i;
    return static_cast<std::uint8_t>(nearest);
}

void InkLayer::Band::cover(int from, int to)
{
    if (width == 0) {
        left = from;
        width = to - from;
        dots.assign(static_cast<std::size_t>(kBandRows) * width, 0);
        return;
    }
    if (from >= left && to <= left + width) return;
    // Grown at least by its own width, so images creeping sideways along a
    // band (bit images column after column) copy it only a few times.
    const int newLeft = from < left ? std::min(from, left - width) : left;
    const int newWidth = (to > left + width ? std::max(to, left + 2 * width) : left + width) - newLeft;
    std::vector<std::uint8_t> grown(static_cast<std::size_t>(kBandRows) * newWidth, 0);
    for (int r = 0; r < kBandRows; ++r)
        std::copy_n(dots.begin() + static_cast<std::ptrdiff_t>(r) * width, width,
                    grown.begin() + static_cast<std::ptrdiff_t>(r) * newWidth + (left - newLeft));
    dots = std::move(grown);
    left = newLeft;
    width = newWidth;
}

void InkLayer::Band::notePending(int from, int to, int r)
{
    if (pendingRight <= pendingLeft) {
        pendingLeft = from;
        pendingRight = to;
        pendingTop = r;
        pendingBottom = r + 1;
        return;
    }
    pendingLeft = std::min(pendingLeft, from);
    pendingRight = std::max(pendingRight, to);
    pendingTop = std::min(pendingTop, r);
    pendingBottom = std::max(pendingBottom, r + 1);
}

void InkLayer::Band::noteGrain(int x, int y)
{
    grainX = std::gcd(grainX, x);
    grainY = std::gcd(grainY, y);
}

InkLayer::Band& InkLayer::band(int index, int from, int to)
{
    Band& b = bands_[index];
    b.cover(from, to);
    return b;
}

void InkLayer::place(const MonoBitmap& bitmap, int sourceWidth, int sourceHeight, const QRect& area, Rgb colour,
                     const QRect& clip)
{
    sourceWidth = std::min(sourceWidth, bitmap.width);
    sourceHeight = std::min(sourceHeight, bitmap.height);
    if (sourceWidth <= 0 || sourceHeight <= 0 || area.width() <= 0 || area.height() <= 0) return;
    const std::uint8_t ink = inkIndex(colour);
    std::array<std::uint8_t, kMaxInks + 1> mixedWith{};  // earlier ink -> mix with this one (0: not yet known)
    const auto mixOnto = [&](std::uint8_t earlier) {
        if (earlier == 0) return ink;
        if (mixedWith[earlier] == 0) mixedWith[earlier] = inkIndex(mixInks(inks_[earlier], colour));
        return mixedWith[earlier];
    };

    // Each source dot covers the layer dots whose middles lie in its part of
    // the area, and at least one, so no dot is lost at densities above 720.
    std::vector<int> columnEdge(static_cast<std::size_t>(sourceWidth) + 1);
    for (int c = 0; c <= sourceWidth; ++c)
        columnEdge[c] = floorDiv(area.left() + static_cast<std::int64_t>(c) * area.width() / sourceWidth, kTwipsPerDot);
    // The dots of an image on the layer's grid all have one size (in layer
    // dots; 1 when they do not fit the grid).
    const auto dotSize = [](int length, int count) {
        return length % count != 0 || (length / count) % kTwipsPerDot != 0 ? 1 : length / count / kTwipsPerDot;
    };
    const int dotX = dotSize(area.width(), sourceWidth);
    const int dotY = dotSize(area.height(), sourceHeight);
    // A cut at a limit takes only whole dots, so a cut image keeps its grid.
    const auto cutEdge = [](std::int64_t limit, int origin, int dot, int end) {
        const int edge = floorDiv(limit, kTwipsPerDot);
        return edge >= end ? edge : origin + floorDiv(static_cast<std::int64_t>(edge) - origin, dot) * dot;
    };
    const int imageTop = floorDiv(area.top(), kTwipsPerDot);
    const int clipLeft = floorDiv(clip.left(), kTwipsPerDot);
    const int clipRight =
        cutEdge(static_cast<std::int64_t>(clip.left()) + clip.width(), columnEdge[0], dotX, columnEdge[sourceWidth]);
    const int clipTop = floorDiv(clip.top(), kTwipsPerDot);
    const int clipBottom = cutEdge(static_cast<std::int64_t>(clip.top()) + clip.height(), imageTop, dotY,
                                   floorDiv(static_cast<std::int64_t>(area.top()) + area.height(), kTwipsPerDot));
    if (clipRight <= clipLeft || clipBottom <= clipTop) return;
    for (int& edge : columnEdge) edge = std::clamp(edge, clipLeft, clipRight);
    const auto columnEnd = [&](int c) { return std::max(columnEdge[c + 1], std::min(columnEdge[c] + 1, clipRight)); };
    // From the dot size and the image's corner follows the block size of the
    // bands it touches.
    const int blockX = std::gcd(std::gcd(dotX, std::abs(columnEdge[0])), std::abs(columnEdge[sourceWidth]));
    const int blockY = dotY;

    // A band takes the whole width of the image at once: rows whose dots
    // start further and further right would otherwise widen it row by row.
    const int imageLeft = columnEdge[0];
    const int imageRight = std::max(columnEdge[sourceWidth], imageLeft + 1);
    std::vector<std::pair<int, int>> spans;  // layer columns [from, to) of a row's runs of dots
    for (int row = 0; row < sourceHeight; ++row) {
        const std::uint8_t* bits = bitmap.bits.data() + static_cast<std::size_t>(row) * bitmap.stride;
        spans.clear();
        for (int c = 0; c < sourceWidth; c += 8) {
            if (bits[c / 8] == 0) continue;
            for (int k = c; k < std::min(c + 8, sourceWidth); ++k) {
                if (!((bits[c / 8] >> (7 - k % 8)) & 1)) continue;
                const int from = columnEdge[k];
                const int to = columnEnd(k);
                if (to <= from) continue;
                if (!spans.empty() && spans.back().second >= from)
                    spans.back().second = std::max(spans.back().second, to);
                else
                    spans.emplace_back(from, to);
            }
        }
        if (spans.empty()) continue;
        const std::int64_t y0 = area.top() + static_cast<std::int64_t>(row) * area.height() / sourceHeight;
        const std::int64_t y1 = area.top() + static_cast<std::int64_t>(row + 1) * area.height() / sourceHeight;
        const int rowFirst = std::max(floorDiv(y0, kTwipsPerDot), clipTop);
        const int rowEnd = std::min(std::max(floorDiv(y1, kTwipsPerDot), rowFirst + 1), clipBottom);
        const int from = spans.front().first;
        const int to = spans.back().second;
        for (int layerRow = rowFirst; layerRow < rowEnd; ++layerRow) {
            const int bandIndex = floorDiv(layerRow, kBandRows);
            const int inBand = layerRow - bandIndex * kBandRows;
            Band& b = band(bandIndex, std::min(from, imageLeft), std::max(to, imageRight));
            std::uint8_t* cells = b.row(inBand);
            for (const auto& [spanFrom, spanTo] : spans)
                for (std::uint8_t* cell = cells + (spanFrom - b.left); cell != cells + (spanTo - b.left); ++cell)
                    *cell = mixOnto(*cell & kInkMask) | kPendingFlag;
            b.notePending(from, to, inBand);
            // Rows of a block start at the image's top and every blockY
            // rows; the band's own edges split blocks as well.
            const int bandTop = bandIndex * kBandRows;
            b.noteGrain(blockX,
                        std::gcd(std::gcd(std::gcd(blockY, std::abs(rowFirst - bandTop)), std::abs(rowEnd - bandTop)),
                                 kBandRows));
        }
        pending_ = true;
    }
}

// Hands out the pending dots of rows [top, bottom) of a band.
void InkLayer::emitRows(Band& b, int index, int top, int bottom, const Sink& sink)
{
    struct Box {
        int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
    };
    const int gx = std::max(b.grainX, 1);
    const int gy = std::max(b.grainY, 1);
    // Pending bounds lie on block edges: every dot fills whole blocks.
    std::array<Box, kMaxInks + 1> boxes{};
    for (int r = top; r < bottom; r += gy) {
        const std::uint8_t* cells = b.row(r);
        for (int x = b.pendingLeft; x < b.pendingRight; x += gx) {
            const std::uint8_t cell = cells[x - b.left];
            if (!(cell & kPendingFlag)) continue;
            Box& box = boxes[cell & kInkMask];
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x + gx);
            box.top = std::min(box.top, r);
            box.bottom = std::max(box.bottom, r + gy);
        }
    }
    int inkCount = 0;
    Box all;
    for (std::size_t ink = 1; ink < boxes.size(); ++ink) {
        const Box& box = boxes[ink];
        if (box.right <= box.left) continue;
        ++inkCount;
        all = {std::min(all.left, box.left), std::max(all.right, box.right), std::min(all.top, box.top),
               std::max(all.bottom, box.bottom)};
    }
    if (inkCount >= kInksForOneImage) {
        QImage image((all.right - all.left) / gx, (all.bottom - all.top) / gy, QImage::Format_Indexed8);
        if (!image.isNull()) {
            QList<QRgb> table{qRgba(0, 0, 0, 0)};
            for (std::size_t ink = 1; ink < inks_.size(); ++ink)
                table.push_back(qRgb(inks_[ink].red, inks_[ink].green, inks_[ink].blue));
            image.setColorTable(table);
            for (int r = all.top; r < all.bottom; r += gy) {
                const std::uint8_t* cells = b.row(r);
                uchar* line = image.scanLine((r - all.top) / gy);
                for (int x = all.left; x < all.right; x += gx) {
                    const std::uint8_t cell = cells[x - b.left];
                    line[(x - all.left) / gx] = (cell & kPendingFlag) ? cell & kInkMask : 0;
                }
            }
            const int pageTop = index * kBandRows + all.top;
            sink(QRect(all.left * kTwipsPerDot, pageTop * kTwipsPerDot, (all.right - all.left) * kTwipsPerDot,
                       (all.bottom - all.top) * kTwipsPerDot),
                 image);
        }
        boxes = {};
    }
    for (std::size_t ink = 1; ink < boxes.size(); ++ink) {
        const Box& box = boxes[ink];
        if (box.right <= box.left) continue;
        QImage image((box.right - box.left) / gx, (box.bottom - box.top) / gy, QImage::Format_Mono);
        if (image.isNull()) continue;  // out of memory: these dots are not printed
        const Rgb colour = inks_[ink];
        // The empty dots carry the ink's colour too, only transparent: a
        // PDF engine writes such an image as a mask and a colour plane,
        // and a plane of one colour costs next to nothing.
        image.setColorTable(
            {qRgba(colour.red, colour.green, colour.blue, 0), qRgb(colour.red, colour.green, colour.blue)});
        image.fill(0);
        for (int r = box.top; r < box.bottom; r += gy) {
            const std::uint8_t* cells = b.row(r);
            uchar* line = image.scanLine((r - box.top) / gy);
            for (int x = box.left; x < box.right; x += gx)
                if (cells[x - b.left] == (ink | kPendingFlag)) {
                    const int bit = (x - box.left) / gx;
                    line[bit / 8] |= static_cast<uchar>(0x80 >> (bit % 8));
                }
        }
        const int pageTop = index * kBandRows + box.top;
        sink(QRect(box.left * kTwipsPerDot, pageTop * kTwipsPerDot, (box.right - box.left) * kTwipsPerDot,
                   (box.bottom - box.top) * kTwipsPerDot),
             image);
    }
}

void InkLayer::flush(const Sink& sink)
{
    if (!pending_) return;
    for (auto& [index, b] : bands_) {
        if (b.pendingRight <= b.pendingLeft) continue;
        // Rows without pending dots split the band, so rows far apart (a
        // job that feeds the paper between its rows) are not handed out
        // with all the empty space between them.
        const int gx = std::max(b.grainX, 1);
        const int gy = std::max(b.grainY, 1);
        int segmentTop = -1;
        int segmentBottom = -1;
        for (int r = b.pendingTop; r < b.pendingBottom; r += gy) {
            const std::uint8_t* cells = b.row(r);
            bool any = false;
            for (int x = b.pendingLeft; x < b.pendingRight && !any; x += gx)
                any = (cells[x - b.left] & kPendingFlag) != 0;
            if (!any) continue;
            if (segmentTop >= 0 && r - segmentBottom >= kSplitRows) {
                emitRows(b, index, segmentTop, segmentBottom, sink);
                segmentTop = -1;
            }
            if (segmentTop < 0) segmentTop = r;
            segmentBottom = r + gy;
        }
        if (segmentTop >= 0) emitRows(b, index, segmentTop, segmentBottom, sink);
        for (int r = b.pendingTop; r < b.pendingBottom; ++r) {
            std::uint8_t* cells = b.row(r);
            for (int x = b.pendingLeft; x < b.pendingRight; ++x) cells[x - b.left] &= kInkMask;
        }
        b.pendingLeft = b.pendingRight = 0;
    }
    pending_ = false;
}

}  // namespace zemprint
