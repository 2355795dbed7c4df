#include "app/logic/taskbar_rules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(TaskbarView, StateFollowsTheTrackAndThePlaying) {
    struct Case {
        const char* what;
        bool hasTrack;
        bool playing;
        double position;
        int length;
        TaskbarProgressState state;
        uint64_t completed;
    };
    const Case cases[] = {
        {"no track", false, false, 12, 60, TaskbarProgressState::None, 0},
        {"playing", true, true, 15, 60, TaskbarProgressState::Normal, 250},
        {"paused", true, false, 15, 60, TaskbarProgressState::Paused, 250},
        {"played to the end", true, false, 61, 60, TaskbarProgressState::Paused, 1000},
        {"no length", true, true, 5, 0, TaskbarProgressState::Normal, 0},
        {"position unknown", true, true, std::nan(""), 60, TaskbarProgressState::Normal, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TaskbarView view = ComputeTaskbarView(c.hasTrack, c.playing, c.position, c.length);
        EXPECT_EQ(view.State, c.state);
        EXPECT_EQ(view.Completed, c.completed);
        EXPECT_EQ(view.ShowsPause, c.playing);
    }
}

TEST(TaskbarView, ChangesOnlyAtAThousandthOfTheTrack) {
    // An hour: the play bar's ticks inside one thousandth show nothing new.
    const TaskbarView at = ComputeTaskbarView(true, true, 1800.0, 3600);
    EXPECT_EQ(ComputeTaskbarView(true, true, 1803.5, 3600), at);  // 500.97 thousandths
    EXPECT_NE(ComputeTaskbarView(true, true, 1804.0, 3600), at);
    EXPECT_NE(ComputeTaskbarView(true, false, 1800.0, 3600), at);
}

}  // namespace
