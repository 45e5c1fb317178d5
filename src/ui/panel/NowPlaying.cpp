#include "ui/panel/NowPlaying.h"

#include "core/Tasks.h"
#include "core/Texts.h"
#include "household/Household.h"
#include "ui/kit/Artwork.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/EditableName.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/LayerCache.h"
#include "ui/kit/Motion.h"
#include "ui/kit/OutsetItem.h"
#include "ui/kit/SoundToggle.h"
#include "ui/kit/StepButton.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/TVArtwork.h"
#include "ui/kit/TextStyle.h"
#include "ui/kit/VolumeSlider.h"
#include "ui/panel/FavoritesList.h"
#include "ui/panel/GroupSwitcher.h"
#include "ui/panel/LinkOpener.h"
#include "ui/panel/Marquee.h"
#include "ui/panel/MusicAppShortcuts.h"
#include "ui/panel/OpenSource.h"
#include "ui/panel/SleepTimerButton.h"
#include "ui/panel/SourceGlyph.h"
#include "ui/panel/SourceLink.h"
#include "ui/panel/TrackProgress.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr double coverSize = 38;
constexpr int volumeStep = 4;

QWidget* coverLabel(bool tv, const std::optional<QUrl>& art) {
    if (tv)
        return new TVArtwork(coverSize);
    auto* artwork = new Artwork(coverSize);
    artwork->setUrl(art);
    return artwork;
}
} // namespace

// The group volume row on its capsule, filled faintly while the row has the keyboard.
class NowPlaying::VolumeRow : public QWidget {
public:
    using QWidget::QWidget;
    void setHighlighted(bool on) {
        if (on == highlighted_)
            return;
        highlighted_ = on;
        update();
    }
    bool highlighted() const { return highlighted_; }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!highlighted_)
            return;
        // Copied from a layer: the row lies over the waves and is repainted with every frame.
        QPainter painter(this);
        const QColor fill = Ink::primary(Ink::scheme(this), 0.08);
        capsule_.draw(painter, QSizeF(size()), fill.rgba(), [&](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            const QRectF box(rect());
            const double r = std::min<double>(Ink::capsule, box.height() / 2);
            p.drawRoundedRect(box, r, r);
        });
    }

private:
    bool highlighted_ = false;
    LayerCache capsule_;
};

