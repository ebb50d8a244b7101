// The window program on a real X display (the tests run under xvfb-run, with Mesa's
// software OpenGL): a guest draws a known picture; the -SNAP file must hold it exactly,
// and a grab of the screen where the window lies must show it scaled by two.
#include "reference_pixels.h"
#include "support/desktop_tools.h"
#include "support/temp_dir.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

QGuiApplication* application = nullptr;

bool haveDisplay() { return application && QGuiApplication::platformName() == QLatin1String("xcb"); }

uint8_t bytePattern(uint32_t i) { return uint8_t(7 * i + 3 * (i >> 7)); }

struct Picture {
    const char* name;
    const char* image;
    GuestFormatId format;
    int width, height;
    uint32_t pitch;
};

// Pixel (x, y) of a screen of this format filled with the byte pattern.
uint32_t expectedPixel(const Picture& p, int x, int y)
{
    std::vector<uint8_t> line(p.pitch);
    for (uint32_t i = 0; i < p.pitch; ++i) line[i] = bytePattern(p.pitch * uint32_t(y) + i);
    return reference::hostPixelColour(p.format, line.data(), unsigned(x));
}

std::vector<uint32_t> expectedPicture(const Picture& p)
{
    std::vector<uint32_t> pixels(size_t(p.width) * p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) pixels[size_t(y) * p.width + x] = expectedPixel(p, x, y);
    return pixels;
}

int channel(uint32_t rgb, int c) { return int((rgb >> (8 * c)) & 0xFF); }

// A running emulator with its window on the display.
class WindowRun {
public:
    WindowRun(const zemtest::TempDir& dir, const char* image, const std::string& screenSettings,
              const std::vector<std::pair<std::string, std::string>>& environment = {})
        : snap_((dir.path() / "snap.png").string())
    {
        // A window unless the case asks for full screen.
        const std::string mode = screenSettings.find("WindowMode=") == std::string::npos ? "WindowMode=1\n" : "";
        std::string ini = "[Emulation]\nMemory=4\n[Screen]\n" + mode + "WindowPosX=0\nWindowPosY=0\n" + screenSettings;
        // The start-up dialog would wait for a user.
        if (size_t general = ini.find("[General]\n"); general != std::string::npos)
            ini.insert(general + 10, "ShowDialog=1\n");
        else
            ini += "[General]\nShowDialog=1\n";
        zemtest::writeFile(dir.path() / "zem.ini", ini);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : environment)
            env.insert(QString::fromStdString(name), QString::fromStdString(value));
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(QString::fromStdString(dir.path().string()));
        process_.start(QStringLiteral(ZEM2_PROGRAM),
                       {"-OS", image, "-INI", QString::fromStdString((dir.path() / "zem.ini").string()), "-DBG", "3",
                        "-SNAP", QString::fromStdString(snap_)});
    }
    ~WindowRun()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Waits until standard error holds `text`.
    bool waitFor(const std::string& text, int ms = 15000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (log().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end || process_.state() == QProcess::NotRunning) return false;
            process_.waitForReadyRead(100);
        }
        return true;
    }
    // SIGTERM, as a desktop ending the session would send; true when it ended normally.
    bool terminate()
    {
        process_.terminate();
        if (!process_.waitForFinished(15000)) return false;
        log();
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    const std::string& log()
    {
        errors_ += process_.readAllStandardError().toStdString();
        return errors_;
    }
    QImage snapshot() const { return QImage(QString::fromStdString(snap_)); }
    QProcess& process() { return process_; }

private:
    QProcess process_;
    std::string snap_;
    std::string errors_;
};

QImage grab(QRect area)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

