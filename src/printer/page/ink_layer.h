// InkLayer: the graphics of a page, for output devices that cannot combine an
// image with the page by AND (PDF, printers). On paper the inks of overlapping
// dots mix: each keeps only the light both let through. Such a device only
// paints over, so the page's dots are collected here first, each holding the
// mix of every ink that fell on it, and are handed out as a few large images
// per band of the page instead of one image per row or plane.
//
// The dots are held at 720 per inch, two twips a side: every ESC/P density
// (60 to 720 dpi) is a whole number of such dots. Bands are allocated only
// where graphics fall.
#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "printer/page/page_model.h"

namespace zemprint {

class InkLayer {
public:
    // Twips on a side of one dot of the layer.
    static constexpr int kTwipsPerDot = 2;
    // Rows of dots in one band.
    static constexpr int kBandRows = 128;

    // Forgets the page (at the end of a page).
    void clear();

    // Puts an image on the page: the part [0, sourceWidth) x [0, sourceHeight)
    // of `bitmap`, stretched over `area` (twips), in `colour`, and nothing of
    // it outside `clip` (twips). Dots that fall on earlier ones get the mix of
    // both inks.
    void place(const MonoBitmap& bitmap, int sourceWidth, int sourceHeight, const QRect& area, Rgb colour,
               const QRect& clip);

    // True when dots were placed since the last flush.
    bool pending() const { return pending_; }

    // Hands out the dots placed or changed since the last flush: per band,
    // one image per colour, cropped to the dots it holds, transparent where it
    // has none, with the area (twips) it covers. Dots stay known for the
    // mixing of later ones.
    using Sink = std::function<void(const QRect& area, const QImage& dots)>;
    void flush(const Sink& sink);

private:
    // One byte a dot: the palette index of its ink (0: none) and a flag for a
    // dot not yet handed out.
    static constexpr std::uint8_t kPendingFlag = 0x80;
    static constexpr std::uint8_t kInkMask = 0x7F;
    static constexpr std::size_t kMaxInks = kInkMask;  // indices 1 .. 127

    struct Band {
        int left = 0;  // layer column of the first dot held
        int width = 0;
        std::vector<std::uint8_t> dots;  // kBandRows x width
        // Bounds of the pending dots (columns [pendingLeft, pendingRight),
        // rows [pendingTop, pendingBottom)); empty when none.
        int pendingLeft = 0;
        int pendingRight = 0;
        int pendingTop = 0;
        int pendingBottom = 0;
        // Every dot of the band fills whole blocks of grainX x grainY layer
        // dots (columns from 0, rows from the band's top): images are handed
        // out at that coarser size. 0 until the band holds dots.
        int grainX = 0;
        int grainY = 0;

        void cover(int from, int to);  // makes columns [from, to) available
        // Dots of row r, indexed from `left`.
        std::uint8_t* row(int r) { return dots.data() + static_cast<std::size_t>(r) * width; }
        void notePending(int from, int to, int r);
        void noteGrain(int x, int y);
    };

    std::uint8_t inkIndex(Rgb colour);
    void emitRows(Band& b, int index, int top, int bottom, const Sink& sink);
    Band& band(int index, int from, int to);

    std::vector<Rgb> inks_{Rgb{}};  // palette; entry 0 is unused (no ink)
    std::map<int, Band> bands_;
    bool pending_ = false;
};

}  // namespace zemprint
