// The start-up dialog's widgets on the offscreen platform: what OK, Cancel and Save leave
// in the settings, the configuration file and the image, the rules that show or skip the
// dialog, and the enabling rules of the controls.
#include "block_builder.h"
#include "config/config_blocks.h"
#include "config/configuration.h"
#include "config/dialog/start_dialog.h"
#include "config/settings.h"
#include "platform/image_file.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t CopySize = 0x18000;
constexpr uid_t Nobody = 65534;

const std::string IniText =
    "; kept as it is\n[General]\nShowDialog=0\n\n[Emulation]\nMemory=16\nSomethingElse=yes\n[Sound]\nEnabled=0\n";

template <typename T>
T* child(QWidget* parent, const char* name)
{
    T* widget = parent->findChild<T*>(QLatin1String(name));
    if (!widget) ADD_FAILURE() << "no control " << name;
    return widget;
}

void click(QWidget* parent, const char* name)
{
    if (auto* button = child<QPushButton>(parent, name)) QTest::mouseClick(button, Qt::LeftButton);
}

void typeInto(QComboBox* box, const QString& text)
{
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
}

// Runs `work` on the next modal dialog that comes up (a sub-dialog opened by a click).
void onNextDialog(const char* name, std::function<void(QWidget*)> work)
{
    QTimer::singleShot(0, [name, work] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String(name) && w->isVisible()) return work(w);
        ADD_FAILURE() << "dialog " << name << " did not come up";
    });
}

class ConfigDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = Settings{};
        configState = ConfigurationState{};
        forgetOpenGlTest();
        for (int i = 0; i < HostDirDriveCount; ++i) settings.DOS[i] = dir.file("dos" + std::to_string(i + 1));

        // An image of 96 KB and a tail, with a block carrying the memory size.
        image.assign(CopySize + 4096, 0);
        for (size_t i = CopySize; i < image.size(); ++i) image[i] = uint8_t(i * 7);
        memoryOffset = BlockBuilder("Generic settings", "1.23").byte("ZEMM", 16).writeTo(image, 0x100)[0];
        imagePath = dir.write("image.bin", std::string(image.begin(), image.end()));
        copy.assign(image.begin(), image.begin() + CopySize);
        configState.imageVersion = scanConfigBlocks(copy.data(), copy.size());

        configState.iniPath = dir.write("zem.ini", IniText);
        readIniFile();
        configState.showDialogAsRead = settings.ShowDialog;

        StartDialogHost& host = startDialogHost();
        host.copy = copy.data();
        host.copySize = copy.size();
        host.printerProgramPresent = true;
        host.writeImage = [this](const uint8_t* data, size_t length, int& error) {
            size_t n = imageFile.writeAtStart(data, length);
            error = imageFile.lastError();
            return n;
        };

        options.openGlUsable = [] { return true; };
        options.monitors = MonitorSet{{{1920, 1080}}, {1920, 1080}, {1920, 1080}};
        options.printers = std::vector<std::string>{"Laser", "Office Jet"};
        options.language = Language::English;
        options.modifiers = [this] { return held; };
        options.message = [this](const std::string& text, MessageIcon icon) {
            messages.push_back(text);
            icons.push_back(icon);
        };
    }
    void TearDown() override
    {
        imageFile.close();
        startDialogHost() = StartDialogHost{};
        setHostScreenSizeProvider(nullptr);
        settings = Settings{};
        scanConfigBlocks(nullptr, 0);
    }

    // Runs the dialog; `drive` acts on it once it is up. A dialog still open after ten
    // seconds is cancelled so that a fault cannot hang the suite.
    StartDialogResult run(std::function<void(ConfigDialog&)> drive)
    {
        bool shown = false;
        options.shown = [&](ConfigDialog& d) {
            shown = true;
            QTimer::singleShot(10000, &d, [&d] {
                ADD_FAILURE() << "the dialog stayed open";
                d.reject();
            });
            drive(d);
        };
        StartDialogResult result = runStartConfigDialog(options);
        wasShown = shown;
        return result;
    }

    bool openImage(bool readOnly)
    {
        if (!readOnly) return imageFile.open(imagePath);
        // Even root must not get a writable handle: open as nobody, as a user without
        // write permission would.
        chmod(imagePath.c_str(), 0444);
        chmod(dir.path().c_str(), 0755);
        if (geteuid() == 0 && seteuid(Nobody) != 0) return false;
        bool opened = imageFile.open(imagePath);
        if (getuid() == 0 && seteuid(0) != 0) return false;
        return opened && imageFile.isReadOnly();
    }

    zemtest::TempDir dir{"zem-dialog"};
    std::vector<uint8_t> image, copy;
    size_t memoryOffset = 0;
    std::string imagePath;
    ImageFile imageFile;
    StartDialogOptions options;
    Qt::KeyboardModifiers held = Qt::NoModifier;
    std::vector<std::string> messages;
    std::vector<MessageIcon> icons;
    bool wasShown = false;
};

