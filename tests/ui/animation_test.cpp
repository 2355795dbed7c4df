#include "ui/animation.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// A timer driven by hand: Fire() delivers one tick to every live timer.
class ManualTimer final : public AnimationTimer {
public:
    uint32_t StartTimer(Animation& animation, uint32_t intervalMs) override {
        if (FailStarts) return 0;
        const uint32_t id = NextId++;
        Live[id] = &animation;
        LastInterval = intervalMs;
        return id;
    }
    void StopTimer(uint32_t timerId) override {
        Live.erase(timerId);
        ++Stops;
    }
    void Fire() {
        const auto snapshot = Live;
        for (auto& [id, animation] : snapshot) {
            if (Live.count(id)) animation->Tick();
        }
    }
    std::map<uint32_t, Animation*> Live;
    uint32_t NextId = 1;
    uint32_t LastInterval = 0;
    int Stops = 0;
    bool FailStarts = false;
};

class AnimationTest : public testing::Test {
protected:
    void SetUp() override { gAnimationRunning = 0; }
    ManualTimer Timer;
    std::vector<double> Steps;
    AnimationStep Record() {
        return [this](double v) { Steps.push_back(v); };
    }
};

TEST_F(AnimationTest, Duration150EndsOnFifteenthTickWithExactEnd) {
    Animation a(&Timer);
    int done = 0;
    ASSERT_EQ(a.Start(3, 1, 17, Record(), [&] { ++done; }, std::nullopt, 150), 1);
    EXPECT_EQ(Timer.LastInterval, 10u);
    EXPECT_FALSE(a.Running());
    for (int i = 0; i < 14; ++i) Timer.Fire();
    EXPECT_EQ(Steps.size(), 14u);
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(a.Running());
    EXPECT_EQ(gAnimationRunning, 1);
    Timer.Fire();
    ASSERT_EQ(Steps.size(), 15u);
    EXPECT_EQ(Steps.back(), 1.0);  // exactly, not 1 + 2 * 2^-10
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(a.Running());
    EXPECT_EQ(gAnimationRunning, 0);
    EXPECT_EQ(a.TimerId(), 0u);
    EXPECT_EQ(a.IntervalMs(), 0);
    Timer.Fire();
    EXPECT_EQ(Steps.size(), 15u);
}

TEST_F(AnimationTest, StepsFollowTheEasing) {
    Animation a(&Timer);
    a.Start(0, 100, 1, Record(), {}, std::nullopt, 100);  // 10 ticks of 0.1
    for (int i = 0; i < 10; ++i) Timer.Fire();
    ASSERT_EQ(Steps.size(), 10u);
    EXPECT_NEAR(Steps[0], 1.0, 1e-9);   // 100 * 0.1^2
    EXPECT_NEAR(Steps[4], 25.0, 1e-9);  // 100 * 0.5^2
    EXPECT_EQ(Steps[9], 100.0);
}

TEST_F(AnimationTest, DefaultsAreEasing1Duration400Interval10) {
    Animation a(&Timer);
    a.Start(0, 400, std::nullopt, Record());
    EXPECT_EQ(Timer.LastInterval, 10u);
    for (int i = 0; i < 39; ++i) Timer.Fire();
    EXPECT_TRUE(a.Running());
    EXPECT_NEAR(Steps[19], 100.0, 1e-9);  // 400 * 0.5^2
    Timer.Fire();
    EXPECT_FALSE(a.Running());
    EXPECT_EQ(Steps.size(), 40u);
}

TEST_F(AnimationTest, RestartWhileRunningContinuesFromTruncatedValue) {
    Animation a(&Timer);
    a.Start(150, 250, 17, Record(), {}, std::nullopt, 150);
    // Run until the value passes 203.7-ish, then retarget toward 150.
    while (a.Value() < 203.0) Timer.Fire();
    const double current = a.Value();
    ASSERT_TRUE(a.Running());
    ASSERT_EQ(a.Start(999, 150, 17, Record(), {}, std::nullopt, 150), 1);
    EXPECT_EQ(a.From(), static_cast<int>(current));
    EXPECT_EQ(Timer.Live.size(), 1u);  // the old timer is gone
    Steps.clear();
    Timer.Fire();
    EXPECT_LT(Steps[0], current);
    EXPECT_GT(Steps[0], 150.0);
}

TEST_F(AnimationTest, RestartFromFractionalValueTruncates) {
    Animation a(&Timer);
    // Easing 1 from 0 to 1000 over 10 ticks: first value 10, then 40 ... pick
    // a run whose value has a fraction.
    a.Start(0, 1000, 3, Record(), {}, std::nullopt, 30);  // in-out quad, 3 ticks
    Timer.Fire();  // t = 1/3: 1000 * 2 * (1/3)^2 = 222.22...
    ASSERT_NEAR(a.Value(), 222.222, 1e-3);
    a.Start(0, 0, 17, Record());
    EXPECT_EQ(a.From(), 222);
}

