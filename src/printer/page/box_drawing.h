// Box-drawing characters and block elements (U+2500 to U+259F) as shapes
// that fill the character cell: the line of one cell meets the line of the
// next at the cell edge whatever the pitch or the font, so frames join as
// they do on paper instead of showing a font's dashes and gaps.
#pragma once

#include <cstdint>
#include <vector>

namespace zemprint {

inline bool isBoxDrawing(char16_t c) { return c >= 0x2500 && c <= 0x259F; }

// A filled rectangle; ink is the share of the colour in percent (the shades
// are lighter), the rest of the light is left to the paper.
struct BoxRect {
    int x, y, width, height;
    int ink = 100;
};

// A straight stroke of the given width (the diagonals).
struct BoxStroke {
    int x1, y1, x2, y2, width;
};

struct BoxShapes {
    std::vector<BoxRect> rects;
    std::vector<BoxStroke> strokes;
};

// The shapes of c in the cell (left, top, width, height), all in twips, with
// light lines `light` twips thick. Empty for characters outside the range.
BoxShapes boxShapes(char16_t c, int left, int top, int width, int height, int light);

}  // namespace zemprint
