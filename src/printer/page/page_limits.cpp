#include "printer/page/page_limits.h"

#include <cmath>

#include "printer/page/translate.h"

namespace zemprint {

namespace {
constexpr double kMmPerInch = 25.4;
constexpr double kTwipsPerInch = 1440.0;
// The horizontal size is taken half a millimetre wider: the printable width a
// driver reports is cut down to whole millimetres.
constexpr double kWidthAllowanceMm = 0.5;
}  // namespace

void TPageLimits::setTop(int v)
{
    if (v >= bottom()) throw EIllegalParameter("SetTopMargin");
    put(kTop, v);
}

void TPageLimits::setBottom(int v)
{
    if (top() >= v) throw EIllegalParameter("SetBottomMargin");
    put(kBottom, v > pageHeight() ? pageHeight() : v);
}

void TPageLimits::setLeft(int v)
{
    if (v >= right()) throw EIllegalParameter("SetLeftMargin");
    put(kLeft, v);
}

void TPageLimits::setRight(int v)
{
    if (left() >= v) throw EIllegalParameter("SetRightMargin");
    put(kRight, v > pageWidth() ? pageWidth() : v);
}

void TPageLimits::reset()
{
    put(kLeft, kLimitNotSet);
    put(kTop, kLimitNotSet);
    put(kRight, kLimitNotSet);
    put(kBottom, kLimitNotSet);
}

void TPageLimits::measure(double widthMm, double heightMm)
{
    setPageSize(static_cast<int>(std::nearbyint((widthMm + kWidthAllowanceMm) / kMmPerInch * kTwipsPerInch)),
                static_cast<int>(std::nearbyint(heightMm / kMmPerInch * kTwipsPerInch)));
}

void TPageLimits::setPageSize(int width, int height)
{
    put(kWidth, width);
    put(kHeight, height);
    translation().setPageExtent(height);
}

}  // namespace zemprint
