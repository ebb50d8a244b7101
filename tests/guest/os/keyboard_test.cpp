// The guest system's key reading, compiled for the host: the bytes the keyboard ring
// brings in either driver's form become the same key codes.
#include <gtest/gtest.h>

#include <vector>

extern "C" {
unsigned char cfg_keyboard_driver;
void kbd_take_byte(unsigned long byte);
int kbd_get(void);
}

namespace {

std::vector<int> keysFrom(int driver, const std::vector<unsigned>& bytes)
{
    cfg_keyboard_driver = (unsigned char)driver;
    for (unsigned b : bytes) kbd_take_byte(b);
    std::vector<int> keys;
    for (int k; (k = kbd_get()) >= 0;) keys.push_back(k);
    return keys;
}

TEST(GuestKeyboard, ScanCodesBecomeKeyCodes)
{
    // a, Shift+a, Shift+1, released Shift then 1, Enter, Backspace.
    EXPECT_EQ(keysFrom(0, {0x1E, 0x9E, 0x2A, 0x1E, 0x9E, 0x02, 0x82, 0xAA, 0x02, 0x82, 0x1C, 0x9C, 0x0E, 0x8E}),
              (std::vector<int>{'a', 'A', '!', '1', 0x0A, 0xC2}));
    // Extended cursor and block keys; the extended (fake) Shift of some keyboards does not shift.
    EXPECT_EQ(keysFrom(0, {0xE0, 0x48, 0xE0, 0xC8, 0xE0, 0x50, 0xE0, 0x4B, 0xE0, 0x4D, 0xE0,
                           0x47, 0xE0, 0x4F, 0xE0, 0x53, 0xE0, 0x2A, 0x1E, 0x9E, 0xE0, 0x35}),
              (std::vector<int>{0xD0, 0xD8, 0xC0, 0xC8, 0xC1, 0xC9, 0xCA, 'a', '/'}));
    // Caps Lock toggles letters only (and Shift inverts it); Ctrl+C gives 3.
    EXPECT_EQ(keysFrom(0, {0x3A, 0xBA, 0x1E, 0x02, 0x2A, 0x1E, 0xAA, 0x3A, 0xBA, 0x1D, 0x2E, 0x9D, 0x2E}),
              (std::vector<int>{'A', '1', 'a', 3, 'c'}));
}

TEST(GuestKeyboard, FinishedCodesPassUnchangedAndAFullQueueDropsTheRest)
{
    EXPECT_EQ(keysFrom(1, {'a', 0xC2, 0xD0, 0x0A, 0x1E}), (std::vector<int>{'a', 0xC2, 0xD0, 0x0A, 0x1E}));
    std::vector<unsigned> many(300, 'x');
    EXPECT_EQ(keysFrom(1, many).size(), 255u);
}

}  // namespace