// Counts pixels of the grab that do not show the expected picture scaled by two: exactly
// with nearest sampling, within the range of the neighbouring guest pixels otherwise.
int wrongScaledPixels(const QImage& shot, const Picture& p, const std::vector<uint32_t>& want, bool exact,
                      std::string& first)
{
    int wrong = 0;
    auto at = [&](int x, int y) {
        x = std::clamp(x, 0, p.width - 1);
        y = std::clamp(y, 0, p.height - 1);
        return want[size_t(y) * p.width + x];
    };
    for (int y = 0; y < 2 * p.height; ++y)
        for (int x = 0; x < 2 * p.width; ++x) {
            const uint32_t got = shot.pixel(x, y) & 0xFFFFFF;
            bool ok = true;
            if (exact) {
                ok = got == at(x / 2, y / 2);
            } else {
                for (int c = 0; c < 3 && ok; ++c) {
                    int lo = 255, hi = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            lo = std::min(lo, channel(at(x / 2 + dx, y / 2 + dy), c));
                            hi = std::max(hi, channel(at(x / 2 + dx, y / 2 + dy), c));
                        }
                    ok = channel(got, c) >= lo - 2 && channel(got, c) <= hi + 2;
                }
            }
            if (!ok && ++wrong == 1) {
                char text[96];
                snprintf(text, sizeof text, "first at %d,%d: %06x, guest pixel %06x", x, y, got, at(x / 2, y / 2));
                first = text;
            }
        }
    return wrong;
}

struct Case {
    Picture picture;
    int driver;  // ScreenDriver: 0 OpenGL, 1 raster
    int filter;  // ScreenFilter: 0 nearest, 1 linear
};

std::string caseName(const testing::TestParamInfo<Case>& info)
{
    return std::string(info.param.picture.name) + (info.param.driver == 0 ? "OpenGl" : "Raster") +
           (info.param.filter ? "Linear" : "Nearest");
}

class WindowPicture : public testing::TestWithParam<Case> {};

const Picture Ql4{"Ql4", GUEST_QL4, GuestFormatId::Ql4, 512, 256, 128};
const Picture Ql8{"Ql8", GUEST_QL8, GuestFormatId::Ql8, 512, 256, 128};
const Picture Indexed8{"Indexed8", GUEST_INDEXED8, GuestFormatId::Indexed8, 512, 256, 512};
const Picture Rgb16{"Rgb16", GUEST_RGB16, GuestFormatId::Rgb16, 512, 256, 1024};

}  // namespace

TEST_P(WindowPicture, SnapshotIsExactAndTheWindowShowsItScaled)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    const Case& c = GetParam();
    const Picture& p = c.picture;
    zemtest::TempDir dir{"zem-window"};
    WindowRun run(dir, p.image,
                  "ScreenDriver=" + std::to_string(c.driver) + "\nScreenFilter=" + std::to_string(c.filter) +
                      "\nWindowSizeX=" + std::to_string(2 * p.width) + "\nWindowSizeY=" + std::to_string(2 * p.height) +
                      "\n");
    ASSERT_TRUE(run.waitFor("drawn")) << run.log();
    if (c.driver == 0) {
        ASSERT_NE(run.log().find("scr: OpenGL back end"), std::string::npos) << run.log();
    }

    // The window lies at the top left of the screen (no window manager, no frame).
    const std::vector<uint32_t> want = expectedPicture(p);
    std::string first;
    int wrong = -1;
    for (int attempt = 0; attempt < 50 && wrong != 0; ++attempt) {
        QThread::msleep(100);
        wrong = wrongScaledPixels(grab(QRect(0, 0, 2 * p.width, 2 * p.height)), p, want, c.filter == 0, first);
    }
    EXPECT_EQ(wrong, 0) << first;

    ASSERT_TRUE(run.terminate()) << run.log();
    const QImage snap = run.snapshot();
    ASSERT_EQ(snap.width(), p.width);
    ASSERT_EQ(snap.height(), p.height);
    int snapWrong = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if ((snap.pixel(x, y) & 0xFFFFFF) != want[size_t(y) * p.width + x] && ++snapWrong <= 3)
                ADD_FAILURE() << "snapshot pixel " << x << "," << y;
    EXPECT_EQ(snapWrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, WindowPicture,
                         testing::Values(Case{Ql4, 1, 0}, Case{Ql8, 1, 0}, Case{Indexed8, 1, 0}, Case{Rgb16, 1, 0},
                                         Case{Ql4, 0, 0}, Case{Ql8, 0, 0}, Case{Indexed8, 0, 0}, Case{Rgb16, 0, 0},
                                         Case{Rgb16, 0, 1}),
                         caseName);

