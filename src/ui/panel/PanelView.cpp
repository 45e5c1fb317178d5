#include "ui/panel/PanelView.h"

#include "core/RenderMode.h"
#include "core/Texts.h"
#include "health/HealthCheck.h"
#include "health/HealthReport.h"
#include "health/Support.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/Motion.h"
#include "ui/kit/OutsetItem.h"
#include "ui/kit/PanelPresence.h"
#include "ui/kit/PressableButton.h"
#include "ui/kit/RouteButton.h"
#include "ui/kit/StatusDot.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/TextStyle.h"
#include "ui/kit/Tile.h"
#include "ui/panel/NowPlaying.h"
#include "ui/panel/OnboardingView.h"
#include "ui/panel/PlayingWaves.h"
#include "ui/panel/PresetMenu.h"
#include "ui/panel/RefreshLoop.h"
#include "ui/rooms/CrashBanner.h"
#include "ui/rooms/ErrorBanner.h"
#include "ui/rooms/KeyboardFooter.h"
#include "ui/rooms/RoomList.h"
#include "ui/rooms/SearchingTile.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace std::chrono_literals;

namespace {

StatusLevel statusLevel(HealthLevel level) {
    switch (level) {
    case HealthLevel::warning:
        return StatusLevel::Warning;
    case HealthLevel::problem:
        return StatusLevel::Problem;
    case HealthLevel::ok:
        break;
    }
    return StatusLevel::Ok;
}

HoverOptions headerHover(const QString& tooltip) {
    HoverOptions options;
    options.tooltip = tooltip;
    options.alignment = Qt::AlignHCenter;
    options.padding = 6;
    options.shape = HoverShape::Circle;
    options.rest = InkLevel::Primary;
    return options;
}

// A tile around one widget.
Tile* tileAround(QWidget* content, QWidget* parent) {
    auto* tile = new Tile(parent);
    tile->column()->addWidget(content);
    return tile;
}

} // namespace

// The health dot in the header: 7 points in an 18-point frame, opening the system-health window.
class PanelView::StatusButton : public PressableButton {
public:
    explicit StatusButton(QWidget* parent) : PressableButton(parent) {
        setContentSize(QSizeF(18, 18));
        setHover(headerHover(L(QStringLiteral("Systemzustand ansehen"))));
        setAccessibleName(L(QStringLiteral("Systemzustand ansehen")));
    }
    void setLevel(StatusLevel level) {
        level_ = level;
        update();
    }
    StatusLevel level() const { return level_; }

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override {
        const QPointF centre = rect.center();
        StatusDot::paint(painter, QRectF(centre.x() - 3.5, centre.y() - 3.5, 7, 7), level_, this);
    }

private:
    StatusLevel level_ = StatusLevel::Ok;
};

PanelView::PanelView(const PanelEnvironment& environment, QWidget* parent)
    : QWidget(parent), environment_(environment) {
    // Live, the whole panel lies on its translucent surface: its views may keep text in layers.
    LayerCache::setTranslucentGround(this, true);
    setFixedWidth(width);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(padding, padding, padding, padding);
    column_->setSpacing(spacing);
    buildHeader();

    contentArea_ = new QWidget(this);
    contentGrid_ = new QGridLayout(contentArea_);
    contentGrid_->setContentsMargins(0, 0, 0, 0);
    column_->addWidget(contentArea_);

    if (environment_.store)
        onboarded_ = environment_.store->boolValue(HouseholdKeys::onboarded).value_or(false);

    Household* household = environment_.household;
    connect(household, &Household::groupsChanged, this, &PanelView::updateContent);
    connect(household, &Household::activeCoordinatorChanged, this, &PanelView::updateContent);
    connect(household, &Household::errorChanged, this, &PanelView::updateBanners);
    connect(household, &Household::groupsChanged, this, &PanelView::checkHealthOnChange);
    if (environment_.support)
        connect(environment_.support, &Support::pendingCrashChanged, this, &PanelView::updateBanners);
    if (environment_.health)
        connect(environment_.health, &HealthCheck::reportChanged, this, &PanelView::updateStatus);
    if (environment_.focus)
        connect(environment_.focus, &KeyboardFocus::changed, this, [this] {
            updateOnboarded();
            updatePopover();
        });
    if (environment_.presence)
        connect(environment_.presence, &PanelPresence::shownChanged, this,
                [this](bool, bool animated) { updatePresence(animated); });

    healthCondition_ = onboarded_ && !household->allRooms().isEmpty();
    updateStatus();
    updateBanners();
    updateContent();
    updatePresence(false);
    applyScheme();
    loop_ = new RefreshLoop(household, this);
    scheduleWarmUp();
}

