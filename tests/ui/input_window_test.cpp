// Keyboard and mouse through the real window on an X display (the tests run under
// xvfb-run): keys typed with xdotool reach a guest program that echoes each ring byte
// with GetKeyState and GetCapsLock; the layout does not change the scan codes; the hot
// keys and the break key act; pointer, buttons and wheel reach the guest locations, and
// SetPointerPosition moves the X pointer.
#include "support/desktop_tools.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The sanitizer configuration forces Qt's offscreen platform, so the program opens no X
// window even under xvfb-run.
bool haveDisplay()
{
    const char* platform = getenv("QT_QPA_PLATFORM");
    return getenv("DISPLAY") != nullptr && !(platform && std::string(platform) == "offscreen");
}

using zemtest::xdotool;

// Switches the display's keyboard layout; false when the server kept its old one (some
// virtual servers ignore a new keymap).
bool setLayout(const QString& layout)
{
    zemtest::runDesktopTool(QStringLiteral("setxkbmap"), {layout});
    const std::string query = zemtest::runDesktopTool(QStringLiteral("setxkbmap"), {"-query"});
    return query.find("layout:     " + layout.toStdString() + "\n") != std::string::npos;
}

// The emulator with its window, on a guest program of tests/guest/input.
class InputRun {
public:
    InputRun(const char* image, const std::string& settings)
    {
        zemtest::writeFile(
            dir_.path() / "zem.ini",
            "[General]\nShowDialog=1\n[Emulation]\nMemory=4\n[Screen]\nWindowPosX=0\nWindowPosY=0\n" + settings);
        process_.setWorkingDirectory(QString::fromStdString(dir_.path().string()));
        // Waits return as soon as the log moves.
        process_.setReadChannel(QProcess::StandardError);
        // Keyboard and mouse log lines show when a key reached the ring.
        process_.start(QStringLiteral(ZEM2_PROGRAM),
                       {"-OS", image, "-INI", QString::fromStdString((dir_.path() / "zem.ini").string()), "-DBG",
                        QString::number(0x303)});
    }
    ~InputRun()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Waits until standard error holds `text` at or after `from`; its position, or npos.
    size_t waitFor(const std::string& text, size_t from = 0, int ms = 15000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        size_t at;
        while ((at = log().find(text, from)) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end || process_.state() == QProcess::NotRunning)
                return std::string::npos;
            process_.waitForReadyRead(20);
        }
        return at;
    }
    const std::string& log()
    {
        std::string more = process_.readAllStandardError().toStdString();
        more.erase(std::remove(more.begin(), more.end(), '\r'), more.end());
        log_ += more;
        return log_;
    }
    // Waits for the guest, then gives its window the keyboard and puts the pointer on it.
    bool focus()
    {
        if (waitFor("\nready\n") == std::string::npos) return false;
        const std::string ids =
            xdotool({"search", "--sync", "--onlyvisible", "--pid", QString::number(process_.processId())});
        window_ = QString::fromStdString(ids.substr(0, ids.find('\n')));
        if (window_.isEmpty()) return false;
        xdotool({"windowfocus", "--sync", window_});
        xdotool({"mousemove", "--window", window_, "4", "4"});
        return waitFor("ZEM: New active state: 1") != std::string::npos;
    }
    const QString& window() const { return window_; }
    QProcess& process() { return process_; }

    // The ring bytes the guest echoed ("k 000000xx ..." lines), from `from` on.
    std::vector<int> keys(size_t from = 0)
    {
        std::vector<int> bytes;
        std::string text(1, '\n');
        text += log().substr(from);
        for (size_t at = text.find("\nk 000000"); at != std::string::npos; at = text.find("\nk 000000", at + 1))
            if (at + 12 <= text.size()) bytes.push_back(std::stoi(text.substr(at + 9, 2), nullptr, 16));
        return bytes;
    }
    // Waits until the guest has echoed `count` bytes after `from`.
    std::vector<int> waitForKeys(size_t count, size_t from = 0)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (keys(from).size() < count && std::chrono::steady_clock::now() < end) process_.waitForReadyRead(20);
        return keys(from);
    }

private:
    zemtest::TempDir dir_{"zem-input"};
    QProcess process_;
    std::string log_;
    QString window_;
};

std::vector<int> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The whole echoed line of the n-th key byte after `from`.
std::string keyLine(const std::string& log, int n, size_t from = 0)
{
    size_t at = from;
    for (int i = 0; i <= n; ++i) {
        at = log.find("\nk ", at);
        if (at == std::string::npos) return {};
        ++at;
    }
    return log.substr(at, log.find('\n', at) - at);
}

#define NEED_DISPLAY() \
    if (!haveDisplay()) GTEST_SKIP() << "no X display (xvfb-run missing?)"

}  // namespace

