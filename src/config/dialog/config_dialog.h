// The start-up configuration dialog and its three sub-dialogs (devices, sound, serial and
// parallel ports) as Qt widgets. They only move values between the settings and their
// controls; every list, check and decision comes from config/dialog_logic.h.
#pragma once

#include "base/front_end.h"
#include "config/dialog_logic.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QButtonGroup;
class QLabel;

// What the dialogs need to know of the host and the start-up.
struct DialogEnvironment {
    Language language = Language::English;
    MonitorSet monitors;
    std::vector<std::string> printers;  // host printers, without the default entry
    bool printerProgramPresent = false;
    bool iniReadOnly = false;
    bool driverListEnabled = true;  // false when the accelerated back end cannot run
    std::string programVersion;
    std::string imageVersion;
    // The modifier keys held now (Save into the image wants Shift and Ctrl).
    std::function<Qt::KeyboardModifiers()> modifiers;
    // Shows a box captioned "ZEM II"; tests record instead.
    std::function<void(const std::string& text, MessageIcon icon)> message;
};

// The devices dialog: container files, host directories, floppy drives and boot device.
class DevicesDialog : public QDialog {
public:
    DevicesDialog(Settings& settings, const DialogEnvironment& env, QWidget* parent = nullptr);
    void accept() override;

private:
    void browseFile(int drive);
    void browseFolder(int drive);
    void browseFloppy(int drive);

    Settings& settings_;
    const DialogEnvironment& env_;
    QLineEdit* win_[ContainerDriveCount] = {};
    QLineEdit* dos_[HostDirDriveCount] = {};
    QComboBox* flp_[FloppyDriveCount] = {};
    QCheckBox* alwaysRemovable_ = nullptr;
    QCheckBox* convertExtensions_ = nullptr;
    QComboBox* bootFlp_ = nullptr;
    QComboBox* bootWin_ = nullptr;
};

// The sound dialog: the mode and the two volumes.
class SoundDialog : public QDialog {
public:
    SoundDialog(Settings& settings, const DialogEnvironment& env, QWidget* parent = nullptr);
    void accept() override;

private:
    Settings& settings_;
    QComboBox* mode_ = nullptr;
    QSlider* beep_ = nullptr;
    QSlider* vsnd_ = nullptr;
};

// The serial and parallel ports dialog.
class PortsDialog : public QDialog {
public:
    static constexpr int DialogParallelPorts = 4;
    static constexpr int PortChoices = 5;  // none, LPT1-LPT3, printer

    PortsDialog(Settings& settings, const DialogEnvironment& env, QWidget* parent = nullptr);
    void accept() override;

private:
    void updateRow(int port);

    Settings& settings_;
    const DialogEnvironment& env_;
    QComboBox* serial_[SerialPortCount] = {};
    QCheckBox* leaveOpen_ = nullptr;
    QButtonGroup* mode_[DialogParallelPorts] = {};
    QComboBox* printer_[DialogParallelPorts] = {};
    QCheckBox* filter_[DialogParallelPorts] = {};
};

// The main dialog. It edits a working copy of the settings; OK and Save store it.
class ConfigDialog : public QDialog {
public:
    ConfigDialog(StartDialogHost& host, DialogEnvironment env, QWidget* parent = nullptr);

    void accept() override;
    const Settings& edited() const { return edited_; }

private:
    void fillFromSettings();
    void resolutionChanged();
    void windowEdited();
    void updateEnabled();
    MainFieldTexts fieldTexts() const;
    // Step one of OK and Save: the fields and lists into the working copy; false (the
    // message shown, the focus on the field) when a field is refused.
    bool readControls();
    void focusField(DialogField field);
    void save();

    StartDialogHost& host_;
    DialogEnvironment env_;
    Settings edited_;
    ScreenSize resolution_;  // the last readable resolution

    QComboBox* colour_ = nullptr;
    QComboBox* resolutionBox_ = nullptr;
    QComboBox* window_ = nullptr;
    QComboBox* driver_ = nullptr;
    QComboBox* filter_ = nullptr;
    QCheckBox* onTop_ = nullptr;
    QCheckBox* keepAspect_ = nullptr;
    QComboBox* memory_ = nullptr;
    QComboBox* power_ = nullptr;
    QComboBox* country_ = nullptr;
    QComboBox* keyboard_ = nullptr;
    QComboBox* homeEnd_ = nullptr;
    QComboBox* taskButton_ = nullptr;
    QCheckBox* dontShow_ = nullptr;
    QPushButton* save_ = nullptr;
};
