#include "printer/output/pdf_output.h"

#include <QFile>
#include <QPdfWriter>

#include "printer/base/errors.h"
#include "printer/output/file_output_layout.h"
#include "printer/output/printer_setup.h"

namespace zemprint {

namespace {

// One PDF file, the whole page printable.
class PdfOutput final : public OutputDevice {
public:
    PdfOutput(const TPrinterSetup& setup, const std::string& documentName)
        : fileName_(QString::fromStdString(setup.printerName())), writer_(fileName_)
    {
        writer_.setResolution(fileResolution(setup, kPdfResolution));
        writer_.setPageLayout(filePageLayout(setup));
        writer_.setCreator(QStringLiteral("ZEMPrint"));
        writer_.setTitle(QString::fromStdString(documentName));
    }
    ~PdfOutput() override
    {
        if (painter_.isActive()) painter_.end();
    }

    void beginDocument() override
    {
        QFile probe(fileName_);
        if (!probe.open(QIODevice::WriteOnly)) throw EPrinter("Cannot start printer document");
        probe.close();
        probe.remove();  // no pages, no file
    }
    void beginPage() override
    {
        if (pageCount_ == 0) {
            if (!painter_.begin(&writer_)) throw EPrinter("Cannot start printer document");
        } else if (!writer_.newPage()) {
            throw EPrinter("Cannot start printer page");
        }
        ++pageCount_;
        pageOpen_ = true;
    }
    void endPage() override { pageOpen_ = false; }
    void setDeviceMode(const DeviceMode& mode) override
    {
        writer_.setPageOrientation(mode.orientation.value_or(kPortrait) == kLandscape ? QPageLayout::Landscape
                                                                                      : QPageLayout::Portrait);
    }
    void endDocument() override
    {
        pageOpen_ = false;
        if (painter_.isActive()) painter_.end();
    }
    QPainter& painter() override { return painter_; }
    int resolution() const override { return writer_.resolution(); }
    QSizeF printableSizeMm() const override { return writer_.pageLayout().fullRect(QPageLayout::Millimeter).size(); }

private:
    QString fileName_;
    QPdfWriter writer_;
    QPainter painter_;
};

}  // namespace

std::unique_ptr<OutputDevice> createPdfOutput(const TPrinterSetup& setup, const std::string& documentName)
{
    return std::make_unique<PdfOutput>(setup, documentName);
}

}  // namespace zemprint