namespace {

// The main window's X id, found by its title.
unsigned long mainWindowId()
{
    const QStringList ids =
        QString::fromStdString(zemtest::xdotool({"search", "--name", "^ZEM II"})).split('\n', Qt::SkipEmptyParts);
    return ids.isEmpty() ? 0 : ids.first().toULong();
}

// What a window manager sends when the user clicks the close button.
bool sendCloseRequest()
{
    const unsigned long id = mainWindowId();
    if (!id) return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, id, False, NoEventMask, &event) != 0;
    XFlush(display);
    XCloseDisplay(display);
    return sent;
}

int countOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

enum class QuitPath { CloseButton, Sigterm, GuestQuit };

struct CloseCase {
    const char* name;
    int noExitThroughX;
    int taskButton;
    QuitPath path;
    bool ends;  // the program ends through this path
};

class Closing : public testing::TestWithParam<CloseCase> {};

}  // namespace

TEST_P(Closing, QuitPathsAgainstTheCloseRules)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    const CloseCase& c = GetParam();
    zemtest::TempDir dir{"zem-close"};
    WindowRun run(dir, c.path == QuitPath::GuestQuit ? GUEST_QUITS : GUEST_IDLE,
                  "WindowSizeX=512\nWindowSizeY=256\n; kept as it is\n[General]\nNoExitThroughX=" +
                      std::to_string(c.noExitThroughX) + "\nTaskButton=" + std::to_string(c.taskButton) + "\n");
    ASSERT_TRUE(run.waitFor("drawn")) << run.log();
    QThread::msleep(300);
    switch (c.path) {
    case QuitPath::CloseButton:
        ASSERT_TRUE(sendCloseRequest());
        break;
    case QuitPath::Sigterm:
        run.process().terminate();
        break;
    case QuitPath::GuestQuit:
        break;
    }
    const bool ended = run.process().waitForFinished(c.ends ? 15000 : 1500);
    EXPECT_EQ(ended, c.ends) << run.log();
    if (!ended) {
        // Still running as it should: it still ends on request.
        ASSERT_TRUE(run.terminate()) << run.log();
    }
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);
    const std::string& log = run.log();
    if (c.taskButton != 0) {
        EXPECT_NE(log.find("ZEM: No system tray here"), std::string::npos) << log;
    }
    // The INI is written once, with the position the window had; other lines stay.
    EXPECT_EQ(countOf(log, "ZEM: Writing INI information"), 1) << log;
    const std::string ini = zemtest::readFile(dir.path() / "zem.ini");
    EXPECT_NE(ini.find("WindowPosX=0\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("; kept as it is\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Memory=4\n"), std::string::npos) << ini;
}

INSTANTIATE_TEST_SUITE_P(Rules, Closing,
                         testing::Values(CloseCase{"CloseButtonEnds", 0, 0, QuitPath::CloseButton, true},
                                         CloseCase{"CloseButtonRefused", 1, 0, QuitPath::CloseButton, false},
                                         CloseCase{"CloseButtonWithTrayFallback", 0, 1, QuitPath::CloseButton, true},
                                         CloseCase{"CloseButtonRefusedTaskOrTray", 1, 2, QuitPath::CloseButton, false},
                                         CloseCase{"SigtermDespiteNoExit", 1, 0, QuitPath::Sigterm, true},
                                         CloseCase{"SigtermWithTray", 0, 1, QuitPath::Sigterm, true},
                                         CloseCase{"GuestQuitDespiteNoExit", 1, 0, QuitPath::GuestQuit, true},
                                         CloseCase{"GuestQuitWithTray", 1, 1, QuitPath::GuestQuit, true}),
                         [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST(WindowUpdate, AnIdleGuestCostsNoConversionOrPresentAfterTheFirst)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    for (int driver : {0, 1}) {
        zemtest::TempDir dir{"zem-idle"};
        WindowRun run(dir, GUEST_IDLE,
                      "ScreenDriver=" + std::to_string(driver) + "\nWindowSizeX=512\nWindowSizeY=256\n");
        ASSERT_TRUE(run.waitFor("drawn")) << run.log();
        // About 160 update ticks pass while the guest writes nothing.
        QThread::msleep(2000);
        ASSERT_TRUE(run.terminate()) << run.log();
        unsigned long long conversions = 99, presents = 99;
        const std::string& log = run.log();
        const size_t counts = log.find(" conversions, ");
        ASSERT_NE(counts, std::string::npos) << log;
        const size_t at = log.rfind("scr: ", counts);
        ASSERT_EQ(sscanf(log.c_str() + at, "scr: %llu conversions, %llu presents", &conversions, &presents), 2) << log;
        // The mode's full redraw and the one line may land in one pass or two.
        EXPECT_GE(conversions, 1u) << driver;
        EXPECT_LE(conversions, 2u) << driver;
        EXPECT_GE(presents, 1u) << driver;
        // Besides those, only the mode and the window's size ask for a present.
        EXPECT_LE(presents, conversions + 2) << driver;
    }
}

// The raster view repaints only the area a pass converted and the OpenGL view uploads only
// those lines: small changes after the first picture must still all reach the screen.
TEST(WindowUpdate, SmallChangesReachTheWindowThroughPartialRepaints)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    const Picture& p = Rgb16;
    std::vector<uint8_t> bytes(size_t(p.pitch) * p.height);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = bytePattern(uint32_t(i));
    // What partial.s inverts once the pattern is on the window.
    for (size_t line : {100, 101})
        for (size_t i = 200; i < 208; ++i) bytes[line * p.pitch + i] ^= 0xFF;
    for (size_t i : {size_t(0), size_t(1), bytes.size() - 2, bytes.size() - 1}) bytes[i] ^= 0xFF;
    std::vector<uint32_t> want(size_t(p.width) * p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            want[size_t(y) * p.width + x] =
                reference::hostPixelColour(p.format, bytes.data() + size_t(y) * p.pitch, unsigned(x));

    for (int driver : {1, 0}) {
        zemtest::TempDir dir{"zem-partial"};
        WindowRun run(
            dir, GUEST_PARTIAL,
            "ScreenDriver=" + std::to_string(driver) + "\nScreenFilter=0\nWindowSizeX=1024\nWindowSizeY=512\n");
        ASSERT_TRUE(run.waitFor("changed")) << run.log();
        std::string first;
        int wrong = -1;
        for (int attempt = 0; attempt < 50 && wrong != 0; ++attempt) {
            QThread::msleep(100);
            wrong = wrongScaledPixels(grab(QRect(0, 0, 2 * p.width, 2 * p.height)), p, want, true, first);
        }
        EXPECT_EQ(wrong, 0) << driver << ": " << first;
        ASSERT_TRUE(run.terminate()) << run.log();
    }
}

TEST(WindowUpdate, AFailedPresentShowsTheMessageAndTheWindowRecovers)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    for (int driver : {0, 1}) {
        zemtest::TempDir dir{"zem-fail"};
        WindowRun run(
            dir, GUEST_RGB16,
            "ScreenDriver=" + std::to_string(driver) + "\nScreenFilter=0\nWindowSizeX=1024\nWindowSizeY=512\n",
            {{"ZEM_FAIL_PRESENT", "1"}});
        ASSERT_TRUE(run.waitFor("Present failed\nError code 887a0005.")) << run.log();
        // The box waits for its button; Return presses it (again, should the key have come
        // before the box could take it).
        bool recovered = false;
        for (int attempt = 0; attempt < 10 && !recovered; ++attempt) {
            zemtest::xdotool(
                {"search", "--sync", "--onlyvisible", "--name", "^ZEM2$", "windowfocus", "--sync", "key", "Return"});
            recovered = run.waitFor("scr: Display change done.", 1000);
        }
        ASSERT_TRUE(recovered) << run.log();
        ASSERT_TRUE(run.waitFor("drawn")) << run.log();

        const std::vector<uint32_t> want = expectedPicture(Rgb16);
        std::string first;
        int wrong = -1;
        for (int attempt = 0; attempt < 50 && wrong != 0; ++attempt) {
            QThread::msleep(100);
            wrong = wrongScaledPixels(grab(QRect(0, 0, 1024, 512)), Rgb16, want, true, first);
        }
        EXPECT_EQ(wrong, 0) << driver << ": " << first;
        ASSERT_TRUE(run.terminate()) << run.log();
        EXPECT_EQ(countOf(run.log(), "scr: Display change done."), 1) << run.log();
    }
}

TEST(WindowUpdate, LeavingFullScreenRecreatesTheBackEndAndRedrawsEverything)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    for (int driver : {0, 1}) {
        zemtest::TempDir dir{"zem-toggle"};
        WindowRun run(dir, GUEST_TOGGLE,
                      "ScreenDriver=" + std::to_string(driver) +
                          "\nScreenFilter=0\nWindowMode=0\nKeepAspectRatio=1\nWindowSizeX=1024\nWindowSizeY=512\n");
        ASSERT_TRUE(run.waitFor("drawn")) << run.log();
        // Full screen: the picture fills the monitor's width, its height follows the ratio.
        const std::vector<uint32_t> want = expectedPicture(Rgb16);
        QImage shot;
        for (int attempt = 0; attempt < 30; ++attempt) {
            QThread::msleep(100);
            shot = grab(QRect(0, 0, 1280, 1024));
            if ((shot.pixel(1279, 0) & 0xFFFFFF) == want[511] && (shot.pixel(0, 639) & 0xFFFFFF) == want[255 * 512] &&
                (shot.pixel(0, 700) & 0xFFFFFF) == 0)
                break;
        }
        EXPECT_EQ(shot.pixel(1279, 0) & 0xFFFFFF, want[511]) << driver;
        EXPECT_EQ(shot.pixel(0, 639) & 0xFFFFFF, want[255 * 512]) << driver;
        EXPECT_EQ(shot.pixel(0, 700) & 0xFFFFFF, 0u) << driver << ": below the picture stays black";

        // New text on the host clipboard moves the guest's counter; the guest then asks for
        // a window size. The clipboard's owner (this process) must answer while it waits.
        QGuiApplication::clipboard()->setText(QStringLiteral("toggle %1").arg(driver));
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (run.log().find("toggled") == std::string::npos && std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            run.process().waitForReadyRead(20);
        }
        ASSERT_NE(run.log().find("toggled"), std::string::npos) << run.log();

        ASSERT_TRUE(run.waitFor("scr: Display change done.")) << run.log();
        std::string first;
        int wrong = -1;
        for (int attempt = 0; attempt < 50 && wrong != 0; ++attempt) {
            QThread::msleep(100);
            wrong = wrongScaledPixels(grab(QRect(0, 0, 1024, 512)), Rgb16, want, true, first);
        }
        EXPECT_EQ(wrong, 0) << driver << ": " << first;
        ASSERT_TRUE(run.terminate()) << run.log();
        EXPECT_EQ(countOf(run.log(), "scr: Display change done."), 1) << run.log();
        EXPECT_NE(run.log().find("ZEM: WM_CHANGEWINDOWMODE (FS: 1)"), std::string::npos) << run.log();
    }
}

