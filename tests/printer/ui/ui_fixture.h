// What the window tests share: a job file, settings in a private INI file, a
// printer set-up that prints into a PDF file, and message boxes answered by
// the test instead of a user.
#pragma once

#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "printer/host_fonts.h"
#include "printer/ui/message_runner.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"
#include "support/temp_dir.h"

namespace zemprint::test {

// Three pages, one line each.
inline constexpr const char* kThreePages = "Page one\r\n\fPage two\r\n\fPage three\r\n\f";

// A box the windows showed, and the answer the test gave.
struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setMessageBoxRunner([this](QMessageBox& box) {
            boxes.push_back({box.windowTitle(), box.text(), box.icon(), box.standardButtons()});
            return static_cast<int>(answer);
        });
    }
    void TearDown() override { setMessageBoxRunner({}); }

    // Settings from the INI text, loaded as at start.
    TSettings& loadSettings(const std::string& ini = "")
    {
        if (!ini.empty()) dir.write("ZEMPrint.ini", ini);
        settings = std::make_unique<TSettings>(dir.file("ZEMPrint.ini"), installedFontFamilies, '.');
        settings->load();
        return *settings;
    }
    TPrinterSetup& openPrinter(const std::string& name)
    {
        EXPECT_TRUE(setup.open(name)) << name;
        return setup;
    }

    template <typename Button = QPushButton>
    static Button* button(const QWidget& window, const char* name)
    {
        auto* found = window.findChild<Button*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    zemtest::TempDir dir;
    std::unique_ptr<TSettings> settings;
    TPrinterSetup setup;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    std::vector<ShownBox> boxes;
};

}  // namespace zemprint::test
