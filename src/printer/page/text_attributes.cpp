#include "printer/page/text_attributes.h"

#include <cmath>
#include <cstdlib>

#include "printer/data/prop_widths.h"

namespace zemprint {

namespace {
constexpr double kTwipsPerInch = 1440.0;
constexpr int kTwipsPerPoint = 20;
constexpr double kFifteenPitch = 15.0;
constexpr double kPitchTolerance = 1e-7;
constexpr int kCondensedWidthAt10 = 84;
constexpr int kCondensedWidthAt12 = 72;
constexpr int kZoomPercent = 100;
constexpr int kPropWidthToTwips = 1440 / kPropWidthUnitsPerInch;

bool pitchIs(double pitch, double cpi) { return std::fabs(pitch - cpi) < kPitchTolerance; }
int twoThirds(int v) { return v * 2 / 3; }
}  // namespace

int roundEven(double value) { return static_cast<int>(std::nearbyint(value)); }

void TextAttributes::setPitch(double cpi)
{
    pitch = cpi;
    fifteenPitch = pitchIs(pitch, kFifteenPitch);
    pitchWidth = roundEven(kTwipsPerInch / pitch);
    hmi = 0;
}

void TextAttributes::setHmi(int twips)
{
    hmi = twips;
    if (twips != 0) fifteenPitch = false;
}

void TextAttributes::setCondensed(bool on)
{
    if (on) {
        if (pitchIs(pitch, 10.0))
            pitchWidth = kCondensedWidthAt10;
        else if (pitchIs(pitch, 12.0))
            pitchWidth = kCondensedWidthAt12;
    } else {
        setPitch(pitch);
    }
    condensed = on;
}

int fontWidthBasis(const TextAttributes& a)
{
    const int basis = a.hmi != 0 ? a.hmi : a.pitchWidth;
    return a.doubleWidth ? 2 * basis : basis;
}

int cellWidth(const TextAttributes& a)
{
    const int cell = (a.hmi != 0 ? a.hmi : a.pitchWidth) + a.extraSpace;
    return a.doubleWidth ? 2 * cell : cell;
}

int characterAdvance(const TextAttributes& a, char16_t c)
{
    if (!a.proportional) return cellWidth(a);
    const int value = propWidthForTypeface(a.typeface, c);
    int advance = roundEven(value * a.pointSize / kPropWidthPointSize) * kPropWidthToTwips;
    if (a.script != Script::None) advance = roundEven(2.0 * advance / 3.0);
    if (a.condensed) advance = roundEven(advance / 2.0);
    if (a.doubleWidth) advance *= 2;
    return advance;
}

int emHeight(const TextAttributes& a) { return roundEven(a.pointSize * kTwipsPerPoint); }

int fontWidthRequest(const TextAttributes& a, const std::array<int, kZoomedTypefaceCount>& zoom)
{
    if (a.proportional) {
        const int em = emHeight(a);
        return a.doubleWidth ? 2 * em : em;
    }
    if (a.typeface >= 0 && a.typeface < kZoomedTypefaceCount)
        return roundEven(static_cast<double>(fontWidthBasis(a)) * zoom[static_cast<std::size_t>(a.typeface)] /
                         kZoomPercent);
    return fontWidthBasis(a);
}

FontRequest finalFont(const TextAttributes& a, int widthRequest, const FontMetricsTwips& emMetrics, bool rotated)
{
    FontRequest font;
    font.em = emHeight(a);
    font.bold = a.bold;
    font.italic = a.italic;
    font.rotated = rotated;
    int height = a.doubleHeight ? 2 * font.em : font.em;
    if (a.script != Script::None || a.fifteenPitch) height = twoThirds(height);
    font.height = height;
    int width = font.em == 0 ? 0 : roundEven(std::abs(widthRequest) * emMetrics.averageWidth / std::abs(font.em));
    if (a.condensed && a.proportional) width = roundEven(width / 2.0);
    if (a.script != Script::None) width = twoThirds(width);
    font.width = width;
    return font;
}

}  // namespace zemprint
