// TPageLimits: the page size and the four margins of the page model, in twips.
// A limit of -1 is "not set" and reads as its default. While the page is
// turned against the printer's starting orientation, every entry is read and
// written through the partner index (width with height, left with top, right
// with bottom), so the sizes measured at the start keep describing the paper.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "printer/page/page_model.h"

namespace zemprint {

inline constexpr int kLimitNotSet = -1;
inline constexpr int kDefaultTopLimit = 323;

class TPageLimits {
public:
    // swapped tells whether the page is turned against the starting orientation.
    explicit TPageLimits(std::function<bool()> swapped = {}) : swapped_(std::move(swapped)) {}

    int pageWidth() const { return get(kWidth); }
    int pageHeight() const { return get(kHeight); }
    int left() const { return effective(kLeft, 0); }
    int top() const { return effective(kTop, kDefaultTopLimit); }
    int right() const { return effective(kRight, pageWidth()); }
    int bottom() const { return effective(kBottom, pageHeight()); }
    // The stored values, -1 when not set.
    int rawLeft() const { return get(kLeft); }
    int rawTop() const { return get(kTop); }
    int rawRight() const { return get(kRight); }
    int rawBottom() const { return get(kBottom); }

    // Each setter throws EIllegalParameter ("SetTopMargin", ...) when the
    // limits would cross; bottom and right are clamped to the page.
    void setTop(int v);
    void setBottom(int v);
    void setLeft(int v);
    void setRight(int v);
    void reset();
    void cancelTop() { put(kTop, kLimitNotSet); }
    void cancelBottom() { put(kBottom, kLimitNotSet); }

    // Page size from the printable area in millimetres; the page extent of the
    // global TTranslate follows the height.
    void measure(double widthMm, double heightMm);
    // Sets the size directly (tests, and devices that know it in twips).
    void setPageSize(int width, int height);

private:
    enum Index { kWidth, kHeight, kLeft, kTop, kRight, kBottom, kCount };

    int slot(Index i) const { return (swapped_ && swapped_()) ? (i ^ 1) : i; }
    int get(Index i) const { return values_[static_cast<std::size_t>(slot(i))]; }
    void put(Index i, int v) { values_[static_cast<std::size_t>(slot(i))] = v; }
    int effective(Index i, int fallback) const
    {
        const int v = get(i);
        return v == kLimitNotSet ? fallback : v;
    }

    std::array<int, kCount> values_{0, 0, kLimitNotSet, kLimitNotSet, kLimitNotSet, kLimitNotSet};
    std::function<bool()> swapped_;
};

}  // namespace zemprint
