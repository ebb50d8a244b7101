#include "printer/page/box_drawing.h"

#include <algorithm>
#include <array>

namespace zemprint {

namespace {

enum Weight : int { kNone = 0, kLight = 1, kHeavy = 2, kDouble = 3 };

// U+2500 to U+257F: the weights of the arms up, right, down, left; dash
// counts and the diagonals apart.
constexpr std::array<const char*, 128> kArms = {
    "0101", "0202", "1010", "2020", "0101", "0202", "1010", "2020",  // 2500
    "0101", "0202", "1010", "2020", "0110", "0210", "0120", "0220",  // 2508
    "0011", "0012", "0021", "0022", "1100", "1200", "2100", "2200",  // 2510
    "1001", "1002", "2001", "2002", "1110", "1210", "2110", "1120",  // 2518
    "2120", "2210", "1220", "2220", "1011", "1012", "2011", "1021",  // 2520
    "2021", "2012", "1022", "2022", "0111", "0112", "0211", "0212",  // 2528
    "0121", "0122", "0221", "0222", "1101", "1102", "1201", "1202",  // 2530
    "2101", "2102", "2201", "2202", "1111", "1112", "1211", "1212",  // 2538
    "2111", "1121", "2121", "2112", "2211", "1122", "1221", "2212",  // 2540
    "1222", "2122", "2221", "2222", "0101", "0202", "1010", "2020",  // 2548
    "0303", "3030", "0310", "0130", "0330", "0013", "0031", "0033",  // 2550
    "1300", "3100", "3300", "1003", "3001", "3003", "1310", "3130",  // 2558
    "3330", "1013", "3031", "3033", "0313", "0131", "0333", "1303",  // 2560
    "3101", "3303", "1313", "3131", "3333", "0110", "0011", "1001",  // 2568
    "1100", "0000", "0000", "0000", "0001", "1000", "0100", "0010",  // 2570
    "0002", "2000", "0200", "0020", "0201", "1020", "0102", "2010",  // 2578
};

int dashesOf(char16_t c)
{
    if (c >= 0x2504 && c <= 0x2507) return 3;
    if (c >= 0x2508 && c <= 0x250B) return 4;
    if (c >= 0x254C && c <= 0x254F) return 2;
    return 0;
}

// The lines of one cell, in a frame where x runs along an arm: the same
// rules serve the horizontal and the vertical arms with the axes swapped.
class Lines {
public:
    Lines(int left, int top, int width, int height, int light)
        : left_(left), top_(top), width_(width), height_(height), light_(std::max(1, light)), gap_(std::max(1, light))
    {
    }

    // Half the width a single arm of weight w covers across its line.
    int halfExtent(int w) const
    {
        switch (w) {
        case kLight:
            return light_ / 2;
        case kHeavy:
            return light_;
        case kDouble:
            return gap_ + light_ / 2;
        default:
            return 0;
        }
    }

    // One arm from the centre to an edge. along: the arm's weight; ahead:
    // the arm opposite it; sideA, sideB: the crossing arms on the side of the
    // negative and the positive offsets. horizontal: whether the arm lies
    // along x. dir: +1 towards the right or bottom edge, -1 the other way.
    void arm(int weight, int ahead, int sideA, int sideB, bool horizontal, int dir, int dashes, BoxShapes& out) const
    {
        if (weight == kNone) return;
        const int centre = horizontal ? left_ + width_ / 2 : top_ + height_ / 2;
        const int across = horizontal ? top_ + height_ / 2 : left_ + width_ / 2;
        const int edge = dir > 0 ? (horizontal ? left_ + width_ : top_ + height_) : (horizontal ? left_ : top_);
        const bool crossing = sideA != kNone || sideB != kNone;
        if (weight == kDouble) {
            // Each stroke of a double line: through where the line goes on,
            // to the crossing line's near stroke, or round an outer corner.
            for (int side : {-1, 1}) {
                const int same = side < 0 ? sideA : sideB;
                const int other = side < 0 ? sideB : sideA;
                int end = centre;
                if (same == kDouble)
                    end = centre + dir * (gap_ - light_ / 2);  // meets the crossing line's near stroke square
                else if (same == kNone && ahead != kDouble && other == kDouble)
                    end = centre - dir * (gap_ + light_ / 2);  // outer corner: reaches the far stroke
                else if (same == kNone && ahead != kDouble && other != kNone)
                    end = centre - dir * halfExtent(other);
                stroke(end, edge, across + side * gap_, light_, horizontal, dashes, out);
            }
            return;
        }
        const int thickness = weight == kHeavy ? 2 * light_ : light_;
        int end = centre;  // through lines and half lines meet at the centre
        if (ahead == kNone && crossing) {
            if (sideA == kDouble && sideB == kDouble)
                end = centre + dir * (gap_ - light_ / 2);  // a T on a double line meets its near stroke
            else if (sideA == kDouble || sideB == kDouble)
                end = centre - dir * (gap_ + light_ / 2);  // a corner into a double line reaches its far stroke
            else
                end = centre - dir * std::max(halfExtent(sideA), halfExtent(sideB));  // covers the line it turns into
        }
        stroke(end, edge, across, thickness, horizontal, dashes, out);
    }

private:
    void stroke(int from, int to, int across, int thickness, bool horizontal, int dashes, BoxShapes& out) const
    {
        const int a = std::min(from, to);
        const int b = std::max(from, to);
        const int t0 = across - thickness / 2;
        auto add = [&](int s, int e) {
            if (e <= s) return;
            if (horizontal)
                out.rects.push_back({s, t0, e - s, thickness});
            else
                out.rects.push_back({t0, s, thickness, e - s});
        };
        if (dashes == 0) {
            add(a, b);
            return;
        }
        // Each half cell holds half of the dashes, each dash 3/5 of its slot.
        const int length = b - a;
        for (int i = 0; i < dashes; ++i) {
            const int slotStart = a + length * i / dashes;
            const int slotEnd = a + length * (i + 1) / dashes;
            const int inset = (slotEnd - slotStart) / 5;
            add(slotStart + inset, slotEnd - inset);
        }
    }

