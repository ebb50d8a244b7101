// TPrinter: the page model over an output device. Coordinates are twips
// (1/1440 inch) from the top-left corner of the printable area.
//
// This is the first stage: pages are begun by the first visible character,
// ended by form feed, vertical overflow and destruction, and counted; text is
// drawn in fixed-pitch cells with the font of the current typeface. Attributes,
// score lines, bitmaps and the letterhead come with the full page model.
#pragma once

#include <QFont>
#include <memory>
#include <string>

#include "printer/output_device.h"

namespace zemprint {

class TSettings;
class TPrinterSetup;

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kTwipsPerPoint = 20;
inline constexpr int kDefaultLineSpacing = 240;  // 1/6 inch
inline constexpr int kDefaultTopLimit = 323;
inline constexpr int kBaselineOffset = 160;      // baseline below the line's top
inline constexpr double kDefaultPointSize = 10.5;
inline constexpr double kDefaultPitch = 10.0;
inline constexpr int kMaxPrinterNameLength = 256;

// Page size and margins; -1 in a limit means "not set".
struct TPageLimits {
    int pageWidth = 0;
    int pageHeight = 0;
    int left = -1;
    int top = -1;
    int right = -1;
    int bottom = -1;

    int effectiveLeft() const { return left < 0 ? 0 : left; }
    int effectiveTop() const { return top < 0 ? kDefaultTopLimit : top; }
    int effectiveRight() const { return right < 0 ? pageWidth : right; }
    int effectiveBottom() const { return bottom < 0 ? pageHeight : bottom; }
    void reset() { left = top = right = bottom = -1; }
    // Page size in twips from the printable area's size in millimetres.
    void measure(double widthMm, double heightMm);
};

class TPrinter {
public:
    TPrinter(const TSettings& settings, TPrinterSetup& setup);
    // Ends the current page and the document; errors are traced, not thrown.
    ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // Opens the output for the named printer; throws EPrinter.
    void open(const std::string& printerName);
    // Ends the current page and the document, reporting errors.
    void close();

    void reset(bool withPageEnd);
    void startPage();
    void endPage();
    bool pageOutput() const { return singlePage == 0 || singlePage == pageCount_; }
    int pageCount() const { return pageCount_; }
    bool pageStarted() const { return pageStarted_; }

    // The horizontal position; at or past the right limit it wraps to the next line.
    int getX();
    void setX(int x) { x_ = x; }
    int y() const { return y_; }
    // At or past the bottom limit the page ends.
    void setY(int y);
    int previousX() const { return previousX_; }
    int previousY() const { return previousY_; }

    void setTypeface(int typeface);
    int cellWidth() const { return pitchWidth_; }
    void printCharacter(char16_t c);

    TPageLimits limits;
    int lineSpacing = kDefaultLineSpacing;
    // 0: every page is output; n: only page n.
    int singlePage = 0;

private:
    void buildFont();
    void prepareDevicePage();

    const TSettings& settings_;
    TPrinterSetup& setup_;
    std::unique_ptr<OutputDevice> device_;
    bool documentStarted_ = false;
    bool pageStarted_ = false;
    int x_ = 0;
    int y_ = kDefaultTopLimit;
    int previousX_ = 0;
    int previousY_ = 0;
    int typeface_ = 0;
    double pointSize_ = kDefaultPointSize;
    int pitchWidth_ = 144;
    bool fontDirty_ = true;
    QFont font_;
    int pageCount_ = 0;
};

}  // namespace zemprint
