#pragma once

#include "ui/panel/SourceLink.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class Hoverable;
class LinkOpener;
class QGridLayout;

// Turns a label (the cover, the subtitle) into a link into the music source. Without a link
// the label shows plainly in the secondary ink and nothing reacts. With one, a click opens it,
// the pointer becomes a pointing hand, the tooltip names the target, and an arrow appears: on
// the cover as a badge growing out of its bottom-right corner, beside the subtitle sliding in
// from the left while the label takes the primary ink.
class OpenSource : public QWidget {
    Q_OBJECT
public:
    enum class Style { Artwork, Inline };

    OpenSource(Style style, LinkOpener* links, QWidget* parent = nullptr);

    // The label is owned by this view; a new one replaces the old.
    void setLabel(QWidget* label);
    QWidget* label() const { return label_; }
    // Labels in the inline style get their ink from here.
    void setInkReceiver(std::function<void(const QColor&)> receiver);
    void setLink(const std::optional<SourceLink>& link);
    const std::optional<SourceLink>& link() const { return link_; }
    bool hovering() const;
    double hoverProgress() const;
    // Opens the link as a click does; nothing without one.
    void activate();
    QColor labelInk() const;
    // The cover's scale while hovered (it rests at 1).
    static constexpr double hoveredScale = 1.03;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Arrow;
    void restyle();
    void scaleLabel(double scale);

    Style style_;
    LinkOpener* links_;
    std::optional<SourceLink> link_;
    QPointer<QWidget> label_;
    QGridLayout* grid_;
    Arrow* arrow_;
    Hoverable* hover_ = nullptr;
    bool pressed_ = false;
    std::function<void(const QColor&)> inkReceiver_;
};
