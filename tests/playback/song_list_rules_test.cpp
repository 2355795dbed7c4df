#include "playback/logic/playback_rules.h"
#include "playback/logic/scan_hand_off.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace {

using namespace std::string_literals;

TEST(OpenDialog, FilterPiecesBecomeNulSeparated) {
    EXPECT_EQ(DialogFilter("*.mp3;*.ogg"), "*.mp3;*.ogg\0*.mp3;*.ogg\0\0"s);
    EXPECT_EQ(DialogFilter("All (*.*)|*.*"), "All (*.*)\0*.*\0\0"s);
    EXPECT_EQ(DialogFilter("A|*.a|B|*.b"), "A\0*.a\0B\0*.b\0\0"s);
    EXPECT_EQ(DialogFilter("亅|*.*"), "亅\0*.*\0\0"s);  // GBK 81 7C ended in the byte of "|"
}

TEST(OpenDialog, ResultsAreOnePathOrFolderAndNames) {
    using Paths = std::vector<std::string>;
    EXPECT_EQ(DialogResultPaths("D:\\m\\a.mp3\0\0\0\0"s), Paths{"D:\\m\\a.mp3"});
    EXPECT_EQ(DialogResultPaths("D:\\m\0a.mp3\0b.ogg\0\0"s), (Paths{"D:\\m\\a.mp3", "D:\\m\\b.ogg"}));
    EXPECT_EQ(DialogResultPaths("D:\\\0a.mp3\0\0"s), Paths{"D:\\a.mp3"});  // a drive's root ends in "\"
    EXPECT_EQ(DialogResultPaths("\0\0\0"s), Paths{});
}

PlaylistEntry Row(int n) {
    PlaylistEntry row;
    row.Path = std::to_string(n);
    return row;
}

TEST(ScanHandOff, RowsArriveInPushOrderWithOneNoticeAtATime) {
    ScanHandOff handOff;
    handOff.ScanStarted();
    EXPECT_FALSE(handOff.Idle());
    EXPECT_TRUE(handOff.Push({Row(1), Row(2)}));
    EXPECT_FALSE(handOff.Push({Row(3)}));  // the first notice is still on its way
    EXPECT_FALSE(handOff.Push({}));
    const auto rows = handOff.TakeAll();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Path + rows[1].Path + rows[2].Path, "123");
    EXPECT_TRUE(handOff.Push({Row(4)}));
    EXPECT_FALSE(handOff.ScanFinished());
    EXPECT_FALSE(handOff.Idle());  // row 4 is not in the list yet
    EXPECT_EQ(handOff.TakeAll().size(), 1u);
    EXPECT_TRUE(handOff.Idle());
    handOff.ScanFinished();  // a stray finish never goes below zero
    EXPECT_TRUE(handOff.Idle());
}

// A scan whose thread never started, or whose notice the window refused:
// the next scan's rows still get a notice of their own.
TEST(ScanHandOff, ALostNoticeStrandsNoLaterScan) {
    ScanHandOff handOff;
    handOff.ScanStarted();
    ASSERT_TRUE(handOff.ScanFinished());  // the failed start's end wants a notice...
    handOff.NoticeLost();                 // ...that could not be posted
    handOff.ScanStarted();
    EXPECT_TRUE(handOff.Push({Row(1)}));
    handOff.NoticeLost();
    EXPECT_TRUE(handOff.ScanFinished()) << "row 1 still waits: the end must be told";
    EXPECT_EQ(handOff.TakeAll().size(), 1u);
    EXPECT_TRUE(handOff.Idle());
}

// Several scans and a UI thread that takes rows only when told, as the
// window does on its posted notice: nothing may be stranded without one.
// Also run under ThreadSanitizer (build/host-tsan).
TEST(ScanHandOff, ConcurrentScansLoseNoRowAndNoNotice) {
    ScanHandOff handOff;
    constexpr int Threads = 4, RowsEach = 600;
    std::mutex noticeLock;
    std::condition_variable noticed;
    int notices = 0, mostOutstanding = 0;
    const auto notify = [&](bool needed) {
        if (!needed) return;
        std::lock_guard<std::mutex> hold(noticeLock);
        mostOutstanding = std::max(mostOutstanding, ++notices);
        noticed.notify_one();
    };
    for (int t = 0; t < Threads; ++t) handOff.ScanStarted();
    std::vector<std::thread> scans;
    for (int t = 0; t < Threads; ++t) {
        scans.emplace_back([&, t] {
            for (int i = 0; i < RowsEach;) {
                std::vector<PlaylistEntry> batch;
                for (int n = 1 + (i + t) % 7; n > 0 && i < RowsEach; --n, ++i) batch.push_back(Row(t * RowsEach + i));
                notify(handOff.Push(std::move(batch)));
            }
            notify(handOff.ScanFinished());
        });
    }
    size_t taken = 0;
    std::vector<int> lastOfThread(Threads, -1);
    for (bool idle = false; !idle;) {
        std::unique_lock<std::mutex> wait(noticeLock);
        ASSERT_TRUE(noticed.wait_for(wait, std::chrono::seconds(20), [&] { return notices > 0; }))
            << "rows or the end wait without a notice";
        --notices;
        wait.unlock();
        for (const PlaylistEntry& row : handOff.TakeAll()) {
            const int n = std::stoi(row.Path);
            EXPECT_GT(n % RowsEach, lastOfThread[n / RowsEach]) << "rows of one scan keep their order";
            lastOfThread[n / RowsEach] = n % RowsEach;
            ++taken;
        }
        idle = handOff.Idle();
    }
    for (std::thread& scan : scans) scan.join();
    EXPECT_EQ(taken, size_t{Threads * RowsEach});
    EXPECT_EQ(mostOutstanding, 1) << "one notice at a time";
}

}  // namespace
