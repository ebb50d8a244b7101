// TSettingsForm: the settings window. It edits TSettings through plain
// values (settings_form_values.h), opens the printer set-up, the preview and
// the about box, and its "&Print" button releases the job.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "printer/settings/settings_form_values.h"
#include "printer/base/typefaces.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zemprint {

class TAboutForm;
class TPreviewForm;
class TPrinterSetup;

class TSettingsForm : public QDialog {
public:
    TSettingsForm(TPreviewForm& preview, TAboutForm& about, QWidget* parent = nullptr);

    // Binds the window to the run's settings and printer and loads the controls.
    void bind(TSettings& settings, TPrinterSetup& setup, const std::string& jobFile);
    // Shows the window until it is closed; true when that was with "&Print".
    bool run(TSettings& settings, TPrinterSetup& setup, const std::string& jobFile);

    SettingsFormValues formValues() const;
    void setFormValues(const SettingsFormValues& values);
    // Applies the window's values to the settings; false (after showing the
    // error) when a value does not parse.
    bool applyValues();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildFontsTab();
    QWidget* buildDefaultsTab();
    QWidget* buildLetterheadGroup();
    QLayout* buildBottom();
    void showSample(int typeface);
    void showLetterheadImage();
    void browseLetterhead();
    void autoDetect();
    void preview();
    void setupPrinter();
    SaveAnswer askToSave();

    TPreviewForm& preview_;
    TAboutForm& about_;
    TSettings* settings_ = nullptr;
    TPrinterSetup* setup_ = nullptr;
    std::string jobFile_;

    QCheckBox* debug_ = nullptr;
    std::array<QFontComboBox*, kTypefaceCount> fonts_{};
    std::array<QLabel*, kTypefaceCount> samples_{};
    std::array<QSpinBox*, kZoomedTypefaceCount> widths_{};
    std::array<QComboBox*, kCharsetSlotCount> charsets_{};
    QGroupBox* letterhead_ = nullptr;
    QLineEdit* letterheadFile_ = nullptr;
    QLabel* letterheadImage_ = nullptr;
    QLineEdit* letterheadLeft_ = nullptr;
    QLineEdit* letterheadTop_ = nullptr;
    QLineEdit* letterheadDpi_ = nullptr;
    QCheckBox* firstPageOnly_ = nullptr;
    QCheckBox* hideDialog_ = nullptr;
    QComboBox* printerModel_ = nullptr;
    QPushButton* print_ = nullptr;
};

}  // namespace zemprint
