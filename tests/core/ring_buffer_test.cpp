#include "core/ring_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
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

// Blocks taken at every offset and length, so runs split at the end of the storage in
// every way; the putter's answer to "full" follows each take.
TEST(RingBuffer, TakesInBlocksAcrossTheEndKeepOrder)
{
    constexpr uint32_t Size = 16;
    RingBuffer ring(Size);
    uint8_t nextIn = 0, nextOut = 0;
    uint8_t block[Size];
    for (uint32_t round = 0; round < 400; ++round) {
        while (ring.put(nextIn)) ++nextIn;
        ASSERT_TRUE(ring.full());
        const uint32_t max = 1 + round % (Size - 1);
        const uint32_t got = ring.take(block, max);
        ASSERT_EQ(got, max);
        ASSERT_FALSE(ring.full()) << "round " << round;
        ASSERT_EQ(ring.count(), Size - 1 - got);
        for (uint32_t i = 0; i < got; ++i) ASSERT_EQ(block[i], nextOut++) << "round " << round;
        if (round % 7 == 0) {  // drain all now and then, so the fill starts at a new offset
            const uint32_t rest = ring.take(block, Size);
            for (uint32_t i = 0; i < rest; ++i) ASSERT_EQ(block[i], nextOut++);
            ASSERT_TRUE(ring.empty());
        }
    }
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

// The writer thread fills and now and then clears (as a port dropping a job does), the
// reader thread drains in blocks. Clears may only drop bytes. One clear at most between
// two takes drops at most what the ring holds, so each byte that arrives follows the one
// before it by 1 to Size steps: a stale or repeated byte shows as a step of 0 or back.
TEST(RingBuffer, ClearsRacingWithTakesOnlyDropBytes)
{
    constexpr uint32_t Size = 64;
    RingBuffer ring(Size);
    constexpr unsigned Total = 200000;
    std::atomic<bool> done{false};
    std::atomic<unsigned> takes{0};
    std::thread producer([&] {
        unsigned takesAtClear = 0;
        for (unsigned i = 1; i <= Total;) {
            if (i % 97 == 0 && takes.load() != takesAtClear) {
                takesAtClear = takes.load();
                ring.clear();
            }
            if (ring.put(uint8_t(i)))
                ++i;
            else
                std::this_thread::yield();
        }
        done = true;
    });
    unsigned received = 0, badSteps = 0, overfull = 0;
    uint8_t last = 0;
    uint8_t block[Size];
    for (;;) {
        const bool finished = done.load();
        if (ring.count() > Size - 1) ++overfull;
        const uint32_t got = ring.take(block, Size);
        takes.fetch_add(1);
        for (uint32_t i = 0; i < got; ++i) {
            const uint8_t step = uint8_t(block[i] - last);
            if (step == 0 || step > Size) ++badSteps;
            last = block[i];
        }
        received += got;
        if (finished && got == 0) break;
        if (got == 0) std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(badSteps, 0u);
    EXPECT_EQ(overfull, 0u);
    EXPECT_GT(received, Total / 4);  // a clear per 97 puts drops at most 63
    EXPECT_LE(received, Total);
    EXPECT_TRUE(ring.empty());
}

// Handles are looked up on the processor thread while device threads register and drop
// their own rings: a lookup yields the ring its handle was made for, or nothing.
TEST(RingBuffer, LookupsRacingWithRegistrationNeverYieldAnotherRing)
{
    RingBuffer mine(16);
    const uint32_t myHandle = ringRegister(&mine);
    ASSERT_NE(myHandle, 0u);
    std::array<RingBuffer, 4> others{RingBuffer(16), RingBuffer(16), RingBuffer(16), RingBuffer(16)};
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> lastDropped{0};
    std::thread churn([&] {
        while (!stop.load()) {
            for (RingBuffer& ring : others) {
                const uint32_t handle = ringRegister(&ring);
                ringUnregister(handle);
                lastDropped = handle;
            }
        }
    });
    unsigned wrong = 0;
    for (unsigned i = 0; i < 200000; ++i) {
        if (ringFromHandle(myHandle) != &mine) ++wrong;
        if (ringFromHandle(lastDropped.load()) == &mine) ++wrong;
    }
    stop = true;
    churn.join();
    ringUnregister(myHandle);
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(ringFromHandle(myHandle), nullptr);
}