TEST(WindowUpdate, HotKeyWritesTheScreenIntoThePicturesFolder)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    zemtest::TempDir dir{"zem-hotkey"};
    WindowRun run(dir, GUEST_RGB16, "WindowSizeX=512\nWindowSizeY=256\n",
                  {{"HOME", dir.path().string()}, {"XDG_CONFIG_HOME", (dir.path() / "config").string()}});
    ASSERT_TRUE(run.waitFor("drawn")) << run.log();
    bool written = false;
    for (int attempt = 0; attempt < 10 && !written; ++attempt) {
        zemtest::xdotool({"search", "--sync", "--onlyvisible", "--name", "^ZEM II", "windowfocus", "--sync", "key",
                          "shift+ctrl+F11"});
        written = run.waitFor("ZEM: Screen picture ", 1000);
    }
    ASSERT_TRUE(written) << run.log();
    const std::string& log = run.log();
    const size_t at = log.find("ZEM: Screen picture ") + strlen("ZEM: Screen picture ");
    const std::string path = log.substr(at, log.find_first_of("\r\n", at) - at);
    EXPECT_EQ(path.rfind((dir.path() / "Pictures" / "zem2-").string(), 0), 0u) << path;
    const QImage picture(QString::fromStdString(path));
    ASSERT_EQ(picture.width(), 512) << path;
    ASSERT_EQ(picture.height(), 256);
    const std::vector<uint32_t> want = expectedPicture(Rgb16);
    int wrong = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x) wrong += (picture.pixel(x, y) & 0xFFFFFF) != want[size_t(y) * 512 + x];
    EXPECT_EQ(wrong, 0);
    ASSERT_TRUE(run.terminate()) << run.log();
}

