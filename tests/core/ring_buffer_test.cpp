#include "core/ring_buffer.h"

#include <gtest/gtest.h>

#include <thread>

TEST(RingBuffer, HoldsOneByteLessThanItsSizeAndWraps)
{
    RingBuffer ring(512);
    for (unsigned i = 0; i < 511; ++i) ASSERT_TRUE(ring.put(uint8_t(i)));
    EXPECT_TRUE(ring.full());
    EXPECT_FALSE(ring.put(0xEE));  // dropped
    EXPECT_EQ(ring.count(), 511u);
    for (unsigned i = 0; i < 300; ++i) ASSERT_EQ(ring.get(), uint8_t(i));
    // Refill across the end of the storage; order is kept.
    for (unsigned i = 0; i < 300; ++i) ASSERT_TRUE(ring.put(uint8_t(0x80 + i)));
    EXPECT_TRUE(ring.full());
    for (unsigned i = 300; i < 511; ++i) ASSERT_EQ(ring.get(), uint8_t(i));
    for (unsigned i = 0; i < 300; ++i) ASSERT_EQ(ring.get(), uint8_t(0x80 + i));
    EXPECT_TRUE(ring.empty());
    EXPECT_FALSE(ring.get().has_value());
}

TEST(RingBuffer, HandlesFindOnlyRegisteredRings)
{
    RingBuffer a(16), b(16);
    uint32_t ha = ringRegister(&a);
    uint32_t hb = ringRegister(&b);
    ASSERT_NE(ha, 0u);
    ASSERT_NE(hb, 0u);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(ringFromHandle(ha), &a);
    EXPECT_EQ(ringFromHandle(hb), &b);
    EXPECT_EQ(ringFromHandle(0), nullptr);
    EXPECT_EQ(ringFromHandle(0xDEADABCD), nullptr);
    ringUnregister(ha);
    EXPECT_EQ(ringFromHandle(ha), nullptr);
    // The freed slot comes back under a new handle: the old one stays dead.
    uint32_t again = ringRegister(&a);
    EXPECT_NE(again, ha);
    EXPECT_EQ(ringFromHandle(ha), nullptr);
    EXPECT_EQ(ringFromHandle(again), &a);
    ringUnregister(again);
    ringUnregister(hb);
}

TEST(RingBuffer, ProducerAndConsumerThreadsLoseNothing)
{
    RingBuffer ring(64);
    constexpr unsigned Total = 20000;
    std::thread producer([&] {
        for (unsigned i = 0; i < Total;) {
            if (ring.put(uint8_t(i)))
                ++i;
            else
                std::this_thread::yield();
        }
    });
    unsigned received = 0;
    bool inOrder = true;
    while (received < Total) {
        if (std::optional<uint8_t> b = ring.get()) {
            inOrder = inOrder && *b == uint8_t(received);
            ++received;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(ring.empty());
}
