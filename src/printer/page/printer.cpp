#include "printer/page/printer.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QImage>
#include <QPaintEngine>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "printer/page/box_drawing.h"
#include "printer/base/errors.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"
#include "printer/base/trace.h"
#include "printer/page/translate.h"

namespace zemprint {

namespace {

constexpr char16_t kSpace = 32;
constexpr double kPointsPerInch = 72.0;
constexpr int kSuperscriptRaiseDivisor = 3;
constexpr int kPenWidthDivisor = 16;
constexpr int kFullStretch = 100;
constexpr int kMinStretch = 1;
constexpr int kMaxStretch = 4000;
constexpr double kBitmapRoundUp = 0.9;
constexpr int kBoxLineDivisor = 12;  // light box lines: 1/12 of the cell height
const QColor kShadowColour(128, 128, 128);
const char* const kDocumentName = "ZEMPrint";

QColor toQColor(Rgb c) { return QColor(c.red, c.green, c.blue); }

int toInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)); }

// Images combine with what the page already holds like inks: by AND, each
// keeps only the light both let through, so a colour never covers another
// and white leaves the page as it is. Only raster surfaces (PNG pages, the
// preview) can do it; vector engines (PDF, printers) claim raster operations
// and blend modes but drop them and would paint the white over the page, so
// there the white is left transparent instead and the last colour covers.
bool combinesByAnd(QPainter& painter)
{
    const QPaintEngine* engine = painter.paintEngine();
    return engine && engine->type() == QPaintEngine::Raster;
}

Qt::PenStyle ruleStyle(RuleStyle style)
{
    switch (style) {
    case RuleStyle::Dotted:
        return Qt::DotLine;
    case RuleStyle::Dashed:
        return Qt::DashLine;
    case RuleStyle::DashDot:
        return Qt::DashDotLine;
    case RuleStyle::DashDotDot:
        return Qt::DashDotDotLine;
    case RuleStyle::Solid:
        break;
    }
    return Qt::SolidLine;
}

// The span of `dots` dots at `dpi` when a dot is a whole number of twips;
// otherwise the dots are stretched over `cut`.
int cutDotSpan(int cut, int dots, int dpi) { return kTwipsPerInch % dpi == 0 ? dots * (kTwipsPerInch / dpi) : cut; }

}  // namespace

TPrinter::TPrinter(const TSettings& settings, TPrinterSetup& setup)
    : settings_(settings), setup_(setup), limits_([this] { return setup_.rotated(); })
{
    letterhead_ = loadLetterhead(settings_);
    score_.setSink([this](const ScoreLine& line) {
        if (!drawing()) return;
        flushText();
        flushInks();
        QPainter& painter = device_->painter();
        QPen pen(Qt::black);
        pen.setWidthF(minimumPenWidth(line.penWidth));
        pen.setCapStyle(Qt::FlatCap);
        pen.setStyle(line.dashed ? Qt::DashLine : Qt::SolidLine);
        painter.setPen(pen);
        TTranslate& t = translation();
        t.set(line.x1, line.y);
        const QPointF from(t.deviceX(), t.deviceY());
        t.set(line.x2, line.y);
        painter.drawLine(from, QPointF(t.deviceX(), t.deviceY()));
        painter.setPen(Qt::NoPen);
    });
}

TPrinter::~TPrinter()
{
    try {
        close();
    } catch (const EZEMPrint& error) {
        debugTrace(error.what());
    }
}

// Element 0 is the job's default source; the printer's own bins follow. Qt
// lists a printer's trays only on Windows, so a CUPS queue reports none and
// every bin selection falls back to the default source.
void TPrinter::queryPaperBins()
{
    bins_.assign(1, setup_.deviceMode().defaultSource.value_or(kSourceAutomatic));
    if (setup_.outputKind() == OutputKind::Printer && settings_.debug) debugTrace("Cannot get trays\\n");
}

void TPrinter::open(const std::string& printerName)
{
    if (printerName.size() >= kMaxPrinterNameLength)
        throw EPrinter(formatMessage("Illegal printer name \"%s\"", printerName.c_str()));
    setup_.restore();
    queryPaperBins();
    ownDevice_ = createOutputDevice(setup_, kDocumentName);
    device_ = ownDevice_.get();
    device_->beginDocument();
    documentStarted_ = true;
    printerOutput_ = true;
    const QSizeF size = device_->printableSizeMm();
    limits_.measure(size.width(), size.height());
    pageCount_ = 0;
    reset(true);
}