TEST_F(AnimationTest, SecondStartBeforeFirstTickIsRefused) {
    Animation a(&Timer);
    EXPECT_EQ(a.Start(0, 10, 1, Record()), 1);
    EXPECT_EQ(a.Start(5, 20, 1, Record()), 0);
    EXPECT_EQ(a.To(), 10);
    EXPECT_EQ(Timer.Live.size(), 1u);
}

TEST_F(AnimationTest, ZeroIntervalIsRefusedAndChangesNothing) {
    Animation a(&Timer);
    EXPECT_EQ(a.Start(0, 10, 1, Record(), {}, 0), 0);
    EXPECT_TRUE(Timer.Live.empty());
    a.Start(0, 10, 1, Record(), {}, std::nullopt, 100);
    Timer.Fire();
    // A running animation stays running through a refused start.
    EXPECT_EQ(a.Start(0, 50, 1, Record(), {}, 0), 0);
    EXPECT_EQ(Timer.Live.size(), 1u);
    EXPECT_EQ(a.To(), 10);
}

TEST_F(AnimationTest, SharedRunningFlagFollowsTheLatestEvent) {
    Animation lead(&Timer), trail(&Timer);
    lead.Start(0, 44, 17, {}, {}, std::nullopt, 20);   // 2 ticks
    trail.Start(0, 44, 17, {}, {}, std::nullopt, 50);  // 5 ticks
    lead.Tick();
    trail.Tick();
    EXPECT_EQ(gAnimationRunning, 1);
    lead.Tick();  // lead ends while trail still runs
    EXPECT_FALSE(lead.Running());
    EXPECT_TRUE(trail.Running());
    EXPECT_EQ(gAnimationRunning, 0);
    trail.Tick();
    EXPECT_EQ(gAnimationRunning, 1);
}

TEST_F(AnimationTest, MissingStepIsNotCalledAndDoneRunsOnce) {
    Animation a(&Timer);
    int done = 0;
    a.Start(0, 1, 1, {}, [&] { ++done; }, std::nullopt, 10);
    Timer.Fire();
    Timer.Fire();
    EXPECT_EQ(done, 1);
    EXPECT_EQ(a.Value(), 1.0);
}

TEST_F(AnimationTest, DoneMayRestartTheAnimation) {
    Animation a(&Timer);
    int rounds = 0;
    std::function<void()> again = [&] {
        if (++rounds < 3) a.Start(0, 10, 1, Record(), again, std::nullopt, 20);
    };
    a.Start(0, 10, 1, Record(), again, std::nullopt, 20);
    for (int i = 0; i < 10; ++i) Timer.Fire();
    EXPECT_EQ(rounds, 3);
    EXPECT_TRUE(Timer.Live.empty());
}

TEST_F(AnimationTest, NonPositiveDurationEndsOnFirstTick) {
    for (int duration : {0, -150}) {
        Animation a(&Timer);
        Steps.clear();
        a.Start(0, 7, 1, Record(), {}, std::nullopt, duration);
        Timer.Fire();
        ASSERT_EQ(Steps.size(), 1u);
        EXPECT_EQ(Steps[0], 7.0);
        EXPECT_FALSE(a.Running());
    }
}

TEST_F(AnimationTest, NoTimerMeansRefusedAndLaterStartsStillWork) {
    Animation a(&Timer);
    Timer.FailStarts = true;
    EXPECT_EQ(a.Start(0, 10, 1, Record()), 0);
    Timer.FailStarts = false;
    EXPECT_EQ(a.Start(0, 10, 1, Record()), 1);
}

TEST_F(AnimationTest, DestroyingStopsTheTimer) {
    {
        Animation a(&Timer);
        a.Start(0, 10, 1, Record());
        EXPECT_EQ(Timer.Live.size(), 1u);
    }
    EXPECT_TRUE(Timer.Live.empty());
}

TEST_F(AnimationTest, StopEndsWithoutTheLastStepAndAStartBeginsAfresh) {
    Animation a(&Timer);
    int done = 0;
    a.Start(0, 500, 17, Record(), [&] { ++done; }, std::nullopt, 150);
    Timer.Fire();
    Timer.Fire();
    a.Stop();
    EXPECT_FALSE(a.Running());
    EXPECT_EQ(gAnimationRunning, 0);
    EXPECT_TRUE(Timer.Live.empty());
    Timer.Fire();
    EXPECT_EQ(Steps.size(), 2u);  // nothing more reaches the step, not even the end
    EXPECT_EQ(done, 0);
    // Stopped, a start takes its from value rather than continuing.
    ASSERT_EQ(a.Start(40, 0, 17, Record(), {}, std::nullopt, 150), 1);
    EXPECT_EQ(a.From(), 40);
}

}  // namespace