PanelView::~PanelView() = default;

PressableButton* PanelView::statusButton() const {
    return status_;
}

void PanelView::buildHeader() {
    header_ = new QWidget(this);
    auto* row = new QHBoxLayout(header_);
    row->setContentsMargins(12, 6, 12, 2);
    // The product name, never translated.
    name_ = new QLabel(QStringLiteral("Tamber"), header_);
    name_->setFont(Type::font(TextStyle::Subheadline, QFont::DemiBold));
    row->addWidget(name_);
    row->addStretch(1);

    auto* buttons = new QWidget(header_);
    auto* stack = new QHBoxLayout(buttons);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    status_ = new StatusButton(buttons);
    connect(status_, &QAbstractButton::clicked, this, [this] {
        if (environment_.health)
            environment_.health->onOpenWindow();
    });
    stack->addWidget(status_);
    if (RenderMode::active()) {
        auto* icon = new SymbolButton(QString(), QSizeF(16, 16), buttons);
        icon->setBundleIcon(QStringLiteral("airplay"));
        icon->setHover(headerHover(QStringLiteral("AirPlay")));
        airPlay_ = icon;
    } else {
        auto* route = new RouteButton(buttons);
        route->setHover(headerHover(QStringLiteral("AirPlay")));
        airPlay_ = route;
    }
    stack->addWidget(airPlay_);
    quit_ = new SymbolButton(QString(), QSizeF(16, 16), buttons);
    quit_->setBundleIcon(QStringLiteral("quit"));
    quit_->setHover(headerHover(L(QStringLiteral("Beenden"))));
    quit_->setAccessibleName(L(QStringLiteral("Beenden")));
    connect(quit_, &QAbstractButton::clicked, this, &PanelView::quitRequested);
    stack->addWidget(quit_);
    // The buttons reach 6 points into the header's trailing padding.
    OutsetItem::add(row, buttons, QMargins(0, 0, 6, 0));
    column_->addWidget(header_);
}

void PanelView::updateOnboarded() {
    const bool now =
        environment_.store && environment_.store->boolValue(HouseholdKeys::onboarded).value_or(false);
    if (now == onboarded_)
        return;
    onboarded_ = now;
    updateStatus();
    updateBanners();
    updateContent();
    checkHealthOnChange();
}

void PanelView::checkHealthOnChange() {
    const bool condition = onboarded_ && !environment_.household->allRooms().isEmpty();
    const bool turnedTrue = condition && healthCondition_ == false;
    healthCondition_ = condition;
    if (turnedTrue && environment_.health)
        environment_.health->checkIfStale();
}

void PanelView::updateStatus() {
    const HealthCheck* health = environment_.health;
    const bool show =
        onboarded_ && health && health->report() && health->report()->panelLevel() != HealthLevel::ok;
    if (show)
        status_->setLevel(statusLevel(health->report()->panelLevel()));
    status_->setVisible(show);
}

namespace {

// A banner enters and leaves with opacity and a move from the top edge: it rises by its own
// height and the column's spacing.
double bannerRise(const QWidget* banner) {
    return banner->sizeHint().height() + PanelView::spacing;
}

// Fades the banner out upwards and deletes it; with `animated` false it goes at once.
void dropBanner(QWidget* banner, bool animated) {
    if (!banner)
        return;
    if (!animated) {
        delete banner;
        return;
    }
    QPointer<QWidget> leaving(banner);
    BlurFade::slideOut(
        banner, bannerRise(banner), Motion::column, [leaving] { delete leaving; }, Motion::panelCurve());
}

} // namespace

void PanelView::updateBanners() {
    updateErrorBanner();
    updateCrashBanner();
}

// The column animates every change of the household's error (and of onboarding): the banner
// arrives and leaves with the transition; a new text while it shows replaces the text in place.
void PanelView::updateErrorBanner() {
    const std::optional<QString> error = onboarded_ ? environment_.household->error() : std::nullopt;
    if (error == errorShown_)
        return;
    errorShown_ = error;
    if (error && errorBanner_) {
        errorBanner_->setText(*error);
        return;
    }
    if (!error) {
        dropBanner(errorBanner_.data(), true);
        errorBanner_ = nullptr;
        return;
    }
    Household* household = environment_.household;
    errorBanner_ = new ErrorBanner(
        *error, [household] { household->setError(std::nullopt); }, this);
    column_->insertWidget(1, errorBanner_);
    BlurFade::slideIn(errorBanner_, bannerRise(errorBanner_), Motion::column, Motion::panelCurve());
}

