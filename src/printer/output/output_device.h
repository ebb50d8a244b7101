// Where printed pages go: a CUPS printer, a PDF file or PNG files. The page
// model draws through this interface and knows nothing of the device behind it.
#pragma once

#include <QPainter>
#include <QSizeF>
#include <memory>
#include <string>

namespace zemprint {

class TPrinterSetup;
struct DeviceMode;

class OutputDevice {
public:
    virtual ~OutputDevice() = default;
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;

    // Throws EPrinter "Cannot open device context" / "Cannot start printer document".
    virtual void beginDocument() = 0;
    // Throws EPrinter "Cannot start printer page" (or the document message for the first page).
    virtual void beginPage() = 0;
    virtual void endPage() = 0;
    // Finishes the output; a document without pages produces nothing.
    virtual void endDocument() = 0;
    // Orientation and paper source for the pages begun from now on (a job
    // turns the paper or changes the bin between pages).
    virtual void setDeviceMode(const DeviceMode&) {}

    // Valid between beginPage and endPage; device units, origin at the top-left
    // corner of the printable area.
    virtual QPainter& painter() = 0;
    // Device dots per inch.
    virtual int resolution() const = 0;
    // Size of the printable area.
    virtual QSizeF printableSizeMm() const = 0;
    virtual bool isPrinter() const { return false; }

    int pageCount() const { return pageCount_; }
    bool pageOpen() const { return pageOpen_; }

protected:
    OutputDevice() = default;
    int pageCount_ = 0;
    bool pageOpen_ = false;
};

// The device for the set-up printer: a CUPS printer, or files when its name is
// a path ending in ".pdf" or ".png".
std::unique_ptr<OutputDevice> createOutputDevice(const TPrinterSetup& setup, const std::string& documentName);

// PNG pages of "out.png" are "out-1.png", "out-2.png", ...
std::string pngPageFileName(const std::string& pattern, int page);

// Resolution of PDF and PNG output when the device mode names a quality level.
inline constexpr int kPdfResolution = 1200;
inline constexpr int kPngResolution = 180;

}  // namespace zemprint
