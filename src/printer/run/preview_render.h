// Drawing one page of the job for the preview: a complete interpretation run
// onto an image the size of the set-up printer's page at screen resolution,
// so the page is shown at its physical size.
#pragma once

#include <QImage>
#include <string>

namespace zemprint {

class TSettings;
class TPrinterSetup;

struct PreviewPage {
    QImage image;   // white page, only the asked-for page drawn on it
    int pages = 0;  // pages the run counted (all of them when counting all)
    // The message of an error that stopped the run; what was drawn before it
    // stays on the image and is counted, as a print keeps the pages before it.
    std::string error;
};

// Draws page `page` (from 1). countAll keeps the run going to the job's end
// so that `pages` is the job's page count. Throws EZEMPrint when the page
// cannot be measured or its image made; errors of the run go to `error`.
PreviewPage drawPreviewPage(const TSettings& settings, TPrinterSetup& setup, const std::string& jobFile, int page,
                            bool countAll, double dotsPerInch);

}  // namespace zemprint