// The crash banner appears without a transition of its own; it leaves with one only when the
// user dismissed it (sending clears the pending crash without animation).
void PanelView::updateCrashBanner() {
    const bool crash = onboarded_ && environment_.support && environment_.support->pendingCrash().has_value();
    if (crash && !crashBanner_) {
        Support* support = environment_.support;
        Household* household = environment_.household;
        crashBanner_ = new CrashBanner(
            [support, household] { support->sendCrash(Support::Context::make(household, std::nullopt)); },
            [this, support] {
                crashDismissed_ = true;
                support->dismissCrash();
                crashDismissed_ = false;
            },
            this);
        // Below the error banner when both show.
        column_->insertWidget(errorBanner_ ? 2 : 1, crashBanner_);
    } else if (!crash && crashBanner_) {
        dropBanner(crashBanner_.data(), crashDismissed_);
        crashBanner_ = nullptr;
    }
}

void PanelView::swapContent(QWidget* fresh, Content kind, bool animateIn, bool animateOut) {
    QPointer<QWidget> old = current_;
    current_ = fresh;
    content_ = kind;
    contentGrid_->addWidget(fresh, 0, 0, Qt::AlignTop);
    fresh->show();
    if (old) {
        if (animateOut)
            BlurFade::remove(
                old, 0, Motion::swapOut, [old] { delete old; }, Motion::panelCurve());
        else
            delete old;
    }
    if (animateIn && old)
        BlurFade::insert(fresh, 6, Motion::swapIn, 120ms, Motion::panelCurve());
}

void PanelView::updateContent() {
    if (!onboarded_) {
        if (content_ != Content::Onboarding || !current_) {
            groupColumn_ = nullptr;
            auto* tile = tileAround(new OnboardingView(environment_), contentArea_);
            swapContent(tile, Content::Onboarding, false, true);
            main_ = nullptr;
            inner_ = nullptr;
        }
        return;
    }
    if (!main_) {
        auto* area = new QWidget(contentArea_);
        mainGrid_ = new QGridLayout(area);
        mainGrid_->setContentsMargins(0, 0, 0, 0);
        inner_ = nullptr;
        main_ = area;
        swapContent(area, Content::Searching, true, false);
    }
    updateGroupColumn();
}

void PanelView::updateGroupColumn() {
    const std::optional<SpeakerGroup> group = environment_.household->activeGroup();
    const Content wanted = group ? Content::Group : Content::Searching;
    const bool swap = !inner_ || wanted != content_;
    if (swap) {
        QWidget* fresh = nullptr;
        if (!group) {
            fresh = tileAround(new SearchingTile(environment_.rooms()), main_);
            groupColumn_ = nullptr;
        } else {
            auto* column = new QWidget(main_);
            auto* stack = new QVBoxLayout(column);
            stack->setContentsMargins(0, 0, 0, 0);
            stack->setSpacing(spacing);
            nowPlaying_ = new NowPlaying(*group, environment_, column);
            waves_ = new PlayingWaves(nowPlaying_);
            waves_->setColor(Ink::primary(Ink::scheme(this), 1));
            nowPlaying_->setBackdrop(waves_);
            stack->addWidget(nowPlaying_);
            roomList_ = new RoomList(
                *group, environment_.rooms(),
                [household = environment_.household](const SpeakerGroup& listGroup, QWidget* parent)
                    -> QWidget* { return new PresetMenu(listGroup, household, parent); },
                column);
            stack->addWidget(tileAround(roomList_, column));
            stack->addWidget(new KeyboardFooter(environment_.rooms(), column));
            nowPlaying_->raise();
            groupColumn_ = column;
            fresh = column;
        }
        QPointer<QWidget> old = inner_;
        inner_ = fresh;
        mainGrid_->addWidget(fresh, 0, 0, Qt::AlignTop);
        fresh->show();
        if (old) {
            BlurFade::remove(
                old, 0, Motion::swapOut, [old] { delete old; }, Motion::panelCurve());
            BlurFade::insert(fresh, 6, Motion::swapIn, Motion::swapInDelay, Motion::panelCurve());
        }
        content_ = wanted;
        updatePopover();
        updatePresence(false);
        scheduleWarmUp();
    }
    if (group && nowPlaying_) {
        nowPlaying_->setGroup(*group);
        roomList_->setGroup(*group);
        if (auto* presets = roomList_->findChild<PresetMenu*>())
            presets->setGroup(*group);
        waves_->setPlaying(NowPlaying::playing(*group));
    }
}

void PanelView::updatePopover() {
    if (groupColumn_)
        groupColumn_->setAttribute(Qt::WA_TransparentForMouseEvents,
                                   environment_.focus && environment_.focus->popoverOpen());
}