namespace {

QSize windowSize(unsigned long id)
{
    const QString text = QString::fromStdString(zemtest::xdotool({"getwindowgeometry", QString::number(id)}));
    const qsizetype at = text.indexOf(QStringLiteral("Geometry: "));
    if (at < 0) return {};
    const QStringList parts = text.mid(at + 10).section('\n', 0, 0).split('x');
    return parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
}

}  // namespace

TEST(WindowUpdate, ResizingKeepsTheAspectRatioOnlyWhenTheItemIsChecked)
{
    if (!haveDisplay()) {
        GTEST_SKIP() << "no X display (xvfb-run missing?)";
    }
    for (int keep : {1, 0}) {
        zemtest::TempDir dir{"zem-aspect"};
        WindowRun run(dir, GUEST_RGB16,
                      "KeepAspectRatio=" + std::to_string(keep) + "\nWindowSizeX=512\nWindowSizeY=256\n");
        ASSERT_TRUE(run.waitFor("drawn")) << run.log();
        QThread::msleep(300);
        const unsigned long id = mainWindowId();
        ASSERT_NE(id, 0u);
        // The right edge dragged to 1030: the width snaps to 1024 and the height follows.
        ASSERT_TRUE(zemtest::xdotoolDid({"windowsize", QString::number(id), "1030", "256"}));
        const QSize wanted = keep ? QSize(1024, 512) : QSize(1030, 256);
        QSize size;
        for (int attempt = 0; attempt < 30 && size != wanted; ++attempt) {
            QThread::msleep(100);
            size = windowSize(id);
        }
        EXPECT_EQ(size, wanted) << keep << ": " << size.width() << "x" << size.height();
        ASSERT_TRUE(run.terminate()) << run.log();
    }
}