TEST(InputWindow, TypedTextAndSpecialKeysReachTheGuest)
{
    NEED_DISPLAY();
    InputRun run(GUEST_ECHO_KEYS, "WindowMode=1\n[Keyboard]\nKeyboardDriver=1\n");
    ASSERT_TRUE(run.focus()) << run.log();
    xdotool({"type", "--delay", "15", "Hello, QL 123!"});
    xdotool({"key", "--delay", "15", "Left", "Up", "F1", "shift+Return"});
    const std::vector<int> want = bytesOf("Hello, QL 123!") + std::vector<int>{0xC0, 0xD0, 0xE8, 0xFE};
    EXPECT_EQ(run.waitForKeys(want.size()), want) << run.log();

    // While Shift is held, GetKeyState reports it and its matrix bit (row 7, column 1).
    const size_t mark = run.log().size();
    xdotool({"keydown", "shift"});
    xdotool({"key", "a"});
    xdotool({"keyup", "shift"});
    ASSERT_EQ(run.waitForKeys(1, mark), std::vector<int>{'A'}) << run.log();
    const std::string line = keyLine(run.log(), 0, mark - 1);
    EXPECT_NE(line.find("s 00000001 c 00000000 m 00 00 00 00 "), std::string::npos) << line;
    EXPECT_NE(line.find(" 01 00 00 00 00 00 00 00 00  "), std::string::npos) << line;

    // Caps Lock: its own code, and GetCapsLock follows the host's lock.
    const size_t caps = run.log().size();
    xdotool({"key", "Caps_Lock"});
    xdotool({"key", "a"});
    xdotool({"key", "Caps_Lock"});
    xdotool({"key", "a"});
    EXPECT_EQ(run.waitForKeys(4, caps), (std::vector<int>{0xE0, 'A', 0xE0, 'a'})) << run.log();
    EXPECT_NE(keyLine(run.log(), 1, caps - 1).find("c 000000ff"), std::string::npos) << run.log();
    EXPECT_NE(keyLine(run.log(), 3, caps - 1).find("c 00000000"), std::string::npos) << run.log();
}

TEST(InputWindow, KeyLatency)
{
    NEED_DISPLAY();
    InputRun run(GUEST_ECHO_KEYS, "WindowMode=1\n[Keyboard]\nKeyboardDriver=1\n");
    ASSERT_TRUE(run.focus()) << run.log();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const unsigned keyB = XKeysymToKeycode(display, XK_b);
    // From the moment the key event goes to the X server to the driver's character log
    // line (written just before the byte goes into the ring), and to the guest's echo.
    std::vector<double> toRing, toEcho;
    for (int i = 0; i < 30; ++i) {
        QThread::msleep(20);
        const size_t mark = run.log().size();
        QElapsedTimer sent;
        sent.start();
        XTestFakeKeyEvent(display, keyB, True, CurrentTime);
        XFlush(display);
        const size_t ring = run.waitFor("CHAR: 62", mark, 5000);
        const double ringMs = double(sent.nsecsElapsed()) / 1e6;
        const size_t echo = run.waitFor("k 00000062", mark, 5000);
        const double echoMs = double(sent.nsecsElapsed()) / 1e6;
        XTestFakeKeyEvent(display, keyB, False, CurrentTime);
        XFlush(display);
        ASSERT_NE(ring, std::string::npos) << run.log();
        ASSERT_NE(echo, std::string::npos) << run.log();
        toRing.push_back(ringMs);
        toEcho.push_back(echoMs);
    }
    XCloseDisplay(display);
    std::sort(toRing.begin(), toRing.end());
    std::sort(toEcho.begin(), toEcho.end());
    printf("key latency: median %.2f ms to the ring, %.2f ms to the guest's echo (max %.2f / %.2f)\n",
           toRing[toRing.size() / 2], toEcho[toEcho.size() / 2], toRing.back(), toEcho.back());
    RecordProperty("median_ring_us", int(toRing[toRing.size() / 2] * 1000));
    // A key must not wait for the next poll or a guest time slice to arrive.
    EXPECT_LT(toRing[toRing.size() / 2], 20.0);
}

