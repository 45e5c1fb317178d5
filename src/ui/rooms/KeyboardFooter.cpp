#include "ui/rooms/KeyboardFooter.h"

#include "core/RenderMode.h"
#include "core/Texts.h"
#include "health/HealthCheck.h"
#include "household/Household.h"
#include "ui/kit/BundleIcon.h"
#include "ui/kit/HUDPreview.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyCap.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/StatusDot.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"
#include "ui/rooms/FooterRowFrame.h"
#include "ui/rooms/InkLabel.h"
#include "ui/rooms/MiniSwitch.h"
#include "ui/rooms/TextButton.h"

#include <QCursor>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

// How long the pointer rests on the volume keys row before the volume display's preview shows.
constexpr auto previewDelay = 350ms;
// The volume the preview starts from when no group is active.
constexpr int noGroupPreviewVolume = 28;
// How often the accessibility notice asks whether the key grabs were granted meanwhile.
constexpr auto trustPollInterval = 1s;

// A symbol drawn at a fixed size in one ink.
class Glyph : public QWidget {
public:
    Glyph(const QString& symbol, double size, double opacity, QWidget* parent)
        : QWidget(parent), symbol_(symbol), opacity_(opacity) {
        setFixedSize(int(size), int(size));
    }
    void setRotated(bool rotated) {
        rotated_ = rotated;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (rotated_) {
            painter.translate(width() / 2.0, height() / 2.0);
            painter.rotate(90);
            painter.translate(-width() / 2.0, -height() / 2.0);
        }
        Symbols::paint(painter, QRectF(rect()), symbol_, Ink::primary(Ink::scheme(this), opacity_));
    }

private:
    QString symbol_;
    double opacity_;
    bool rotated_ = false;
};

StatusLevel statusLevel(HealthLevel level) {
    switch (level) {
    case HealthLevel::ok:
        return StatusLevel::Ok;
    case HealthLevel::warning:
        return StatusLevel::Warning;
    case HealthLevel::problem:
        break;
    }
    return StatusLevel::Problem;
}

} // namespace

