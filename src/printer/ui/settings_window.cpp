#include "printer/ui/settings_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "printer/ui/about_box.h"
#include "printer/data/charsets.h"
#include "printer/base/errors.h"
#include "printer/page/letterhead.h"
#include "printer/ui/message_runner.h"
#include "printer/ui/preview_window.h"
#include "printer/output/printer_setup.h"
#include "printer/ui/program_version.h"
#include "printer/ui/window_placement.h"

namespace zemprint {

namespace {

constexpr int kMinWidth = 0;
constexpr int kMaxWidth = 400;
constexpr int kWidthStep = 10;
constexpr int kWidthDigits = 3;
constexpr double kSamplePointSize = 12.0;
constexpr int kLetterheadPreviewSize = 96;
const char* const kSampleText = "ABCabc";
const char* const kSaveQuestion = "The settings have been changed. Save before exiting?";
const char* const kHideHint =
    "Do not show dialog on next invocation of ZEMPrint as a filter. "
    "You can still get the dialog when starting ZEMPrint directly.";

void setHint(QWidget* widget, const char* hint)
{
    widget->setToolTip(QString::fromUtf8(hint));
    widget->setStatusTip(QString::fromUtf8(hint));
}

QPushButton* makeButton(const char* text, const char* hint, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(QString::fromUtf8(text).remove(QLatin1Char('&')).remove(QLatin1Char('\n')));
    if (hint) setHint(button, hint);
    return button;
}

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TSettingsForm::TSettingsForm(TPreviewForm& preview, TAboutForm& about, QWidget* parent)
    : QDialog(parent), preview_(preview), about_(about)
{
    setWindowTitle(QStringLiteral("ZEMPrint"));
    debug_ = new QCheckBox(QStringLiteral("&Debug"), this);
    debug_->setObjectName(QStringLiteral("debug"));

    auto* tabs = new QTabWidget(this);
    tabs->addTab(buildFontsTab(), QStringLiteral("Fonts"));
    tabs->addTab(buildDefaultsTab(), QStringLiteral("Defaults"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(debug_);
    layout->addWidget(tabs);
    layout->addLayout(buildBottom());
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* TSettingsForm::buildFontsTab()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    const char* headings[] = {"TypeFace", "Windows Font", "Sample", "Width (%)"};
    for (int column = 0; column < 4; ++column)
        grid->addWidget(new QLabel(QString::fromUtf8(headings[column]), page), 0, column);
    for (int t = 0; t < kTypefaceCount; ++t) {
        const auto i = static_cast<std::size_t>(t);
        const int row = t + 1;
        grid->addWidget(new QLabel(fromStd(std::string(kTypefaceNames[i])), page), row, 0);
        fonts_[i] = new QFontComboBox(page);
        fonts_[i]->setObjectName(QStringLiteral("Font%1").arg(t));
        grid->addWidget(fonts_[i], row, 1);
        samples_[i] = new QLabel(QString::fromUtf8(kSampleText), page);
        samples_[i]->setObjectName(QStringLiteral("Sample%1").arg(t));
        samples_[i]->setFrameShape(QFrame::StyledPanel);
        grid->addWidget(samples_[i], row, 2);
        connect(fonts_[i], &QFontComboBox::currentFontChanged, this, [this, t] { showSample(t); });
        if (t < kZoomedTypefaceCount) {
            auto* width = new QSpinBox(page);
            width->setObjectName(QStringLiteral("Width%1").arg(t));
            width->setRange(kMinWidth, kMaxWidth);
            width->setSingleStep(kWidthStep);
            if (auto* edit = width->findChild<QLineEdit*>()) edit->setMaxLength(kWidthDigits);
            widths_[i] = width;
            grid->addWidget(width, row, 3);
        }
    }
    // The caption is wrapped over several lines.
    auto* detect = makeButton("Auto\ndetect", "Autodetect font settings", page);
    detect->setObjectName(QStringLiteral("Auto detect"));
    connect(detect, &QPushButton::clicked, this, &TSettingsForm::autoDetect);
    grid->addWidget(detect, kZoomedTypefaceCount + 1, 3, 2, 1);
    return page;
}

QWidget* TSettingsForm::buildDefaultsTab()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* model = new QHBoxLayout;
    printerModel_ = new QComboBox(page);
    printerModel_->setObjectName(QStringLiteral("printerModel"));
    printerModel_->addItem(QStringLiteral("24-pin (ESC/P2)"), kDefaultPins);
    printerModel_->addItem(QStringLiteral("9-pin (ESC/P)"), kNinePins);
    auto* modelLabel = new QLabel(QStringLiteral("Printer &model"), page);
    modelLabel->setBuddy(printerModel_);
    model->addWidget(modelLabel);
    model->addWidget(printerModel_, 1);
    layout->addLayout(model);
    auto* group = new QGroupBox(QStringLiteral("Character sets"), page);
    auto* grid = new QGridLayout(group);
    for (int slot = 0; slot < kCharsetSlotCount; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        grid->addWidget(new QLabel(QStringLiteral("Character set %1").arg(slot + 1), group), slot, 0);
        charsets_[i] = new QComboBox(group);
        charsets_[i]->setObjectName(QStringLiteral("Charset%1").arg(slot));
        for (const TCharset& table : charsets()) charsets_[i]->addItem(fromStd(std::string(table.name)));
        grid->addWidget(charsets_[i], slot, 1);
    }
    layout->addWidget(group);
    layout->addWidget(buildLetterheadGroup());
    layout->addStretch(1);
    return page;
}

// The letterhead is set in the settings file; its group is present, with
// every control, but not shown.
QWidget* TSettingsForm::buildLetterheadGroup()
{
    letterhead_ = new QGroupBox(QStringLiteral("Letter head"));
    letterhead_->setObjectName(QStringLiteral("letterhead"));
    auto* grid = new QGridLayout(letterhead_);
    letterheadFile_ = new QLineEdit(letterhead_);
    letterheadFile_->setObjectName(QStringLiteral("LHFilename"));
    auto* browse = new QPushButton(QStringLiteral("..."), letterhead_);
    letterheadImage_ = new QLabel(letterhead_);
    letterheadImage_->setFixedSize(kLetterheadPreviewSize, kLetterheadPreviewSize);
    letterheadImage_->setAlignment(Qt::AlignCenter);
    letterheadLeft_ = new QLineEdit(QStringLiteral("0mm"), letterhead_);
    letterheadLeft_->setObjectName(QStringLiteral("LHLeft"));
    letterheadTop_ = new QLineEdit(QStringLiteral("0mm"), letterhead_);
    letterheadTop_->setObjectName(QStringLiteral("LHTop"));
    letterheadDpi_ = new QLineEdit(QStringLiteral("300"), letterhead_);
    letterheadDpi_->setObjectName(QStringLiteral("LHDPI"));
    firstPageOnly_ = new QCheckBox(QStringLiteral("Only on first page"), letterhead_);
    grid->addWidget(letterheadFile_, 0, 0, 1, 3);
    grid->addWidget(browse, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Left"), letterhead_), 1, 0);
    grid->addWidget(letterheadLeft_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Top"), letterhead_), 2, 0);
    grid->addWidget(letterheadTop_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("DPI"), letterhead_), 3, 0);
    grid->addWidget(letterheadDpi_, 3, 1);
    grid->addWidget(firstPageOnly_, 4, 0, 1, 2);
    grid->addWidget(letterheadImage_, 1, 2, 4, 2);
    connect(browse, &QPushButton::clicked, this, &TSettingsForm::browseLetterhead);
    connect(letterheadFile_, &QLineEdit::textChanged, this, &TSettingsForm::showLetterheadImage);
    letterhead_->hide();
    return letterhead_;
}

QLayout* TSettingsForm::buildBottom()
{
    hideDialog_ = new QCheckBox(QStringLiteral("Don't show dialog"), this);
    hideDialog_->setObjectName(QStringLiteral("hideDialog"));
    setHint(hideDialog_, kHideHint);

    // Esc is the dialog's reject, the same as "Quit".
    auto* quit = makeButton("Quit", "Quit without doing anything", this);
    auto* about = makeButton("&About", "Save fonts/defaults settings and exit", this);
    auto* setup = makeButton("&Setup", "Setup printer. Settings are only valid for this print job!", this);
    auto* preview = makeButton("P&review", "Preview print job", this);
    print_ = makeButton("&Print", "Send job to printer", this);
    for (QPushButton* button : {quit, about, setup, preview}) button->setAutoDefault(false);
    print_->setDefault(true);

    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
    connect(about, &QPushButton::clicked, this, [this] { about_.exec(); });
    connect(setup, &QPushButton::clicked, this, &TSettingsForm::setupPrinter);
    connect(preview, &QPushButton::clicked, this, &TSettingsForm::preview);
    connect(print_, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(hideDialog_);
    row->addStretch(1);
    for (QPushButton* button : {quit, about, setup, preview, print_}) row->addWidget(button);
    return row;
}

void TSettingsForm::bind(TSettings& settings, TPrinterSetup& setup, const std::string& jobFile)
{
    settings_ = &settings;
    setup_ = &setup;
    jobFile_ = jobFile;
    setFormValues(loadFormValues(settings));
}

bool TSettingsForm::run(TSettings& settings, TPrinterSetup& setup, const std::string& jobFile)
{
    bind(settings, setup, jobFile);
    // Not a modal dialog: the preview beside it must take clicks while it runs.
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    show();
    loop.exec();
    return result() == QDialog::Accepted;
}

void TSettingsForm::showEvent(QShowEvent* event)
{
    setWindowTitle(fromStd(settingsCaption(programVersion())));
    QDialog::showEvent(event);
    centreInWorkArea(*this);
}

SettingsFormValues TSettingsForm::formValues() const
{
    SettingsFormValues values;
    for (std::size_t t = 0; t < fonts_.size(); ++t)
        values.fontNames[t] = fonts_[t]->currentFont().family().toStdString();
    for (std::size_t t = 0; t < widths_.size(); ++t) values.widthTexts[t] = widths_[t]->cleanText().toStdString();
    for (std::size_t slot = 0; slot < charsets_.size(); ++slot) {
        const int index = charsets_[slot]->currentIndex();
        values.charsetIndex[slot] = index < 0 ? std::nullopt : std::optional<std::size_t>(index);
    }
    values.letterheadFile = letterheadFile_->text().toStdString();
    values.letterheadLeftText = letterheadLeft_->text().toStdString();
    values.letterheadTopText = letterheadTop_->text().toStdString();
    values.letterheadDpiText = letterheadDpi_->text().toStdString();
    values.letterheadFirstPageOnly = firstPageOnly_->isChecked();
    values.debug = debug_->isChecked();
    values.hideDialog = hideDialog_->isChecked();
    values.pins = printerModel_->currentData().toInt();
    return values;
}

void TSettingsForm::setFormValues(const SettingsFormValues& values)
{
    for (std::size_t t = 0; t < fonts_.size(); ++t) {
        const QString family = fromStd(values.fontNames[t]);
        const int index = fonts_[t]->findText(family, Qt::MatchFixedString);
        if (index >= 0)
            fonts_[t]->setCurrentIndex(index);
        else
            fonts_[t]->setCurrentFont(QFont(family));
        showSample(static_cast<int>(t));
    }
    for (std::size_t t = 0; t < widths_.size(); ++t) widths_[t]->setValue(widthFromText(values.widthTexts[t]));
    for (std::size_t slot = 0; slot < charsets_.size(); ++slot)
        charsets_[slot]->setCurrentIndex(values.charsetIndex[slot] ? static_cast<int>(*values.charsetIndex[slot]) : -1);
    letterheadFile_->setText(fromStd(values.letterheadFile));
    letterheadLeft_->setText(fromStd(values.letterheadLeftText));
    letterheadTop_->setText(fromStd(values.letterheadTopText));
    letterheadDpi_->setText(fromStd(values.letterheadDpiText));
    firstPageOnly_->setChecked(values.letterheadFirstPageOnly);
    debug_->setChecked(values.debug);
    hideDialog_->setChecked(values.hideDialog);
    printerModel_->setCurrentIndex(std::max(0, printerModel_->findData(values.pins)));
}

void TSettingsForm::showSample(int typeface)
{
    const auto i = static_cast<std::size_t>(typeface);
    QFont font = fonts_[i]->currentFont();
    font.setPointSizeF(kSamplePointSize);
    samples_[i]->setFont(font);
}

void TSettingsForm::showLetterheadImage()
{
    const std::string path = letterheadFile_->text().toStdString();
    const std::optional<QImage> image =
        QFileInfo::exists(letterheadFile_->text()) ? loadJpeg(path) : std::optional<QImage>();
    if (!image) {
        letterheadImage_->clear();
        return;
    }
    letterheadImage_->setPixmap(
        QPixmap::fromImage(image->scaled(letterheadImage_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void TSettingsForm::browseLetterhead()
{
    QFileDialog dialog(this);
    dialog.setNameFilter(QStringLiteral("JPEG image (*.jpg *.jpeg)"));
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        letterheadFile_->setText(dialog.selectedFiles().front());
}

void TSettingsForm::autoDetect()
{
    if (!settings_) return;
    SettingsFormValues values = formValues();
    autoDetectFonts(*settings_, values);
    setFormValues(values);
}

bool TSettingsForm::applyValues()
{
    if (!settings_) return false;
    try {
        applyFormValues(formValues(), *settings_);
        return true;
    } catch (const EZEMPrint& error) {
        showWindowError(error.what());
        return false;
    }
}

void TSettingsForm::preview()
{
    if (!applyValues()) return;
    if (preview_.isVisible())
        preview_.redraw();
    else
        preview_.showPreview(*settings_, *setup_, jobFile_);
}

void TSettingsForm::setupPrinter()
{
    if (setup_) setup_->setupDialog(this);
}

SaveAnswer TSettingsForm::askToSave()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("ZEMPrint"), QString::fromUtf8(kSaveQuestion),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    switch (runMessageBox(box)) {
    case QMessageBox::Yes:
        return SaveAnswer::Yes;
    case QMessageBox::No:
        return SaveAnswer::No;
    default:
        return SaveAnswer::Cancel;
    }
}

// "&Print" closes with OK, "Quit", Esc and the close box without: each way
// applies the values and, when they changed, asks whether to save them.
void TSettingsForm::done(int result)
{
    if (settings_) {
        if (!applyValues()) return;
        try {
            if (!settingsMayClose(*settings_, [this] { return askToSave(); })) return;
        } catch (const EZEMPrint& error) {
            showWindowError(error.what());
            return;
        }
    }
    preview_.hide();
    QDialog::done(result);
}

}  // namespace zemprint