void TPrinter::attach(OutputDevice& device)
{
    printerOutput_ = false;
    ownDevice_.reset();
    device_ = &device;
    const QSizeF size = device_->printableSizeMm();
    limits_.measure(size.width(), size.height());
    pageCount_ = 0;
    reset(true);
}

void TPrinter::close()
{
    if (!device_) return;
    endPage();
    if (printerOutput_ && documentStarted_) {
        documentStarted_ = false;
        device_->endDocument();
    }
    device_ = nullptr;
    ownDevice_.reset();
}

void TPrinter::reset(bool withPageEnd)
{
    attributes_.typeface = 0;
    attributes_.pointSize = kDefaultPointSize;
    attributes_.fifteenPitch = false;
    attributes_.setPitch(kDefaultPitch);
    attributes_.hmi = 0;
    attributes_.extraSpace = 0;
    lineSpacing_ = kDefaultLineSpacing;
    colour_ = Rgb{};
    attributes_.proportional = false;
    attributes_.doubleWidth = false;
    attributes_.doubleHeight = false;
    attributes_.condensed = false;
    attributes_.bold = false;
    attributes_.outline = false;
    attributes_.shadow = false;
    markFontDirty();
    // A run still pending (the last underlined word before ESC @) is drawn
    // before the styles are cleared, instead of being dropped.
    score_.flush();
    score_.reset();
    setup_.restore();
    translation().setRotated(!printerOutput_ && setup_.rotated());
    limits_.reset();
    if (withPageEnd) endPage();
}

// Starting a page resets the painter, so the twips scale is set again.
void TPrinter::initialiseDevice()
{
    QPainter& painter = device_->painter();
    const double scale = static_cast<double>(device_->resolution()) / kTwipsPerInch;
    painter.resetTransform();
    painter.scale(scale, scale);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::NoBrush);
    fontSelected_ = false;
}

void TPrinter::startPage()
{
    if (pageStarted_) return;
    pageStarted_ = true;
    ++pageCount_;
    if (!pageOutput() || !device_) return;
    if (printerOutput_) {
        device_->setDeviceMode(setup_.deviceMode());
        device_->beginPage();
    }
    if (device_->pageOpen()) {
        initialiseDevice();
        drawLetterhead();
    }
}

