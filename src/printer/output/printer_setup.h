// TPrinterSetup: the chosen printer and its device mode (paper source,
// orientation, print quality), captured when the printer is opened and
// restored before every print run, so that a job's own orientation or bin
// changes never carry over.
#pragma once

#include <QPageSize>
#include <QString>
#include <optional>
#include <string>

class QPrinter;
class QWidget;

namespace zemprint {

// Device-mode numbering kept from the classic printer interface, which is
// what the job's paper-bin commands count in.
inline constexpr int kSourceOnlyOne = 1;
inline constexpr int kSourceAutomatic = 7;
inline constexpr int kPortrait = 1;
inline constexpr int kLandscape = 2;
inline constexpr int kQualityDraft = -1;
inline constexpr int kQualityMedium = -3;
inline constexpr int kQualityHigh = -4;

struct DeviceMode {
    std::optional<int> defaultSource;
    std::optional<int> orientation;
    std::optional<int> printQuality;  // negative: quality level; positive: dots per inch
    QPageSize pageSize;
};

// Where the pages of a printer name go.
enum class OutputKind { Printer, PdfFile, PngFiles };
OutputKind outputKindFor(const std::string& printerName);

class TPrinterSetup {
public:
    TPrinterSetup() = default;

    // Opens the named printer (or output file) and captures its device mode;
    // false when there is no such printer. Throws EZEMPrint with the device-mode messages.
    bool open(const std::string& printerName);
    void capture();
    void restore();
    void setOrientation(int orientation);
    bool rotated() const { return savedOrientation_ != currentOrientation_; }
    // The printer dialog; its choices replace the printer and device mode for this run.
    bool setupDialog(QWidget* owner);

    const std::string& printerName() const { return printerName_; }
    OutputKind outputKind() const { return outputKindFor(printerName_); }
    DeviceMode& deviceMode() { return deviceMode_; }
    const DeviceMode& deviceMode() const { return deviceMode_; }
    int currentOrientation() const { return currentOrientation_; }

    // Puts the device mode into a QPrinter.
    void applyTo(QPrinter& printer) const;
    // Reads a QPrinter's settings as a device mode.
    static DeviceMode readFrom(const QPrinter& printer);

private:
    int savedSource_ = 0;
    int savedOrientation_ = 0;
    int currentOrientation_ = 0;
    int savedQuality_ = 0;
    std::string printerName_;
    DeviceMode deviceMode_;
};

// Paper-source numbering between the device mode and Qt.
int paperSourceToBin(int qtPaperSource);
int binToPaperSource(int bin);
// The paper size used for PDF and PNG output: Letter where the locale measures
// in inches, A4 elsewhere.
QPageSize defaultFilePageSize();
// The paper named by the option --paper or the setting PaperSize ("A4",
// "letter", ...; case does not matter); none for an unknown name.
std::optional<QPageSize> paperSizeNamed(const std::string& name);

}  // namespace zemprint
