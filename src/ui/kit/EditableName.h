#pragma once

#include "core/Clock.h"
#include "ui/kit/LayerCache.h"

#include <QFont>
#include <QWidget>

#include <memory>

class QLineEdit;
class QTextLayout;
class QVariantAnimation;

// The in-place rename control: a name as plain text; a double-click turns it into a borderless
// field on a faint 20-point capsule, pre-filled and focused. Return or loss of focus commits,
// Esc abandons. Resting the pointer 0.7 s on the name blurs and fades it and shows a pencil.
//
// Takes: name (shown verbatim, one line), placeholder, allowsEmpty, the caller's font (setFont)
// and ink (setColor). Emits: editingChanged(bool) when editing starts and ends (however it
// ends); committed(QString) with the trimmed new name, only when it differs from `name` (and is
// not empty unless allowsEmpty). It never changes its own name: the caller passes it back.
// Layout: the widget has 7 points of room on each side of the text (the field's capsule reaches
// there); give it an outset of 7 on the left so its text lines up with its neighbours.
class EditableName : public QWidget {
    Q_OBJECT
public:
    static constexpr int sidePadding = 7;

    explicit EditableName(QWidget* parent = nullptr);
    ~EditableName() override;

    QString name() const { return name_; }
    void setName(const QString& name);
    void setPlaceholder(const QString& placeholder);
    void setAllowsEmpty(bool allowsEmpty) { allowsEmpty_ = allowsEmpty; }
    void setColor(const QColor& color);

    bool editing() const { return editing_; }
    bool hinting() const { return hinting_; }
    double hintProgress() const { return hint_; }
    QLineEdit* field() const { return field_; }

    // Starts editing as a double-click does.
    void beginEditing();
    // Removes spaces, tabs and the other Unicode space separators from both ends; line breaks stay.
    static QString trimHorizontal(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void editingChanged(bool editing);
    void committed(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void commit();
    void setEditing(bool editing);
    void setHinting(bool hinting);
    void cancelHintDelay();
    QColor color() const;
    // The name elided to `width` and laid out, kept until the name, width or font change: the
    // name is repainted with what moves behind it on every frame.
    const QTextLayout& shownLayout(double width);

    QString name_;
    bool allowsEmpty_ = false;
    bool editing_ = false;
    bool hinting_ = false;
    double hint_ = 0;
    QColor color_;
    Clock::Id hintDelay_ = 0;
    QLineEdit* field_ = nullptr;
    QVariantAnimation* hintAnimation_ = nullptr;
    std::unique_ptr<QTextLayout> layout_;
    QString layoutName_;
    double layoutWidth_ = -1;
    QFont layoutFont_;
    LayerCache face_;
};