void TPrinter::drawLetterhead()
{
    if (!letterhead_ || (letterhead_->firstPageOnly && pageCount_ != 1)) return;
    QPainter& painter = device_->painter();
    const QRectF target(letterhead_->left, letterhead_->top, letterhead_->width, letterhead_->height);
    if (combinesByAnd(painter)) {
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        painter.drawImage(target, letterhead_->image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        painter.drawImage(target, letterhead_->image);  // drawn on blank paper first
    }
}

void TPrinter::endPage()
{
    flushText();
    score_.flush();
    if (drawing()) flushInks();
    inks_.clear();
    x_ = limits_.left();
    y_ = limits_.top();
    if (!pageStarted_) return;
    pageStarted_ = false;
    if (pageOutput() && printerOutput_ && device_ && device_->pageOpen()) device_->endPage();
}

int TPrinter::getX()
{
    if (x_ < limits_.right()) return x_;
    if (settings_.debug) debugTraceF("Auto-Wrap: %d >= %d", x_, limits_.right());
    x_ = limits_.left();
    setY(y_ + lineSpacing_);
    return x_;
}

void TPrinter::setY(int y)
{
    if (y >= limits_.bottom())
        endPage();
    else
        y_ = y;
}

void TPrinter::setTypeface(int typeface)
{
    attributes_.typeface = typeface;
    markFontDirty();
}

void TPrinter::setPointSize(double points)
{
    attributes_.pointSize = points;
    markFontDirty();
}

void TPrinter::setPitch(double cpi)
{
    attributes_.setPitch(cpi);
    markFontDirty();
}

void TPrinter::setHMI(int twips)
{
    attributes_.setHmi(twips);
    markFontDirty();
}

void TPrinter::setExtraSpace(int twips)
{
    attributes_.extraSpace = twips;
    markFontDirty();
}

void TPrinter::setDoubleWidth(bool on)
{
    attributes_.doubleWidth = on;
    markFontDirty();
}

void TPrinter::setDoubleHeight(bool on)
{
    attributes_.doubleHeight = on;
    markFontDirty();
}

void TPrinter::setScript(Script script)
{
    attributes_.script = script;
    markFontDirty();
}

void TPrinter::setCondensed(bool on)
{
    attributes_.setCondensed(on);
    markFontDirty();
}

void TPrinter::setBold(bool on)
{
    attributes_.bold = on;
    markFontDirty();
}

void TPrinter::setItalic(bool on)
{
    attributes_.italic = on;
    markFontDirty();
}

void TPrinter::setOutline(bool on)
{
    attributes_.outline = on;
    markFontDirty();
}

void TPrinter::setShadow(bool on)
{
    attributes_.shadow = on;
    markFontDirty();
}

void TPrinter::setProportional(bool on)
{
    attributes_.proportional = on;
    markFontDirty();
}

void TPrinter::setUnderline(ScoreStyle style)
{
    score_.setStyle(ScoreKind::Underline, style);
    markFontDirty();
}

void TPrinter::setStrikeThrough(ScoreStyle style)
{
    score_.setStyle(ScoreKind::StrikeThrough, style);
    markFontDirty();
}

void TPrinter::setOverline(ScoreStyle style)
{
    score_.setStyle(ScoreKind::Overline, style);
    markFontDirty();
}

void TPrinter::setPageLength(int twips)
{
    if (twips < 1 || twips > kMaxPageLength) throw EIllegalParameter("SetVirtualPageLength");
    limits_.cancelTop();
    limits_.setBottom(limits_.top() + twips);
}

const QFont& TPrinter::currentFont()
{
    if (fontDirty_) buildFont();
    return font_;
}

void TPrinter::buildFont()
{
    const int em = emHeight(attributes_);
    const int w = fontWidthRequest(attributes_, settings_.values().zoom);
    const auto& names = settings_.values().fontNames;
    const int typeface = std::clamp(attributes_.typeface, 0, kTypefaceCount - 1);
    const std::string& family = names[static_cast<std::size_t>(typeface)];
    // The em-high request decides the metrics, and with them the final size:
    // the key holds what both depend on.
    const bool rotated = translation().rotated();
    const FontRequest preview = finalFont(attributes_, w, FontMetricsTwips{1, 1, 1}, rotated);
    const FontKey key{
        em,
        w,
        preview.height,
        static_cast<int>(attributes_.script) * 4 + (attributes_.condensed ? 2 : 0) + (attributes_.proportional ? 1 : 0),
        attributes_.bold,
        attributes_.italic,
        attributes_.doubleHeight || attributes_.fifteenPitch,
        family};
    auto found = fonts_.find(key);
    if (found == fonts_.end()) {
        BuiltFont built;
        QFont request(QString::fromStdString(family));
        request.setPixelSize(std::max(1, em));  // pixels are twips under the page's scale
        request.setWeight(attributes_.bold ? QFont::Bold : QFont::Normal);
        request.setItalic(attributes_.italic);
        request.setKerning(false);
        const QFontMetricsF emMetrics(request);
        built.metrics = {emMetrics.height(), emMetrics.ascent(), emMetrics.averageCharWidth()};

        const FontRequest final = finalFont(attributes_, w, built.metrics, rotated);
        QFont font = request;
        font.setPixelSize(std::max(1, final.height));
        // The width request is an average character width; Qt asks for it as a
        // stretch of the face at its final height.
        const double naturalWidth = QFontMetricsF(font).averageCharWidth();
        if (naturalWidth > 0 && final.width > 0) {
            const int stretch = roundEven(kFullStretch * final.width / naturalWidth);
            font.setStretch(std::clamp(stretch, kMinStretch, kMaxStretch));
        }
        built.font = font;
        built.raw = QRawFont::fromFont(font);
        found = fonts_.emplace(key, std::move(built)).first;
    }
    built_ = &found->second;
    metrics_ = built_->metrics;
    score_.setPenWidth(static_cast<int>(metrics_.height) / kPenWidthDivisor);
    font_ = built_->font;
    fontDirty_ = false;
    fontSelected_ = false;
}

void TPrinter::drawSingleCharacter(const QString& text, double centreX, int baseline, const QColor& colour)
{
    QPainter& painter = device_->painter();
    if (!fontSelected_) {
        painter.setFont(font_);
        fontSelected_ = true;
    }
    const double half = QFontMetricsF(font_).horizontalAdvance(text) / 2.0;
    TTranslate& t = translation();
    t.set(static_cast<int>(std::lround(centreX)), baseline);
    painter.setPen(colour);
    if (!t.rotated()) {
        painter.drawText(QPointF(centreX - half, t.deviceY()), text);
    } else {
        painter.save();
        painter.translate(t.deviceX(), t.deviceY());
        painter.rotate(-90.0);
        painter.drawText(QPointF(-half, 0), text);
        painter.restore();
    }
    painter.setPen(Qt::NoPen);
}

// Characters are gathered while font, colour and baseline stay, and drawn as
// one glyph run: one text object in a PDF instead of one per character, and
// no text layout per character. Glyphs the face lacks are drawn one by one,
// where the font's fallback can find them.
void TPrinter::drawCharacter(char16_t c, int centreX, int baseline)
{
    flushInks();
    if (translation().rotated() || !built_ || !built_->raw.isValid()) {
        const QString text(QChar(static_cast<char16_t>(c)));
        if (attributes_.shadow)
            drawSingleCharacter(text, centreX + kShadowOffset, baseline + kShadowOffset, kShadowColour);
        drawSingleCharacter(text, centreX, baseline, toQColor(colour_));
        return;
    }
    if (!pending_.chars.isEmpty() && (pending_.font != built_ || pending_.colour != colour_ ||
                                      pending_.baseline != baseline || pending_.shadow != attributes_.shadow))
        flushText();
    pending_.font = built_;
    pending_.colour = colour_;
    pending_.baseline = baseline;
    pending_.shadow = attributes_.shadow;
    pending_.chars += QChar(c);
    pending_.centres.push_back(centreX);
}

void TPrinter::flushText()
{
    if (pending_.chars.isEmpty()) return;
    PendingText run = std::move(pending_);
    pending_ = PendingText{};
    if (!drawing()) return;
    QPainter& painter = device_->painter();
    const QRawFont& raw = run.font->raw;
    QList<quint32> glyphs = raw.glyphIndexesForString(run.chars);
    if (glyphs.size() != run.chars.size()) glyphs.resize(run.chars.size());
    const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs);
    QList<quint32> shown;
    QList<QPointF> positions;
    QString missing;
    std::vector<double> missingCentres;
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        if (glyphs[i] == 0 && run.chars[i] != QChar(u' ')) {
            missing += run.chars[i];
            missingCentres.push_back(run.centres[static_cast<std::size_t>(i)]);
            continue;
        }
        const double half = i < advances.size() ? advances[i].x() / 2.0 : 0.0;
        shown.push_back(glyphs[i]);
        positions.push_back(QPointF(run.centres[static_cast<std::size_t>(i)] - half, run.baseline));
    }
    auto drawRun = [&](const QColor& colour, double dx, double dy) {
        if (shown.isEmpty()) return;
        QGlyphRun glyphRun;
        glyphRun.setRawFont(raw);
        glyphRun.setGlyphIndexes(shown);
        glyphRun.setPositions(positions);
        painter.setPen(colour);
        painter.drawGlyphRun(QPointF(dx, dy), glyphRun);
    };
    if (run.shadow) drawRun(kShadowColour, kShadowOffset, kShadowOffset);
    drawRun(toQColor(run.colour), 0, 0);
    painter.setPen(Qt::NoPen);
    const QFont previous = font_;
    font_ = run.font->font;
    fontSelected_ = false;
    for (qsizetype i = 0; i < missing.size(); ++i) {
        const QString text(missing[i]);
        if (run.shadow)
            drawSingleCharacter(text, missingCentres[static_cast<std::size_t>(i)] + kShadowOffset,
                                run.baseline + kShadowOffset, kShadowColour);
        drawSingleCharacter(text, missingCentres[static_cast<std::size_t>(i)], run.baseline, toQColor(run.colour));
    }
    font_ = previous;
    fontSelected_ = false;
}

