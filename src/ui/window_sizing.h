// The rules that keep the window a multiple of the guest screen, free of any window
// system so that they can be checked on their own.
#pragma once

#include <QRect>

// The edge (or corner) the user drags.
enum class SizingEdge { Left = 1, Right, Top, TopLeft, TopRight, Bottom, BottomLeft, BottomRight };

// A client rectangle proposed while dragging `edge`, for a guest screen of width x height:
// a size within 30 pixels of a multiple of the guest screen becomes that multiple, and
// the other direction follows the guest's aspect ratio.
QRect keepAspectWhileSizing(QRect client, SizingEdge edge, int width, int height);

// The part of a full-screen client area the picture fills when the aspect ratio is kept:
// anchored at the top left, the direction that differs less from the guest size decides,
// unless the picture would then not fit.
QRect keepAspectInFullScreen(QRect client, int width, int height);

// Where a window rectangle goes so that it lies inside `workArea`: moved, never shrunk;
// when it is larger, its left and top edges win.
QRect moveInside(QRect window, QRect workArea);
