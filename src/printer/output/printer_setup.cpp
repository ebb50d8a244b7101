#include "printer/output/printer_setup.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <strings.h>

namespace zemprint {

namespace {

bool endsWithNoCase(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return text.size() > n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

// Qt's paper sources in enum order and the device-mode bin of each.
constexpr int kBinOfQtSource[] = {
    1,   // OnlyOne (also Upper)
    2,   // Lower
    3,   // Middle
    4,   // Manual
    5,   // Envelope
    6,   // EnvelopeManual
    7,   // Auto
    8,   // Tractor
    9,   // SmallFormat
    10,  // LargeFormat
    11,  // LargeCapacity
    14,  // Cassette
    15,  // FormSource
};
constexpr int kFirstUserBin = 256;  // bins at and above this are the driver's own

}  // namespace

OutputKind outputKindFor(const std::string& printerName)
{
    if (endsWithNoCase(printerName, ".pdf")) return OutputKind::PdfFile;
    if (endsWithNoCase(printerName, ".png")) return OutputKind::PngFiles;
    return OutputKind::Printer;
}

int paperSourceToBin(int qtPaperSource)
{
    if (qtPaperSource >= 0 && qtPaperSource < static_cast<int>(std::size(kBinOfQtSource)))
        return kBinOfQtSource[qtPaperSource];
    return kFirstUserBin + qtPaperSource;
}

int binToPaperSource(int bin)
{
    for (std::size_t i = 0; i < std::size(kBinOfQtSource); ++i) {
        if (kBinOfQtSource[i] == bin) return static_cast<int>(i);
    }
    if (bin >= kFirstUserBin) return bin - kFirstUserBin;
    return QPrinter::Auto;
}

QPageSize defaultFilePageSize()
{
    return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                        : QPageSize::A4);
}

std::optional<QPageSize> paperSizeNamed(const std::string& name)
{
    static const std::pair<const char*, QPageSize::PageSizeId> kPapers[] = {
        {"A3", QPageSize::A3},
        {"A4", QPageSize::A4},
        {"A5", QPageSize::A5},
        {"B5", QPageSize::B5},
        {"Letter", QPageSize::Letter},
        {"Legal", QPageSize::Legal},
        {"Executive", QPageSize::Executive},
        {"Tabloid", QPageSize::Tabloid},
    };
    for (const auto& [paper, id] : kPapers)
        if (QString::fromStdString(name).compare(QLatin1String(paper), Qt::CaseInsensitive) == 0) return QPageSize(id);
    return std::nullopt;
}

bool TPrinterSetup::open(const std::string& printerName)
{
    DeviceMode mode;
    if (outputKindFor(printerName) == OutputKind::Printer) {
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(printerName));
        if (info.isNull()) return false;
        QPrinter printer(info, QPrinter::HighResolution);
        mode = readFrom(printer);
    } else {
        // A file "printer" exists when its folder does.
        const QFileInfo file(QString::fromStdString(printerName));
        if (!file.absoluteDir().exists() || file.isDir()) return false;
        mode.pageSize = defaultFilePageSize();
    }
    if (!mode.printQuality) mode.printQuality = kQualityMedium;
    deviceMode_ = mode;
    printerName_ = printerName;
    capture();
    return true;
}

void TPrinterSetup::capture()
{
    if (!deviceMode_.orientation) deviceMode_.orientation = kPortrait;
    if (!deviceMode_.defaultSource) deviceMode_.defaultSource = kSourceAutomatic;
    savedSource_ = *deviceMode_.defaultSource;
    savedOrientation_ = currentOrientation_ = *deviceMode_.orientation;
    savedQuality_ = deviceMode_.printQuality.value_or(kQualityMedium);
}

void TPrinterSetup::restore()
{
    deviceMode_.defaultSource = savedSource_;
    deviceMode_.orientation = savedOrientation_;
    currentOrientation_ = savedOrientation_;
    deviceMode_.printQuality = savedQuality_;
}

void TPrinterSetup::setOrientation(int orientation)
{
    deviceMode_.orientation = orientation;
    currentOrientation_ = orientation;
}

void TPrinterSetup::applyTo(QPrinter& printer) const
{
    if (deviceMode_.pageSize.isValid()) printer.setPageSize(deviceMode_.pageSize);
    printer.setPageOrientation(deviceMode_.orientation.value_or(kPortrait) == kLandscape ? QPageLayout::Landscape
                                                                                         : QPageLayout::Portrait);
    if (deviceMode_.defaultSource)
        printer.setPaperSource(static_cast<QPrinter::PaperSource>(binToPaperSource(*deviceMode_.defaultSource)));
    if (deviceMode_.printQuality && *deviceMode_.printQuality > 0) printer.setResolution(*deviceMode_.printQuality);
}

DeviceMode TPrinterSetup::readFrom(const QPrinter& printer)
{
    DeviceMode mode;
    mode.defaultSource = paperSourceToBin(printer.paperSource());
    mode.orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? kLandscape : kPortrait;
    if (printer.resolution() > 0) mode.printQuality = printer.resolution();
    mode.pageSize = printer.pageLayout().pageSize();
    return mode;
}

bool TPrinterSetup::setupDialog(QWidget* owner)
{
    restore();
    QPrinter printer(QPrinter::HighResolution);
    if (outputKind() == OutputKind::Printer) {
        printer.setPrinterName(QString::fromStdString(printerName_));
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(printerName_));
    }
    applyTo(printer);
    printer.setCopyCount(1);
    QPrintDialog dialog(&printer, owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    deviceMode_ = readFrom(printer);
    printerName_ = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName().toStdString()
                                                                 : printer.printerName().toStdString();
    capture();
    return true;
}

}  // namespace zemprint
