#include "ui/kit/Blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Blur {
namespace {

// Box sizes for three passes that approximate a Gaussian of `sigma` (Kovesi's method).
void boxSizes(double sigma, int out[3]) {
    const double ideal = std::sqrt(12.0 * sigma * sigma / 3 + 1);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m = std::round((12 * sigma * sigma - 3 * lower * lower - 12 * lower - 9) / (-4 * lower - 4));
    for (int i = 0; i < 3; ++i)
        out[i] = i < m ? lower : upper;
}

// One box pass along rows (horizontal) of `count` lines of `length` pixels, stride in pixels.
void boxPass(const std::uint32_t* in, std::uint32_t* out, int length, int count, int step, int lineStep,
             int radius) {
    if (radius <= 0) {
        for (int line = 0; line < count; ++line)
            for (int i = 0; i < length; ++i)
                out[line * lineStep + i * step] = in[line * lineStep + i * step];
        return;
    }
    const int window = 2 * radius + 1;
    for (int line = 0; line < count; ++line) {
        const std::uint32_t* src = in + line * lineStep;
        std::uint32_t* dst = out + line * lineStep;
        int sums[4] = {0, 0, 0, 0};
        const auto add = [&](int index, int sign) {
            if (index < 0 || index >= length)
                return; // transparent outside
            const std::uint32_t p = src[index * step];
            sums[0] += sign * static_cast<int>(p >> 24);
            sums[1] += sign * static_cast<int>((p >> 16) & 0xff);
            sums[2] += sign * static_cast<int>((p >> 8) & 0xff);
            sums[3] += sign * static_cast<int>(p & 0xff);
        };
        for (int i = -radius; i <= radius; ++i)
            add(i, 1);
        for (int i = 0; i < length; ++i) {
            const auto channel = [&](int k) {
                return static_cast<std::uint32_t>(std::clamp((sums[k] + window / 2) / window, 0, 255));
            };
            dst[i * step] = (channel(0) << 24) | (channel(1) << 16) | (channel(2) << 8) | channel(3);
            add(i + radius + 1, 1);
            add(i - radius, -1);
        }
    }
}

} // namespace

QImage gaussian(const QImage& source, double sigma) {
    if (sigma < 0.2 || source.isNull())
        return source;
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = image.width(), h = image.height();
    std::vector<std::uint32_t> a(static_cast<size_t>(w) * h), b(a.size());
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        std::copy(line, line + w, a.begin() + static_cast<std::ptrdiff_t>(y) * w);
    }
    int boxes[3];
    boxSizes(sigma, boxes);
    for (int pass = 0; pass < 3; ++pass) {
        const int r = (boxes[pass] - 1) / 2;
        boxPass(a.data(), b.data(), w, h, 1, w, r); // rows
        boxPass(b.data(), a.data(), h, w, w, 1, r); // columns
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        std::copy(a.begin() + static_cast<std::ptrdiff_t>(y) * w,
                  a.begin() + static_cast<std::ptrdiff_t>(y + 1) * w,
                  reinterpret_cast<std::uint32_t*>(out.scanLine(y)));
    out.setDevicePixelRatio(source.devicePixelRatio());
    return out;
}

} // namespace Blur