NowPlaying::NowPlaying(const SpeakerGroup& group, const PanelEnvironment& environment, QWidget* parent)
    : Tile(parent), group_(group), environment_(environment) {
    Household* household = environment_.household;
    QVBoxLayout* column = this->column(10);

    // Head row: cover, titles, spacer, sleep timer and transport.
    auto* head = new QHBoxLayout;
    head->setSpacing(10);
    column->addLayout(head);
    tv_ = group.viaTV;
    cover_ = new OpenSource(OpenSource::Style::Artwork, environment_.links, this);
    cover_->setLabel(coverLabel(tv_, group.artURL));
    head->addWidget(cover_, 0, Qt::AlignVCenter);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    head->addLayout(titles, 1);
    nameLine_ = new QHBoxLayout;
    nameLine_->setSpacing(4);
    titles->addLayout(nameLine_);
    name_ = new EditableName(this);
    name_->setFont(Type::font(TextStyle::Body, QFont::DemiBold));
    OutsetItem::add(nameLine_, name_, QMargins(EditableName::sidePadding, 0, 0, 0));
    switcher_ = new GroupSwitcher(group, household, this);
    // The chevron's hover circle reaches 3 points above and below the name line.
    OutsetItem::add(nameLine_, switcher_, QMargins(0, 3, 0, 3));
    nameLine_->addStretch(1);
    connect(name_, &EditableName::committed, this, [this](const QString& text) {
        if (environment_.household)
            Tasks::detach(environment_.household->rename(group_, text), "rename from the tile");
    });

    auto* sourceLine = new QHBoxLayout;
    sourceLine->setSpacing(5);
    titles->addLayout(sourceLine);
    glyph_ = new SourceGlyph(this);
    sourceLine->addWidget(glyph_, 0, Qt::AlignVCenter);
    subtitleLink_ = new OpenSource(OpenSource::Style::Inline, environment_.links, this);
    subtitleBox_ = new QWidget;
    subtitleGrid_ = new QGridLayout(subtitleBox_);
    subtitleGrid_->setContentsMargins(0, 0, 0, 0);
    subtitleLink_->setLabel(subtitleBox_);
    subtitleLink_->setInkReceiver([this](const QColor&) { updateInk(); });
    sourceLine->addWidget(subtitleLink_, 1);

    controls_ = new QWidget(this);
    auto* controls = new QHBoxLayout(controls_);
    controls->setContentsMargins(0, 0, 0, 0);
    controls->setSpacing(10);
    sleep_ = new SleepTimerButton(household, controls_);
    controls->addWidget(sleep_);
    auto* transport = new QHBoxLayout;
    transport->setSpacing(0);
    controls->addLayout(transport);
    const auto skip = [this, household](bool forward) {
        auto* button =
            new SymbolButton(forward ? QStringLiteral("forward.fill") : QStringLiteral("backward.fill"),
                             QSizeF(12, 12), controls_);
        button->setContentSize(QSizeF(18, 20));
        HoverOptions options;
        options.padding = 5;
        options.rest = InkLevel::Secondary;
        button->setHover(options);
        button->setAccessibleName(forward ? L(QStringLiteral("Nächster Titel"))
                                          : L(QStringLiteral("Vorheriger Titel")));
        connect(button, &QAbstractButton::clicked, this, [this, household, forward] {
            if (household)
                Tasks::detach(household->skip(group_, forward), "skip from the tile");
        });
        return button;
    };
    previous_ = skip(false);
    transport->addWidget(previous_);
    play_ = new SymbolButton(QStringLiteral("play.fill"), QSizeF(15, 15), controls_);
    play_->setContentSize(QSizeF(20, 20));
    {
        HoverOptions options;
        options.alignment = Qt::AlignRight;
        options.padding = 7;
        options.rest = InkLevel::Primary;
        play_->setHover(options);
    }
    connect(play_, &QAbstractButton::clicked, this, [this, household] {
        if (household)
            Tasks::detach(household->togglePlay(group_), "play or pause from the tile");
    });
    transport->addWidget(play_);
    next_ = skip(true);
    transport->addWidget(next_);
    // The transport reaches 7 points into the tile's padding.
    OutsetItem::add(head, controls_, QMargins(0, 0, 7, 0));

    // While nothing is loaded: favourites and music apps.
    // The section reaches into the tile's padding by as much as the favourites' row capsules,
    // and keeps its content in line with the column.
    idle_ = new QWidget(this);
    auto* idle = new QVBoxLayout(idle_);
    const int outset = FavoritesList::outset;
    idle->setContentsMargins(outset, 0, outset, 0);
    idle->setSpacing(10);
    apps_ = new MusicAppShortcuts(idle_);
    idle->addWidget(apps_);
    OutsetItem::add(column, idle_, QMargins(outset, 0, outset, 0));

    progress_ = new TrackProgress(household, this);
    column->addWidget(progress_);

    tvRow_ = new QWidget(this);
    auto* tv = new QHBoxLayout(tvRow_);
    tv->setContentsMargins(0, 0, 0, 0);
    tv->setSpacing(6);
    night_ = new SoundToggle(QStringLiteral("moon.fill"), L(QStringLiteral("Nachtmodus")), tvRow_);
    speech_ = new SoundToggle(QStringLiteral("person.wave.2.fill"), L(QStringLiteral("Sprache")), tvRow_);
    tv->addWidget(night_);
    tv->addWidget(speech_);
    tv->addStretch(1);
    connect(night_, &QAbstractButton::clicked, this, [this, household] {
        if (household && group_.nightMode)
            household->setTVSound(group_, !*group_.nightMode, std::nullopt);
    });
    connect(speech_, &QAbstractButton::clicked, this, [this, household] {
        if (household && group_.speechBoost)
            household->setTVSound(group_, std::nullopt, !*group_.speechBoost);
    });
    column->addWidget(tvRow_);

    volumeRow_ = new VolumeRow(this);
    auto* volume = new QHBoxLayout(volumeRow_);
    volume->setContentsMargins(5, 5, 5, 5);
    volume->setSpacing(4);
    minus_ = new StepButton(QStringLiteral("minus"), volumeRow_);
    slider_ = new VolumeSlider(20, volumeRow_);
    slider_->setName(L(QStringLiteral("Lautstärke")));
    plus_ = new StepButton(QStringLiteral("plus"), volumeRow_);
    volume->addWidget(minus_);
    volume->addWidget(slider_, 1);
    volume->addWidget(plus_);
    connect(minus_, &QAbstractButton::clicked, this, [this, household] {
        if (household)
            household->setVolume(group_, std::max(group_.volume - volumeStep, 0));
    });
    connect(plus_, &QAbstractButton::clicked, this, [this, household] {
        if (household)
            household->setVolume(group_, std::min(group_.volume + volumeStep, 100));
    });
    connect(slider_, &VolumeSlider::changed, this, [this, household](int value) {
        if (household)
            household->setVolume(group_, value);
    });
    // The capsule reaches 7 points beyond the content on both sides and below, and the row
    // sits 3 points lower than the spacing alone would put it.
    OutsetItem::add(column, volumeRow_, QMargins(7, -3, 7, 7));

    if (household) {
        connect(household, &Household::favoritesChanged, this, &NowPlaying::refresh);
        connect(household, &Household::liveChanged, this, &NowPlaying::refresh);
    }
    if (environment_.focus)
        connect(environment_.focus, &KeyboardFocus::changed, this, &NowPlaying::refresh);
    refresh();
}

