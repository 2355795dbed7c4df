#pragma once
// Easing curves of the animation engine. Portable: no platform calls.
//
// Curve numbers follow the classic families, in / out / in-out each:
//  1-3 quadratic, 4-6 cubic, 7-9 quartic, 10-12 quintic, 13-15 sine,
//  16-18 exponential, 19-21 circular, 22-24 bounce, 25-27 back, 28-30 elastic.
// Any other number eases linearly.

// Easing numbers the program itself uses.
inline constexpr int EasingQuadIn = 1;
inline constexpr int EasingExpoOut = 17;
inline constexpr int EasingCount = 30;

// Tolerance of the user interface's floating comparisons.
inline constexpr double EaseTolerance = 1e-7;

// The curve f(t) of a number, for t already in [0, 1].
double EasingCurve(int easing, double t);

// from + (to - from) * f(t), with t clamped to [0, 1] first.
double Ease(int easing, double t, double from, double to);