// The cell of a box-drawing character spans the line spacing, so lines on
// successive lines meet; double height reaches up as the glyphs do.
void TPrinter::drawBoxCharacter(char16_t c, int left, int width)
{
    flushText();
    flushInks();
    const int line = lineSpacing_ > 0 ? lineSpacing_ : kDefaultLineSpacing;
    const int height = attributes_.doubleHeight ? 2 * line : line;
    const int top = attributes_.doubleHeight ? y_ - line : y_;
    const BoxShapes shapes = boxShapes(c, left, top, width, height, std::max(1, height / kBoxLineDivisor));
    QPainter& painter = device_->painter();
    TTranslate& t = translation();
    const QColor ink = toQColor(colour_);
    for (const BoxRect& r : shapes.rects) {
        t.set(r.x, r.y);
        const QPointF a(t.deviceX(), t.deviceY());
        t.set(r.x + r.width, r.y + r.height);
        const QPointF b(t.deviceX(), t.deviceY());
        // A shade lets part of the paper through.
        const auto mix = [&](int channel) { return 255 - (255 - channel) * r.ink / 100; };
        const QColor colour(mix(ink.red()), mix(ink.green()), mix(ink.blue()));
        // Edges rounded to whole device dots: cells that share an edge round
        // it alike, so their lines meet without a gap; no line vanishes.
        const QRectF dots = painter.transform().mapRect(QRectF(a, b).normalized());
        const int x0 = static_cast<int>(std::lround(dots.left()));
        const int y0 = static_cast<int>(std::lround(dots.top()));
        const int x1 = std::max(x0 + 1, static_cast<int>(std::lround(dots.right())));
        const int y1 = std::max(y0 + 1, static_cast<int>(std::lround(dots.bottom())));
        const QRect cover(x0, y0, x1 - x0, y1 - y0);
        painter.save();
        painter.resetTransform();
        painter.fillRect(cover, colour);
        painter.restore();
    }
    for (const BoxStroke& stroke : shapes.strokes) {
        QPen pen(ink);
        pen.setWidthF(minimumPenWidth(stroke.width));
        painter.setPen(pen);
        t.set(stroke.x1, stroke.y1);
        const QPointF a(t.deviceX(), t.deviceY());
        t.set(stroke.x2, stroke.y2);
        painter.drawLine(a, QPointF(t.deviceX(), t.deviceY()));
        painter.setPen(Qt::NoPen);
    }
}

