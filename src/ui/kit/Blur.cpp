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

// One box pass over `count` lines of `length` pixels (`step` apart within a line, `lineStep`
// between lines); pixels outside the image count as transparent.
void boxPass(const std::uint32_t* in, std::uint32_t* out, int length, int count, int step, int lineStep,
             int radius) {
    const std::uint64_t scale = (std::uint64_t(1) << 32) / static_cast<std::uint64_t>(2 * radius + 1);
    const auto pack = [scale](std::uint64_t a, std::uint64_t r, std::uint64_t g, std::uint64_t b) {
        const std::uint64_t half = std::uint64_t(1) << 31;
        return static_cast<std::uint32_t>(((a * scale + half) >> 32) << 24 |
                                          ((r * scale + half) >> 32) << 16 | ((g * scale + half) >> 32) << 8 |
                                          ((b * scale + half) >> 32));
    };
    for (int line = 0; line < count; ++line) {
        const std::uint32_t* src = in + static_cast<std::ptrdiff_t>(line) * lineStep;
        std::uint32_t* dst = out + static_cast<std::ptrdiff_t>(line) * lineStep;
        std::uint64_t a = 0, r = 0, g = 0, b = 0;
        for (int i = 0; i <= radius && i < length; ++i) {
            const std::uint32_t p = src[static_cast<std::ptrdiff_t>(i) * step];
            a += p >> 24;
            r += (p >> 16) & 0xff;
            g += (p >> 8) & 0xff;
            b += p & 0xff;
        }
        for (int i = 0; i < length; ++i) {
            dst[static_cast<std::ptrdiff_t>(i) * step] = pack(a, r, g, b);
            const int enter = i + radius + 1;
            if (enter < length) {
                const std::uint32_t p = src[static_cast<std::ptrdiff_t>(enter) * step];
                a += p >> 24;
                r += (p >> 16) & 0xff;
                g += (p >> 8) & 0xff;
                b += p & 0xff;
            }
            const int leave = i - radius;
            if (leave >= 0) {
                const std::uint32_t p = src[static_cast<std::ptrdiff_t>(leave) * step];
                a -= p >> 24;
                r -= (p >> 16) & 0xff;
                g -= (p >> 8) & 0xff;
                b -= p & 0xff;
            }
        }
    }
}

void blurInto(const QImage& image, double sigma, QImage& out) {
    const int w = image.width(), h = image.height();
    if (out.size() != image.size() || out.format() != QImage::Format_ARGB32_Premultiplied)
        out = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    // 32-bit lines are stored without padding: the passes read and write the images' own pixels.
    const auto* source = reinterpret_cast<const std::uint32_t*>(image.constBits());
    auto* target = reinterpret_cast<std::uint32_t*>(out.bits());
    // Scratch lines, kept between calls (the waves blur a frame of the same size each time).
    thread_local std::vector<std::uint32_t> a, b;
    a.resize(static_cast<size_t>(w) * h);
    b.resize(a.size());
    int boxes[3];
    boxSizes(sigma, boxes);
    int radii[3];
    int count = 0;
    for (const int box : boxes)
        if ((box - 1) / 2 > 0)
            radii[count++] = (box - 1) / 2;
    if (count == 0) {
        std::copy(source, source + a.size(), target);
        return;
    }
    const std::uint32_t* in = source;
    for (int pass = 0; pass < count; ++pass) {
        boxPass(in, b.data(), w, h, 1, w, radii[pass]);                                    // rows
        boxPass(b.data(), pass + 1 == count ? target : a.data(), h, w, w, 1, radii[pass]); // columns
        in = a.data();
    }
}

QImage blurFull(const QImage& image, double sigma) {
    QImage out;
    blurInto(image, sigma, out);
    return out;
}

} // namespace

int reduction(double sigma) {
    return sigma >= 6 ? 4 : sigma >= 1.5 ? 2 : 1;
}

void boxes(const QImage& source, double sigma, QImage& out) {
    blurInto(source, sigma, out);
    out.setDevicePixelRatio(source.devicePixelRatio());
}

QImage gaussian(const QImage& source, double sigma) {
    if (sigma < 0.2 || source.isNull())
        return source;
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    QImage out;
    // A wide blur loses nothing at a lower resolution: blur a smaller copy and scale it back.
    const int factor = reduction(sigma);
    if (factor > 1 && image.width() >= 4 * factor && image.height() >= 4 * factor) {
        const QImage small = image.scaled(image.width() / factor, image.height() / factor,
                                          Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        out = blurFull(small, sigma / factor)
                  .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        out = blurFull(image, sigma);
    }
    out.setDevicePixelRatio(source.devicePixelRatio());
    return out;
}

} // namespace Blur
