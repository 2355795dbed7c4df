// The ring between the decode and output threads, with both threads really
// running: a scripted decoder whose every sample names its frame, and a
// scripted device that checks each frame it reads follows the one before,
// rewinds as a resume does and jumps as a seek does.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "bass/logic/audio_ring.h"

namespace {

constexpr uint32_t Channels = 2;

// The decode thread: moves when asked, decodes in chunks, writes what fits.
void Produce(AudioRing& ring, uint64_t length, const std::atomic<bool>& stop) {
    uint64_t at = ring.WriteFrame();
    std::vector<float> chunk;
    uint32_t pending = 0, offset = 0;
    bool ended = false;
    while (!stop.load()) {
        uint64_t target;
        if (ring.TakeMove(&target)) {
            at = target;
            pending = offset = 0;
            ended = false;
            ring.CompleteMove(target);
            continue;
        }
        if (pending == 0 && !ended) {
            uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(300, length - at));
            if (want == 0) {
                ring.MarkEnd();
                ended = true;
                continue;
            }
            chunk.resize(size_t{want} * Channels);
            for (uint32_t i = 0; i < want; ++i)
                for (uint32_t c = 0; c < Channels; ++c) chunk[size_t{i} * Channels + c] = static_cast<float>(at + i);
            pending = want;
            offset = 0;
            at += want;
        }
        uint32_t wrote = pending ? ring.Write(chunk.data() + size_t{offset} * Channels, pending) : 0;
        pending -= wrote;
        offset += wrote;
        if (wrote == 0) std::this_thread::yield();
    }
}

TEST(AudioRing, FramesArriveInOrderThroughRewindsAndMovesWithBothThreadsRunning) {
    constexpr uint64_t Length = 1'000'000;
    constexpr uint32_t Keep = 500;
    AudioRing ring(Channels, 2000);
    std::atomic<bool> stop{false};
    std::thread producer(Produce, std::ref(ring), Length, std::cref(stop));

    std::vector<float> out(size_t{256} * Channels);
    uint64_t expect = 0, frames = 0;
    int rewinds = 0, moves = 0, faults = 0;
    uint32_t seed = 12345;
    while (frames < 400'000 && faults == 0) {
        seed = seed * 1103515245 + 12345;
        uint32_t roll = (seed >> 16) % 100;
        if (roll == 0) {
            uint64_t target = (seed >> 8) % (Length - 10'000);
            if (!ring.MoveTo(target)) ++moves;
            expect = target;
        } else if (roll < 3 && ring.ReadFrame() >= Keep) {
            uint64_t back = ring.ReadFrame() - Keep / 2;
            EXPECT_TRUE(ring.MoveTo(back) || ring.Moving());
            expect = back;
            ++rewinds;
        }
        uint32_t got = ring.Read(out.data(), 1 + (seed >> 20) % 256);
        for (uint32_t i = 0; i < got * Channels; ++i)
            if (out[i] != static_cast<float>(expect + i / Channels)) ++faults;
        expect += got;
        frames += got;
        ring.Release(Keep);
        if (got == 0) std::this_thread::yield();
    }
    stop = true;
    producer.join();
    EXPECT_EQ(faults, 0);
    EXPECT_GT(moves, 10);
    EXPECT_GT(rewinds, 10);
}

TEST(AudioRing, TheEndIsSeenOnlyAfterEveryFrameAndAMoveBackLeavesIt) {
    AudioRing ring(Channels, 1000);
    std::atomic<bool> stop{false};
    std::thread producer(Produce, std::ref(ring), 5000, std::cref(stop));
    std::vector<float> out(size_t{100} * Channels);
    uint64_t read = 0;
    while (!ring.AtEnd()) {
        read += ring.Read(out.data(), 100);
        ring.Release(0);
        std::this_thread::yield();
    }
    EXPECT_EQ(read, 5000u);
    ring.MoveTo(0);  // long released: the producer moves
    while (ring.Moving()) std::this_thread::yield();
    EXPECT_FALSE(ring.AtEnd());
    while (ring.Available() == 0) std::this_thread::yield();
    ASSERT_EQ(ring.Read(out.data(), 1), 1u);
    EXPECT_EQ(out[0], 0.0f);
    stop = true;
    producer.join();
}

}  // namespace