void TPrinter::printCharacter(char16_t c)
{
    previousX_ = getX();
    previousY_ = y_;
    const int advance = zemprint::characterAdvance(attributes_, c);
    int x0 = getX();
    setX(x0 + advance);
    if (getX() == limits_.left()) {  // the character wrapped
        x0 = getX();
        setX(x0 + advance);
    }
    if (limits_.bottom() < y_ + kBaselineOffset) {
        endPage();
        x0 = getX();
        setX(x0 + advance);
    }
    if (c != kSpace) startPage();
    if (fontDirty_) buildFont();
    const int centreX = roundEven(x0 + advance / 2.0);
    int baseline = y_ + kBaselineOffset;
    if (attributes_.script == Script::Super)
        baseline =
            roundEven(baseline - kTwipsPerInch * attributes_.pointSize / kPointsPerInch / kSuperscriptRaiseDivisor);
    if (!pageOutput()) return;
    if (c != kSpace && drawing()) {
        if (isBoxDrawing(c))
            drawBoxCharacter(c, x0, advance);
        else
            drawCharacter(c, centreX, baseline);
    }
    const int ascent = static_cast<int>(metrics_.ascent);
    score_.addSegment(ScoreKind::Overline, x0, x_, baseline - ascent);
    score_.addSegment(ScoreKind::StrikeThrough, x0, x_, baseline - ascent / 2);
    score_.addSegment(ScoreKind::Underline, x0, x_, baseline + static_cast<int>(metrics_.height) / kPenWidthDivisor);
}

