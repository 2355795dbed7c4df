#include "ui/easing.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

// Every truncation to pixels, volumes and lyric steps must give the same
// integers on the 32-bit and the 64-bit build: doubles evaluated as doubles
// (SSE2), never in x87's 80-bit registers.
static_assert(FLT_EVAL_METHOD == 0, "build 32-bit x86 with -msse2 -mfpmath=sse");

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double BackOvershoot = 1.70158;
constexpr double BackInOutScale = 1.525;
constexpr double ElasticPeriod = 0.3;

// Bounce: four parabolic arcs of decreasing height.
constexpr double BounceScale = 7.5625;
constexpr double BounceSpan = 2.75;

enum class Kind { In, Out, InOut };

double BounceOut(double u) {
    if (u < 1.0 / BounceSpan) return BounceScale * u * u;
    if (u < 2.0 / BounceSpan) {
        const double v = u - 1.5 / BounceSpan;
        return BounceScale * v * v + 0.75;
    }
    if (u < 2.5 / BounceSpan) {
        const double v = u - 2.25 / BounceSpan;
        return BounceScale * v * v + 0.9375;
    }
    const double v = u - 2.625 / BounceSpan;
    return BounceScale * v * v + 0.984375;
}

double BackIn(double t, double s) { return t * t * ((s + 1.0) * t - s); }
double BackOut(double t, double s) {
    const double u = t - 1.0;
    return 1.0 + u * u * ((s + 1.0) * u + s);
}

double ElasticIn(double t) {
    const double u = t - 1.0;
    return -std::exp2(10.0 * u) * std::sin((u - ElasticPeriod / 4.0) * 2.0 * Pi / ElasticPeriod);
}
double ElasticOut(double t) {
    return std::exp2(-10.0 * t) * std::sin((t - ElasticPeriod / 4.0) * 2.0 * Pi / ElasticPeriod) + 1.0;
}

// The in and out form of a family (numbers 1, 4, ... 28 -> family 0..9).
double FamilyIn(int family, double t) {
    switch (family) {
    case 0: return t * t;
    case 1: return t * t * t;
    case 2: return t * t * t * t;
    case 3: return t * t * t * t * t;
    case 4: return 1.0 - std::cos(t * Pi / 2.0);
    case 5: return t <= EaseTolerance ? 0.0 : std::exp2(10.0 * (t - 1.0));
    case 6: return 1.0 - std::sqrt(1.0 - t * t);
    case 7: return 1.0 - BounceOut(1.0 - t);
    case 8: return BackIn(t, BackOvershoot);
    case 9: return ElasticIn(t);
    }
    return t;
}

double FamilyOut(int family, double t) {
    const double u = t - 1.0;
    switch (family) {
    case 0: return t * (2.0 - t);
    case 1: return 1.0 + u * u * u;
    case 2: return 1.0 - u * u * u * u;
    case 3: return 1.0 + u * u * u * u * u;
    case 4: return std::sin(t * Pi / 2.0);
    case 5: return 1.0 - std::exp2(-10.0 * t);  // no end special case: the last tick delivers the end value
    case 6: return std::sqrt(1.0 - u * u);
    case 7: return BounceOut(t);
    case 8: return BackOut(t, BackOvershoot);
    case 9: return ElasticOut(t);
    }
    return t;
}

double FamilyInOut(int family, double t) {
    if (family == 4) return (1.0 - std::cos(Pi * t)) / 2.0;
    const double twice = 2.0 * t;
    const bool firstHalf = twice - 1.0 < -EaseTolerance;
    if (family == 8) {
        const double s = BackOvershoot * BackInOutScale;
        return firstHalf ? BackIn(twice, s) / 2.0 : 0.5 + BackOut(twice - 1.0, s) / 2.0;
    }
    return firstHalf ? FamilyIn(family, twice) / 2.0 : 0.5 + FamilyOut(family, twice - 1.0) / 2.0;
}

}  // namespace

double EasingCurve(int easing, double t) {
    if (easing < 1 || easing > EasingCount) return t;
    const int family = (easing - 1) / 3;
    const Kind kind = static_cast<Kind>((easing - 1) % 3);
    // Elastic curves only approach their ends; pin them exactly.
    if (family == 9) {
        if (t <= EaseTolerance) return 0.0;
        if (t >= 1.0 - EaseTolerance) return 1.0;
    }
    switch (kind) {
    case Kind::In: return FamilyIn(family, t);
    case Kind::Out: return FamilyOut(family, t);
    case Kind::InOut: return FamilyInOut(family, t);
    }
    return t;
}

double Ease(int easing, double t, double from, double to) {
    if (std::isnan(t) || t < -EaseTolerance) t = 0.0;
    else if (t - 1.0 > EaseTolerance) t = 1.0;
    // What the tolerance lets through would take the circular curves' roots
    // below zero.
    t = std::clamp(t, 0.0, 1.0);
    return from + (to - from) * EasingCurve(easing, t);
}
