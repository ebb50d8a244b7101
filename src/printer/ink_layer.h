// InkLayer: the images already placed on a page, for output devices that
// cannot combine an image with the page by AND (PDF, printers). On paper the
// inks of overlapping dots mix: each keeps only the light both let through.
// Such a device only paints over, so a new image's dots that fall on dots of
// earlier images are given the mixed colour before they are drawn.
#pragma once

#include <QImage>
#include <QRect>
#include <map>
#include <optional>
#include <vector>

#include "printer/page_model.h"

namespace zemprint {

class InkLayer {
public:
    // Forgets the page's images (at the end of a page).
    void clear();

    // Notes an image placed on the page: the part [0, sourceWidth) x
    // [0, sourceHeight) of `bitmap`, stretched over `area` (twips), in
    // `colour`. When some of its dots lie on dots of earlier images in other
    // colours, returns the part as an image to draw instead of the plain one:
    // transparent where there is no dot, the colour or the mix where there is.
    std::optional<QImage> place(const MonoBitmap& bitmap, int sourceWidth, int sourceHeight, const QRect& area,
                                Rgb colour);

private:
    struct Placed {
        MonoBitmap dots;
        int sourceWidth;
        int sourceHeight;
        QRect area;
        Rgb colour;
        // The dot of this image under a page point, if it prints there.
        bool printsAt(double x, double y) const;
    };

    // Images by horizontal strips of the page, so a new image looks only at
    // those near it.
    static constexpr int kStripTwips = 48;
    std::vector<Placed> placed_;
    std::map<int, std::vector<std::size_t>> strips_;
};

}  // namespace zemprint
