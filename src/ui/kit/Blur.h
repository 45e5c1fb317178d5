#pragma once

#include <QImage>

// A Gaussian-like blur (three box passes) of a premultiplied ARGB image, in device pixels.
// The result has the same size as the input: callers leave room around the content (about
// three times `sigma`) so that the blur is not cut.
namespace Blur {
QImage gaussian(const QImage& source, double sigma);
// The resolution gaussian() blurs at for `sigma`: 1, 2 or 4 times smaller than the source.
// A caller that can draw at that resolution itself saves the scaling down and up.
int reduction(double sigma);
// The three box passes at the image's own resolution, into `out` (reused when it has the size).
void boxes(const QImage& source, double sigma, QImage& out);
} // namespace Blur
