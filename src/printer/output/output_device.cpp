#include "printer/output/output_device.h"

#include "printer/output/pdf_output.h"
#include "printer/output/png_output.h"
#include "printer/output/printer_output.h"
#include "printer/output/printer_setup.h"

namespace zemprint {

std::string pngPageFileName(const std::string& pattern, int page)
{
    const std::string stem = pattern.substr(0, pattern.size() - 4);  // without ".png"
    return stem + "-" + std::to_string(page) + pattern.substr(pattern.size() - 4);
}

std::unique_ptr<OutputDevice> createOutputDevice(const TPrinterSetup& setup, const std::string& documentName)
{
    switch (setup.outputKind()) {
    case OutputKind::PdfFile:
        return createPdfOutput(setup, documentName);
    case OutputKind::PngFiles:
        return createPngOutput(setup);
    case OutputKind::Printer:
        break;
    }
    return createPrinterOutput(setup, documentName);
}

}  // namespace zemprint