KeyboardFooter::KeyboardFooter(const RoomsEnvironment& environment, QWidget* parent)
    : QWidget(parent), environment_(environment) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    more_ = new BundleIcon(QStringLiteral("more"), 16, this);
    more_->setObjectName(QStringLiteral("more"));
    more_->setAccessibleName(L(QStringLiteral("Shortcuts und Einstellungen")));
    column->addWidget(more_, 0, Qt::AlignHCenter);

    panel_ = new QWidget(this);
    auto* sections = new QVBoxLayout(panel_);
    sections->setContentsMargins(0, 0, 0, 0);
    sections->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->addWidget(new InkLabel(L(QStringLiteral("Einstellungen")), TextStyle::Caption,
                                   InkLevel::Secondary, panel_, QFont::DemiBold));
    header->addStretch(1);
    close_ = new SymbolButton(QStringLiteral("xmark"), QSizeF(8, 8), panel_);
    close_->setObjectName(QStringLiteral("close"));
    close_->setAccessibleName(L(QStringLiteral("Schließen")));
    connect(close_, &QAbstractButton::clicked, this, &KeyboardFooter::close);
    header->addWidget(close_);
    sections->addLayout(header);

    KeyboardFocus* focus = environment_.focus;
    FooterSettings* settings = environment_.settings;

    auto* chevron = new Glyph(QStringLiteral("chevron.right"), 9,
                              Ink::opacity(InkLevel::Secondary, Ink::scheme(this)), panel_);
    chevron_ = chevron;
    rows_[int(FooterRow::hints)] = new FooterRowFrame(L(QStringLiteral("Tastenkürzel")), [focus] {
        if (focus)
            focus->setHintsOpen(!focus->hintsOpen());
    });
    rows_[int(FooterRow::hints)]->content()->addWidget(chevron);
    sections->addWidget(rows_[int(FooterRow::hints)]);
    hints_ = buildHints();
    sections->addWidget(hints_);

    rows_[int(FooterRow::hotKey)] = new FooterRowFrame(L(QStringLiteral("Panel öffnen")), [settings] {
        if (settings)
            settings->setRecording(!settings->recording());
    });
    hotKeyCap_ = new KeyCap(rows_[int(FooterRow::hotKey)]);
    hotKeyCap_->setObjectName(QStringLiteral("hotKeyCap"));
    hotKeyCap_->setAttribute(Qt::WA_Hover);
    hotKeyCap_->installEventFilter(this);
    rows_[int(FooterRow::hotKey)]->content()->addWidget(hotKeyCap_);
    sections->addWidget(rows_[int(FooterRow::hotKey)]);

    rows_[int(FooterRow::volumeKeys)] =
        new FooterRowFrame(L(QStringLiteral("Lautstärketasten steuern Sonos")), [settings] {
            if (settings)
                settings->setVolumeKeys(!settings->volumeKeys());
        });
    volumeKeys_ = new MiniSwitch(rows_[int(FooterRow::volumeKeys)]);
    volumeKeys_->setObjectName(QStringLiteral("volumeKeys"));
    volumeKeys_->setAccessibleName(L(QStringLiteral("Lautstärketasten steuern Sonos")));
    connect(volumeKeys_, &QAbstractButton::clicked, this, [settings](bool on) {
        if (settings)
            settings->setVolumeKeys(on);
    });
    rows_[int(FooterRow::volumeKeys)]->content()->addWidget(volumeKeys_);
    rows_[int(FooterRow::volumeKeys)]->installEventFilter(this);
    sections->addWidget(rows_[int(FooterRow::volumeKeys)]);
    // The volume display's preview under the row, as wide as the column.
    preview_ = new HUDPreview(panel_);
    preview_->hide();
    preview_->installEventFilter(this);
    sections->addWidget(preview_);

    notice_ = new QWidget(panel_);
    notice_->setObjectName(QStringLiteral("accessibilityNotice"));
    auto* noticeLayout = new QHBoxLayout(notice_);
    noticeLayout->setContentsMargins(0, 0, 0, 0);
    auto* noticeText =
        new InkLabel(L(QStringLiteral("Lautstärketasten brauchen Zugriff auf Bedienungshilfen.")),
                     TextStyle::Caption, InkLevel::Secondary, notice_);
    noticeText->setWordWrap(true);
    noticeLayout->addWidget(noticeText, 1);
    noticeLayout->addSpacing(8);
    auto* allow = new TextButton(L(QStringLiteral("Erlauben")), TextStyle::Caption, notice_);
    allow->setObjectName(QStringLiteral("allowKeys"));
    // No permission to grant on this desktop: the keys are free once no other program holds
    // them, so the button asks for them at once rather than at the next poll.
    connect(allow, &QAbstractButton::clicked, this, [settings] {
        if (settings)
            settings->askForKeys();
    });
    noticeLayout->addWidget(allow);
    sections->addWidget(notice_);

    rows_[int(FooterRow::login)] = new FooterRowFrame(L(QStringLiteral("Beim Anmelden öffnen")), [settings] {
        if (settings)
            settings->setLoginEnabled(!settings->loginEnabled());
    });
    login_ = new MiniSwitch(rows_[int(FooterRow::login)]);
    login_->setAccessibleName(L(QStringLiteral("Beim Anmelden öffnen")));
    connect(login_, &QAbstractButton::clicked, this, [settings](bool on) {
        if (settings)
            settings->setLoginEnabled(on);
    });
    rows_[int(FooterRow::login)]->content()->addWidget(login_);
    sections->addWidget(rows_[int(FooterRow::login)]);

    rows_[int(FooterRow::health)] = new FooterRowFrame(L(QStringLiteral("Systemzustand")), [settings] {
        if (settings)
            settings->openHealthWindow();
    });
    healthDot_ = new StatusDot(StatusLevel::Ok, 6, rows_[int(FooterRow::health)]);
    healthDot_->setObjectName(QStringLiteral("healthDot"));
    rows_[int(FooterRow::health)]->content()->addWidget(healthDot_);
    rows_[int(FooterRow::health)]->content()->addWidget(
        new Glyph(QStringLiteral("arrow.up.right"), 9, Ink::opacity(InkLevel::Secondary, Ink::scheme(this)),
                  rows_[int(FooterRow::health)]));
    sections->addWidget(rows_[int(FooterRow::health)]);
    column->addWidget(panel_);

    if (focus)
        connect(focus, &KeyboardFocus::changed, this, &KeyboardFooter::refresh);
    if (settings)
        connect(settings, &FooterSettings::changed, this, &KeyboardFooter::refresh);
    if (environment_.health)
        connect(environment_.health, &HealthCheck::reportChanged, this, &KeyboardFooter::refresh);
    refresh();
}

QString KeyboardFooter::commandKeyLabel() {
    return QStringLiteral("Ctrl");
}