TEST(InputWindow, ScanCodeDriverPutsPrefixesAndLeavesNumLockOut)
{
    NEED_DISPLAY();
    InputRun run(GUEST_ECHO_KEYS, "WindowMode=1\n[Keyboard]\nKeyboardDriver=0\n");
    ASSERT_TRUE(run.focus()) << run.log();
    // (xdotool presses the left modifier keys along with right ones it is asked for, so
    // the right-hand modifiers are left to the unit tests.)
    xdotool({"key", "--delay", "15", "KP_Enter", "Num_Lock", "Left", "KP_Divide"});
    xdotool({"key", "Num_Lock"});
    xdotool({"keydown", "shift"});
    xdotool({"key", "a"});
    xdotool({"keyup", "shift"});
    const std::vector<int> want{0xE0, 0x1C, 0xE0, 0x9C, 0xE0, 0x4B, 0xE0, 0xCB,
                                0xE0, 0x35, 0xE0, 0xB5, 0x2A, 0x1E, 0x9E, 0xAA};
    EXPECT_EQ(run.waitForKeys(want.size()), want) << run.log();
    // The scan-code driver keeps no matrix; GetKeyState still reports Shift.
    const std::string shifted = keyLine(run.log(), int(want.size()) - 3);
    EXPECT_NE(shifted.find("k 0000001e s 00000001 c 00000000 m 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"),
              std::string::npos)
        << shifted;
}

// The same physical keys give the same scan codes under a US and a German layout.
struct LayoutCase {
    const char* layout;
    QStringList keys;  // key names of that layout for the physical keys A, Q, Y, Z, 2
};

class Layouts : public testing::TestWithParam<LayoutCase> {};

TEST_P(Layouts, ScanCodesFollowThePhysicalKeys)
{
    NEED_DISPLAY();
    const LayoutCase& c = GetParam();
    if (!setLayout(c.layout)) GTEST_SKIP() << "this X server keeps its keymap: no layout " << c.layout;
    InputRun run(GUEST_ECHO_KEYS, "WindowMode=1\n[Keyboard]\nKeyboardDriver=0\n");
    const bool focused = run.focus();
    if (focused) xdotool(QStringList{"key", "--delay", "15"} + c.keys);
    const std::vector<int> got = run.waitForKeys(10);
    zemtest::runDesktopTool(QStringLiteral("setxkbmap"), {"us"});
    ASSERT_TRUE(focused) << run.log();
    EXPECT_EQ(got, (std::vector<int>{0x1E, 0x9E, 0x10, 0x90, 0x15, 0x95, 0x2C, 0xAC, 0x03, 0x83})) << run.log();
}

INSTANTIATE_TEST_SUITE_P(Keyboard, Layouts,
                         testing::Values(LayoutCase{"us", {"a", "q", "y", "z", "2"}},
                                         LayoutCase{"de", {"a", "q", "z", "y", "2"}}),
                         [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.layout; });

TEST(InputWindow, GermanLayoutThroughTheCharacterTable)
{
    NEED_DISPLAY();
    if (!setLayout("de")) GTEST_SKIP() << "this X server keeps its keymap: no German layout";
    InputRun run(GUEST_ECHO_KEYS, "WindowMode=1\n[Keyboard]\nKeyboardDriver=1\n");
    const bool focused = run.focus();
    // AltGr+Q is the at-sign; the key right of L types o-umlaut, the key right of P u-umlaut.
    if (focused) xdotool({"key", "--delay", "15", "ISO_Level3_Shift+q", "odiaeresis", "y"});
    const std::vector<int> got = run.waitForKeys(3);
    zemtest::runDesktopTool(QStringLiteral("setxkbmap"), {"us"});
    ASSERT_TRUE(focused) << run.log();
    EXPECT_EQ(got, (std::vector<int>{0x40, 0x84, 'y'})) << run.log();
}

struct DriverCase {
    const char* name;
    int driver;
    const char* breakKey;
};

class HotKeys : public testing::TestWithParam<DriverCase> {};

TEST_P(HotKeys, FullScreenBreakAndExit)
{
    NEED_DISPLAY();
    const DriverCase& c = GetParam();
    InputRun run(GUEST_ECHO_KEYS, "WindowMode=1\nWindowSizeX=512\nWindowSizeY=256\n[Keyboard]\nKeyboardDriver=" +
                                      std::to_string(c.driver) + "\n");
    ASSERT_TRUE(run.focus()) << run.log();

    // Full screen and back; each time the window comes back, it gets the keyboard again.
    const auto toggleTo = [&](const char* mode, const std::string& size) {
        const size_t mark = run.log().size();
        xdotool({"key", "shift+ctrl+F12"});
        EXPECT_NE(run.waitFor(mode, mark), std::string::npos) << run.log();
        std::string geometry;
        for (int i = 0; i < 50 && geometry.find(size) == std::string::npos; ++i) {
            QThread::msleep(100);
            geometry = xdotool({"getwindowgeometry", run.window()});
        }
        EXPECT_NE(geometry.find(size), std::string::npos) << geometry;
        QThread::msleep(200);
        xdotool({"windowfocus", "--sync", run.window()});
        if (const size_t lost = run.log().rfind("KBD: Window inactive"); lost != std::string::npos) {
            EXPECT_NE(run.waitFor("KBD: Window active", lost), std::string::npos) << run.log();
        }
    };
    toggleTo("ZEM: WM_CHANGEWINDOWMODE (FS: 0)", "1280x1024");
    toggleTo("ZEM: WM_CHANGEWINDOWMODE (FS: 1)", "512x256");

    // The break key: the guest takes a trace exception (it armed the byte at $2817F).
    xdotool({"key", c.breakKey});
    EXPECT_NE(run.waitFor("break\n"), std::string::npos) << run.log();

    // The exit hot key ends the program in order.
    xdotool({"key", "shift+ctrl+Scroll_Lock"});
    ASSERT_TRUE(run.process().waitForFinished(15000)) << run.log();
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process().exitCode(), 0);
    const std::string& log = run.log();
    const size_t quit = log.find("ZEM: QuitEmulation"), keyboard = log.find("ZEM: Free keyboard"),
                 done = log.find("ZEM: ZEM exited normally! :-)");
    EXPECT_NE(quit, std::string::npos) << log;
    EXPECT_LT(quit, keyboard) << log;
    EXPECT_LT(keyboard, done) << log;
    EXPECT_EQ(done == std::string::npos, false) << log;
}

