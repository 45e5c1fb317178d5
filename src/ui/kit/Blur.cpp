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

// One box pass down the columns of a `width` × `height` grid of 8-bit lanes (a row of
// pixels is 4 × width lanes, one per channel), reading `in` and writing `out`; lanes outside the
// grid count as transparent. Every lane of a row is independent: the inner loops run over whole
// rows and vectorise.
void columnPass(const std::uint8_t* in, std::uint8_t* out, int lanes, int height, int radius,
                std::vector<std::uint32_t>& sums) {
    const std::uint32_t scale = (std::uint32_t(1) << 16) / static_cast<std::uint32_t>(2 * radius + 1);
    sums.assign(static_cast<size_t>(lanes), 0);
    std::uint32_t* sum = sums.data();
    const auto row = [lanes](const std::uint8_t* base, int y) {
        return base + static_cast<std::ptrdiff_t>(y) * lanes;
    };
    for (int y = 0; y <= radius && y < height; ++y) {
        const std::uint8_t* src = row(in, y);
        for (int i = 0; i < lanes; ++i)
            sum[i] += src[i];
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* dst = out + static_cast<std::ptrdiff_t>(y) * lanes;
        for (int i = 0; i < lanes; ++i)
            dst[i] = static_cast<std::uint8_t>((sum[i] * scale + 0x8000) >> 16);
        if (y + radius + 1 < height) {
            const std::uint8_t* enter = row(in, y + radius + 1);
            for (int i = 0; i < lanes; ++i)
                sum[i] += enter[i];
        }
        if (y - radius >= 0) {
            const std::uint8_t* leave = row(in, y - radius);
            for (int i = 0; i < lanes; ++i)
                sum[i] -= leave[i];
        }
    }
}

// Pixels of a `width` × `height` image into the transposed `height` × `width` one.
void transpose(const std::uint32_t* in, std::uint32_t* out, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[static_cast<std::ptrdiff_t>(x) * height + y] = in[static_cast<std::ptrdiff_t>(y) * width + x];
}

void blurInto(const QImage& image, double sigma, QImage& out) {
    const int w = image.width(), h = image.height();
    if (out.size() != image.size() || out.format() != QImage::Format_ARGB32_Premultiplied)
        out = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    // 32-bit lines are stored without padding: the passes read and write the images' own pixels.
    const auto* source = reinterpret_cast<const std::uint32_t*>(image.constBits());
    auto* target = reinterpret_cast<std::uint32_t*>(out.bits());
    const auto pixels = static_cast<size_t>(w) * static_cast<size_t>(h);
    int boxes[3];
    boxSizes(sigma, boxes);
    int radii[3];
    int count = 0;
    for (const int box : boxes)
        if ((box - 1) / 2 > 0)
            radii[count++] = (box - 1) / 2;
    if (count == 0) {
        std::copy(source, source + pixels, target);
        return;
    }
    // Scratch images, kept between calls (the waves blur a frame of the same size each time).
    // The three passes down the columns, then the image turned on its side for the three
    // along the rows, and turned back.
    thread_local std::vector<std::uint32_t> a, b;
    thread_local std::vector<std::uint32_t> sums;
    a.resize(pixels);
    b.resize(pixels);
    const auto lanes = [](std::vector<std::uint32_t>& v) {
        return reinterpret_cast<std::uint8_t*>(v.data());
    };
    const auto* in = reinterpret_cast<const std::uint8_t*>(source);
    for (int pass = 0; pass < count; ++pass) {
        std::uint8_t* next = lanes(pass % 2 == 0 ? a : b);
        columnPass(in, next, 4 * w, h, radii[pass], sums);
        in = next;
    }
    std::vector<std::uint32_t>& columns = count % 2 == 1 ? a : b;
    std::vector<std::uint32_t>& turned = count % 2 == 1 ? b : a;
    transpose(columns.data(), turned.data(), w, h);
    in = lanes(turned);
    for (int pass = 0; pass < count; ++pass) {
        std::uint8_t* next = lanes(pass % 2 == 0 ? columns : turned);
        columnPass(in, next, 4 * h, w, radii[pass], sums);
        in = next;
    }
    transpose(reinterpret_cast<const std::uint32_t*>(in), target, h, w);
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
