// A page model that keeps positions, limits and pages by the page model's
// rules and writes down every call the interpreter makes, for the
// interpreter's tests and the fuzzer.
#pragma once

#include <string>
#include <vector>

#include "printer/page/page_model.h"

namespace zemprint {

class RecordingPageModel final : public PageModel {
public:
    struct PrintedChar {
        char16_t c;
        int x;
        int y;
    };
    struct Page {
        std::vector<PrintedChar> chars;
        std::u16string text() const;
    };
    struct PlacedBitmap {
        MonoBitmap bitmap;
        int x, y, horizontalDpi, verticalDpi;
        bool advance;
        Rgb colour;
    };

    RecordingPageModel(int pageWidth = kLetterWidth, int pageHeight = kLetterHeight);

    static constexpr int kLetterWidth = 12240;   // 8.5 inch
    static constexpr int kLetterHeight = 15840;  // 11 inch

    // Every mutating call in order, e.g. "setBold 1", "setX 1440", "endPage".
    std::vector<std::string> calls;
    bool record = true;
    std::vector<Page> pages;  // pages begun
    std::vector<PlacedBitmap> bitmaps;
    int singlePageSelection = 0;

    // Calls from the last "reset" on (the run's own reset excluded), optionally
    // only those starting with a prefix.
    std::vector<std::string> callsAfterReset(const std::string& prefix = "") const;

    // --- PageModel ---
    void printCharacter(char16_t c) override;
    int getX() override;
    void setX(int x) override;
    int y() const override { return y_; }
    void setY(int y) override;
    int previousX() const override { return previousX_; }
    int previousY() const override { return previousY_; }
    int characterAdvance(char16_t c) const override { return advance(c); }
    void startPage() override;
    void endPage() override;
    bool pageOutput() const override { return singlePageSelection == 0 || singlePageSelection == pageCount(); }
    int pageCount() const override { return static_cast<int>(pages.size()); }
    int singlePage() const override { return singlePageSelection; }
    void reset(bool withPageEnd) override;

    void setTypeface(int typeface) override;
    void setPointSize(double points) override;
    double pointSize() const override { return pointSize_; }
    void setPitch(double cpi) override;
    double pitch() const override { return pitch_; }
    void setHMI(int twips) override;
    void setExtraSpace(int twips) override;
    void setDoubleWidth(bool on) override;
    void setDoubleHeight(bool on) override;
    void setScript(Script script) override;
    void setCondensed(bool on) override;
    void setBold(bool on) override;
    void setItalic(bool on) override;
    void setOutline(bool on) override;
    void setShadow(bool on) override;
    void setProportional(bool on) override;
    bool proportional() const override { return proportional_; }
    void setUnderline(ScoreStyle style) override;
    void setStrikeThrough(ScoreStyle style) override;
    void setOverline(ScoreStyle style) override;
    void setColour(Rgb colour) override;
    int cellWidth() const override;
    int lineSpacing() const override { return lineSpacing_; }
    void setLineSpacing(int twips) override;

    int pageWidth() const override { return pageWidth_; }
    int pageHeight() const override { return pageHeight_; }
    int leftLimit() const override { return left_ < 0 ? 0 : left_; }
    int topLimit() const override { return top_ < 0 ? kDefaultTop : top_; }
    int rightLimit() const override { return right_ < 0 ? pageWidth_ : right_; }
    int bottomLimit() const override { return bottom_ < 0 ? pageHeight_ : bottom_; }
    void setTopLimit(int twips) override;
    void setBottomLimit(int twips) override;
    void setLeftLimit(int twips) override;
    void setRightLimit(int twips) override;
    void cancelTopLimit() override;
    void cancelBottomLimit() override;
    void setPageLength(int twips) override;

    void placeBitmap(const MonoBitmap& bitmap, int horizontalDpi, int verticalDpi, bool advance) override;
    void drawLine(int x1, int y1, int x2, int y2, RuleStyle style) override;
    void selectBin(int index) override;
    void setOrientation(bool landscape) override;

    static constexpr int kDefaultTop = 323;
    static constexpr int kBaseline = 160;

    int typeface() const { return typeface_; }
    bool bold() const { return bold_; }
    bool doubleWidth() const { return doubleWidth_; }
    bool condensed() const { return condensed_; }
    int hmi() const { return hmi_; }
    int extraSpace() const { return extraSpace_; }
    Rgb colour() const { return colour_; }

private:
    void log(const std::string& call);
    void finishPage();
    int advance(char16_t c) const;

    int pageWidth_;
    int pageHeight_;
    int left_ = -1, top_ = -1, right_ = -1, bottom_ = -1;
    int x_ = 0;
    int y_ = kDefaultTop;
    int previousX_ = 0;
    int previousY_ = 0;
    bool pageStarted_ = false;
    int typeface_ = 0;
    double pointSize_ = 10.5;
    double pitch_ = 10;
    int pitchWidth_ = 144;
    int hmi_ = 0;
    int extraSpace_ = 0;
    bool doubleWidth_ = false;
    bool condensed_ = false;
    bool bold_ = false;
    bool proportional_ = false;
    Script script_ = Script::None;
    Rgb colour_{};
    int lineSpacing_ = 240;
};

}  // namespace zemprint