    int left_, top_, width_, height_;
    int light_;
    int gap_;
};

void blockElement(char16_t c, int left, int top, int width, int height, BoxShapes& out)
{
    auto eighthsDown = [&](int from, int to) {  // rows from/8 to to/8 of the cell
        const int y0 = top + height * from / 8;
        const int y1 = top + height * to / 8;
        out.rects.push_back({left, y0, width, y1 - y0});
    };
    auto eighthsAcross = [&](int from, int to) {
        const int x0 = left + width * from / 8;
        const int x1 = left + width * to / 8;
        out.rects.push_back({x0, top, x1 - x0, height});
    };
    auto quadrant = [&](bool right, bool lower) {
        const int x0 = right ? left + width / 2 : left;
        const int x1 = right ? left + width : left + width / 2;
        const int y0 = lower ? top + height / 2 : top;
        const int y1 = lower ? top + height : top + height / 2;
        out.rects.push_back({x0, y0, x1 - x0, y1 - y0});
    };
    switch (c) {
    case 0x2580:
        eighthsDown(0, 4);
        return;
    case 0x2588:
        eighthsDown(0, 8);
        return;
    case 0x2590:
        eighthsAcross(4, 8);
        return;
    case 0x2591:
        out.rects.push_back({left, top, width, height, 25});
        return;
    case 0x2592:
        out.rects.push_back({left, top, width, height, 50});
        return;
    case 0x2593:
        out.rects.push_back({left, top, width, height, 75});
        return;
    case 0x2594:
        eighthsDown(0, 1);
        return;
    case 0x2595:
        eighthsAcross(7, 8);
        return;
    case 0x2596:
        quadrant(false, true);
        return;
    case 0x2597:
        quadrant(true, true);
        return;
    case 0x2598:
        quadrant(false, false);
        return;
    case 0x2599:
        quadrant(false, false);
        quadrant(false, true);
        quadrant(true, true);
        return;
    case 0x259A:
        quadrant(false, false);
        quadrant(true, true);
        return;
    case 0x259B:
        quadrant(false, false);
        quadrant(true, false);
        quadrant(false, true);
        return;
    case 0x259C:
        quadrant(false, false);
        quadrant(true, false);
        quadrant(true, true);
        return;
    case 0x259D:
        quadrant(true, false);
        return;
    case 0x259E:
        quadrant(true, false);
        quadrant(false, true);
        return;
    case 0x259F:
        quadrant(true, false);
        quadrant(false, true);
        quadrant(true, true);
        return;
    default:
        break;
    }
    if (c >= 0x2581 && c <= 0x2587) {
        eighthsDown(8 - (c - 0x2580), 8);  // lower one eighth to seven eighths
        return;
    }
    if (c >= 0x2589 && c <= 0x258F) eighthsAcross(0, 8 - (c - 0x2588));  // left seven eighths to one eighth
}

}  // namespace

BoxShapes boxShapes(char16_t c, int left, int top, int width, int height, int light)
{
    BoxShapes out;
    if (!isBoxDrawing(c) || width <= 0 || height <= 0) return out;
    if (c >= 0x2580) {
        blockElement(c, left, top, width, height, out);
        return out;
    }
    if (c >= 0x2571 && c <= 0x2573) {
        const int right = left + width;
        const int bottom = top + height;
        if (c != 0x2572) out.strokes.push_back({right, top, left, bottom, light});
        if (c != 0x2571) out.strokes.push_back({left, top, right, bottom, light});
        return out;
    }
    const char* arms = kArms[static_cast<std::size_t>(c - 0x2500)];
    const int up = arms[0] - '0';
    const int right = arms[1] - '0';
    const int down = arms[2] - '0';
    const int leftArm = arms[3] - '0';
    const int dashes = dashesOf(c);
    const Lines lines(left, top, width, height, light);
    lines.arm(right, leftArm, up, down, true, 1, dashes, out);
    lines.arm(leftArm, right, up, down, true, -1, dashes, out);
    lines.arm(down, up, leftArm, right, false, 1, dashes, out);
    lines.arm(up, down, leftArm, right, false, -1, dashes, out);
    return out;
}

}  // namespace zemprint
