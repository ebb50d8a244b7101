// The settings window: loading and applying the values, the save question on
// closing, "Auto detect", the preview button, and the about box's version.
#include <QComboBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <filesystem>

#include "printer/ui/about_box.h"
#include "printer/base/errors.h"
#include "platform/ini_file.h"
#include "printer/ui/preview_window.h"
#include "printer/ui/program_version.h"
#include "printer/settings/settings_form_values.h"
#include "printer/ui/settings_window.h"
#include "ui_fixture.h"

namespace zemprint {
namespace {

using test::WindowTest;

class SettingsWindow : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        job = dir.write("job.prn", test::kThreePages);
    }
    void showWith(const std::string& ini)
    {
        loadSettings(ini);
        openPrinter(dir.file("out.pdf"));
        form.bind(*settings, setup, job);
        form.show();
    }
    QFontComboBox* font(int t) const { return form.findChild<QFontComboBox*>(QStringLiteral("Font%1").arg(t)); }
    QSpinBox* width(int t) const { return form.findChild<QSpinBox*>(QStringLiteral("Width%1").arg(t)); }
    QComboBox* charset(int slot) const { return form.findChild<QComboBox*>(QStringLiteral("Charset%1").arg(slot)); }
    void click(const char* name) { QTest::mouseClick(button(form, name), Qt::LeftButton); }
    // An installed family other than the one the row shows.
    QString otherFamily(int t) const
    {
        for (const QString& family : QFontDatabase::families())
            if (family != font(t)->currentFont().family() && font(t)->findText(family) >= 0) return family;
        return {};
    }
    void chooseFont(int t, const QString& family) { font(t)->setCurrentIndex(font(t)->findText(family)); }
    std::string iniValue(const char* section, const char* key)
    {
        IniFile ini(dir.file("ZEMPrint.ini"));
        return ini.readString(section, key, "");
    }

    std::string job;
    TPreviewForm preview;
    TAboutForm about;
    TSettingsForm form{preview, about};
};

TEST_F(SettingsWindow, ShowsTheStoredValues)
{
    const std::string installed = QFontDatabase::families().front().toStdString();
    showWith("[Fonts]\nFont2Name=" + installed +
             "\nFont3Zoom=200\n[Defaults]\nCharset1=32513\nCharset2=999\n"
             "LHLeft=1 cm\nLHDPI=600\nPins=9\n");
    EXPECT_EQ(font(2)->currentFont().family().toStdString(), installed);
    auto* model = form.findChild<QComboBox*>(QStringLiteral("printerModel"));
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->currentText(), "9-pin (ESC/P)");
    EXPECT_EQ(width(3)->value(), 200);
    EXPECT_EQ(width(4)->value(), 140);
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("Sample2"))->font().family().toStdString(), installed);
    ASSERT_EQ(charset(0)->count(), 17);
    EXPECT_EQ(charset(0)->itemText(0), "Italic");
    EXPECT_EQ(charset(0)->itemText(16), "ISO Latin 15 (8859-15)");
    EXPECT_EQ(charset(0)->currentText(), "PC850 (Multilingual)");
    EXPECT_EQ(charset(1)->currentText(), "ISO Latin 1 (8859-1)");
    EXPECT_EQ(charset(2)->currentIndex(), -1);  // no table has that identifier
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("LHLeft"))->text(), "1 cm");
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("LHDPI"))->text(), "600");
    EXPECT_FALSE(form.findChild<QWidget*>(QStringLiteral("letterhead"))->isVisible());
    EXPECT_TRUE(form.windowTitle().startsWith(
        QString::fromStdString("ZEMPrint " + versionString(programVersion()) + " Settings (")));

    // Unchanged, the window closes without a question; an unknown table stays stored.
    click("Print");
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(settings->values().charsets[2], 999);
    EXPECT_EQ(settings->values().pins, 9);
    EXPECT_FALSE(settings->changed());
    // The other model is a change like any other.
    model->setCurrentIndex(0);
    form.applyValues();
    EXPECT_EQ(settings->values().pins, 24);
    EXPECT_TRUE(settings->changed());
}

