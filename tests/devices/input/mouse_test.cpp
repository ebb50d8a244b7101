// The mouse: client points to guest pixels at several scales, with kept aspect and in
// full screen; buttons, wheel steps and SetPointerPosition's deferred pointer move.
#include "input_fixture.h"

namespace {

using namespace inputtest;

struct MapCase {
    const char* name;
    MouseGeometry geometry;
    int clientX, clientY;
    int guestX, guestY;
};

void PrintTo(const MapCase& c, std::ostream* os) { *os << c.name; }

class PointerMapping : public InputTest, public ::testing::WithParamInterface<MapCase> {};

TEST_P(PointerMapping, ReachesTheGuestLocations)
{
    const MapCase& c = GetParam();
    mouseMove(c.geometry, c.clientX, c.clientY);
    EXPECT_EQ(guestReadWord(MouseAddress::X), c.guestX);
    EXPECT_EQ(guestReadWord(MouseAddress::Y), c.guestY);
}

// 512 x 256 guest screen unless said otherwise.
INSTANTIATE_TEST_SUITE_P(
    Scales, PointerMapping,
    ::testing::Values(MapCase{"OneToOneOrigin", {0, 0, 512, 256, 512, 256}, 0, 0, 0, 0},
                      MapCase{"OneToOneLastPixel", {0, 0, 512, 256, 512, 256}, 511, 255, 511, 255},
                      MapCase{"TwiceReachesTheSize", {0, 0, 1024, 512, 512, 256}, 1023, 511, 512, 256},
                      MapCase{"TwiceRoundsHalfUp", {0, 0, 1024, 512, 512, 256}, 513, 257, 257, 129},
                      MapCase{"ThreeTimes", {0, 0, 1536, 768, 512, 256}, 767, 383, 256, 128},
                      MapCase{"StretchedWithoutAspect", {0, 0, 800, 300, 512, 256}, 400, 150, 256, 128},
                      MapCase{"StretchedCorner", {0, 0, 800, 300, 512, 256}, 799, 299, 511, 255},
                      MapCase{"FullScreenKeptAspect", {0, 0, 1280, 640, 512, 256}, 640, 320, 256, 128},
                      MapCase{"FullScreenBarBelowClamps", {0, 0, 1280, 640, 512, 256}, 640, 900, 256, 256},
                      MapCase{"FullScreenBarBesideClamps", {0, 0, 1365, 1024, 640, 480}, 1400, 512, 640, 240},
                      MapCase{"FullScreenStretched", {0, 0, 1280, 1024, 512, 256}, 1280, 1024, 512, 256},
                      MapCase{"PictureOffsetInTheClient", {100, 50, 1024, 512, 512, 256}, 100, 50, 0, 0},
                      MapCase{"LeftOfThePictureClamps", {100, 50, 1024, 512, 512, 256}, 20, 562, 0, 256},
                      MapCase{"HighColourScreen", {0, 0, 1600, 1200, 800, 600}, 1599, 1, 800, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputTest, GuestToClientRoundTrips)
{
    const MouseGeometry g{0, 0, 1536, 768, 512, 256};
    for (int x : {0, 1, 100, 511})
        for (int y : {0, 3, 255}) {
            const GuestPoint client = mouseGuestToClient(g, x, y);
            const GuestPoint back = mouseClientToGuest(g, client.x, client.y);
            EXPECT_EQ(back.x, x);
            EXPECT_EQ(back.y, y);
        }
}

TEST_F(InputTest, SetPointerPositionMovesTheHostPointerOnTheNextMove)
{
    const MouseGeometry g{0, 0, 1024, 512, 512, 256};
    mouseMove(g, 10, 10);
    cpu.D[3] = (100u << 16) | 50u;
    EXPECT_EQ(inpSetPointerPosition(3), HostCallResult::KeepRegisters);
    EXPECT_TRUE(host.moves.empty());
    // The next host move goes to the wanted place and is not reported to the guest.
    mouseMove(g, 600, 400);
    ASSERT_EQ(host.moves.size(), 1u);
    EXPECT_EQ(host.moves[0], (std::pair<int, int>{200, 100}));
    EXPECT_EQ(guestReadWord(MouseAddress::X), 5);
    EXPECT_EQ(guestReadWord(MouseAddress::Y), 5);
    // The one after it is.
    mouseMove(g, 200, 100);
    EXPECT_EQ(host.moves.size(), 1u);
    EXPECT_EQ(guestReadWord(MouseAddress::X), 100);
    EXPECT_EQ(guestReadWord(MouseAddress::Y), 50);
}

TEST_F(InputTest, ButtonsSetAndClearTheirBits)
{
    guestWriteByte(MouseAddress::Buttons, 0);
    mouseButton(MouseButton::Left, true);
    mouseButton(MouseButton::Middle, true);
    EXPECT_EQ(guestReadByte(MouseAddress::Buttons), 0x05);
    mouseButton(MouseButton::Right, true);
    mouseButton(MouseButton::Left, false);
    EXPECT_EQ(guestReadByte(MouseAddress::Buttons), 0x06);
    // Switching away lets go of every button without an up event.
    mouseReleaseButtons();
    EXPECT_EQ(guestReadByte(MouseAddress::Buttons), 0x00);
}

TEST_F(InputTest, WheelCountsWholeStepsInLines)
{
    guestWriteWord(MouseAddress::Wheel, 0);
    mouseWheel(60);
    EXPECT_EQ(guestReadWord(MouseAddress::Wheel), 0);
    mouseWheel(60);
    EXPECT_EQ(guestReadWord(MouseAddress::Wheel), 3);
    mouseWheel(-360);
    EXPECT_EQ(guestReadWord(MouseAddress::Wheel), uint16_t(-6));
    // The host's own setting; none reported means three.
    mouseSetWheelLines(5);
    mouseWheel(240);
    EXPECT_EQ(guestReadWord(MouseAddress::Wheel), 4);
    mouseSetWheelLines(0);
    EXPECT_EQ(mouseWheelLines(), 3);
    // The counter wraps at 16 bits.
    guestWriteWord(MouseAddress::Wheel, 0xFFFF);
    mouseWheel(120);
    EXPECT_EQ(guestReadWord(MouseAddress::Wheel), 2);
    // A remainder carries in both directions.
    guestWriteWord(MouseAddress::Wheel, 0);
    mouseWheel(-100);
    mouseWheel(-30);
    EXPECT_EQ(guestReadWord(MouseAddress::Wheel), uint16_t(-3));
    mouseWheel(10);
    mouseWheel(120);
    EXPECT_EQ(guestReadWord(MouseAddress::Wheel), 0);
}

}  // namespace