namespace {

bool installed(const char* program) { return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty(); }

bool selectionOwned(const char* name)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    const bool owned = XGetSelectionOwner(display, XInternAtom(display, name, False)) != None;
    XCloseDisplay(display);
    return owned;
}

// A desktop on the test display: a window manager (openbox) and a tray host (trayer),
// each ready once it owns its selection.
class Desktop {
public:
    Desktop()
    {
        manager_.start(QStringLiteral("openbox"), {"--sm-disable"});
        waitUntil([] { return selectionOwned("WM_S0"); });
        tray_.start(QStringLiteral("trayer"),
                    {"--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
        ready_ = waitUntil([] { return selectionOwned("WM_S0") && selectionOwned("_NET_SYSTEM_TRAY_S0"); });
    }
    ~Desktop()
    {
        for (QProcess* p : {&tray_, &manager_}) {
            p->terminate();
            if (!p->waitForFinished(3000)) p->kill();
            p->waitForFinished(3000);
        }
    }
    bool ready() const { return ready_; }

private:
    static bool waitUntil(const std::function<bool()>& done)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (done()) return true;
            QThread::msleep(50);
        }
        return false;
    }
    QProcess manager_, tray_;
    bool ready_ = false;
};

struct XWindowFacts {
    int state = -1;        // WM_STATE: 1 normal, 3 iconic
    bool utility = false;  // the type a window without a taskbar button gets
    QPoint origin;         // on the screen
};

