// Output into one PDF file.
#pragma once

#include "printer/output/output_device.h"

namespace zemprint {

std::unique_ptr<OutputDevice> createPdfOutput(const TPrinterSetup& setup, const std::string& documentName);

}  // namespace zemprint
