#include "ui/window_sizing.h"

#include <cmath>
#include <cstdlib>

namespace {

// How far a size may be from a multiple of the guest screen to snap to it.
constexpr int SnapDistance = 30;

// How far `size` lies above the nearest multiple of `unit` (negative: below), or 0 when it
// is too far from any.
int snapOffset(int size, int unit)
{
    if (unit <= 0) return 0;
    const int d = size - ((size + SnapDistance) / unit) * unit;
    return std::abs(d) <= SnapDistance ? d : 0;
}

}  // namespace

QRect keepAspectWhileSizing(QRect client, SizingEdge edge, int width, int height)
{
    if (width <= 0 || height <= 0) return client;
    // Edges as the host's rectangles keep them: right and bottom one past the last pixel.
    int left = client.left(), top = client.top(), right = client.left() + client.width(),
        bottom = client.top() + client.height();
    switch (edge) {
    case SizingEdge::Left:
    case SizingEdge::BottomLeft:
        left += snapOffset(right - left, width);
        break;
    case SizingEdge::Right:
    case SizingEdge::TopRight:
        right -= snapOffset(right - left, width);
        break;
    case SizingEdge::Top:
    case SizingEdge::TopLeft:
        top += snapOffset(bottom - top, height);
        break;
    case SizingEdge::Bottom:
    case SizingEdge::BottomRight:
        bottom -= snapOffset(bottom - top, height);
        break;
    }
    const int w = right - left, h = bottom - top;
    switch (edge) {
    case SizingEdge::Left:
    case SizingEdge::TopRight:
        top = bottom - w * height / width;
        break;
    case SizingEdge::Right:
    case SizingEdge::BottomLeft:
        bottom = top + w * height / width;
        break;
    case SizingEdge::Top:
    case SizingEdge::TopLeft:
        left = right - h * width / height;
        break;
    case SizingEdge::Bottom:
    case SizingEdge::BottomRight:
        right = left + h * width / height;
        break;
    }
    return QRect(left, top, right - left, bottom - top);
}

QRect keepAspectInFullScreen(QRect client, int width, int height)
{
    if (width <= 0 || height <= 0) return client;
    const double ratio = double(width) / height;
    QRect byWidth = client, byHeight = client;
    byWidth.setHeight(int(std::floor(client.width() / ratio + 0.5)));
    byHeight.setWidth(int(std::floor(client.height() * ratio + 0.5)));
    const bool widthDecides = std::abs(width - client.width()) < std::abs(height - client.height());
    // The direction chosen by the smaller difference can give a picture larger than the
    // monitor (1024 x 768 on 1280 x 1024); the other direction then decides, so that the
    // picture is never cut off.
    if (widthDecides) return byWidth.height() <= client.height() ? byWidth : byHeight;
    return byHeight.width() <= client.width() ? byHeight : byWidth;
}

QRect moveInside(QRect window, QRect workArea)
{
    QRect r = window;
    if (r.right() > workArea.right()) r.moveRight(workArea.right());
    if (r.bottom() > workArea.bottom()) r.moveBottom(workArea.bottom());
    if (r.left() < workArea.left()) r.moveLeft(workArea.left());
    if (r.top() < workArea.top()) r.moveTop(workArea.top());
    return r;
}
