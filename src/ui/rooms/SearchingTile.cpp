#include "ui/rooms/SearchingTile.h"

#include "core/Texts.h"
#include "ui/kit/Ink.h"
#include "ui/kit/PanelPresence.h"
#include "ui/kit/TextStyle.h"
#include "ui/rooms/InkLabel.h"

#include <QProgressBar>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

// How long the panel is shown without a group before the tile stops just waiting.
constexpr auto searchPatience = 10s;

} // namespace

SearchingTile::SearchingTile(const RoomsEnvironment& environment, QWidget* parent)
    : QWidget(parent), environment_(environment) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 14, 0, 14);
    column->setSpacing(8);
    spinner_ = new QProgressBar(this);
    spinner_->setRange(0, 0);
    spinner_->setTextVisible(false);
    spinner_->setFixedSize(20, 20);
    column->addWidget(spinner_, 0, Qt::AlignHCenter);
    text_ = new InkLabel(QString(), TextStyle::Callout, InkLevel::Secondary, this);
    text_->setObjectName(QStringLiteral("text"));
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignHCenter);
    column->addWidget(text_);
    setSearchedLong(false);

    if (environment_.presence)
        connect(environment_.presence, &PanelPresence::shownChanged, this, &SearchingTile::restartWait);
    restartWait();
}

QString SearchingTile::text() const {
    return text_->text();
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
    spinner_->setVisible(!searchedLong);
    text_->setText(searchedLong ? L(QStringLiteral("Nichts gefunden. Ist lokales Netzwerk erlaubt?"))
                                : L(QStringLiteral("Tamber sucht in deinem WLAN.")));
}
