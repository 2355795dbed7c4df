#include "ui/cpu_blur.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int BytesPerPixel = 4;
constexpr int AlphaByte = 3;  // B, G, R, A
// Three box passes make a curve within a few levels of the true Gaussian;
// each pass carries a third of the variance.
constexpr int BoxPasses = 3;
// Lines are blurred this many side by side (columns of 16 pixels, or rows of
// them): every read uses whole cache lines and the lanes fill vector
// registers. A short last strip leaves some lanes unused.
constexpr int StripPixels = 16;
constexpr int Lanes = StripPixels * BytesPerPixel;

// A box of Radius whole samples each side plus a fractional weight Tail on
// the next sample each side: unlike whole boxes it meets any variance
// exactly, so the summed passes have the requested deviation.
struct ExtendedBox {
    int Radius = 0;
    double Tail = 0;
    bool Identity() const { return Radius == 0 && Tail <= 0; }
};

ExtendedBox BoxForVariance(double variance) {
    // A whole box of radius r has variance r (r + 1) / 3.
    ExtendedBox box;
    box.Radius = static_cast<int>(std::floor(0.5 * std::sqrt(12.0 * variance + 1.0) - 0.5));
    while (box.Radius > 0 && box.Radius * (box.Radius + 1.0) / 3.0 > variance) --box.Radius;
    while ((box.Radius + 1) * (box.Radius + 2.0) / 3.0 <= variance) ++box.Radius;
    const double r = box.Radius;
    const double outer = (r + 1) * (r + 1);
    box.Tail = (2 * r + 1) * (variance - r * (r + 1) / 3.0) / (2 * (outer - variance));
    box.Tail = std::clamp(box.Tail, 0.0, 1.0);
    return box;
}

enum class Edge { Transparent, Repeat };

// How far one pass reads past a sample: its whole part and the tail sample.
int Reach(const ExtendedBox& box) { return box.Radius + 1; }

// Blurs Lanes lines side by side: sample i of lane l at Line()[i * Lanes + l].
// The lines sit in a buffer padded by the reach of all passes, filled as the
// border rule says; each pass then reads past its range without a test per
// sample, and its valid range shrinks by one reach each side, which leaves
// exactly the lines themselves after the last pass: the passes compose like
// one kernel over the extended lines, as the true Gaussian does.
class LineBlur {
public:
    LineBlur(const ExtendedBox& box, Edge edge, int longest)
        : Box(box), BorderEdge(edge), Pad(BoxPasses * Reach(box)),
          A(static_cast<size_t>(longest + 2 * Pad) * Lanes), B(A.size()) {}

    float* Line() { return A.data() + static_cast<size_t>(Pad) * Lanes; }

    // Returns the blurred lines, laid out as Line is.
    const float* Run(int count) {
        float* line = Line();
        const size_t lineFloats = static_cast<size_t>(count) * Lanes;
        for (int p = 1; p <= Pad; ++p) {
            float* before = line - static_cast<size_t>(p) * Lanes;
            float* after = line + lineFloats + static_cast<size_t>(p - 1) * Lanes;
            for (int l = 0; l < Lanes; ++l) {
                before[l] = BorderEdge == Edge::Repeat ? line[l] : 0.0f;
                after[l] = BorderEdge == Edge::Repeat ? line[lineFloats - Lanes + l] : 0.0f;
            }
        }
        const int total = count + 2 * Pad;
        float* src = A.data();
        float* dst = B.data();
        for (int pass = 1; pass <= BoxPasses; ++pass) {
            Pass(src, dst, pass * Reach(Box), total - pass * Reach(Box));
            std::swap(src, dst);
        }
        return src + static_cast<size_t>(Pad) * Lanes;
    }

private:
    // Samples first..last-1 of dst from src, which holds valid samples one
    // reach further each side.
    void Pass(const float* __restrict src, float* __restrict dst, int first, int last) const {
        const int r = Box.Radius;
        const float tail = static_cast<float>(Box.Tail);
        const float scale = static_cast<float>(1.0 / (2 * r + 1 + 2 * Box.Tail));
        float sum[Lanes] = {};
        for (int k = first - r; k <= first + r; ++k) {
            const float* s = src + static_cast<size_t>(k) * Lanes;
            for (int l = 0; l < Lanes; ++l) sum[l] += s[l];
        }
        for (int i = first; i < last; ++i) {
            const float* before = src + static_cast<size_t>(i - r - 1) * Lanes;
            const float* leaving = before + Lanes;
            const float* after = src + static_cast<size_t>(i + r + 1) * Lanes;
            float* out = dst + static_cast<size_t>(i) * Lanes;
            for (int l = 0; l < Lanes; ++l) {
                out[l] = (sum[l] + tail * (before[l] + after[l])) * scale;
                sum[l] += after[l] - leaving[l];
            }
        }
    }

    ExtendedBox Box;
    Edge BorderEdge;
    int Pad;
    std::vector<float> A, B;
};

// Levels in [0, 255]; half up, and NaN-safe as the comparisons fail to 0.
uint8_t ToByte(float value) { return value > 0 ? static_cast<uint8_t>(std::min(value, 255.0f) + 0.5f) : 0; }

constexpr float FixedOne = 256.0f;  // the blur across keeps 1/256 levels
uint16_t ToFixed(float value) {
    return value > 0 ? static_cast<uint16_t>(std::min(value, 255.0f) * FixedOne + 0.5f) : 0;
}

}  // namespace

