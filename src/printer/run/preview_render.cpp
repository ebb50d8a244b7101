#include "printer/run/preview_render.h"

#include <QPainter>
#include <cmath>

#include "printer/job/data.h"
#include "printer/base/errors.h"
#include "printer/escp/escp.h"
#include "printer/output/output_device.h"
#include "printer/page/page_limits.h"
#include "printer/page/printer.h"
#include "printer/output/printer_setup.h"

namespace zemprint {

namespace {

constexpr const char* kDocumentName = "ZEMPrint";

// The preview image as a page that is open for the whole run: the page model
// draws on it whenever the selected page is being interpreted.
class PreviewOutput final : public OutputDevice {
public:
    PreviewOutput(QImage& image, int dotsPerInch, QSizeF sizeMm) : dotsPerInch_(dotsPerInch), sizeMm_(sizeMm)
    {
        if (!painter_.begin(&image)) throw EPrinter("Cannot open device context");
        pageOpen_ = true;
    }
    ~PreviewOutput() override { painter_.end(); }

    void beginDocument() override {}
    void beginPage() override {}
    void endPage() override {}
    void endDocument() override {}
    QPainter& painter() override { return painter_; }
    int resolution() const override { return dotsPerInch_; }
    QSizeF printableSizeMm() const override { return sizeMm_; }

private:
    QPainter painter_;
    int dotsPerInch_;
    QSizeF sizeMm_;
};

// The printable area of the set-up printer with its device mode restored.
QSizeF printableArea(TPrinterSetup& setup)
{
    setup.restore();
    const auto information = createOutputDevice(setup, kDocumentName);
    return information->printableSizeMm();
}

int toPixels(int twips, int dotsPerInch)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * dotsPerInch / kTwipsPerInch));
}

}  // namespace

PreviewPage drawPreviewPage(const TSettings& settings, TPrinterSetup& setup, const std::string& jobFile, int page,
                            bool countAll, double dotsPerInch)
{
    const int dpi = static_cast<int>(std::lround(dotsPerInch));
    const QSizeF sizeMm = printableArea(setup);
    TPageLimits limits;
    limits.measure(sizeMm.width(), sizeMm.height());

    PreviewPage result;
    result.image = QImage(toPixels(limits.pageWidth(), dpi), toPixels(limits.pageHeight(), dpi), QImage::Format_RGB32);
    if (result.image.isNull()) throw EPrinter("Cannot open device context");
    result.image.fill(Qt::white);

    // The painter must be done with the image before it is handed back.
    {
        TData data;
        PreviewOutput device(result.image, dpi, sizeMm);
        TPrinter printer(settings, setup);
        TESCP escp(data, printer, settings);
        try {
            data.open(jobFile);
            printer.attach(device);
            printer.setSinglePage(page);
            escp.countAll = countAll;
            escp.run();
        } catch (const EZEMPrint& failure) {
            result.error = failure.what();
        }
        result.pages = printer.pageCount();
        printer.close();
    }
    return result;
}

}  // namespace zemprint
