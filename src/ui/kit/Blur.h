#pragma once

#include <QImage>

// A Gaussian-like blur (three box passes) of a premultiplied ARGB image, in device pixels.
// The result has the same size as the input: callers leave room around the content (about
// three times `sigma`) so that the blur is not cut.
namespace Blur {
QImage gaussian(const QImage& source, double sigma);
}