int BlurMargin(float deviation) {
    if (!(deviation > 0) || deviation > MaxBlurDeviation) return 0;
    return static_cast<int>(std::ceil(3.0 * deviation));
}

BlurredPixels BlurPixels(std::span<const uint8_t> bgra, int width, int height, size_t strideBytes, float deviation,
                         BlurBorder border) {
    BlurredPixels result;
    if (width < 1 || height < 1 || width > MaxBlurSide || height > MaxBlurSide) return result;
    if (!(deviation >= 0) || deviation > MaxBlurDeviation) return result;
    const size_t rowBytes = static_cast<size_t>(width) * BytesPerPixel;
    if (strideBytes < rowBytes) return result;
    // The last row needs only its own pixels, not a whole stride; divided,
    // not multiplied, so that a hostile stride cannot wrap.
    if (bgra.size() < rowBytes) return result;
    if (height > 1 && strideBytes > (bgra.size() - rowBytes) / (static_cast<size_t>(height) - 1)) return result;

    const int margin = border == BlurBorder::Soft ? BlurMargin(deviation) : 0;
    const int outWidth = width + 2 * margin;
    const int outHeight = height + 2 * margin;
    if (outWidth > MaxBlurSide || outHeight > MaxBlurSide) return result;

    result.Width = outWidth;
    result.Height = outHeight;
    result.Bgra.assign(static_cast<size_t>(outWidth) * BytesPerPixel * outHeight, 0);
    const size_t outRow = static_cast<size_t>(outWidth) * BytesPerPixel;
    const size_t marginBytes = static_cast<size_t>(margin) * BytesPerPixel;

    const ExtendedBox box = BoxForVariance(static_cast<double>(deviation) * deviation / BoxPasses);
    if (box.Identity()) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* from = bgra.data() + strideBytes * y;
            std::copy_n(from, rowBytes, result.Bgra.data() + outRow * (y + margin) + marginBytes);
        }
        return result;
    }
    const Edge edge = border == BlurBorder::Soft ? Edge::Transparent : Edge::Repeat;
    LineBlur blur(box, edge, std::max(outWidth, outHeight));

    // The input's rows blurred across, in 1/256 levels: the margin rows of a
    // soft border are transparent before and after, so they are not kept.
    std::vector<uint16_t> across(outRow * height);
    for (int y0 = 0; y0 < height; y0 += StripPixels) {
        const int rows = std::min(StripPixels, height - y0);
        float* line = blur.Line();
        std::fill_n(line, static_cast<size_t>(margin) * Lanes, 0.0f);
        std::fill_n(line + static_cast<size_t>(margin + width) * Lanes, static_cast<size_t>(margin) * Lanes, 0.0f);
        for (int j = 0; j < rows; ++j) {
            const uint8_t* row = bgra.data() + strideBytes * (y0 + j);
            float* lane = line + static_cast<size_t>(margin) * Lanes + j * BytesPerPixel;
            for (int x = 0; x < width; ++x) {
                std::copy_n(row + static_cast<size_t>(x) * BytesPerPixel, BytesPerPixel,
                            lane + static_cast<size_t>(x) * Lanes);
            }
        }
        const float* done = blur.Run(outWidth);
        for (int j = 0; j < rows; ++j) {
            uint16_t* row = across.data() + outRow * (y0 + j);
            const float* lane = done + j * BytesPerPixel;
            for (int x = 0; x < outWidth; ++x) {
                for (int c = 0; c < BytesPerPixel; ++c) {
                    row[static_cast<size_t>(x) * BytesPerPixel + c] =
                        ToFixed(lane[static_cast<size_t>(x) * Lanes + c]);
                }
            }
        }
    }

    // Then down, 16 columns at a time, straight into the result.
    for (int x0 = 0; x0 < outWidth; x0 += StripPixels) {
        const int floats = std::min(StripPixels, outWidth - x0) * BytesPerPixel;
        const size_t first = static_cast<size_t>(x0) * BytesPerPixel;
        float* line = blur.Line();
        std::fill_n(line, static_cast<size_t>(margin) * Lanes, 0.0f);
        std::fill_n(line + static_cast<size_t>(margin + height) * Lanes, static_cast<size_t>(margin) * Lanes, 0.0f);
        for (int y = 0; y < height; ++y) {
            const uint16_t* from = across.data() + outRow * y + first;
            float* to = line + static_cast<size_t>(margin + y) * Lanes;
            for (int l = 0; l < floats; ++l) to[l] = from[l] * (1.0f / FixedOne);
        }
        const float* done = blur.Run(outHeight);
        for (int y = 0; y < outHeight; ++y) {
            const float* from = done + static_cast<size_t>(y) * Lanes;
            uint8_t* to = result.Bgra.data() + outRow * y + first;
            for (int l = 0; l < floats; l += BytesPerPixel) {
                const uint8_t alpha = ToByte(from[l + AlphaByte]);
                // Rounding must not leave a colour above its alpha:
                // premultiplied pixels brighter than opaque blend wrongly.
                for (int c = 0; c < AlphaByte; ++c) to[l + c] = std::min(ToByte(from[l + c]), alpha);
                to[l + AlphaByte] = alpha;
            }
        }
    }
    return result;
}