XWindowFacts windowFacts(unsigned long id)
{
    XWindowFacts facts;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return facts;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    if (XGetWindowProperty(display, id, wmState, 0, 2, False, wmState, &type, &format, &count, &after, &data) ==
            Success &&
        data && count > 0)
        facts.state = int(reinterpret_cast<long*>(data)[0]);
    if (data) XFree(data);
    data = nullptr;
    const Atom utility = XInternAtom(display, "_NET_WM_WINDOW_TYPE_UTILITY", False);
    if (XGetWindowProperty(display, id, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), 0, 8, False, XA_ATOM, &type,
                           &format, &count, &after, &data) == Success &&
        data)
        for (unsigned long i = 0; i < count; ++i) facts.utility |= reinterpret_cast<Atom*>(data)[i] == utility;
    if (data) XFree(data);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, id, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    facts.origin = QPoint(x, y);
    XCloseDisplay(display);
    return facts;
}

// The program's icon in the tray: its small window inside the tray host, or 0.
unsigned long trayIconWindow()
{
    const std::string found = zemtest::xdotool({"search", "--classname", "^zem2$"});
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    unsigned long icon = 0;
    for (const QString& line : QString::fromStdString(found).split('\n', Qt::SkipEmptyParts)) {
        XWindowAttributes a{};
        const unsigned long id = line.toULong();
        if (XGetWindowAttributes(display, id, &a) && a.map_state == IsViewable && a.width <= 48 && a.height <= 48 &&
            a.width > 1)
            icon = id;
    }
    XCloseDisplay(display);
    return icon;
}

bool clickTrayIcon(unsigned long icon, int button)
{
    // Apart from the last click by more than the double-click time: a second click soon
    // after the first is a double click, not another trigger.
    QThread::msleep(700);
    return zemtest::xdotoolDid(
        {"mousemove", "--window", QString::number(icon), "8", "8", "click", QString::number(button)});
}

bool waitForState(unsigned long id, int state)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (windowFacts(id).state == state) return true;
        QThread::msleep(100);
    }
    return false;
}

std::pair<unsigned long long, unsigned long long> updateCounts(const std::string& log)
{
    unsigned long long conversions = 0, presents = 0;
    const size_t counts = log.find(" conversions, ");
    if (counts != std::string::npos)
        sscanf(log.c_str() + log.rfind("scr: ", counts), "scr: %llu conversions, %llu presents", &conversions,
               &presents);
    return {conversions, presents};
}

#define SKIP_WITHOUT_DESKTOP(desktop)                                                        \
    if (!haveDisplay()) GTEST_SKIP() << "no X display (xvfb-run missing?)";                  \
    if (!installed("openbox") || !installed("trayer")) GTEST_SKIP() << "openbox and trayer"; \
    Desktop desktop;                                                                         \
    ASSERT_TRUE(desktop.ready())

}  // namespace