QWidget* NowPlaying::volumeRow() const {
    return volumeRow_;
}

bool NowPlaying::playing(const SpeakerGroup& group) {
    return group.state == QStringLiteral("PLAYING") || group.state == QStringLiteral("TRANSITIONING");
}

bool NowPlaying::idle(const SpeakerGroup& group) {
    return !group.hasTrack && !playing(group);
}

bool NowPlaying::tvSilent(const SpeakerGroup& group) {
    return group.tvFormat && (*group.tvFormat == 0 || *group.tvFormat == 21 || *group.tvFormat == 22);
}

bool NowPlaying::tvAtmos(const SpeakerGroup& group) {
    return group.tvFormat && (*group.tvFormat == 59 || *group.tvFormat == 61 || *group.tvFormat == 63);
}

QString NowPlaying::subtitle(const SpeakerGroup& group) {
    if (group.viaTV) {
        if (tvSilent(group))
            return L(QStringLiteral("Fernseher · kein Ton"));
        if (tvAtmos(group))
            return L(QStringLiteral("Fernseher · Dolby Atmos"));
        return L(QStringLiteral("Fernseher"));
    }
    if (!group.title.isEmpty()) {
        if (group.artist.isEmpty())
            return group.title;
        return group.title + QStringLiteral(" \u2013 ") + group.artist;
    }
    return playing(group) ? L(QStringLiteral("Spielt")) : L(QStringLiteral("Keine Musik ausgewählt"));
}

bool NowPlaying::volumeHasKeyboard() const {
    const KeyboardFocus* focus = environment_.focus;
    return !focus || (!focus->index().has_value() && !focus->onFooter());
}

void NowPlaying::setGroup(const SpeakerGroup& group) {
    if (group == group_)
        return;
    const bool otherGroup = group.id != group_.id;
    group_ = group;
    if (otherGroup)
        switcher_->setActive(group);
    refresh();
}

