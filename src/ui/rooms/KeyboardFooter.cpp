#include "ui/rooms/KeyboardFooter.h"

#include "core/RenderMode.h"
#include "core/Texts.h"
#include "health/HealthCheck.h"
#include "household/Household.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/BundleIcon.h"
#include "ui/kit/HUDPreview.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyCap.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/Motion.h"
#include "ui/kit/StatusDot.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"
#include "ui/rooms/DrawnSwitch.h"
#include "ui/rooms/FooterCloseButton.h"
#include "ui/rooms/FooterRowFrame.h"
#include "ui/rooms/InkLabel.h"
#include "ui/rooms/MiniSwitch.h"
#include "ui/rooms/SectionReveal.h"
#include "ui/rooms/TextButton.h"

#include <QCursor>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

// How long the pointer rests on the volume keys row before the volume display's preview shows.
constexpr auto previewDelay = 350ms;
// The volume the preview starts from when no group is active.
constexpr int noGroupPreviewVolume = 28;
// How often the accessibility notice asks whether the key grabs were granted meanwhile.
constexpr auto trustPollInterval = 1s;
// The preview arrives a little slower than it leaves.
constexpr auto previewIn = 300ms;
constexpr auto previewOut = 220ms;
// The notice leaves over this once the grant arrives.
constexpr auto trustChange = 300ms;

// A symbol drawn at a fixed size in one ink.
class Glyph : public QWidget {
public:
    Glyph(const QString& symbol, double size, double opacity, QWidget* parent)
        : QWidget(parent), symbol_(symbol), opacity_(opacity) {
        setFixedSize(int(size), int(size));
    }
    // Turned clockwise about its centre by `degrees`.
    void setAngle(double degrees) {
        angle_ = degrees;
        update();
    }
    double angle() const { return angle_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (angle_ != 0) {
            painter.translate(width() / 2.0, height() / 2.0);
            painter.rotate(angle_);
            painter.translate(-width() / 2.0, -height() / 2.0);
        }
        Symbols::paint(painter, QRectF(rect()), symbol_, Ink::primary(Ink::scheme(this), opacity_));
    }

private:
    QString symbol_;
    double opacity_;
    double angle_ = 0;
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
    // The panel's padding around the footer belongs to it: the pill's fill, its hover and its
    // click cover it, and the close button may reach into it.
    column->setContentsMargins(padding.left(), padding.top(), padding.right(), padding.bottom());
    // One of the two shows at a time; while they swap, one closes as the other opens.
    column->setSpacing(0);

    collapsed_ = new QWidget(this);
    auto* collapsedLayout = new QVBoxLayout(collapsed_);
    collapsedLayout->setContentsMargins(0, 0, 0, 0);
    more_ = new BundleIcon(QStringLiteral("more"), 16, collapsed_);
    more_->setObjectName(QStringLiteral("more"));
    more_->setAccessibleName(L(QStringLiteral("Shortcuts und Einstellungen")));
    collapsedLayout->addWidget(more_, 0, Qt::AlignHCenter);
    column->addWidget(collapsed_);

    panel_ = new QWidget(this);
    panel_->hide();
    auto* sections = new QVBoxLayout(panel_);
    sections->setContentsMargins(0, 0, 0, 0);
    sections->setSpacing(10);
    sections->addWidget(buildHeader());

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
    hints_->hide();
    hintsReveal_ = new SectionReveal(hints_);
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

    buildVolumeBlock(sections);
    buildNotice(sections);
    buildLogin(sections);

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

    collapsedReveal_ = new SectionReveal(collapsed_);
    panelReveal_ = new SectionReveal(panel_);

    if (focus)
        connect(focus, &KeyboardFocus::changed, this, &KeyboardFooter::refresh);
    if (settings)
        connect(settings, &FooterSettings::changed, this, &KeyboardFooter::refresh);
    if (environment_.health)
        connect(environment_.health, &HealthCheck::reportChanged, this, &KeyboardFooter::refresh);
    refresh();
    animated_ = true;
}

