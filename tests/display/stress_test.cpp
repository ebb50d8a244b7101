// No change is lost: one thread writes and marks as the processor does while another
// runs update passes; afterwards the host picture equals a full conversion.
#include "screen_fixture.h"

#include <atomic>
#include <random>
#include <thread>

using Stress = ScreenFixture;

TEST_F(Stress, ConcurrentWritesAndUpdatesEndInTheFullPicture)
{
    for (unsigned bits : {16u, 8u, 2u}) {
        SCOPED_TRACE(bits);
        makeScreen(800, 600, bits);
        screenRequestFullRedraw();  // memory still holds the last round's picture
        screenUpdateSurface(frame.surface());
        std::atomic<bool> writing{true};
        std::atomic<unsigned> passes{0};
        std::thread updater([&] {
            while (writing.load()) {
                if (screenUpdateSurface(frame.surface())) passes.fetch_add(1);
                std::this_thread::yield();
            }
        });
        std::mt19937 random(bits);
        constexpr unsigned Writes = 400000;
        for (unsigned i = 0; i < Writes; ++i) {
            const unsigned size = 1u << (random() % 3);
            const size_t offset = random() % (guestScreen.size - size + 1);
            const uint32_t value = random();
            memcpy(screenAt(offset), &value, size);
            screenNoteWrite(screenAt(offset), size);
            if (i % 4096 == 0) {  // now and then a host copy over several lines
                const size_t length = random() % (3 * guestScreen.pitch);
                const size_t from = random() % (guestScreen.size - length);
                memset(screenAt(from), int(value >> 8), length);
                screenNoteBytes(screenAt(from), length);
            }
        }
        writing.store(false);
        updater.join();
        EXPECT_GT(passes.load(), 1u);  // the updater really ran alongside the writes
        screenUpdateSurface(frame.surface());

        HeadlessFrame full;
        full.resize(guestScreen.width, guestScreen.height, guestScreen.hostFormat);
        screenConvertAll(full.surface());
        size_t differences = 0, first = 0;
        for (size_t i = 0; i < full.bytes().size(); ++i)
            if (full.bytes()[i] != frame.bytes()[i] && differences++ == 0) first = i;
        EXPECT_EQ(differences, 0u) << "first at host byte " << first << " (line " << first / full.pitch() << ")";
    }
}
