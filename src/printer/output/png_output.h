// Output into PNG files, one per page.
#pragma once

#include "printer/output/output_device.h"

namespace zemprint {

std::unique_ptr<OutputDevice> createPngOutput(const TPrinterSetup& setup);

}  // namespace zemprint