QWidget* KeyboardFooter::buildHeader() {
    auto* header = new QWidget(panel_);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new InkLabel(L(QStringLiteral("Einstellungen")), TextStyle::Caption,
                                   InkLevel::Secondary, header, QFont::DemiBold));
    layout->addStretch(1);
    // The close button reaches 6 points beyond its circle for the pointer: it is laid over an
    // 18-point slot by hand, so that its larger hit area does not make the header taller.
    closeSlot_ = new QWidget(header);
    closeSlot_->setFixedSize(int(FooterCloseButton::face), int(FooterCloseButton::face));
    closeSlot_->installEventFilter(this);
    layout->addWidget(closeSlot_);
    close_ = new FooterCloseButton(panel_);
    close_->setObjectName(QStringLiteral("close"));
    close_->setAccessibleName(L(QStringLiteral("Schließen")));
    connect(close_, &QAbstractButton::clicked, this, &KeyboardFooter::close);
    return header;
}

void KeyboardFooter::buildVolumeBlock(QLayout* sections) {
    FooterSettings* settings = environment_.settings;
    FooterRowFrame* row = new FooterRowFrame(L(QStringLiteral("Lautstärketasten steuern Sonos")), [settings] {
        if (settings)
            settings->setVolumeKeys(!settings->volumeKeys());
    });
    rows_[int(FooterRow::volumeKeys)] = row;
    if (RenderMode::active()) {
        // Pictures show the feature as it is meant to be used: the switch drawn on.
        auto* drawn = new DrawnSwitch(row);
        drawn->setObjectName(QStringLiteral("volumeKeys"));
        row->content()->addWidget(drawn);
    } else {
        volumeKeys_ = new MiniSwitch(row);
        volumeKeys_->setObjectName(QStringLiteral("volumeKeys"));
        volumeKeys_->setAccessibleName(L(QStringLiteral("Lautstärketasten steuern Sonos")));
        connect(volumeKeys_, &QAbstractButton::clicked, this, [settings](bool on) {
            if (settings)
                settings->setVolumeKeys(on);
        });
        row->content()->addWidget(volumeKeys_);
    }
    row->installEventFilter(this);
    sections->addWidget(row);
    // The volume display's preview under the row, as wide as the column.
    preview_ = new HUDPreview(panel_);
    preview_->hide();
    preview_->installEventFilter(this);
    previewReveal_ = new SectionReveal(preview_);
    sections->addWidget(preview_);
}

void KeyboardFooter::buildNotice(QLayout* sections) {
    FooterSettings* settings = environment_.settings;
    notice_ = new QWidget(panel_);
    notice_->setObjectName(QStringLiteral("accessibilityNotice"));
    notice_->hide();
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
    noticeReveal_ = new SectionReveal(notice_, BlurFade::blurRadius);
    sections->addWidget(notice_);
}

void KeyboardFooter::buildLogin(QLayout* sections) {
    FooterSettings* settings = environment_.settings;
    FooterRowFrame* row = new FooterRowFrame(L(QStringLiteral("Beim Anmelden öffnen")), [settings] {
        if (settings)
            settings->setLoginEnabled(!settings->loginEnabled());
    });
    rows_[int(FooterRow::login)] = row;
    if (RenderMode::active()) {
        // Drawn from the amount the renderer moves, so that a clip can show the switch turning.
        auto* drawn = new DrawnSwitch([] { return RenderMode::login(); }, row);
        drawn->setObjectName(QStringLiteral("login"));
        row->content()->addWidget(drawn);
    } else {
        login_ = new MiniSwitch(row);
        login_->setObjectName(QStringLiteral("login"));
        login_->setAccessibleName(L(QStringLiteral("Beim Anmelden öffnen")));
        connect(login_, &QAbstractButton::clicked, this, [settings](bool on) {
            if (settings)
                settings->setLoginEnabled(on);
        });
        row->content()->addWidget(login_);
    }
    sections->addWidget(row);
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
    return hover_.isOn() && !open ? 0.05 : 0;
}

double KeyboardFooter::drawnBackgroundFill() const {
    const bool open = environment_.focus && environment_.focus->shortcutsOpen();
    if (environment_.focus && environment_.focus->onFooter())
        return 0.08;
    return open ? 0 : 0.05 * hover_.progress();
}

bool KeyboardFooter::accessibilityNoticeShown() const {
    const FooterSettings* settings = environment_.settings;
    return settings && settings->globalKeysAvailable() && settings->volumeKeys() && !trusted_ &&
           !RenderMode::active();
}

void KeyboardFooter::pollTrust() {
    // Asks again each second while the notice shows; once granted it stays granted for this
    // footer, so the notice does not come back when the answer wavers.
    trustPoll_.stop();
    if (!environment_.settings)
        return;
    if (!trusted_ && environment_.settings->keysTrusted()) {
        trusted_ = true;
        noticeReveal_->setShown(false, animated_ ? trustChange : 0ms);
    }
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
    return hintsReveal_->shown();
}