TEST_F(SettingsWindow, AChangedFontAsksBeforeClosing)
{
    struct Case {
        QMessageBox::StandardButton answer;
        bool staysOpen;
        bool saved;
    };
    const Case cases[] = {
        {QMessageBox::Cancel, true, false},
        {QMessageBox::Yes, false, true},
        {QMessageBox::No, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        std::filesystem::remove(dir.file("ZEMPrint.ini"));
        boxes.clear();
        showWith("");
        const QString family = otherFamily(0);
        ASSERT_FALSE(family.isEmpty());
        chooseFont(0, family);
        answer = c.answer;
        click("Print");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "ZEMPrint");
        EXPECT_EQ(boxes[0].text, "The settings have been changed. Save before exiting?");
        EXPECT_EQ(boxes[0].icon, QMessageBox::Question);
        EXPECT_EQ(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(form.isVisible(), c.staysOpen);
        if (!c.staysOpen) {
            EXPECT_EQ(form.result(), QDialog::Accepted);
        }
        EXPECT_EQ(iniValue("Fonts", "Font0Name") == family.toStdString(), c.saved);
        EXPECT_EQ(settings->values().fontNames[0], family.toStdString());  // applied either way
        form.hide();
    }
}

TEST_F(SettingsWindow, QuitAndEscapeCloseWithoutPrinting)
{
    showWith("");
    click("Quit");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);

    form.show();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SettingsWindow, AValueThatDoesNotParseKeepsTheWindowOpen)
{
    showWith("");
    form.findChild<QLineEdit*>(QStringLiteral("LHLeft"))->setText(QStringLiteral("1 in"));
    width(5)->setValue(300);
    click("Print");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Illegal unit \"in\"");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(settings->values().zoom[5], 140);  // nothing was applied

    form.findChild<QLineEdit*>(QStringLiteral("LHLeft"))->setText(QStringLiteral("2 cm"));
    form.findChild<QLineEdit*>(QStringLiteral("LHDPI"))->setText(QStringLiteral("many"));
    click("Print");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Illegal value \"many\"");
    EXPECT_TRUE(form.isVisible());
    form.hide();
}

TEST_F(SettingsWindow, AutoDetectFillsTheRowsAndStoresNothing)
{
    showWith("[Fonts]\nFont0Zoom=250\nFont9Zoom=20\n");
    const QString family = otherFamily(11);
    chooseFont(11, family);
    click("Auto detect");
    for (int t = 0; t < kTypefaceCount; ++t)
        EXPECT_EQ(font(t)->currentFont().family().toStdString(), settings->automaticFont(t)) << t;
    for (int t = 0; t < kZoomedTypefaceCount; ++t) EXPECT_EQ(width(t)->value(), 140) << t;
    EXPECT_EQ(settings->values().zoom[0], 250);
    EXPECT_FALSE(settings->changed());
    form.hide();
}

TEST_F(SettingsWindow, PreviewAppliesTheValuesAndRedrawsWhenShown)
{
    showWith("");
    click("Preview");
    ASSERT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.pageLabel(), "Page 1/3");
    QTest::mouseClick(button<QToolButton>(preview, ">"), Qt::LeftButton);
    const QImage before = preview.pageImage();

    // Wider characters for typeface 0, then the preview again: same page, drawn anew.
    width(0)->setValue(400);
    click("Preview");
    EXPECT_EQ(settings->values().zoom[0], 400);
    EXPECT_EQ(preview.pageLabel(), "Page 2/3");
    EXPECT_NE(preview.pageImage(), before);

    answer = QMessageBox::No;
    click("Quit");
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(preview.isVisible());
}

TEST(SettingsFormValues, WidthBoxText)
{
    const std::pair<const char*, int> cases[] = {{"120", 120}, {" 80 ", 80}, {"", 100},  {"abc", 100},
                                                 {"12x", 100}, {"0", 0},     {"+40", 40}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(widthFromText(text), expected) << text;
}

TEST(ProgramVersion, VersionLine)
{
    EXPECT_EQ(versionString({1, 2, 3, 0}), "1.2.3");
    EXPECT_EQ(versionString({1, 2, 0, 0}), "1.2.0");
    EXPECT_EQ(versionString({12, 10, 5, 0}), "12.10.5");
    EXPECT_EQ(versionLine({2, 5, 0, 417}), "Version 2.5.0, build 417");

    // The program's own numbers are the project's version.
    const ProgramVersion own = programVersion();
    const std::string numbers = own.build != 0
                                    ? formatMessage("%d.%d.%d.%d", own.major, own.minor, own.patch, own.build)
                                    : formatMessage("%d.%d.%d", own.major, own.minor, own.patch);
    EXPECT_EQ(numbers, ZEM_PROJECT_VERSION);
    TAboutForm about;
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.versionText().toStdString(), versionLine(own));
}

}  // namespace
}  // namespace zemprint