QWidget* KeyboardFooter::buildHints() {
    auto* grid = new QWidget(panel_);
    grid->setObjectName(QStringLiteral("hints"));
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(8);
    struct Key {
        QStringList symbols;
        QString text;
    };
    const auto hint = [grid](const QList<Key>& keys, const QString& text) {
        auto* entry = new QWidget(grid);
        auto* row = new QHBoxLayout(entry);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        for (const Key& key : keys) {
            auto* cap = new KeyCap(entry);
            if (key.symbols.isEmpty())
                cap->setText(key.text);
            else
                cap->setSymbols(key.symbols);
            // The modifier's cap takes its natural width, the key itself the grid's 30.
            if (keys.size() == 1 || &key == &keys.last())
                cap->setFaceWidth(30);
            row->addWidget(cap);
        }
        row->addWidget(new InkLabel(text, TextStyle::Caption, 0.8, entry));
        row->addStretch(1);
        return entry;
    };
    const auto symbol = [](const QString& name) { return Key{{name}, {}}; };
    const auto text = [](const QString& face) { return Key{{}, face}; };
    layout->addWidget(hint({symbol(QStringLiteral("space"))}, QStringLiteral("Play/Pause")), 0, 0);
    layout->addWidget(hint({symbol(QStringLiteral("return"))}, L(QStringLiteral("Speaker an/aus"))), 0, 1);
    layout->addWidget(
        hint({symbol(QStringLiteral("arrow.left.arrow.right"))}, L(QStringLiteral("Lautstärke"))), 1, 0);
    layout->addWidget(hint({text(QStringLiteral("A"))}, L(QStringLiteral("Alle dazuholen"))), 1, 1);
    layout->addWidget(
        hint({symbol(QStringLiteral("arrow.up.arrow.down"))}, L(QStringLiteral("Speaker wählen"))), 2, 0);
    layout->addWidget(hint({text(QStringLiteral("esc"))}, L(QStringLiteral("Schließen"))), 2, 1);
    layout->addWidget(hint({text(commandKeyLabel()), symbol(QStringLiteral("arrow.left.arrow.right"))},
                           L(QStringLiteral("Titel zurück/vor"))),
                      3, 0);
    layout->addWidget(hint({text(QStringLiteral("tab"))}, L(QStringLiteral("Gruppe wechseln"))), 3, 1);
    layout->addWidget(hint({text(QStringLiteral("1–9"))}, L(QStringLiteral("Raum-Set"))), 4, 0, 1, 2);
    return grid;
}

bool KeyboardFooter::keyed(std::optional<FooterRow> row) const {
    const KeyboardFocus* focus = environment_.focus;
    if (!focus || !focus->onFooter() || !focus->shortcutsOpen())
        return false;
    if (!row)
        return !focus->footerRow();
    return focus->footerRow() == int(*row);
}

bool KeyboardFooter::expanded() const {
    return (environment_.focus && environment_.focus->shortcutsOpen()) ||
           (environment_.settings && environment_.settings->recording());
}

double KeyboardFooter::cornerRadius() const {
    // Follows the open sections only: a recording alone keeps the pill's round ends.
    return environment_.focus && environment_.focus->shortcutsOpen() ? 20 : 99;
}

double KeyboardFooter::backgroundFill() const {
    const bool open = environment_.focus && environment_.focus->shortcutsOpen();
    if (environment_.focus && environment_.focus->onFooter())
        return 0.08;
    return hovering_ && !open ? 0.05 : 0;
}

bool KeyboardFooter::accessibilityNoticeShown() const {
    const FooterSettings* settings = environment_.settings;
    return settings && settings->globalKeysAvailable() && settings->volumeKeys() && !trusted_;
}

void KeyboardFooter::pollTrust() {
    // Asks again each second while the notice shows; once granted it stays granted for this
    // footer, so the notice does not come back when the answer wavers.
    trustPoll_.stop();
    if (!environment_.settings)
        return;
    if (environment_.settings->keysTrusted())
        trusted_ = true;
    if (accessibilityNoticeShown())
        trustPoll_.start(trustPollInterval, [this] { refresh(); });
}

FooterRowFrame* KeyboardFooter::rowFrame(FooterRow row) const {
    return rows_[int(row)];
}

QWidget* KeyboardFooter::closeButton() const {
    return close_;
}

bool KeyboardFooter::hintsShown() const {
    return !hints_->isHidden();
}