INSTANTIATE_TEST_SUITE_P(Drivers, HotKeys,
                         testing::Values(DriverCase{"VrosE", 0, "Pause"}, DriverCase{"Windows", 1, "ctrl+Pause"}),
                         [](const testing::TestParamInfo<DriverCase>& info) { return std::string(info.param.name); });

// Pointer place, buttons and wheel as the guest reads them; window twice the guest size,
// or full screen with the aspect kept (the picture 1280 x 640 at the top).
struct PointerCase {
    const char* name;
    const char* screen;
    int x, y;            // where the pointer goes (screen coordinates)
    int guestX, guestY;  // what the guest reads
    int hostX, hostY;    // where guest (100, 50) lies on the screen
};

class Pointer : public testing::TestWithParam<PointerCase> {};

TEST_P(Pointer, ReachesTheGuestAndFollowsIt)
{
    NEED_DISPLAY();
    const PointerCase& c = GetParam();
    InputRun run(GUEST_POINTER, std::string(c.screen) + "[Keyboard]\nKeyboardDriver=1\n");
    ASSERT_TRUE(run.focus()) << run.log();
    const auto report = [&](const char* key) {
        const size_t mark = run.log().size();
        xdotool({"key", key});
        run.waitForKeys(1, mark);
        return keyLine(run.log(), 0, mark - 1);
    };
    auto hex = [](int v) {
        char text[16];
        snprintf(text, sizeof text, "%08x", unsigned(v));
        return std::string(text);
    };

    xdotool({"mousemove", QString::number(c.x), QString::number(c.y)});
    std::string line = report("a");
    EXPECT_NE(line.find("x " + hex(c.guestX) + " y " + hex(c.guestY) + " b 00000000 w 00000000"), std::string::npos)
        << line;

    xdotool({"mousedown", "1"});
    xdotool({"mousedown", "2"});
    line = report("b");
    xdotool({"mouseup", "1"});
    xdotool({"mouseup", "2"});
    EXPECT_NE(line.find(" b 00000005 "), std::string::npos) << line;

    // Two notches away from the user, one towards: three lines a notch.
    xdotool({"click", "--repeat", "2", "4"});
    xdotool({"click", "5"});
    line = report("c");
    EXPECT_NE(line.find(" b 00000000 w 00000003"), std::string::npos) << line;

    // The guest asks for its pointer at (100, 50): the X pointer goes there with the
    // next host move, which the guest does not see.
    ASSERT_EQ(report("shift+p").substr(0, 10), "k 00000050") << run.log();
    ASSERT_NE(run.waitFor("moved\n"), std::string::npos) << run.log();
    xdotool({"mousemove", QString::number(c.x + 3), QString::number(c.y + 3)});
    std::string location;
    const std::string want = "x:" + std::to_string(c.hostX) + " y:" + std::to_string(c.hostY) + " ";
    for (int i = 0; i < 30 && location.find(want) == std::string::npos; ++i) {
        QThread::msleep(50);
        location = xdotool({"getmouselocation"});
    }
    EXPECT_NE(location.find(want), std::string::npos) << location;
    line = report("d");
    EXPECT_NE(line.find("x " + hex(100) + " y " + hex(50)), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Scales, Pointer,
                         testing::Values(PointerCase{"WindowTwice", "WindowMode=1\nWindowSizeX=1024\nWindowSizeY=512\n",
                                                     301, 151, 151, 76, 200, 100},
                                         PointerCase{"FullScreenKeptAspect", "WindowMode=0\nKeepAspectRatio=1\n", 640,
                                                     320, 256, 128, 250, 125}),
                         [](const testing::TestParamInfo<PointerCase>& info) { return std::string(info.param.name); });

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
