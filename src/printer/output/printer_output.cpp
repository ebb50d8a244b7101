#include "printer/output/printer_output.h"

#include <QPrinter>

#include "printer/base/errors.h"
#include "printer/output/printer_setup.h"

namespace zemprint {

namespace {

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
        if (painter_.isActive()) painter_.end();
    }

    void beginDocument() override
    {
        if (!printer_.isValid()) throw EPrinter("Cannot open device context");
    }
    void beginPage() override
    {
        if (pageCount_ == 0) {
            if (!painter_.begin(&printer_)) throw EPrinter("Cannot start printer document");
        } else if (!printer_.newPage()) {
            throw EPrinter("Cannot start printer page");
        }
        ++pageCount_;
        pageOpen_ = true;
    }
    void endPage() override { pageOpen_ = false; }
    void setDeviceMode(const DeviceMode& mode) override
    {
        printer_.setPageOrientation(mode.orientation.value_or(kPortrait) == kLandscape ? QPageLayout::Landscape
                                                                                       : QPageLayout::Portrait);
        if (mode.defaultSource)
            printer_.setPaperSource(static_cast<QPrinter::PaperSource>(binToPaperSource(*mode.defaultSource)));
    }
    void endDocument() override
    {
        pageOpen_ = false;
        if (painter_.isActive()) painter_.end();
    }
    QPainter& painter() override { return painter_; }
    int resolution() const override { return printer_.resolution(); }
    QSizeF printableSizeMm() const override { return printer_.pageLayout().paintRect(QPageLayout::Millimeter).size(); }
    bool isPrinter() const override { return true; }

private:
    QPrinter printer_;
    QPainter painter_;
};

}  // namespace

std::unique_ptr<OutputDevice> createPrinterOutput(const TPrinterSetup& setup, const std::string& documentName)
{
    return std::make_unique<PrinterOutput>(setup, documentName);
}

}  // namespace zemprint
