// The character attributes of the page model and the sizes that follow from
// them: cell width, advance and the font request. Widths come from the pitch,
// the HMI and the proportional width tables, never from the host font's own
// metrics, so a job lays out the same whatever face stands in for a typeface.
#pragma once

#include <array>
#include <cstdint>

#include "printer/page/page_model.h"
#include "printer/base/typefaces.h"

namespace zemprint {

inline constexpr double kDefaultPointSize = 10.5;
inline constexpr double kDefaultPitch = 10.0;
inline constexpr int kDefaultPitchWidth = 144;

struct TextAttributes {
    int typeface = 0;
    double pointSize = kDefaultPointSize;
    bool fifteenPitch = false;
    double pitch = kDefaultPitch;
    int hmi = 0;  // 0: none
    int pitchWidth = kDefaultPitchWidth;
    int extraSpace = 0;
    bool doubleWidth = false;
    bool doubleHeight = false;
    Script script = Script::None;
    bool condensed = false;
    bool bold = false;
    bool italic = false;
    bool outline = false;
    bool shadow = false;
    bool proportional = false;

    void setPitch(double cpi);
    void setHmi(int twips);
    // Condensed pitch widths exist for 10 and 12 characters per inch only.
    void setCondensed(bool on);
};

// Advance of one fixed-pitch character.
int cellWidth(const TextAttributes& a);
// The cell width without the extra space.
int fontWidthBasis(const TextAttributes& a);
// Advance of character c: from the width tables when proportional, else the cell.
int characterAdvance(const TextAttributes& a, char16_t c);

// What the host font measured for the em-high request, in twips.
struct FontMetricsTwips {
    double height = 0;
    double ascent = 0;
    double averageWidth = 0;
};

// The font to draw with: a face at height twips whose average character is
// width twips wide.
struct FontRequest {
    int em = 0;
    int height = 0;
    int width = 0;
    bool bold = false;
    bool italic = false;
    bool rotated = false;
};

// em: the character height in twips of the point size.
int emHeight(const TextAttributes& a);
// The width basis w of the font: em for proportional text, else the width
// basis, scaled by the typeface's zoom for typefaces 0 to 9.
int fontWidthRequest(const TextAttributes& a, const std::array<int, kZoomedTypefaceCount>& zoom);
FontRequest finalFont(const TextAttributes& a, int widthRequest, const FontMetricsTwips& emMetrics, bool rotated);

// Round to nearest, ties to even, as every conversion of the page model does.
int roundEven(double value);

}  // namespace zemprint
