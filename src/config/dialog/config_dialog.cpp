#include "config/dialog/config_dialog.h"

#include "config/configuration.h"
#include "platform/host_process.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

QString text(Language language, const char* english, const char* german)
{
    return QString::fromUtf8(language == Language::German ? german : english);
}

QString qs(const std::string& s) { return QString::fromStdString(s); }

void fill(QComboBox* box, const std::vector<std::string>& entries)
{
    for (const std::string& e : entries) box->addItem(qs(e));
}

QComboBox* list(QWidget* parent, const char* name, const std::vector<std::string>& entries, int current)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    fill(box, entries);
    box->setCurrentIndex(current >= 0 && current < box->count() ? current : 0);
    return box;
}

QComboBox* editableList(QWidget* parent, const char* name)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

// The "..." button beside a path field.
QPushButton* browseButton(QWidget* parent, const QString& name)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(name);
    button->setFixedWidth(32);
    button->setAutoDefault(false);
    return button;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& label, bool checked)
{
    auto* box = new QCheckBox(label, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}

QDialogButtonBox* okCancel(QDialog* dialog, Language language)
{
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(text(language, "&OK", "&OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(text(language, "Cancel", "Abbrechen"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    cancel->setObjectName(QStringLiteral("cancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

std::string textOf(const QComboBox* box) { return box->currentText().toStdString(); }
std::string textOf(const QLineEdit* edit) { return edit->text().toStdString(); }

}  // namespace

// ---- Devices ---------------------------------------------------------------------------

DevicesDialog::DevicesDialog(Settings& settings, const DialogEnvironment& env, QWidget* parent)
    : QDialog(parent), settings_(settings), env_(env)
{
    const Language l = env.language;
    setObjectName(QStringLiteral("devicesDialog"));
    setWindowTitle(text(l, "Devices", "Geräte"));
    auto* layout = new QVBoxLayout(this);

    auto* winGroup = new QGroupBox(text(l, "WIN drives (container files)", "WIN-Laufwerke (Containerdateien)"), this);
    auto* winGrid = new QGridLayout(winGroup);
    auto* dosGroup =
        new QGroupBox(text(l, "DOS drives (base directories)", "DOS-Laufwerke (Basisverzeichnisse)"), this);
    auto* dosGrid = new QGridLayout(dosGroup);
    for (int i = 0; i < ContainerDriveCount; ++i) {
        win_[i] = new QLineEdit(qs(settings.WIN[i]), winGroup);
        win_[i]->setObjectName(QStringLiteral("win%1").arg(i + 1));
        win_[i]->setMinimumWidth(260);
        auto* browse = browseButton(winGroup, QStringLiteral("winBrowse%1").arg(i + 1));
        connect(browse, &QPushButton::clicked, this, [this, i] { browseFile(i); });
        winGrid->addWidget(new QLabel(QStringLiteral("WIN%1").arg(i + 1), winGroup), i, 0);
        winGrid->addWidget(win_[i], i, 1);
        winGrid->addWidget(browse, i, 2);
    }
    alwaysRemovable_ = checkBox(winGroup, "alwaysRemovable",
                                text(l, "Close files after every access", "Dateien nach jedem Zugriff schließen"),
                                settings.AlwaysRemovable != 0);
    winGrid->addWidget(alwaysRemovable_, ContainerDriveCount, 1);
    for (int i = 0; i < HostDirDriveCount; ++i) {
        dos_[i] = new QLineEdit(qs(settings.DOS[i]), dosGroup);
        dos_[i]->setObjectName(QStringLiteral("dos%1").arg(i + 1));
        dos_[i]->setMinimumWidth(260);
        auto* browse = browseButton(dosGroup, QStringLiteral("dosBrowse%1").arg(i + 1));
        connect(browse, &QPushButton::clicked, this, [this, i] { browseFolder(i); });
        dosGrid->addWidget(new QLabel(QStringLiteral("DOS%1").arg(i + 1), dosGroup), i, 0);
        dosGrid->addWidget(dos_[i], i, 1);
        dosGrid->addWidget(browse, i, 2);
    }
    convertExtensions_ =
        checkBox(dosGroup, "convertExtensions", text(l, "Convert file extensions", "Dateiendungen umwandeln"),
                 settings.ConvertFileExtension != 0);
    dosGrid->addWidget(convertExtensions_, HostDirDriveCount, 1);

    auto* flpGroup = new QGroupBox(text(l, "Floppy drives", "Diskettenlaufwerke"), this);
    auto* flpGrid = new QGridLayout(flpGroup);
    for (int i = 0; i < FloppyDriveCount; ++i) {
        flp_[i] = editableList(flpGroup, i == 0 ? "flp1" : "flp2");
        flp_[i]->addItems({QStringLiteral("A:\\"), QStringLiteral("B:\\")});
        flp_[i]->setEditText(qs(settings.FLP[i]));
        flp_[i]->setMinimumWidth(260);
        auto* browse = browseButton(flpGroup, QStringLiteral("flpBrowse%1").arg(i + 1));
        connect(browse, &QPushButton::clicked, this, [this, i] { browseFloppy(i); });
        flpGrid->addWidget(new QLabel(QStringLiteral("FLP%1").arg(i + 1), flpGroup), i, 0);
        flpGrid->addWidget(flp_[i], i, 1);
        flpGrid->addWidget(browse, i, 2);
    }

    auto* bootGroup = new QGroupBox(text(l, "Boot", "Start"), this);
    auto* bootForm = new QFormLayout(bootGroup);
    bootFlp_ = list(bootGroup, "bootFromFlp", DialogLists::bootFromFloppy(l), settings.BootFromFLP);
    bootWin_ = list(bootGroup, "bootFromWin", DialogLists::bootFromWin(), settings.BootFromWIN - 1);
    bootForm->addRow(text(l, "If floppy disc inserted boot from", "Wenn Diskette eingelegt, starten von"), bootFlp_);
    bootForm->addRow(text(l, "otherwise boot from", "sonst starten von"), bootWin_);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(winGroup);
    left->addWidget(flpGroup);
    auto* right = new QVBoxLayout;
    right->addWidget(dosGroup);
    right->addWidget(bootGroup);
    columns->addLayout(left);
    columns->addLayout(right);
    layout->addLayout(columns);
    layout->addWidget(okCancel(this, l));
}

void DevicesDialog::browseFile(int drive)
{
    const QString filters = text(env_.language, "WIN files (*.WIN *.win);;QubIDE images (*.QUB *.qub);;All files (*)",
                                 "WIN-Dateien (*.WIN *.win);;QubIDE-Abbilder (*.QUB *.qub);;Alle Dateien (*)");
    QFileDialog box(this, QStringLiteral("WIN%1").arg(drive + 1), qs(expandEnvironmentStrings(textOf(win_[drive]))),
                    filters);
    box.setObjectName(QStringLiteral("winFileBox"));
    box.setDefaultSuffix(QStringLiteral("win"));
    box.setFileMode(QFileDialog::AnyFile);
    if (box.exec() == QDialog::Accepted && !box.selectedFiles().isEmpty())
        win_[drive]->setText(box.selectedFiles().first());
}

void DevicesDialog::browseFolder(int drive)
{
    // The box starts where the field points, with its variables expanded.
    const QString start = qs(expandEnvironmentStrings(textOf(dos_[drive])));
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("DOS%1").arg(drive + 1), start);
    if (!folder.isEmpty()) dos_[drive]->setText(folder);
}

void DevicesDialog::browseFloppy(int drive)
{
    const QString filters =
        text(env_.language, "IMG files (*.IMG *.img);;All files (*)", "IMG-Dateien (*.IMG *.img);;Alle Dateien (*)");
    // A drive name ("A:\") is no file to start from.
    const std::string current = textOf(flp_[drive]);
    QFileDialog box(this, QStringLiteral("FLP%1").arg(drive + 1),
                    current.size() < 4 ? QString() : qs(expandEnvironmentStrings(current)), filters);
    box.setDefaultSuffix(QStringLiteral("img"));
    box.setFileMode(QFileDialog::AnyFile);
    if (box.exec() == QDialog::Accepted && !box.selectedFiles().isEmpty())
        flp_[drive]->setEditText(box.selectedFiles().first());
}

void DevicesDialog::accept()
{
    for (int i = 0; i < ContainerDriveCount; ++i) settings_.WIN[i] = textOf(win_[i]);
    for (int i = 0; i < HostDirDriveCount; ++i) settings_.DOS[i] = textOf(dos_[i]);
    for (int i = 0; i < FloppyDriveCount; ++i) settings_.FLP[i] = textOf(flp_[i]);
    settings_.AlwaysRemovable = alwaysRemovable_->isChecked() ? 1 : 0;
    settings_.ConvertFileExtension = convertExtensions_->isChecked() ? 1 : 0;
    settings_.BootFromFLP = uint8_t(bootFlp_->currentIndex());
    settings_.BootFromWIN = uint8_t(bootWin_->currentIndex() + 1);
    QDialog::accept();
}

// ---- Sound -----------------------------------------------------------------------------

SoundDialog::SoundDialog(Settings& settings, const DialogEnvironment& env, QWidget* parent)
    : QDialog(parent), settings_(settings)
{
    const Language l = env.language;
    setObjectName(QStringLiteral("soundDialog"));
    setWindowTitle(text(l, "Sound", "Klang"));
    auto* grid = new QGridLayout(this);
    mode_ = list(this, "soundMode", DialogLists::soundModes(l), settings.SoundEnabled);
    grid->addWidget(new QLabel(text(l, "Sound", "Klang"), this), 0, 0);
    grid->addWidget(mode_, 0, 1);
    // Upright bars with the loud end at the top: the position counts down from there.
    auto slider = [&](const char* name, int volume) {
        auto* s = new QSlider(Qt::Vertical, this);
        s->setObjectName(QLatin1String(name));
        s->setRange(0, 100);
        s->setPageStep(10);
        s->setInvertedAppearance(true);
        s->setMinimumHeight(140);
        s->setValue(volumeToPosition(std::clamp(volume, 0, 100)));
        return s;
    };
    beep_ = slider("beepVolume", settings.BeepVolume);
    vsnd_ = slider("vsndVolume", settings.VSNDVolume);
    grid->addWidget(beep_, 1, 0, Qt::AlignHCenter);
    grid->addWidget(vsnd_, 1, 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel(text(l, "Beep volume", "Lautstärke Piepser"), this), 2, 0, Qt::AlignHCenter);
    grid->addWidget(new QLabel(text(l, "VSND volume", "Lautstärke VSND"), this), 2, 1, Qt::AlignHCenter);
    grid->addWidget(okCancel(this, l), 3, 0, 1, 2);
}

void SoundDialog::accept()
{
    settings_.SoundEnabled = uint8_t(mode_->currentIndex());
    settings_.BeepVolume = positionToVolume(beep_->value());
    settings_.VSNDVolume = uint8_t(positionToVolume(vsnd_->value()));
    QDialog::accept();
}

// ---- Serial and parallel ports ---------------------------------------------------------

PortsDialog::PortsDialog(Settings& settings, const DialogEnvironment& env, QWidget* parent)
    : QDialog(parent), settings_(settings), env_(env)
{
    const Language l = env.language;
    setObjectName(QStringLiteral("portsDialog"));
    setWindowTitle(text(l, "Serial and parallel ports", "Serielle und parallele Schnittstellen"));
    auto* layout = new QVBoxLayout(this);

    auto* serGroup = new QGroupBox(text(l, "Serial ports", "Serielle Schnittstellen"), this);
    auto* serGrid = new QGridLayout(serGroup);
    const std::vector<std::string> comPorts = DialogLists::serialPorts(l);
    for (int i = 0; i < SerialPortCount; ++i) {
        serial_[i] = list(serGroup, "", comPorts, settings.SerialPort[i]);
        serial_[i]->setObjectName(QStringLiteral("ser%1").arg(i + 1));
        serGrid->addWidget(new QLabel(QStringLiteral("SER%1").arg(i + 1), serGroup), i / 4, (i % 4) * 2);
        serGrid->addWidget(serial_[i], i / 4, (i % 4) * 2 + 1);
    }
    leaveOpen_ = checkBox(serGroup, "leavePortsOpen", text(l, "Leave ports open", "Schnittstellen offen lassen"),
                          settings.LeavePortsOpen != 0);
    serGrid->addWidget(leaveOpen_, 2, 1, 1, 3);
    layout->addWidget(serGroup);

    auto* parGroup = new QGroupBox(text(l, "Parallel ports", "Parallele Schnittstellen"), this);
    auto* parGrid = new QGridLayout(parGroup);
    const QString choices[PortChoices] = {text(l, "none", "keine"), QStringLiteral("LPT1"), QStringLiteral("LPT2"),
                                          QStringLiteral("LPT3"), text(l, "Printer", "Drucker")};
    for (int c = 0; c < PortChoices; ++c) parGrid->addWidget(new QLabel(choices[c], parGroup), 0, c + 1);
    parGrid->addWidget(new QLabel(text(l, "Printer", "Drucker"), parGroup), 0, PortChoices + 1);
    auto* heading = new QLabel(text(l, "Use filter", "Filter benutzen"), parGroup);
    heading->setObjectName(QStringLiteral("filterHeading"));
    heading->setEnabled(env.printerProgramPresent);
    parGrid->addWidget(heading, 0, PortChoices + 2);
    for (int p = 0; p < DialogParallelPorts; ++p) {
        const int row = p + 1;
        parGrid->addWidget(new QLabel(QStringLiteral("PAR%1").arg(p + 1), parGroup), row, 0);
        mode_[p] = new QButtonGroup(this);
        mode_[p]->setObjectName(QStringLiteral("par%1Mode").arg(p + 1));
        for (int c = 0; c < PortChoices; ++c) {
            auto* radio = new QRadioButton(parGroup);
            radio->setObjectName(QStringLiteral("par%1Choice%2").arg(p + 1).arg(c));
            mode_[p]->addButton(radio, c);
            parGrid->addWidget(radio, row, c + 1);
        }
        const int mode = settings.ParallelPort[p] < PortChoices ? settings.ParallelPort[p] : 0;
        mode_[p]->button(mode)->setChecked(true);
        printer_[p] = new QComboBox(parGroup);
        printer_[p]->setObjectName(QStringLiteral("par%1Printer").arg(p + 1));
        printer_[p]->addItem(qs(loadString(StringId::DefaultPrinter, l)));
        int chosen = 0;
        for (const std::string& name : env.printers) {
            printer_[p]->addItem(qs(name));
            if (QString::compare(qs(name), qs(settings.ParallelPrinter[p]), Qt::CaseInsensitive) == 0)
                chosen = printer_[p]->count() - 1;
        }
        printer_[p]->setCurrentIndex(chosen);
        filter_[p] = checkBox(parGroup, "", QString(), settings.ParallelFilter[p] != 0);
        filter_[p]->setObjectName(QStringLiteral("par%1Filter").arg(p + 1));
        parGrid->addWidget(printer_[p], row, PortChoices + 1);
        parGrid->addWidget(filter_[p], row, PortChoices + 2, Qt::AlignCenter);
        connect(mode_[p], &QButtonGroup::idToggled, this, [this, p](int, bool) { updateRow(p); });
        updateRow(p);
    }
    layout->addWidget(parGroup);
    layout->addWidget(okCancel(this, l));
}

void PortsDialog::updateRow(int port)
{
    const int mode = mode_[port]->checkedId();
    printer_[port]->setEnabled(printerListEnabled(mode));
    filter_[port]->setEnabled(filterBoxEnabled(mode, env_.printerProgramPresent));
}

void PortsDialog::accept()
{
    for (int i = 0; i < SerialPortCount; ++i) settings_.SerialPort[i] = uint8_t(serial_[i]->currentIndex());
    settings_.LeavePortsOpen = leaveOpen_->isChecked() ? 1 : 0;
    for (int p = 0; p < DialogParallelPorts; ++p) {
        settings_.ParallelPort[p] = uint8_t(std::max(0, mode_[p]->checkedId()));
        // The first entry stands for the default printer, which the settings hold as no name.
        settings_.ParallelPrinter[p] =
            printer_[p]->currentIndex() <= 0 ? std::string() : printer_[p]->currentText().toStdString();
        settings_.ParallelFilter[p] = filter_[p]->isChecked() ? 1 : 0;
    }
    QDialog::accept();
}

// ---- Main dialog -----------------------------------------------------------------------

ConfigDialog::ConfigDialog(StartDialogHost& host, DialogEnvironment env, QWidget* parent)
    : QDialog(parent), host_(host), env_(std::move(env)), edited_(settings)
{
    const Language l = env_.language;
    setObjectName(QStringLiteral("configDialog"));
    setWindowTitle(
        QStringLiteral("%1 %2, VROS/E %3")
            .arg(text(l, "ZEM configuration", "ZEM Konfiguration"), qs(env_.programVersion), qs(env_.imageVersion)));

    colour_ = list(this, "colourMode", DialogLists::colourModes(l), colourEntryFromDepth(edited_.ColourDepth));
    resolutionBox_ = editableList(this, "resolution");
    fill(resolutionBox_, resolutionEntries(resolutionList(env_.monitors.monitors)));
    window_ = editableList(this, "window");
    driver_ = list(this, "driver", DialogLists::drivers(), edited_.ScreenDriver);
    driver_->setEnabled(env_.driverListEnabled);
    filter_ = list(this, "filter", DialogLists::filters(l), edited_.ScreenFilter);
    onTop_ = checkBox(this, "alwaysOnTop", text(l, "Always on top", "Immer im Vordergrund"), edited_.AlwaysOnTop);
    keepAspect_ = checkBox(this, "keepAspectRatio", text(l, "Keep aspect ratio", "Seitenverhältnis beibehalten"),
                           edited_.KeepAspectRatio);
    memory_ = editableList(this, "memory");
    fill(memory_, DialogLists::memorySizes());
    power_ = list(this, "powerManagement", DialogLists::powerManagement(l), edited_.PowerManagement);
    country_ = editableList(this, "countryCode");
    fill(country_, DialogLists::countryCodes());
    keyboard_ = list(this, "keyboardDriver", DialogLists::keyboardDrivers(), edited_.KeyboardDriver);
    homeEnd_ = list(this, "homeEndKeys", DialogLists::homeEndKeys(l), edited_.LegacyHomeEndKeys);
    taskButton_ = list(this, "taskButton", DialogLists::taskButton(l), edited_.TaskButton);
    dontShow_ = checkBox(this, "dontShow",
                         text(l, "Don't show this dialog on next startup (Hold down shift to show it anyway)",
                              "Diesen Dialog beim nächsten Start nicht zeigen (mit gedrückter Umschalttaste "
                              "trotzdem zeigen)"),
                         edited_.ShowDialog != 0);

    auto* screen = new QGroupBox(text(l, "Screen", "Bildschirm"), this);
    auto* screenForm = new QFormLayout(screen);
    screenForm->addRow(text(l, "Colour mode", "Farbmodus"), colour_);
    screenForm->addRow(qs(loadString(StringId::Resolution, l)), resolutionBox_);
    screenForm->addRow(qs(loadString(StringId::WindowSize, l)), window_);
    screenForm->addRow(text(l, "Driver", "Treiber"), driver_);
    screenForm->addRow(text(l, "Filter", "Filter"), filter_);
    screenForm->addRow(onTop_);
    screenForm->addRow(keepAspect_);

    auto* system = new QGroupBox(text(l, "System", "System"), this);
    auto* systemForm = new QFormLayout(system);
    systemForm->addRow(text(l, "&Memory (MB)", "Spei&cher (MB)"), memory_);
    systemForm->addRow(text(l, "Power management", "Energieverwaltung"), power_);
    systemForm->addRow(text(l, "Country code", "Ländercode"), country_);
    systemForm->addRow(text(l, "Keyboard driver", "Tastaturtreiber"), keyboard_);
    systemForm->addRow(text(l, "Home/end keys", "Pos1-/Ende-Tasten"), homeEnd_);
    systemForm->addRow(text(l, "Show ZEM in", "ZEM zeigen in"), taskButton_);

    auto* devices = new QPushButton(text(l, "&Devices", "&Geräte"), this);
    devices->setObjectName(QStringLiteral("devices"));
    auto* sound = new QPushButton(text(l, "So&und", "&Klang"), this);
    sound->setObjectName(QStringLiteral("sound"));
    auto* ports = new QPushButton(text(l, "S&ER/PAR", "S&ER/PAR"), this);
    ports->setObjectName(QStringLiteral("ports"));
    save_ = new QPushButton(text(l, "&Save", "&Speichern"), this);
    save_->setObjectName(QStringLiteral("save"));
    save_->setAutoDefault(false);
    for (QPushButton* b : {devices, sound, ports}) b->setAutoDefault(false);

    auto* columns = new QHBoxLayout;
    columns->addWidget(screen);
    columns->addWidget(system);
    auto* subButtons = new QHBoxLayout;
    subButtons->addWidget(devices);
    subButtons->addWidget(sound);
    subButtons->addWidget(ports);
    subButtons->addStretch();
    subButtons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(dontShow_);
    layout->addLayout(subButtons);
    layout->addWidget(okCancel(this, l));

    fillFromSettings();

    connect(resolutionBox_, &QComboBox::activated, this, [this] { resolutionChanged(); });
    connect(resolutionBox_->lineEdit(), &QLineEdit::editingFinished, this, [this] { resolutionChanged(); });
    connect(window_->lineEdit(), &QLineEdit::editingFinished, this, [this] { windowEdited(); });
    connect(driver_, &QComboBox::currentIndexChanged, this, [this] { updateEnabled(); });
    connect(keyboard_, &QComboBox::currentIndexChanged, this, [this] { updateEnabled(); });
    connect(devices, &QPushButton::clicked, this, [this] { DevicesDialog(edited_, env_, this).exec(); });
    connect(sound, &QPushButton::clicked, this, [this] { SoundDialog(edited_, env_, this).exec(); });
    connect(ports, &QPushButton::clicked, this, [this] { PortsDialog(edited_, env_, this).exec(); });
    connect(save_, &QPushButton::clicked, this, [this] { save(); });

    // Without a writable configuration file there is nowhere to keep either.
    save_->setEnabled(!env_.iniReadOnly);
    dontShow_->setEnabled(!env_.iniReadOnly);
}

void ConfigDialog::fillFromSettings()
{
    resolution_ = {edited_.ResolutionX, edited_.ResolutionY};
    resolutionBox_->setEditText(resolution_.width == 0 || resolution_.height == 0
                                    ? QStringLiteral("Max")
                                    : QStringLiteral("%1x%2").arg(resolution_.width).arg(resolution_.height));
    if (resolution_.width == 0 || resolution_.height == 0) resolution_ = {};
    window_->clear();
    fill(window_, windowEntries(resolution_, env_.monitors.virtualScreen, env_.language));
    window_->setEditText(edited_.WindowMode == 0 ? qs(loadString(StringId::Fullscreen, env_.language))
                                                 : qs(windowSizeText({edited_.WindowSizeX, edited_.WindowSizeY},
                                                                     resolution_, env_.monitors.virtualScreen)));
    memory_->setEditText(QString::number(edited_.Memory));
    const int country = countryEntryFor(edited_.CountryCode);
    if (country >= 0)
        country_->setCurrentIndex(country);
    else
        country_->setEditText(QString::number(edited_.CountryCode));
    updateEnabled();
}

void ConfigDialog::updateEnabled()
{
    filter_->setEnabled(driver_->currentIndex() == 0);
    homeEnd_->setEnabled(keyboard_->currentIndex() == 1);
}

void ConfigDialog::resolutionChanged()
{
    SizeParse parsed = parseSize(textOf(resolutionBox_), false, env_.language);
    // Unreadable: OK names the fault. Unchanged (the field only lost the focus): the
    // window the user chose stays.
    if (!parsed.size || *parsed.size == resolution_) return;
    resolution_ = *parsed.size;
    const QString windowText = window_->currentText();
    window_->blockSignals(true);
    window_->clear();
    fill(window_, windowEntries(resolution_, env_.monitors.virtualScreen, env_.language));
    if (windowText.trimmed() == qs(loadString(StringId::Fullscreen, env_.language)))
        window_->setEditText(windowText);
    else
        window_->setEditText(qs(windowSizeText(proposedWindow(resolution_, env_.monitors.primary), resolution_,
                                               env_.monitors.virtualScreen)));
    window_->blockSignals(false);
}

void ConfigDialog::windowEdited()
{
    WindowTextResult r = typedWindowText(textOf(window_), keepAspect_->isChecked(), resolution_,
                                         env_.monitors.virtualScreen, env_.language);
    if (r.text && qs(*r.text) != window_->currentText()) window_->setEditText(qs(*r.text));
}

MainFieldTexts ConfigDialog::fieldTexts() const
{
    return {textOf(resolutionBox_), textOf(window_), textOf(memory_), textOf(country_)};
}

void ConfigDialog::focusField(DialogField field)
{
    switch (field) {
    case DialogField::Resolution:
        resolutionBox_->setFocus();
        break;
    case DialogField::Window:
        window_->setFocus();
        break;
    case DialogField::Memory:
        memory_->setFocus();
        break;
    case DialogField::CountryCode:
        country_->setFocus();
        break;
    default:
        break;
    }
}

bool ConfigDialog::readControls()
{
    if (std::optional<DialogFailure> failure = readMainFields(fieldTexts(), edited_, env_.language)) {
        env_.message(failure->message, MessageIcon::Error);
        focusField(failure->field);
        return false;
    }
    edited_.ColourDepth = uint8_t(colourDepthFromEntry(colour_->currentIndex()));
    edited_.ScreenDriver = uint8_t(driver_->currentIndex());
    edited_.ScreenFilter = uint8_t(filter_->currentIndex());
    edited_.AlwaysOnTop = onTop_->isChecked() ? 1 : 0;
    edited_.KeepAspectRatio = keepAspect_->isChecked() ? 1 : 0;
    edited_.PowerManagement = uint8_t(power_->currentIndex());
    edited_.KeyboardDriver = uint8_t(keyboard_->currentIndex());
    edited_.LegacyHomeEndKeys = uint8_t(homeEnd_->currentIndex());
    edited_.TaskButton = uint8_t(taskButton_->currentIndex());
    edited_.ShowDialog = dontShow_->isChecked() ? 1 : 0;
    return true;
}

void ConfigDialog::accept()
{
    if (!readControls()) return;
    if (std::optional<DialogFailure> failure = checkBaseDirectories(edited_, env_.language)) {
        env_.message(failure->message, MessageIcon::Error);
        return;
    }
    settings = edited_;
    writeShowDialogIfChanged();
    QDialog::accept();
}

void ConfigDialog::save()
{
    if (!readControls()) return;
    settings = edited_;
    const Qt::KeyboardModifiers held = env_.modifiers ? env_.modifiers() : Qt::NoModifier;
    const bool intoImage = (held & Qt::ShiftModifier) && (held & Qt::ControlModifier);
    SaveOutcome outcome = saveSettings(host_, intoImage, env_.language);
    // The file now holds what the box shows.
    configState.showDialogAsRead = settings.ShowDialog;
    if (outcome.imageAsked)
        env_.message(outcome.message, outcome.imageWritten ? MessageIcon::Information : MessageIcon::Error);
}
