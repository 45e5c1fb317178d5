#include "ui/rooms/SearchingTile.h"

#include "core/Texts.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/kit/PanelPresence.h"
#include "ui/kit/TextStyle.h"
#include "ui/rooms/InkLabel.h"
#include "ui/rooms/SectionReveal.h"
#include "ui/rooms/TextButton.h"

#include <QProgressBar>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

// How long the panel is shown without a group before the tile stops just waiting.
constexpr auto searchPatience = 10s;
// The swap between searching and the hint.
constexpr auto change = 300ms;

InkLabel* centredText(const QString& text, QWidget* parent) {
    auto* label = new InkLabel(text, TextStyle::Callout, InkLevel::Secondary, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

SearchingTile::SearchingTile(const RoomsEnvironment& environment, QWidget* parent)
    : QWidget(parent), environment_(environment) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 14, 0, 14);
    // One part shows at a time; the parts space their own contents.
    column->setSpacing(0);

    searching_ = new QWidget(this);
    auto* searchingLayout = new QVBoxLayout(searching_);
    searchingLayout->setContentsMargins(0, 0, 0, 0);
    searchingLayout->setSpacing(8);
    spinner_ = new QProgressBar(searching_);
    spinner_->setRange(0, 0);
    spinner_->setTextVisible(false);
    spinner_->setFixedSize(20, 20);
    searchingLayout->addWidget(spinner_, 0, Qt::AlignHCenter);
    searchingText_ = centredText(L(QStringLiteral("Tamber sucht in deinem WLAN.")), searching_);
    searchingText_->setObjectName(QStringLiteral("text"));
    searchingLayout->addWidget(searchingText_);
    column->addWidget(searching_);

    hint_ = new QWidget(this);
    hint_->hide();
    auto* hintLayout = new QVBoxLayout(hint_);
    hintLayout->setContentsMargins(0, 0, 0, 0);
    hintLayout->setSpacing(8);
    hintText_ = centredText(L(QStringLiteral("Nichts gefunden. Ist lokales Netzwerk erlaubt?")), hint_);
    hintText_->setObjectName(QStringLiteral("hint"));
    hintLayout->addWidget(hintText_);
    if (environment_.openNetworkSettings) {
        auto* button = new TextButton(L(QStringLiteral("Einstellungen öffnen")), TextStyle::Callout, hint_);
        button->setObjectName(QStringLiteral("openSettings"));
        connect(button, &QAbstractButton::clicked, this,
                [open = environment_.openNetworkSettings] { open(); });
        hintLayout->addWidget(button, 0, Qt::AlignHCenter);
        settingsButton_ = button;
    }
    column->addWidget(hint_);

    searchingReveal_ = new SectionReveal(searching_);
    hintReveal_ = new SectionReveal(hint_);

    if (environment_.presence)
        connect(environment_.presence, &PanelPresence::shownChanged, this, &SearchingTile::restartWait);
    restartWait();
    animated_ = true;
}

QString SearchingTile::text() const {
    return searchedLong_ ? hintText_->text() : searchingText_->text();
}

QAbstractButton* SearchingTile::settingsButton() const {
    return settingsButton_;
}

void SearchingTile::restartWait() {
    // Every change of the panel's presence starts over: hidden means searching again.
    wait_.stop();
    setSearchedLong(false);
    if (!environment_.presence || !environment_.presence->shown())
        return;
    wait_.start(searchPatience, [this] { setSearchedLong(true); });
}

void SearchingTile::setSearchedLong(bool searchedLong) {
    searchedLong_ = searchedLong;
    const auto duration = animated_ ? change : 0ms;
    searchingReveal_->setShown(!searchedLong, duration);
    hintReveal_->setShown(searchedLong, duration);
}
