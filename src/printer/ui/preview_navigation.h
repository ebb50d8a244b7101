// The preview's page state: the current page and the page count, which
// buttons are enabled and what the page label says.
#pragma once

#include <string>

namespace zemprint {

inline constexpr int kPreviewSkip = 5;  // pages skipped by "<<" and ">>"

class PreviewNavigation {
public:
    // Shown afresh: page 1, count not yet known.
    void restart()
    {
        current_ = 1;
        total_ = 0;
    }
    int current() const { return current_; }
    int total() const { return total_; }
    // 0 also means "not yet known": a drawing then counts all pages.
    bool totalKnown() const { return total_ > 0; }
    void setTotal(int total) { total_ = total; }

    bool canGoBack() const { return current_ > 1; }
    bool canGoForward() const { return current_ < total_; }
    bool canPrint() const { return total_ > 0; }

    void previous() { current_ = current_ > 1 ? current_ - 1 : 1; }
    void next() { current_ = current_ < total_ ? current_ + 1 : current_; }
    void skipBack() { current_ = current_ - kPreviewSkip < 1 ? 1 : current_ - kPreviewSkip; }
    void skipForward()
    {
        if (current_ < total_) current_ = current_ + kPreviewSkip > total_ ? total_ : current_ + kPreviewSkip;
    }

    // "Page %d/%d", or "No pages" when the count is 0.
    std::string label() const;

private:
    int current_ = 1;
    int total_ = 0;
};

// Wheel turns in notches: high-resolution wheels and touch pads deliver parts
// of a notch, which are gathered until a whole one has turned.
class WheelNotches {
public:
    static constexpr int kDeltaPerNotch = 120;
    // Adds a wheel delta; returns the whole notches turned, positive upwards.
    int add(int delta)
    {
        pending_ += delta;
        const int notches = pending_ / kDeltaPerNotch;
        pending_ -= notches * kDeltaPerNotch;
        return notches;
    }

private:
    int pending_ = 0;
};

}  // namespace zemprint
