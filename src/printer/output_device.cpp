#include "printer/output_device.h"

#include <QImage>
#include <QPdfWriter>
#include <QPrinter>
#include <QFile>

#include "printer/errors.h"
#include "printer/printer_setup.h"

namespace zemprint {

namespace {

constexpr double kMmPerInch = 25.4;

QPageLayout::Orientation layoutOrientation(const TPrinterSetup& setup)
{
    return setup.deviceMode().orientation.value_or(kPortrait) == kLandscape ? QPageLayout::Landscape
                                                                            : QPageLayout::Portrait;
}

QPageSize filePageSize(const TPrinterSetup& setup)
{
    return setup.deviceMode().pageSize.isValid() ? setup.deviceMode().pageSize : defaultFilePageSize();
}

int fileResolution(const TPrinterSetup& setup, int fallback)
{
    const int quality = setup.deviceMode().printQuality.value_or(0);
    return quality > 0 ? quality : fallback;
}

// A CUPS printer through Qt: the painter begins the document with its first page.
class PrinterOutput final : public OutputDevice {
public:
    PrinterOutput(const TPrinterSetup& setup, const std::string& documentName) : printer_(QPrinter::HighResolution)
    {
        printer_.setPrinterName(QString::fromStdString(setup.printerName()));
        setup.applyTo(printer_);
        printer_.setDocName(QString::fromStdString(documentName));
        printer_.setFullPage(false);
        printer_.setCopyCount(1);
    }
    ~PrinterOutput() override
    {
        if (painter_.isActive())
            painter_.end();
    }

    void beginDocument() override
    {
        if (!printer_.isValid())
            throw EPrinter("Cannot open device context");
    }
    void beginPage() override
    {
        if (pageCount_ == 0) {
            if (!painter_.begin(&printer_))
                throw EPrinter("Cannot start printer document");
        } else if (!printer_.newPage()) {
            throw EPrinter("Cannot start printer page");
        }
        ++pageCount_;
        pageOpen_ = true;
    }
    void endPage() override { pageOpen_ = false; }
    void endDocument() override
    {
        pageOpen_ = false;
        if (painter_.isActive())
            painter_.end();
    }
    QPainter& painter() override { return painter_; }
    int resolution() const override { return printer_.resolution(); }
    QSizeF printableSizeMm() const override { return printer_.pageLayout().paintRect(QPageLayout::Millimeter).size(); }
    bool isPrinter() const override { return true; }

private:
    QPrinter printer_;
    QPainter painter_;
};

// One PDF file, the whole page printable.
class PdfOutput final : public OutputDevice {
public:
    PdfOutput(const TPrinterSetup& setup, const std::string& documentName)
        : fileName_(QString::fromStdString(setup.printerName())), writer_(fileName_)
    {
        writer_.setResolution(fileResolution(setup, kPdfResolution));
        writer_.setPageLayout(QPageLayout(filePageSize(setup), layoutOrientation(setup), QMarginsF(0, 0, 0, 0)));
        writer_.setCreator(QStringLiteral("ZEMPrint"));
        writer_.setTitle(QString::fromStdString(documentName));
    }
    ~PdfOutput() override
    {
        if (painter_.isActive())
            painter_.end();
    }

    void beginDocument() override
    {
        QFile probe(fileName_);
        if (!probe.open(QIODevice::WriteOnly))
            throw EPrinter("Cannot start printer document");
        probe.close();
        probe.remove();  // no pages, no file
    }
    void beginPage() override
    {
        if (pageCount_ == 0) {
            if (!painter_.begin(&writer_))
                throw EPrinter("Cannot start printer document");
        } else if (!writer_.newPage()) {
            throw EPrinter("Cannot start printer page");
        }
        ++pageCount_;
        pageOpen_ = true;
    }
    void endPage() override { pageOpen_ = false; }
    void endDocument() override
    {
        pageOpen_ = false;
        if (painter_.isActive())
            painter_.end();
    }
    QPainter& painter() override { return painter_; }
    int resolution() const override { return writer_.resolution(); }
    QSizeF printableSizeMm() const override { return writer_.pageLayout().fullRect(QPageLayout::Millimeter).size(); }

private:
    QString fileName_;
    QPdfWriter writer_;
    QPainter painter_;
};

// One PNG file per page, the whole page printable, white paper.
class PngOutput final : public OutputDevice {
public:
    explicit PngOutput(const TPrinterSetup& setup)
        : pattern_(setup.printerName()),
          resolution_(fileResolution(setup, kPngResolution)),
          sizeMm_(QPageLayout(filePageSize(setup), layoutOrientation(setup), QMarginsF())
                      .fullRect(QPageLayout::Millimeter)
                      .size())
    {
    }
    ~PngOutput() override
    {
        if (painter_.isActive())
            painter_.end();
    }

    void beginDocument() override {}
    void beginPage() override
    {
        const QSize pixels(qRound(sizeMm_.width() / kMmPerInch * resolution_),
                           qRound(sizeMm_.height() / kMmPerInch * resolution_));
        image_ = QImage(pixels, QImage::Format_RGB32);
        if (image_.isNull())
            throw EPrinter("Cannot start printer page");
        const int dotsPerMetre = qRound(resolution_ / kMmPerInch * 1000);
        image_.setDotsPerMeterX(dotsPerMetre);
        image_.setDotsPerMeterY(dotsPerMetre);
        image_.fill(Qt::white);
        if (!painter_.begin(&image_))
            throw EPrinter("Cannot start printer page");
        ++pageCount_;
        pageOpen_ = true;
    }
    void endPage() override
    {
        if (!pageOpen_)
            return;
        pageOpen_ = false;
        painter_.end();
        const std::string name = pngPageFileName(pattern_, pageCount_);
        const bool saved = image_.save(QString::fromStdString(name), "PNG");
        image_ = QImage();
        if (!saved)
            throw EPrinter(formatMessage("Cannot write \"%s\"", name.c_str()));
    }
    void endDocument() override { endPage(); }
    QPainter& painter() override { return painter_; }
    int resolution() const override { return resolution_; }
    QSizeF printableSizeMm() const override { return sizeMm_; }

private:
    std::string pattern_;
    int resolution_;
    QSizeF sizeMm_;
    QImage image_;
    QPainter painter_;
};

}  // namespace

std::string pngPageFileName(const std::string& pattern, int page)
{
    const std::string stem = pattern.substr(0, pattern.size() - 4);  // without ".png"
    return stem + "-" + std::to_string(page) + pattern.substr(pattern.size() - 4);
}

std::unique_ptr<OutputDevice> createOutputDevice(const TPrinterSetup& setup, const std::string& documentName)
{
    switch (setup.outputKind()) {
    case OutputKind::PdfFile:
        return std::make_unique<PdfOutput>(setup, documentName);
    case OutputKind::PngFiles:
        return std::make_unique<PngOutput>(setup);
    case OutputKind::Printer:
        break;
    }
    return std::make_unique<PrinterOutput>(setup, documentName);
}

}  // namespace zemprint
