// The start-up dialog of the real program on an X display (run under xvfb-run): it comes
// up before the guest, a user changes the memory size with the keyboard and presses OK,
// and the guest then runs with that much RAM.
#include "support/desktop_tools.h"
#include "support/temp_dir.h"

#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

QGuiApplication* application = nullptr;

bool haveDisplay() { return application && QGuiApplication::platformName() == QLatin1String("xcb"); }

using zemtest::xdotool;

}  // namespace

TEST(DialogWindow, MemoryChangedInTheDialogReachesTheGuest)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    zemtest::TempDir dir{"zem-dialog-window"};
    const std::string ini = dir.write("zem.ini",
                                      "[General]\nShowDialog=0\n[Emulation]\nMemory=4\n[Screen]\n"
                                      "WindowMode=1\nWindowPosX=0\nWindowPosY=0\n");
    QProcess zem;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", QString::fromStdString(dir.file("data")));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.file("config")));
    env.insert("LC_ALL", "C.UTF-8");  // the English texts and mnemonics
    zem.setProcessEnvironment(env);
    zem.start(QStringLiteral(ZEM2_PROGRAM), {"-OS", GUEST_RAM_SIZE, "-INI", QString::fromStdString(ini), "-DBG", "0"});
    ASSERT_TRUE(zem.waitForStarted());

    // The dialog's caption begins with its name; the guest must not run before OK.
    const std::string id = xdotool({"search", "--sync", "--onlyvisible", "--name", "^ZEM configuration"});
    ASSERT_FALSE(id.empty()) << zem.readAllStandardError().toStdString();
    const QString window = QString::fromStdString(id).trimmed().split('\n').first();
    QThread::msleep(300);
    EXPECT_EQ(zem.state(), QProcess::Running);
    EXPECT_EQ(zem.readAllStandardError().toStdString().find("ram "), std::string::npos);

    // As a user would: the memory field by its mnemonic, a new number, then OK.
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "--window", window, "alt+m"});
    xdotool({"key", "--window", window, "ctrl+a"});
    xdotool({"type", "--window", window, "8"});
    xdotool({"key", "--window", window, "alt+o"});

    ASSERT_TRUE(zem.waitForFinished(20000)) << zem.readAllStandardError().toStdString();
    const std::string log = zem.readAllStandardError().toStdString();
    EXPECT_NE(log.find("ram 00800000"), std::string::npos) << log;
    EXPECT_EQ(zem.exitCode(), 0) << log;
    EXPECT_NE(zemtest::readFile(ini).find("Memory=4\n"), std::string::npos)
        << "OK changes the file only for ShowDialog";
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display; running them does.
    std::unique_ptr<QGuiApplication> app;
    if (getenv("DISPLAY")) {
        app = std::make_unique<QGuiApplication>(argc, argv);
        application = app.get();
    }
    return RUN_ALL_TESTS();
}