TEST_F(ConfigDialogTest, OkTakesTheFieldsAndWritesOnlyAChangedShowDialog)
{
    StartDialogResult r = run([](ConfigDialog& d) {
        typeInto(child<QComboBox>(&d, "memory"), "32");
        child<QCheckBox>(&d, "dontShow")->setChecked(true);
        child<QComboBox>(&d, "colourMode")->setCurrentIndex(0);
        click(&d, "ok");
    });
    EXPECT_EQ(r, StartDialogResult::Ok);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(settings.Memory, 32);
    EXPECT_EQ(settings.ColourDepth, 0);
    EXPECT_EQ(settings.ShowDialog, 1);
    std::string expected = IniText;
    expected.replace(expected.find("ShowDialog=0"), 12, "ShowDialog=1");
    EXPECT_EQ(zemtest::readFile(configState.iniPath), expected) << "the memory size is for this run only";
    // The start-up then hands the guest "Max" as the primary monitor's size.
    finishSettingsForGuest(copy.data(), copy.size(), true);
    EXPECT_EQ(settings.ResolutionX, 1920);
    EXPECT_EQ(settings.ResolutionY, 1080);

    // Unchanged, the key is not written again.
    zemtest::writeFile(configState.iniPath, IniText);
    configState.showDialogAsRead = 0;
    settings.ShowDialog = 0;
    EXPECT_EQ(run([](ConfigDialog& d) { click(&d, "ok"); }), StartDialogResult::Ok);
    EXPECT_EQ(zemtest::readFile(configState.iniPath), IniText);
}

TEST_F(ConfigDialogTest, ARefusedFieldKeepsTheDialogOpen)
{
    int stillOpen = 0;
    StartDialogResult r = run([&](ConfigDialog& d) {
        QComboBox* memory = child<QComboBox>(&d, "memory");
        typeInto(memory, "300");
        click(&d, "ok");
        stillOpen += d.isVisible();
        typeInto(child<QComboBox>(&d, "resolution"), "640");
        typeInto(memory, "64");
        click(&d, "ok");
        stillOpen += d.isVisible();
        typeInto(child<QComboBox>(&d, "resolution"), "640x480");
        click(&d, "ok");
    });
    EXPECT_EQ(r, StartDialogResult::Ok);
    EXPECT_EQ(stillOpen, 2);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "'Memory size' must be between 2 and 255.");
    EXPECT_EQ(messages[1], "Illegal value in 'Resolution'.");
    EXPECT_EQ(icons[0], MessageIcon::Error);
    EXPECT_EQ(settings.Memory, 64);
    EXPECT_EQ(settings.ResolutionX, 640);
}

TEST_F(ConfigDialogTest, AnEmptyBaseDirectoryIsRefusedAtOk)
{
    settings.DOS[4].clear();
    StartDialogResult r = run([&](ConfigDialog& d) {
        click(&d, "ok");
        EXPECT_TRUE(d.isVisible());
        onNextDialog("devicesDialog", [](QWidget* devices) {
            child<QLineEdit>(devices, "dos5")->setText("/srv/ql");
            click(devices, "ok");
        });
        click(&d, "devices");
        click(&d, "ok");
    });
    EXPECT_EQ(r, StartDialogResult::Ok);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Base directory of DOS5_ is invalid.", 0), 0u);
    EXPECT_EQ(settings.DOS[4], "/srv/ql");
}