void PanelView::updatePresence(bool animated) {
    const bool shown = environment_.presence && environment_.presence->shown();
    if (waves_)
        waves_->setShown(shown);
    const double target = shown ? 1 : 0;
    const auto apply = [this](double value) {
        opacity_ = value;
        if (value >= 1) {
            // Fully shown: no effect in the way of painting.
            if (fade_ && graphicsEffect() == fade_)
                setGraphicsEffect(nullptr);
            fade_ = nullptr;
            return;
        }
        if (!fade_ || graphicsEffect() != fade_) {
            fade_ = new QGraphicsOpacityEffect(this);
            setGraphicsEffect(fade_);
        }
        fade_->setOpacity(value);
    };
    apply(opacity_);
    if (animated)
        Motion::animate(this, fadeAnimation_, opacity_, target,
                        std::chrono::milliseconds(PanelPresence::fadeOutMs), Motion::easeOut(), apply);
    else
        Motion::animate(this, fadeAnimation_, opacity_, target, 0ms, Motion::easeOut(), apply);
}

void PanelView::paintSurface(QPainter& painter, const QRectF& rect, Scheme scheme, bool opaque) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    if (opaque) {
        painter.fillPath(shape,
                         scheme == Scheme::Dark ? QColor::fromRgbF(0.13f, 0.13f, 0.13f) : QColor(Qt::white));
    } else {
        painter.fillPath(shape, scheme == Scheme::Dark ? QColor::fromRgbF(0, 0, 0, 0.45f)
                                                       : QColor::fromRgbF(1, 1, 1, 0.4f));
        QPainterPath inner;
        inner.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
        painter.setPen(QPen(Ink::primary(scheme, 0.12), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(inner);
    }
    painter.restore();
}

void PanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Scheme scheme = Ink::scheme(this);
    const bool opaque = RenderMode::active();
    const QRectF box(rect());
    const QRgb key = (scheme == Scheme::Dark ? 1 : 2) | (opaque ? 4 : 0);
    surface_.draw(painter, box.size(), key, [&](QPainter& p) { paintSurface(p, box, scheme, opaque); });
}

QSize PanelView::sizeHint() const {
    return QSize(width, layout()->sizeHint().height());
}

bool PanelView::event(QEvent* event) {
    if (event->type() == QEvent::LayoutRequest)
        scheduleReport();
    return QWidget::event(event);
}

void PanelView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        applyScheme();
    QWidget::changeEvent(event);
}

void PanelView::applyScheme() {
    // The name in the primary colour at 0.75; the waves in the scheme's primary colour.
    const Scheme scheme = Ink::scheme(this);
    QPalette palette = name_->palette();
    palette.setColor(QPalette::WindowText, Ink::primary(scheme, 0.75));
    name_->setPalette(palette);
    if (waves_)
        waves_->setColor(Ink::primary(scheme, 1));
}

void PanelView::scheduleWarmUp() {
    if (warmUpPending_)
        return;
    warmUpPending_ = true;
    QTimer::singleShot(0, this, [this] {
        warmUpPending_ = false;
        warmUp();
    });
}

// Paints the panel once into a throwaway picture while it is hidden, so that fonts, glyphs,
// symbols and every cached layer are ready when it opens: the first frame the user waits for
// then costs no more than any later one. (The view itself may carry the closed panel's fade,
// which would paint nothing: its parts are painted one by one.)
void PanelView::warmUp() {
    if (isVisible() || RenderMode::active())
        return;
    layout()->activate();
    const double ratio = devicePixelRatioF();
    QImage scratch((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (scratch.isNull())
        return;
    scratch.setDevicePixelRatio(ratio);
    scratch.fill(Qt::transparent);
    QPainter painter(&scratch);
    const Scheme scheme = Ink::scheme(this);
    const QRectF box(rect());
    surface_.draw(painter, box.size(), scheme == Scheme::Dark ? 1 : 2,
                  [&](QPainter& p) { paintSurface(p, box, scheme, false); });
    for (QWidget* part : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!part->isHidden())
            part->render(&painter, part->pos(), QRegion(), QWidget::DrawChildren);
}

void PanelView::scheduleReport() {
    if (reportPending_)
        return;
    reportPending_ = true;
    // Coalesces the layout passes of one change into one report.
    QTimer::singleShot(0, this, [this] {
        reportPending_ = false;
        report();
    });
}

void PanelView::report() {
    layout()->activate();
    const QSize size = sizeHint();
    if (size == reported_)
        return;
    reported_ = size;
    emit sizeChanged(size);
}