void KeyboardFooter::close() {
    if (environment_.focus)
        environment_.focus->setShortcutsOpen(false);
    if (environment_.settings)
        environment_.settings->setRecording(false);
}

void KeyboardFooter::refresh() {
    const bool open = expanded();
    const bool onFooter = environment_.focus && environment_.focus->onFooter();
    more_->setVisible(!open);
    more_->setColor(
        Ink::color(onFooter || hovering_ ? InkLevel::Primary : InkLevel::Secondary, Ink::scheme(this)));
    panel_->setVisible(open);
    const bool hintsOpen = environment_.focus && environment_.focus->hintsOpen();
    hints_->setVisible(hintsOpen);
    static_cast<Glyph*>(chevron_)->setRotated(hintsOpen);
    close_->setRestLevel(keyed(std::nullopt) ? InkLevel::Primary : InkLevel::Secondary);
    for (int raw = 0; raw < 5; ++raw)
        rows_[raw]->setKeyed(keyed(footerRow(raw)));

    if (const FooterSettings* settings = environment_.settings) {
        const bool recording = settings->recording();
        hotKeyCap_->setText(recording ? L(QStringLiteral("Taste drücken …")) : settings->hotKeyLabel());
        hotKeyCap_->setHighlighted(recording || hotKeyCap_->underMouse());
        hotKeyCap_->setToolTip(recording ? L(QStringLiteral("Esc bricht ab"))
                                         : L(QStringLiteral("Klicken zum Ändern")));
        volumeKeys_->setChecked(settings->volumeKeys());
        // Without global keys the switch could change nothing: it shows the stored value, greyed.
        const bool available = settings->globalKeysAvailable();
        volumeKeys_->setEnabled(available);
        rows_[int(FooterRow::volumeKeys)]->setEnabled(available);
        login_->setChecked(settings->loginEnabled());
    }
    pollTrust();
    notice_->setVisible(accessibilityNoticeShown());
    const HealthCheck* health = environment_.health;
    healthDot_->setVisible(health && health->report());
    if (health && health->report())
        healthDot_->setLevel(statusLevel(health->report()->overall()));
    update();
}

bool KeyboardFooter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == hotKeyCap_ && (event->type() == QEvent::Enter || event->type() == QEvent::Leave)) {
        const bool recording = environment_.settings && environment_.settings->recording();
        hotKeyCap_->setHighlighted(recording || event->type() == QEvent::Enter);
    }
    const bool hover = event->type() == QEvent::Enter || event->type() == QEvent::Leave;
    if (hover && (watched == rows_[int(FooterRow::volumeKeys)] || watched == preview_))
        volumeBlockHover(watched, event->type());
    return QWidget::eventFilter(watched, event);
}

void KeyboardFooter::volumeBlockHover(QObject* watched, QEvent::Type type) {
    // The row and the preview are one block: moving from one to the other keeps the preview.
    QWidget* other =
        watched == preview_ ? static_cast<QWidget*>(rows_[int(FooterRow::volumeKeys)]) : preview_;
    const bool intoOther = other->isVisible() && other->rect().contains(other->mapFromGlobal(QCursor::pos()));
    if (type == QEvent::Enter && watched == preview_)
        return;
    if (type == QEvent::Leave && intoOther)
        return;
    // Every change of the pointer starts over: a short visit shows nothing.
    previewDelay_.stop();
    if (type == QEvent::Enter)
        previewDelay_.start(previewDelay, [this] { setVolumePreview(true); });
    else
        setVolumePreview(false);
}

void KeyboardFooter::setVolumePreview(bool shown) {
    volumePreview_ = shown;
    shown = shown && !RenderMode::active();
    if (shown) {
        const auto group = environment_.household ? environment_.household->activeGroup() : std::nullopt;
        preview_->setArt(group ? group->artURL : std::nullopt);
        preview_->setBase(group ? group->volume : noGroupPreviewVolume);
    }
    preview_->setVisible(shown);
}

void KeyboardFooter::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void KeyboardFooter::paintEvent(QPaintEvent*) {
    Ink::fillRounded(this, backgroundFill(), cornerRadius());
}

void KeyboardFooter::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && environment_.focus && !environment_.focus->shortcutsOpen())
        environment_.focus->setShortcutsOpen(true);
}

void KeyboardFooter::enterEvent(QEnterEvent*) {
    hovering_ = true;
    refresh();
}

void KeyboardFooter::leaveEvent(QEvent*) {
    hovering_ = false;
    refresh();
}