TEST_F(ConfigDialogTest, CancelEndsWithNothingWritten)
{
    const Settings before = settings;
    ASSERT_TRUE(openImage(false));
    StartDialogResult r = run([](ConfigDialog& d) {
        typeInto(child<QComboBox>(&d, "memory"), "8");
        child<QCheckBox>(&d, "dontShow")->setChecked(true);
        click(&d, "cancel");
    });
    EXPECT_EQ(r, StartDialogResult::Cancel);
    EXPECT_EQ(settings.Memory, before.Memory);
    EXPECT_EQ(settings.ShowDialog, 0);
    EXPECT_EQ(zemtest::readFile(configState.iniPath), IniText);
    EXPECT_EQ(zemtest::readFile(imagePath), std::string(image.begin(), image.end()));
}

TEST_F(ConfigDialogTest, SaveWithShiftAndCtrlWritesTheCopyIntoTheImage)
{
    ASSERT_TRUE(openImage(false));
    held = Qt::ShiftModifier | Qt::ControlModifier;
    StartDialogResult r = run([](ConfigDialog& d) {
        typeInto(child<QComboBox>(&d, "memory"), "48");
        click(&d, "save");
        EXPECT_TRUE(d.isVisible()) << "Save keeps the dialog open";
        click(&d, "cancel");
    });
    EXPECT_EQ(r, StartDialogResult::Cancel);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Settings saved to VROS/E file");
    EXPECT_EQ(icons[0], MessageIcon::Information);

    // The image: the copy byte for byte, the new memory size in its block, the tail as it was.
    const std::string written = zemtest::readFile(imagePath);
    ASSERT_EQ(written.size(), image.size());
    EXPECT_EQ(uint8_t(copy[memoryOffset]), 48);
    EXPECT_EQ(written.compare(0, CopySize, std::string(copy.begin(), copy.end())), 0);
    EXPECT_EQ(written.compare(CopySize, std::string::npos, std::string(image.begin() + CopySize, image.end())), 0);
    // The whole configuration file, the unknown key kept.
    const std::string ini = zemtest::readFile(configState.iniPath);
    EXPECT_NE(ini.find("Memory=48"), std::string::npos) << ini;
    EXPECT_NE(ini.find("SomethingElse=yes"), std::string::npos);
    EXPECT_NE(ini.find("[Parallel]"), std::string::npos);
}