double KeyboardFooter::chevronAngle() const {
    return static_cast<const Glyph*>(chevron_)->angle();
}

void KeyboardFooter::close() {
    if (environment_.focus)
        environment_.focus->setShortcutsOpen(false);
    if (environment_.settings)
        environment_.settings->setRecording(false);
}

void KeyboardFooter::refresh() {
    refreshFrame();
    refreshSettings();
    pollTrust();
    noticeReveal_->setShown(accessibilityNoticeShown(), 0ms);
    const HealthCheck* health = environment_.health;
    healthDot_->setVisible(health && health->report());
    if (health && health->report())
        healthDot_->setLevel(statusLevel(health->report()->overall()));
    update();
}

void KeyboardFooter::refreshFrame() {
    const auto swap = animated_ ? Motion::column : 0ms;
    const bool open = expanded();
    collapsedReveal_->setShown(!open, swap);
    panelReveal_->setShown(open, swap);
    paintHover();
    const bool hintsOpen = environment_.focus && environment_.focus->hintsOpen();
    hintsReveal_->setShown(hintsOpen, swap);
    if (hintsOpen != chevronOpen_) {
        chevronOpen_ = hintsOpen;
        auto* chevron = static_cast<Glyph*>(chevron_);
        Motion::animate(this, chevronAnimation_, chevron->angle(), hintsOpen ? 90 : 0, swap,
                        Motion::panelCurve(), [chevron](double degrees) { chevron->setAngle(degrees); });
    }
    close_->setKeyed(keyed(std::nullopt));
    for (int raw = 0; raw < 5; ++raw)
        rows_[raw]->setKeyed(keyed(footerRow(raw)));
}

void KeyboardFooter::refreshSettings() {
    const FooterSettings* settings = environment_.settings;
    if (!settings)
        return;
    const bool recording = settings->recording();
    hotKeyCap_->setText(recording ? L(QStringLiteral("Taste drücken …")) : settings->hotKeyLabel());
    hotKeyCap_->setHighlighted(recording || hotKeyCap_->underMouse());
    hotKeyCap_->setToolTip(recording ? L(QStringLiteral("Esc bricht ab"))
                                     : L(QStringLiteral("Klicken zum Ändern")));
    // Without global keys the switch could change nothing: it shows the stored value, greyed.
    const bool available = settings->globalKeysAvailable();
    rows_[int(FooterRow::volumeKeys)]->setEnabled(available);
    if (volumeKeys_) {
        volumeKeys_->setChecked(settings->volumeKeys());
        volumeKeys_->setEnabled(available);
    }
    if (login_)
        login_->setChecked(settings->loginEnabled());
}

void KeyboardFooter::paintHover() {
    const bool onFooter = environment_.focus && environment_.focus->onFooter();
    const Scheme scheme = Ink::scheme(this);
    more_->setColor(onFooter ? Ink::color(InkLevel::Primary, scheme)
                             : Ink::mix(Ink::color(InkLevel::Secondary, scheme),
                                        Ink::color(InkLevel::Primary, scheme), hover_.progress()));
    update();
}

void KeyboardFooter::setHovering(bool hovering) {
    hover_.set(hovering);
}

void KeyboardFooter::placeCloseButton() {
    // Centred on its slot, moved up to 2 points into the trailing padding where the footer has
    // room for it: the circle is never cut by the footer's edge.
    const QRect slot(closeSlot_->mapTo(panel_, QPoint(0, 0)), closeSlot_->size());
    const int room = panel_->width() - (slot.x() + slot.width());
    QRect area(QPoint(0, 0), close_->sizeHint());
    area.moveCenter(slot.center() + QPoint(std::clamp(room, 0, 2), 0));
    close_->setGeometry(area);
    close_->raise();
}

bool KeyboardFooter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == closeSlot_ &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show))
        placeCloseButton();
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
    previewReveal_->setShown(shown, shown ? previewIn : previewOut);
}

void KeyboardFooter::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void KeyboardFooter::paintEvent(QPaintEvent*) {
    Ink::fillRounded(this, drawnBackgroundFill(), cornerRadius());
}

void KeyboardFooter::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && environment_.focus && !environment_.focus->shortcutsOpen())
        environment_.focus->setShortcutsOpen(true);
}

void KeyboardFooter::enterEvent(QEnterEvent*) {
    setHovering(true);
}

void KeyboardFooter::leaveEvent(QEvent*) {
    setHovering(false);
}