void TPrinter::placeBitmap(const MonoBitmap& bitmap, int horizontalDpi, int verticalDpi, bool advance)
{
    startPage();
    if (horizontalDpi <= 0 || verticalDpi <= 0 || bitmap.width <= 0 || bitmap.height <= 0) return;
    int width = static_cast<int>(static_cast<double>(bitmap.width) * kTwipsPerInch / horizontalDpi + kBitmapRoundUp);
    int height = static_cast<int>(static_cast<double>(bitmap.height) * kTwipsPerInch / verticalDpi + kBitmapRoundUp);
    if (pageOutput()) {
        int sourceWidth = bitmap.width;
        int sourceHeight = bitmap.height;
        // Positions have no range check (ESC $, ESC ( $): the sums are taken
        // wide, so an image far right is cut to nothing instead of overflowing.
        const std::int64_t end = static_cast<std::int64_t>(x_) + width;
        if (end > limits_.right()) {
            if (settings_.debug)
                debugTraceF("Graphics hor. overflow: %lld >= %d", static_cast<long long>(end), limits_.right());
            width = toInt(static_cast<std::int64_t>(limits_.right()) - x_);
            sourceWidth = std::min(bitmap.width, roundEven(static_cast<double>(horizontalDpi) * width / kTwipsPerInch));
        }
        if (y_ + height > limits_.bottom()) {
            height = limits_.bottom() - y_;
            sourceHeight =
                std::min(bitmap.height, roundEven(static_cast<double>(verticalDpi) * height / kTwipsPerInch));
        }
        if (drawing() && width > 0 && height > 0 && sourceWidth > 0 && sourceHeight > 0) {
            QPainter& painter = device_->painter();
            if (combinesByAnd(painter)) {
                flushText();
                QImage image(bitmap.width, bitmap.height, QImage::Format_Mono);
                if (image.isNull()) throw EZEMPrint("Cannot create bitmap");
                // Set bits are printed dots: they take the colour; the others
                // leave the page as it is.
                image.setColorTable({qRgb(255, 255, 255), toQColor(colour_).rgb()});
                for (int row = 0; row < bitmap.height; ++row)
                    std::copy_n(bitmap.bits.begin() + static_cast<std::ptrdiff_t>(row) * bitmap.stride, bitmap.stride,
                                image.scanLine(row));
                drawPageImage(QRect(x_, y_, width, height), image, QRectF(0, 0, sourceWidth, sourceHeight), true);
            } else {
                // Where the device only paints over, the page's dots are
                // gathered with their mixed inks and drawn in large pieces
                // before anything else is drawn over them.
                // A dot keeps its size where the image is cut: the cut goes
                // through the dots instead of squeezing them.
                const QRect area(x_, y_, cutDotSpan(width, sourceWidth, horizontalDpi),
                                 cutDotSpan(height, sourceHeight, verticalDpi));
                // Nothing left of or above the printable area shows, and the
                // layer never has to span from there to the page.
                const QRect shown = QRect(x_, y_, width, height).intersected(QRect(0, 0, pageWidth(), pageHeight()));
                if (!shown.isEmpty()) inks_.place(bitmap, sourceWidth, sourceHeight, area, colour_, shown);
            }
        }
    }
    if (advance) x_ = toInt(static_cast<std::int64_t>(x_) + width);
}

void TPrinter::drawPageImage(const QRect& area, const QImage& image, const QRectF& source, bool combineByAnd)
{
    QPainter& painter = device_->painter();
    TTranslate& t = translation();
    t.set(area.x(), area.y());
    painter.save();
    if (combineByAnd)
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    else
        painter.setRenderHint(QPainter::LosslessImageRendering);  // dots must stay sharp: never JPEG
    painter.translate(t.deviceX(), t.deviceY());
    if (t.rotated()) painter.rotate(-90.0);
    painter.drawImage(QRectF(0, 0, area.width(), area.height()), image, source);
    painter.restore();
}

void TPrinter::flushInks()
{
    if (!inks_.pending()) return;
    flushText();  // what was printed before the graphics stays under them
    inks_.flush([this](const QRect& area, const QImage& dots) {
        drawPageImage(area, dots, QRectF(0, 0, dots.width(), dots.height()), false);
    });
}

// A pen never draws thinner than one device dot, as on a printer: a line of
// one twip is one dot wide at any resolution below 1440 dpi.
double TPrinter::minimumPenWidth(int twips) const
{
    const int resolution = device_ ? device_->resolution() : kTwipsPerInch;
    return std::max(static_cast<double>(twips), static_cast<double>(kTwipsPerInch) / std::max(1, resolution));
}

void TPrinter::drawLine(int x1, int y1, int x2, int y2, RuleStyle style)
{
    flushText();
    if (!drawing()) return;
    flushInks();
    QPainter& painter = device_->painter();
    QPen pen(Qt::black);
    pen.setWidthF(minimumPenWidth(1));
    pen.setStyle(ruleStyle(style));
    painter.setPen(pen);
    TTranslate& t = translation();
    t.set(x1, y1);
    const QPointF from(t.deviceX(), t.deviceY());
    t.set(x2, y2);
    painter.drawLine(from, QPointF(t.deviceX(), t.deviceY()));
    painter.setPen(Qt::NoPen);
}

void TPrinter::selectBin(int index)
{
    if (!printerOutput_ || bins_.empty()) return;
    const std::size_t i =
        index >= 0 && static_cast<std::size_t>(index) < bins_.size() ? static_cast<std::size_t>(index) : 0;
    setup_.deviceMode().defaultSource = bins_[i];
}

void TPrinter::setOrientation(bool landscape)
{
    flushText();
    setup_.setOrientation(landscape ? kLandscape : kPortrait);
    x_ = limits_.left();
    setY(limits_.top());
    if (!printerOutput_) {
        translation().setRotated(setup_.rotated());
        markFontDirty();
    }
}

}  // namespace zemprint
