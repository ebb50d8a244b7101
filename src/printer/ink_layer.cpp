#include "printer/ink_layer.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace zemprint {

namespace {

Rgb mixInks(Rgb a, Rgb b)
{
    return {static_cast<std::uint8_t>(a.red & b.red), static_cast<std::uint8_t>(a.green & b.green),
            static_cast<std::uint8_t>(a.blue & b.blue)};
}

int stripOf(int y, int stripTwips)
{
    return static_cast<int>(std::floor(static_cast<double>(y) / stripTwips));
}

}  // namespace

void InkLayer::clear()
{
    placed_.clear();
    strips_.clear();
}

bool InkLayer::Placed::printsAt(double x, double y) const
{
    if (x < area.left() || y < area.top() || x >= area.left() + area.width() || y >= area.top() + area.height())
        return false;
    const int column = static_cast<int>((x - area.left()) * sourceWidth / area.width());
    const int row = static_cast<int>((y - area.top()) * sourceHeight / area.height());
    return column < sourceWidth && row < sourceHeight && dots.dot(column, row);
}

std::optional<QImage> InkLayer::place(const MonoBitmap& bitmap, int sourceWidth, int sourceHeight, const QRect& area,
                                      Rgb colour)
{
    if (sourceWidth <= 0 || sourceHeight <= 0 || area.width() <= 0 || area.height() <= 0)
        return std::nullopt;
    const int firstStrip = stripOf(area.top(), kStripTwips);
    const int lastStrip = stripOf(area.top() + area.height() - 1, kStripTwips);

    // Earlier images in other colours that share some of the area.
    std::set<std::size_t> nearby;
    for (auto strip = strips_.lower_bound(firstStrip); strip != strips_.end() && strip->first <= lastStrip; ++strip)
        for (const std::size_t index : strip->second)
            if (placed_[index].colour != colour && placed_[index].area.intersects(area))
                nearby.insert(index);

    // Images on the same dot grid (the planes of one TIFF row, passes of one
    // band) share dots only where their bits do: checked a byte at a time.
    std::erase_if(nearby, [&](std::size_t index) {
        const Placed& earlier = placed_[index];
        if (earlier.area != area || earlier.sourceWidth != sourceWidth || earlier.sourceHeight != sourceHeight ||
            earlier.dots.stride != bitmap.stride)
            return false;
        for (int row = 0; row < sourceHeight; ++row) {
            const std::size_t start = static_cast<std::size_t>(row) * bitmap.stride;
            for (std::size_t i = start; i < start + static_cast<std::size_t>(bitmap.stride); ++i)
                if (bitmap.bits[i] & earlier.dots.bits[i])
                    return false;
        }
        return true;
    });

    std::optional<QImage> mixed;
    if (!nearby.empty() && colour != Rgb{}) {  // black stays black whatever lies under it
        const double dotWidth = static_cast<double>(area.width()) / sourceWidth;
        const double dotHeight = static_cast<double>(area.height()) / sourceHeight;
        const QRgb plain = qRgb(colour.red, colour.green, colour.blue);
        for (int row = 0; row < sourceHeight; ++row) {
            const double y = area.top() + (row + 0.5) * dotHeight;
            for (int column = 0; column < sourceWidth; ++column) {
                if (!bitmap.dot(column, row))
                    continue;
                const double x = area.left() + (column + 0.5) * dotWidth;
                Rgb ink = colour;
                for (const std::size_t index : nearby)
                    if (placed_[index].printsAt(x, y))
                        ink = mixInks(ink, placed_[index].colour);
                if (ink == colour && !mixed)
                    continue;
                if (!mixed) {
                    mixed = QImage(sourceWidth, sourceHeight, QImage::Format_ARGB32);
                    mixed->fill(Qt::transparent);
                    for (int r = 0; r < sourceHeight; ++r)
                        for (int c = 0; c < sourceWidth; ++c)
                            if (bitmap.dot(c, r))
                                mixed->setPixel(c, r, plain);
                }
                mixed->setPixel(column, row, qRgb(ink.red, ink.green, ink.blue));
            }
        }
    }

    placed_.push_back({bitmap, sourceWidth, sourceHeight, area, colour});
    for (int strip = firstStrip; strip <= lastStrip; ++strip)
        strips_[strip].push_back(placed_.size() - 1);
    return mixed;
}

}  // namespace zemprint