void NowPlaying::refresh() {
    Household* household = environment_.household;
    const LinkOpener* links = environment_.links;
    const std::optional<SourceLink> link =
        SourceLink::of(group_, links ? *environment_.links : LinkOpener::desktop());

    if (group_.viaTV != tv_) {
        tv_ = group_.viaTV;
        cover_->setLabel(coverLabel(tv_, group_.artURL));
    } else if (auto* artwork = qobject_cast<Artwork*>(cover_->label())) {
        artwork->setUrl(group_.artURL);
    }
    cover_->setLink(link);
    subtitleLink_->setLink(link);

    name_->setName(household ? household->displayName(group_) : group_.coordinator().name);
    const bool several = group_.rooms.size() > 1;
    name_->setPlaceholder(several ? L(QStringLiteral("Gruppenname")) : L(QStringLiteral("Raumname")));
    name_->setAllowsEmpty(several);

    glyph_->setGroup(group_);
    setSubtitle(subtitle(group_));

    const bool isIdle = idle(group_);
    controls_->setVisible(!isIdle);
    sleep_->setGroup(group_);
    play_->setSymbol(playing(group_) ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"));
    previous_->setVisible(group_.canSkip);
    next_->setVisible(group_.canSkip);

    idle_->setVisible(isIdle);
    const bool hasFavorites = household && !household->favorites().isEmpty();
    if (hasFavorites && !favorites_) {
        favorites_ = new FavoritesList(group_, household, idle_);
        const int outset = FavoritesList::outset;
        static_cast<QVBoxLayout*>(idle_->layout())
            ->insertItem(0, new OutsetItem(favorites_, QMargins(outset, 0, outset, 0)));
        if (isVisible())
            BlurFade::insert(favorites_, 0, Motion::nowPlaying, {}, Motion::panelCurve());
    } else if (!hasFavorites && favorites_) {
        QPointer<FavoritesList> old = favorites_;
        favorites_ = nullptr;
        BlurFade::remove(
            old, 0, Motion::nowPlaying, [old] { delete old; }, Motion::panelCurve());
    }
    if (favorites_)
        favorites_->setGroup(group_);

    progress_->setGroup(group_);

    tvRow_->setVisible(group_.viaTV && (group_.nightMode || group_.speechBoost));
    night_->setVisible(group_.nightMode.has_value());
    night_->setOn(group_.nightMode.value_or(false));
    speech_->setVisible(group_.speechBoost.has_value());
    speech_->setOn(group_.speechBoost.value_or(false));

    slider_->setValue(group_.volume);
    const bool keyboard = volumeHasKeyboard();
    slider_->setHighlighted(keyboard);
    volumeRow_->setHighlighted(keyboard);

    updateInk();
    reloadFavoritesIfDue();
}

void NowPlaying::setSubtitle(const QString& text) {
    if (marquee_ && marquee_->text() == text)
        return;
    auto* fresh = new Marquee(text, gap, speed, subtitleBox_);
    fresh->setFont(Type::font(TextStyle::Caption));
    subtitleGrid_->addWidget(fresh, 0, 0);
    if (marquee_) {
        // The old line blurs out in place while the new one blurs in over it.
        QPointer<Marquee> old = marquee_;
        BlurFade::remove(
            old, 0, Motion::subtitle, [old] { delete old; }, Motion::panelCurve());
        BlurFade::insert(fresh, 0, Motion::subtitle, {}, Motion::panelCurve());
    }
    marquee_ = fresh;
    fresh->show();
    updateInk();
}

void NowPlaying::updateInk() {
    const QColor ink = subtitleLink_->labelInk();
    if (marquee_)
        marquee_->setColor(ink);
    glyph_->setColor(ink);
    name_->setColor(Ink::color(InkLevel::Primary, Ink::scheme(this)));
}

void NowPlaying::reloadFavoritesIfDue() {
    Household* household = environment_.household;
    if (!household)
        return;
    const QString key = QStringLiteral("%1 %2 %3")
                            .arg(idle(group_) ? QStringLiteral("true") : QStringLiteral("false"),
                                 household->live() ? QStringLiteral("true") : QStringLiteral("false"),
                                 group_.coordinator().host);
    if (key == favoritesKey_)
        return;
    favoritesKey_ = key;
    if (idle(group_))
        Tasks::detach(household->loadFavorites(), "favourites for the idle tile");
}

void NowPlaying::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        updateInk();
    Tile::changeEvent(event);
}
