// The window's translation of Qt events on the offscreen platform: key events by their
// native scan code (kernel code + 8, as X11 and Wayland report it) with the text the
// layout typed, pointer and wheel events, in the keyboard's and mouse's guest bytes.
#include "config/settings.h"
#include "core/ring_buffer.h"
#include "cpu/memory.h"
#include "display/screen_state.h"
#include "ui/window_input.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Native codes of some physical keys.
constexpr quint32 KeyA = 30 + 8, KeyQ = 16 + 8, KeyY = 21 + 8, KeyZ = 44 + 8, RightAlt = 100 + 8, Left = 105 + 8;

class WindowInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(2)); }
    static void TearDownTestSuite() { memoryRelease(); }
    void SetUp() override
    {
        settings = Settings{};
        keyboardSetLockKeysReader([]() -> std::optional<HostLockKeys> { return HostLockKeys{}; });
        ASSERT_TRUE(keyboardInit());
        mouseInit();
    }
    void TearDown() override { keyboardClose(); }

    static void key(QEvent::Type type, quint32 native, const QString& text = {},
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        windowKeyEvent(QKeyEvent(type, 0, modifiers, native, 0, 0, text));
    }
    static void tap(quint32 native, const QString& text = {})
    {
        key(QEvent::KeyPress, native, text);
        key(QEvent::KeyRelease, native);
    }
    static std::vector<uint8_t> ring()
    {
        std::vector<uint8_t> bytes;
        while (std::optional<uint8_t> b = keyboardRing()->get()) bytes.push_back(*b);
        return bytes;
    }
};

TEST_F(WindowInput, ScanCodesFollowThePhysicalKeyWhateverTheLayoutTypes)
{
    settings.KeyboardDriver = KeyboardDriverId::VrosE;
    // US layout: Y and Z as printed; German layout: the same keys type Z and Y.
    tap(KeyY, "y");
    tap(KeyZ, "z");
    const std::vector<uint8_t> us = ring();
    tap(KeyY, "z");
    tap(KeyZ, "y");
    EXPECT_EQ(ring(), us);
    EXPECT_EQ(us, (std::vector<uint8_t>{0x15, 0x95, 0x2C, 0xAC}));
}

TEST_F(WindowInput, WindowsDriverTakesTheLayoutsCharacters)
{
    settings.KeyboardDriver = KeyboardDriverId::Windows;
    // German layout: AltGr+Q types the at-sign, the Y key types z, A with Shift types A.
    key(QEvent::KeyPress, RightAlt);
    tap(KeyQ, "@");
    key(QEvent::KeyRelease, RightAlt);
    tap(KeyY, "z");
    tap(KeyA, QString::fromUtf8("ä"));
    tap(Left);
    EXPECT_EQ(ring(), (std::vector<uint8_t>{0x40, 0x7A, 0x80, 0xC0}));
}

TEST_F(WindowInput, AutoRepeatIsTheHostsInTheWindowsDriverOnly)
{
    for (int driver : {KeyboardDriverId::VrosE, KeyboardDriverId::Windows}) {
        settings.KeyboardDriver = uint8_t(driver);
        key(QEvent::KeyPress, KeyA, "a");
        // X11 reports a repeat as a release and a press, both marked.
        windowKeyEvent(QKeyEvent(QEvent::KeyRelease, 0, Qt::NoModifier, KeyA, 0, 0, {}, true));
        windowKeyEvent(QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, KeyA, 0, 0, "a", true));
        key(QEvent::KeyRelease, KeyA);
        const std::vector<uint8_t> want =
            driver == KeyboardDriverId::VrosE ? std::vector<uint8_t>{0x1E, 0x9E} : std::vector<uint8_t>{0x61, 0x61};
        EXPECT_EQ(ring(), want);
    }
}

TEST_F(WindowInput, PointerAndWheelEvents)
{
    guestScreen.width = 512;
    guestScreen.height = 256;
    const QPointF at(513, 257);
    windowMouseMove(QMouseEvent(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier),
                    QRect(0, 0, 1024, 512));
    EXPECT_EQ(guestReadWord(MouseAddress::X), 257);
    EXPECT_EQ(guestReadWord(MouseAddress::Y), 129);
    windowMouseButton(QMouseEvent(QEvent::MouseButtonPress, at, at, Qt::RightButton, Qt::RightButton, Qt::NoModifier),
                      true);
    EXPECT_EQ(guestReadByte(MouseAddress::Buttons), 0x02);
    windowActivation(false);
    EXPECT_EQ(guestReadByte(MouseAddress::Buttons), 0x00);
    guestWriteWord(MouseAddress::Wheel, 0);
    windowWheel(QWheelEvent(at, at, QPoint(), QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false));
    EXPECT_EQ(guestReadWord(MouseAddress::Wheel), uint16_t(-6));
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
