#pragma once

#include "ui/kit/LayerCache.h"

#include <QUrl>
#include <QWidget>

#include <optional>

class CoverImage;

// The square, rounded cover picture (now-playing tile, favourites, volume display). Loads the
// picture from the URL through the shared cache, keeps the old picture while the next loads,
// cross-fades (0.3 s), and shows a music-note placeholder only when there is no picture (after a
// failure, or 1.5 s after the URL went away). In render mode any URL shows the demo picture.
//
// Takes: url (or none), size (edge in points), corner radius (none: 0.18 × size).
// Emits nothing.
class Artwork : public QWidget {
    Q_OBJECT
public:
    Artwork(double size, std::optional<double> cornerRadius = std::nullopt, QWidget* parent = nullptr);

    void setUrl(const std::optional<QUrl>& url);
    std::optional<QUrl> url() const;
    double edge() const { return size_; }
    double radius() const;
    static double defaultRadius(double size) { return size * 0.18; }
    const CoverImage& cover() const { return *cover_; }

    // The drawn stand-in picture of render mode.
    static const QImage& demoPicture();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void paintArtwork(QPainter& painter);
    const QImage& scaledFor(const QImage& source, int which, double ratio);

    double size_;
    std::optional<double> radius_;
    std::optional<QUrl> url_;
    CoverImage* cover_;
    // Scaled copies of the shown and previous pictures for the current size and ratio.
    struct Scaled {
        qint64 key = 0;
        double ratio = 0;
        QImage image;
    } scaled_[2];
    LayerCache layer_;
};