TEST_F(ConfigDialogTest, SaveWithoutBothKeysLeavesTheImage)
{
    ASSERT_TRUE(openImage(false));
    held = Qt::ShiftModifier;  // Ctrl is needed too
    run([](ConfigDialog& d) {
        typeInto(child<QComboBox>(&d, "memory"), "48");
        click(&d, "save");
        click(&d, "cancel");
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(zemtest::readFile(imagePath), std::string(image.begin(), image.end()));
    EXPECT_EQ(uint8_t(copy[memoryOffset]), 48) << "the copy holds the saved settings";
    EXPECT_NE(zemtest::readFile(configState.iniPath).find("Memory=48"), std::string::npos);
}

TEST_F(ConfigDialogTest, SaveIntoAReadOnlyImageShowsString11)
{
    ASSERT_TRUE(openImage(true));
    held = Qt::ShiftModifier | Qt::ControlModifier;
    run([](ConfigDialog& d) {
        click(&d, "save");
        click(&d, "cancel");
    });
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("Cannot write to file.\n0 bytes written (98304 bytes requested).\nCode d: ", 0), 0u)
        << messages[0];
    EXPECT_EQ(icons[0], MessageIcon::Error);
    EXPECT_EQ(zemtest::readFile(imagePath), std::string(image.begin(), image.end()));
}

TEST_F(ConfigDialogTest, ShowDialogSkipsUnlessShiftIsHeldOrADriveIsEmpty)
{
    settings.ShowDialog = 1;
    EXPECT_EQ(run([](ConfigDialog& d) { d.reject(); }), StartDialogResult::Ok);
    EXPECT_FALSE(wasShown);

    held = Qt::ShiftModifier;
    EXPECT_EQ(run([](ConfigDialog& d) { d.reject(); }), StartDialogResult::Cancel);
    EXPECT_TRUE(wasShown);

    held = Qt::NoModifier;
    settings.DOS[7].clear();
    EXPECT_EQ(run([](ConfigDialog& d) {
                  EXPECT_TRUE(child<QCheckBox>(&d, "dontShow")->isChecked());
                  d.reject();
              }),
              StartDialogResult::Cancel);
    EXPECT_TRUE(wasShown);
}

TEST_F(ConfigDialogTest, WithoutOpenGlTheRasterDriverIsFixed)
{
    options.openGlUsable = [] { return false; };
    settings.ScreenDriver = 0;
    settings.ShowDialog = 1;
    EXPECT_EQ(run([](ConfigDialog&) {}), StartDialogResult::Ok);
    EXPECT_EQ(settings.ScreenDriver, 1) << "also when the dialog is skipped";

    settings.ShowDialog = 0;
    settings.ScreenDriver = 0;
    run([](ConfigDialog& d) {
        QComboBox* driver = child<QComboBox>(&d, "driver");
        EXPECT_FALSE(driver->isEnabled());
        EXPECT_EQ(driver->currentIndex(), 1);
        EXPECT_FALSE(child<QComboBox>(&d, "filter")->isEnabled()) << "the filter belongs to the first driver";
        click(&d, "ok");
    });
    EXPECT_EQ(settings.ScreenDriver, 1);
}

TEST_F(ConfigDialogTest, ResolutionProposesTheWindowAndTheAspectRuleFillsTheHeight)
{
    auto textOf = [](QComboBox* box) { return box->currentText().toStdString(); };
    run([&](ConfigDialog& d) {
        QComboBox* resolution = child<QComboBox>(&d, "resolution");
        QComboBox* window = child<QComboBox>(&d, "window");
        // Full screen stays what it is whatever the resolution.
        EXPECT_EQ(textOf(window), "Fullscreen");
        resolution->setCurrentIndex(resolution->findText("640x480"));
        emit resolution->activated(resolution->currentIndex());
        EXPECT_EQ(textOf(window), "Fullscreen");
        EXPECT_EQ(window->count(), 5) << "1x, 1.5x, 2x, Max, Fullscreen";

        window->setCurrentIndex(window->findText("Max"));
        typeInto(resolution, "1024x768");
        emit resolution->lineEdit()->editingFinished();
        EXPECT_EQ(textOf(window), "1024x768 (1x)");
        resolution->setCurrentIndex(resolution->findText("640x480"));
        emit resolution->activated(resolution->currentIndex());
        EXPECT_EQ(textOf(window), "1280x960 (2x)");
        // Leaving the field unchanged keeps a window the user chose.
        window->setCurrentIndex(window->findText("960x720 (1.5x)"));
        emit resolution->lineEdit()->editingFinished();
        EXPECT_EQ(textOf(window), "960x720 (1.5x)");

        child<QCheckBox>(&d, "keepAspectRatio")->setChecked(true);
        typeInto(window, "1200");
        emit window->lineEdit()->editingFinished();
        EXPECT_EQ(textOf(window), "1200x900");
        click(&d, "ok");
    });
    EXPECT_EQ(settings.WindowSizeX, 1200);
    EXPECT_EQ(settings.WindowSizeY, 900);
    EXPECT_EQ(settings.WindowMode, 1);
    EXPECT_EQ(settings.KeepAspectRatio, 1);
}

TEST_F(ConfigDialogTest, PortsDialogFollowsThePrinterProgramAndTheRowChoice)
{
    settings.ParallelPort[0] = ParallelModePrinter;
    settings.ParallelPrinter[0] = "office JET";
    settings.ParallelFilter[0] = 1;
    settings.SerialPort[2] = 7;
    for (bool present : {true, false}) {
        startDialogHost().printerProgramPresent = present;
        run([present](ConfigDialog& d) {
            onNextDialog("portsDialog", [present](QWidget* ports) {
                EXPECT_EQ(child<QLabel>(ports, "filterHeading")->isEnabled(), present);
                EXPECT_EQ(child<QCheckBox>(ports, "par1Filter")->isEnabled(), present);
                QComboBox* printer = child<QComboBox>(ports, "par1Printer");
                EXPECT_TRUE(printer->isEnabled());
                EXPECT_EQ(printer->currentText(), "Office Jet") << "found without regard to case";
                EXPECT_EQ(printer->itemText(0), "Default printer");
                EXPECT_FALSE(child<QComboBox>(ports, "par2Printer")->isEnabled());
                EXPECT_EQ(child<QComboBox>(ports, "ser3")->currentText(), "COM7");
                child<QRadioButton>(ports, "par2Choice4")->setChecked(true);
                EXPECT_TRUE(child<QComboBox>(ports, "par2Printer")->isEnabled());
                EXPECT_EQ(child<QCheckBox>(ports, "par2Filter")->isEnabled(), present);
                child<QRadioButton>(ports, "par1Choice2")->setChecked(true);
                EXPECT_FALSE(child<QCheckBox>(ports, "par1Filter")->isEnabled());
                child<QComboBox>(ports, "ser1")->setCurrentIndex(64);
                click(ports, present ? "cancel" : "ok");
            });
            click(&d, "ports");
            click(&d, "ok");
        });
    }
    // Cancel discarded the first round; OK stored the second.
    EXPECT_EQ(settings.ParallelPort[0], 2);
    EXPECT_EQ(settings.ParallelPort[1], ParallelModePrinter);
    EXPECT_EQ(settings.ParallelPrinter[1], "") << "the default printer is stored as no name";
    EXPECT_EQ(settings.SerialPort[0], 64);
}

TEST_F(ConfigDialogTest, SoundAndDevicesDialogsStoreOnOkOnly)
{
    settings.BeepVolume = 30;
    settings.BootFromWIN = 3;
    run([](ConfigDialog& d) {
        onNextDialog("soundDialog", [](QWidget* sound) {
            QSlider* beep = child<QSlider>(sound, "beepVolume");
            EXPECT_EQ(beep->value(), 70) << "the bar runs the other way";
            EXPECT_EQ(beep->pageStep(), 10);
            beep->setValue(10);
            child<QComboBox>(sound, "soundMode")->setCurrentIndex(2);
            click(sound, "ok");
        });
        click(&d, "sound");
        onNextDialog("devicesDialog", [](QWidget* devices) {
            EXPECT_EQ(child<QComboBox>(devices, "bootFromWin")->currentText(), "WIN3");
            child<QLineEdit>(devices, "win1")->setText("/discarded.win");
            click(devices, "cancel");
        });
        click(&d, "devices");
        click(&d, "ok");
    });
    EXPECT_EQ(settings.BeepVolume, 90);
    EXPECT_EQ(settings.SoundEnabled, 2);
    EXPECT_EQ(settings.WIN[0], "");
    EXPECT_EQ(settings.BootFromWIN, 3);
}

TEST_F(ConfigDialogTest, ReadOnlyConfigurationFileDisablesSavingAndTheBox)
{
    configState.iniReadOnly = true;
    options.language = Language::German;
    run([](ConfigDialog& d) {
        EXPECT_FALSE(child<QPushButton>(&d, "save")->isEnabled());
        EXPECT_FALSE(child<QCheckBox>(&d, "dontShow")->isEnabled());
        EXPECT_TRUE(d.windowTitle().startsWith("ZEM Konfiguration ")) << d.windowTitle().toStdString();
        EXPECT_TRUE(d.windowTitle().endsWith(", VROS/E 1.23")) << d.windowTitle().toStdString();
        d.reject();
    });
}

}  // namespace

namespace {

TEST_F(ConfigDialogTest, ARequestToEndClosesTheDialogAsCancel)
{
    bool end = false;
    options.endRequested = [&] { return end; };
    EXPECT_EQ(run([&](ConfigDialog&) { end = true; }), StartDialogResult::Cancel);
    EXPECT_EQ(zemtest::readFile(configState.iniPath), IniText);
}

}  // namespace
