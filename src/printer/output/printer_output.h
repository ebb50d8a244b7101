// Output to a CUPS printer through Qt's printer device.
#pragma once

#include "printer/output/output_device.h"

namespace zemprint {

std::unique_ptr<OutputDevice> createPrinterOutput(const TPrinterSetup& setup, const std::string& documentName);

}  // namespace zemprint
