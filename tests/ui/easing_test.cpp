#include "ui/easing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <limits>

namespace {

constexpr double Tight = 1e-12;

struct Case {
    int easing;
    double t;
    double from;
    double to;
    double expected;
};

TEST(Easing, KnownValues) {
    const Case cases[] = {
        // The two curves the program animates with.
        {17, 0.5, 3, 1, 1.0625},  // 3 - 2 * (1 - 2^-5)
        {17, 1.0, 0, 1, 1.0 - std::exp2(-10.0)},  // no special case at the end
        {17, 0.0, 250, 150, 250},
        {1, 0.5, 10, 0, 7.5},  // b + c t^2
        {1, 0.3, 1, 0, 1 - 0.09},
        {1, 1.0, 0, 1, 1},
        // Out and in-out forms.
        {2, 0.5, 0, 1, 0.75},
        {3, 0.25, 0, 1, 0.125},
        {3, 0.75, 0, 1, 0.875},
        {4, 0.5, 0, 8, 1},
        {5, 0.5, 0, 1, 0.875},
        {9, 0.5, 0, 1, 0.5},
        {13, 1.0, 0, 1, 1},
        {14, 0.5, 0, 1, std::sin(std::numbers::pi / 4)},
        {15, 0.5, 0, 1, 0.5},
        {16, 0.0, 5, 9, 5},  // exponential in starts at its start value exactly
        {16, 0.5, 0, 1, std::exp2(-5.0)},
        {19, 1.0, 0, 1, 1},
        {20, 0.0, 0, 1, 0},
        // Bounce: arc boundaries.
        {23, 1.0 / 2.75, 0, 1, 7.5625 / (2.75 * 2.75)},
        {23, 1.0, 0, 1, 1},
        {23, 0.0, 0, 1, 0},
        {22, 1.0, 0, 1, 1},
        {22, 0.0, 0, 1, 0},
        {24, 0.5, 0, 1, 0.5},
        // Back overshoots.
        {25, 1.0, 0, 1, 1},
        {25, 0.5, 0, 1, 0.25 * (2.70158 * 0.5 - 1.70158)},
        {26, 0.0, 0, 1, 0},
        {26, 0.5, 0, 1, 1 + 0.25 * (2.70158 * -0.5 + 1.70158)},
        {27, 1.0, 0, 1, 1},
        // Elastic: ends exact, inside from the formula.
        {28, 0.0, 0, 1, 0},
        {28, 1.0, 0, 1, 1},
        {29, 0.0, 0, 1, 0},
        {29, 1.0, 0, 1, 1},
        {30, 0.0, 0, 1, 0},
        {30, 1.0, 0, 1, 1},
        {29, 0.5, 0, 1, std::exp2(-5.0) * std::sin((0.5 - 0.075) * 2 * std::numbers::pi / 0.3) + 1},
        {28, 0.5, 0, 1, -std::exp2(-5.0) * std::sin((-0.5 - 0.075) * 2 * std::numbers::pi / 0.3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "easing " << c.easing << " at " << c.t);
        EXPECT_NEAR(Ease(c.easing, c.t, c.from, c.to), c.expected, Tight);
    }
}

TEST(Easing, EveryCurveStartsAtFromAndEndsNearTo) {
    for (int n = 1; n <= EasingCount; ++n) {
        SCOPED_TRACE(n);
        EXPECT_NEAR(Ease(n, 0.0, 100, 200), 100, 0.1);
        // Exponential curves stop 2^-10 short; the final tick gives the end.
        EXPECT_NEAR(Ease(n, 1.0, 100, 200), 200, 0.1);
    }
}

TEST(Easing, ProgressIsClampedAndNeverNaN) {
    const double inputs[] = {-5.0, -1e-6, 1.0 + 1e-6, 7.0, 1.0 + 5e-8, -5e-8,
                             std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    for (int n = 0; n <= EasingCount + 3; ++n) {
        for (double t : inputs) {
            SCOPED_TRACE(testing::Message() << "easing " << n << " at " << t);
            const double v = Ease(n, t, 0, 1);
            EXPECT_FALSE(std::isnan(v));
            EXPECT_GT(v, -1.0);
            EXPECT_LT(v, 2.0);
        }
        EXPECT_DOUBLE_EQ(Ease(n, -3.0, 0, 1), Ease(n, 0.0, 0, 1));
        EXPECT_DOUBLE_EQ(Ease(n, 3.0, 0, 1), Ease(n, 1.0, 0, 1));
    }
}

TEST(Easing, UnknownNumbersAreLinear) {
    EXPECT_DOUBLE_EQ(Ease(0, 0.25, 0, 8), 2.0);
    EXPECT_DOUBLE_EQ(Ease(31, 0.5, 0, 8), 4.0);
    EXPECT_DOUBLE_EQ(Ease(-4, 0.75, 0, 8), 6.0);
}

}  // namespace
