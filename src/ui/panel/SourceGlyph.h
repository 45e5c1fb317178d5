#pragma once

#include "household/SpeakerGroup.h"

#include <QColor>
#include <QWidget>

class Hoverable;
class QPainter;

// The small badge in front of the subtitle that tells where the music comes from: the drawn
// Spotify mark, a music note for Apple Music, or the AirPlay icon; nothing otherwise. 11 × 11,
// in the colour it is given (the source line's ink), with the source's name as tooltip.
class SourceGlyph : public QWidget {
    Q_OBJECT
public:
    enum class Kind { None, Spotify, AppleMusic, AirPlay };

    explicit SourceGlyph(QWidget* parent = nullptr);
    void setGroup(const SpeakerGroup& group);
    void setColor(const QColor& color);
    Kind kind() const { return kind_; }

    static Kind kindOf(const SpeakerGroup& group);
    static QString tooltip(Kind kind);
    // The round Spotify mark with its three arcs cut out, in a square.
    static void paintSpotify(QPainter& painter, const QRectF& box, const QColor& color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_ = Kind::None;
    QColor color_;
    Hoverable* hover_;
};