// TaskButton=1: the icon lives in the tray from the start and the window has no taskbar
// button. A click on the icon minimises and restores; each restore redraws the screen
// once; the icon's menu item Exit ends the program as the close rules say.
TEST(Desktop, TrayIconMinimisesRestoresAndExits)
{
    SKIP_WITHOUT_DESKTOP(desktop);
    zemtest::TempDir dir{"zem-tray"};
    WindowRun run(dir, GUEST_IDLE, "WindowSizeX=512\nWindowSizeY=256\n[General]\nTaskButton=1\nNoExitThroughX=1\n");
    ASSERT_TRUE(run.waitFor("drawn")) << run.log();
    QThread::msleep(500);
    EXPECT_EQ(run.log().find("No system tray here"), std::string::npos) << run.log();
    const unsigned long id = mainWindowId();
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(windowFacts(id).utility);
    unsigned long icon = 0;
    for (int attempt = 0; attempt < 50 && !icon; ++attempt, QThread::msleep(100)) icon = trayIconWindow();
    ASSERT_NE(icon, 0u) << run.log();

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(clickTrayIcon(icon, 1));
        ASSERT_TRUE(waitForState(id, IconicState)) << round;
        ASSERT_TRUE(clickTrayIcon(icon, 1));
        ASSERT_TRUE(waitForState(id, NormalState)) << round;
    }
    // The log comes through a pipe: wait for the lines before counting them.
    for (int attempt = 0; attempt < 50 && countOf(run.log(), "ZEM: WM_SIZE: Minimized = 0") < 2; ++attempt)
        run.process().waitForReadyRead(100);
    EXPECT_EQ(countOf(run.log(), "ZEM: WM_SIZE: Minimized = 1"), 2) << run.log();
    EXPECT_EQ(countOf(run.log(), "ZEM: WM_SIZE: Minimized = 0"), 2) << run.log();

    // The menu's Exit (its accelerator E) ends the program although the close button may not.
    ASSERT_TRUE(clickTrayIcon(icon, 3));
    QThread::msleep(500);
    zemtest::xdotool({"key", "e"});
    ASSERT_TRUE(run.process().waitForFinished(15000)) << run.log();
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);
    const std::string& log = run.log();
    EXPECT_EQ(countOf(log, "ZEM: Writing INI information"), 1) << log;
    // The mode's redraw and the line (one pass or two), then one per restore.
    const auto [conversions, presents] = updateCounts(log);
    EXPECT_GE(conversions, 3u) << log;
    EXPECT_LE(conversions, 4u) << log;
}

// TaskButton=2: a taskbar button while the window shows; minimised, the window goes to
// the tray; a click on the icon brings it back with its picture and the icon goes away.
TEST(Desktop, TaskOrTrayMovesAMinimisedWindowIntoTheTray)
{
    SKIP_WITHOUT_DESKTOP(desktop);
    zemtest::TempDir dir{"zem-taskortray"};
    WindowRun run(dir, GUEST_RGB16, "ScreenFilter=0\nWindowSizeX=1024\nWindowSizeY=512\n[General]\nTaskButton=2\n");
    ASSERT_TRUE(run.waitFor("drawn")) << run.log();
    QThread::msleep(500);
    const unsigned long id = mainWindowId();
    ASSERT_NE(id, 0u);
    EXPECT_FALSE(windowFacts(id).utility);
    EXPECT_EQ(trayIconWindow(), 0u);

    // Iconic, and then withdrawn (or no longer managed) once the program hides the window
    // in the tray: a poll can see any of them.
    zemtest::xdotool({"windowminimize", QString::number(id)});
    bool minimised = false;
    for (int wait = 0; wait < 50 && !minimised; ++wait, QThread::msleep(100)) {
        minimised = windowFacts(id).state != NormalState;
    }
    ASSERT_TRUE(minimised) << run.log();
    unsigned long icon = 0;
    for (int attempt = 0; attempt < 50 && !icon; ++attempt, QThread::msleep(100)) icon = trayIconWindow();
    ASSERT_NE(icon, 0u) << run.log();

    ASSERT_TRUE(clickTrayIcon(icon, 1));
    ASSERT_TRUE(waitForState(id, NormalState)) << run.log();
    bool iconGone = false;
    for (int attempt = 0; attempt < 50 && !iconGone; ++attempt, QThread::msleep(100)) iconGone = !trayIconWindow();
    EXPECT_TRUE(iconGone);
    EXPECT_FALSE(windowFacts(id).utility);

    const std::vector<uint32_t> want = expectedPicture(Rgb16);
    std::string first;
    int wrong = -1;
    for (int attempt = 0; attempt < 50 && wrong != 0; ++attempt) {
        QThread::msleep(100);
        wrong = wrongScaledPixels(grab(QRect(windowFacts(id).origin, QSize(1024, 512))), Rgb16, want, true, first);
    }
    EXPECT_EQ(wrong, 0) << first;
    ASSERT_TRUE(run.terminate()) << run.log();
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
