// TPrinter: the page model and output engine under the interpreter. It keeps
// the print position and the character attributes, builds the host font that
// matches them, draws characters, score lines and bitmaps through QPainter on
// an output device, keeps the page limits and counts pages.
//
// Coordinates are twips (1/1440 inch) from the top-left corner of the
// printable area. The painter of each page is scaled so that one unit is one
// twip; fonts are requested in twips as their pixel size.
#pragma once

#include <QColor>
#include <QFont>
#include <QRawFont>
#include <QString>
#include <map>
#include <tuple>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "printer/page/ink_layer.h"
#include "printer/page/letterhead.h"
#include "printer/output/output_device.h"
#include "printer/page/page_limits.h"
#include "printer/page/page_model.h"
#include "printer/page/score.h"
#include "printer/page/text_attributes.h"

namespace zemprint {

class TSettings;
class TPrinterSetup;

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultLineSpacing = 240;  // 1/6 inch
inline constexpr int kBaselineOffset = 160;      // baseline below the line's top
inline constexpr int kMaxPrinterNameLength = 256;
inline constexpr int kMaxPageLength = 31680;  // 22 inches
inline constexpr int kShadowOffset = 16;

class TPrinter final : public PageModel {
public:
    // Reads the letterhead named by the settings.
    TPrinter(const TSettings& settings, TPrinterSetup& setup);
    // Ends the current page and the document; errors are traced, not thrown.
    ~TPrinter() override;
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // Opens the output for the named printer (the set-up's device); throws EPrinter.
    void open(const std::string& printerName);
    // Draws on a device that belongs to someone else (the preview): no
    // document is begun or ended here.
    void attach(OutputDevice& device);
    // Ends the current page and the document, reporting errors.
    void close();

    // --- PageModel ---
    void printCharacter(char16_t c) override;
    int getX() override;
    void setX(int x) override { x_ = x; }
    int y() const override { return y_; }
    void setY(int y) override;
    int previousX() const override { return previousX_; }
    int previousY() const override { return previousY_; }
    int characterAdvance(char16_t c) const override { return zemprint::characterAdvance(attributes_, c); }

    void startPage() override;
    void endPage() override;
    bool pageOutput() const override { return singlePage_ == 0 || singlePage_ == pageCount_; }
    int pageCount() const override { return pageCount_; }
    int singlePage() const override { return singlePage_; }
    void reset(bool withPageEnd) override;

    void setTypeface(int typeface) override;
    void setPointSize(double points) override;
    double pointSize() const override { return attributes_.pointSize; }
    void setPitch(double cpi) override;
    double pitch() const override { return attributes_.pitch; }
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
    bool proportional() const override { return attributes_.proportional; }
    void setUnderline(ScoreStyle style) override;
    void setStrikeThrough(ScoreStyle style) override;
    void setOverline(ScoreStyle style) override;
    void setColour(Rgb colour) override { colour_ = colour; }
    int cellWidth() const override { return zemprint::cellWidth(attributes_); }
    int lineSpacing() const override { return lineSpacing_; }
    void setLineSpacing(int twips) override { lineSpacing_ = twips; }

    int pageWidth() const override { return limits_.pageWidth(); }
    int pageHeight() const override { return limits_.pageHeight(); }
    int leftLimit() const override { return limits_.left(); }
    int topLimit() const override { return limits_.top(); }
    int rightLimit() const override { return limits_.right(); }
    int bottomLimit() const override { return limits_.bottom(); }
    void setTopLimit(int twips) override { limits_.setTop(twips); }
    void setBottomLimit(int twips) override { limits_.setBottom(twips); }
    void setLeftLimit(int twips) override { limits_.setLeft(twips); }
    void setRightLimit(int twips) override { limits_.setRight(twips); }
    void cancelTopLimit() override { limits_.cancelTop(); }
    void cancelBottomLimit() override { limits_.cancelBottom(); }
    void setPageLength(int twips) override;

    void placeBitmap(const MonoBitmap& bitmap, int horizontalDpi, int verticalDpi, bool advance) override;
    void drawLine(int x1, int y1, int x2, int y2, RuleStyle style) override;
    void selectBin(int index) override;
    void setOrientation(bool landscape) override;

    // --- Beyond the interpreter's needs ---
    void setSinglePage(int page) { singlePage_ = page; }
    const TextAttributes& attributes() const { return attributes_; }
    Rgb colour() const { return colour_; }
    bool pageStarted() const { return pageStarted_; }
    TPageLimits& limits() { return limits_; }
    const TPageLimits& limits() const { return limits_; }
    const TScore& score() const { return score_; }
    const std::vector<int>& paperBins() const { return bins_; }
    // The font of the next character (built when dirty).
    const QFont& currentFont();
    const FontMetricsTwips& textMetrics() const { return metrics_; }

private:
    void buildFont();
    void initialiseDevice();
    void drawLetterhead();
    void drawCharacter(char16_t c, int centreX, int baseline);
    // Draws the characters gathered for the current line piece in one go.
    void flushText();
    void drawSingleCharacter(const QString& text, double centreX, int baseline, const QColor& colour);
    void drawBoxCharacter(char16_t c, int left, int width);
    // Draws `source` of the image over `area` (twips) at the translated position.
    void drawPageImage(const QRect& area, const QImage& image, const QRectF& source, bool combineByAnd);
    // Draws the graphics gathered since the last flush (devices without AND).
    void flushInks();
    void queryPaperBins();
    void markFontDirty() { fontDirty_ = true; }
    double minimumPenWidth(int twips) const;
    bool drawing() const { return device_ && pageStarted_ && pageOutput() && device_->pageOpen(); }

    const TSettings& settings_;
    TPrinterSetup& setup_;
    std::unique_ptr<OutputDevice> ownDevice_;
    OutputDevice* device_ = nullptr;
    bool documentStarted_ = false;
    bool pageStarted_ = false;
    int x_ = 0;
    int y_ = kDefaultTopLimit;
    int previousX_ = 0;
    int previousY_ = 0;
    TextAttributes attributes_;
    bool fontDirty_ = true;
    QFont font_;
    bool fontSelected_ = false;
    TScore score_;
    bool printerOutput_ = false;
    Rgb colour_{};
    int pageCount_ = 0;
    int singlePage_ = 0;
    FontMetricsTwips metrics_;
    std::optional<Letterhead> letterhead_;
    TPageLimits limits_;
    int lineSpacing_ = kDefaultLineSpacing;
    std::vector<int> bins_;
    InkLayer inks_;  // the page's graphics, where the device cannot AND them

    // Fonts built so far, by everything that decides them: a job switching
    // between a few styles builds each once.
    struct BuiltFont {
        QFont font;
        FontMetricsTwips metrics;
        QRawFont raw;
    };
    using FontKey = std::tuple<int, int, int, int, bool, bool, bool, std::string>;
    std::map<FontKey, BuiltFont> fonts_;
    const BuiltFont* built_ = nullptr;

    // Characters waiting to be drawn as one run: same font, colour, baseline.
    struct PendingText {
        const BuiltFont* font = nullptr;
        Rgb colour{};
        int baseline = 0;
        bool shadow = false;
        QString chars;
        std::vector<double> centres;
    };
    PendingText pending_;
};

}  // namespace zemprint
