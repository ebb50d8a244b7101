// One print run over the job: job reader, page model and interpreter are
// created, run and destroyed together, also when the run fails.
#pragma once

#include <string>

namespace zemprint {

class TSettings;
class TPrinterSetup;

struct PrintResult {
    int pages = 0;  // pages begun
};

// Prints the job on the set-up printer; singlePage 0 prints every page.
// Throws EZEMPrint after the objects of the run have been destroyed, so pages
// already produced are ended and the document is closed.
PrintResult printJob(const TSettings& settings, TPrinterSetup& setup, const std::string& jobFile, int singlePage = 0);

}  // namespace zemprint
