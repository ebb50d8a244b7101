#include "printer/printer.h"

#include <QFontMetricsF>
#include <cmath>

#include "printer/errors.h"
#include "printer/printer_setup.h"
#include "printer/settings.h"
#include "printer/trace.h"

namespace zemprint {

namespace {
constexpr double kMmPerInch = 25.4;
constexpr char16_t kSpace = 32;

int roundEven(double value) { return static_cast<int>(std::nearbyint(value)); }
}  // namespace

void TPageLimits::measure(double widthMm, double heightMm)
{
    pageWidth = roundEven((widthMm + 0.5) / kMmPerInch * kTwipsPerInch);
    pageHeight = roundEven(heightMm / kMmPerInch * kTwipsPerInch);
}

TPrinter::TPrinter(const TSettings& settings, TPrinterSetup& setup) : settings_(settings), setup_(setup) {}

TPrinter::~TPrinter()
{
    try {
        close();
    } catch (const EZEMPrint& error) {
        debugTrace(error.what());
    }
}

void TPrinter::open(const std::string& printerName)
{
    if (printerName.size() >= kMaxPrinterNameLength)
        throw EPrinter(formatMessage("Illegal printer name \"%s\"", printerName.c_str()));
    setup_.restore();
    device_ = createOutputDevice(setup_, "ZEMPrint");
    device_->beginDocument();
    documentStarted_ = true;
    const QSizeF size = device_->printableSizeMm();
    limits.measure(size.width(), size.height());
    pageCount_ = 0;
    reset(true);
}

void TPrinter::close()
{
    if (!device_)
        return;
    endPage();
    if (documentStarted_) {
        documentStarted_ = false;
        device_->endDocument();
    }
    device_.reset();
}

void TPrinter::reset(bool withPageEnd)
{
    typeface_ = 0;
    pointSize_ = kDefaultPointSize;
    pitchWidth_ = roundEven(kTwipsPerInch / kDefaultPitch);
    lineSpacing = kDefaultLineSpacing;
    fontDirty_ = true;
    setup_.restore();
    limits.reset();
    if (withPageEnd)
        endPage();
}

void TPrinter::prepareDevicePage()
{
    // Device units per twip; the painter then works in twips.
    QPainter& painter = device_->painter();
    const double scale = static_cast<double>(device_->resolution()) / kTwipsPerInch;
    painter.resetTransform();
    painter.scale(scale, scale);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(Qt::black);
    fontDirty_ = true;
}

void TPrinter::startPage()
{
    if (pageStarted_)
        return;
    pageStarted_ = true;
    ++pageCount_;
    if (pageOutput() && device_) {
        device_->beginPage();
        prepareDevicePage();
    }
}

void TPrinter::endPage()
{
    x_ = limits.effectiveLeft();
    y_ = limits.effectiveTop();
    if (!pageStarted_)
        return;
    pageStarted_ = false;
    if (device_ && device_->pageOpen())
        device_->endPage();
}

int TPrinter::getX()
{
    if (x_ < limits.effectiveRight())
        return x_;
    if (settings_.debug)
        debugTraceF("Auto-Wrap: %d >= %d", x_, limits.effectiveRight());
    x_ = limits.effectiveLeft();
    setY(y_ + lineSpacing);
    return x_;
}

void TPrinter::setY(int y)
{
    if (y >= limits.effectiveBottom())
        endPage();
    else
        y_ = y;
}

void TPrinter::setTypeface(int typeface)
{
    typeface_ = typeface;
    fontDirty_ = true;
}

void TPrinter::buildFont()
{
    const auto& names = settings_.values().fontNames;
    font_ = QFont(QString::fromStdString(names[static_cast<std::size_t>(typeface_)]));
    font_.setPixelSize(roundEven(pointSize_ * kTwipsPerPoint));  // pixels are twips under the page transform
    font_.setStyleHint(QFont::TypeWriter);
    device_->painter().setFont(font_);
    fontDirty_ = false;
}

void TPrinter::printCharacter(char16_t c)
{
    previousX_ = getX();
    previousY_ = y_;
    const int advance = pitchWidth_;
    int x0 = getX();
    setX(x0 + advance);
    if (getX() == limits.effectiveLeft()) {  // the character wrapped
        x0 = getX();
        setX(x0 + advance);
    }
    if (limits.effectiveBottom() < y_ + kBaselineOffset) {
        endPage();
        x0 = getX();
        setX(x0 + advance);
    }
    if (c == kSpace)
        return;
    startPage();
    if (!pageOutput() || !device_)
        return;
    if (fontDirty_)
        buildFont();
    QPainter& painter = device_->painter();
    const QString text(QChar(static_cast<ushort>(c)));
    const double width = QFontMetricsF(painter.font(), painter.device()).horizontalAdvance(text);
    const double centre = x0 + advance / 2.0;
    painter.drawText(QPointF(centre - width / 2.0, y_ + kBaselineOffset), text);
}

}  // namespace zemprint
