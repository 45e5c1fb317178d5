#include "ui/panel/FavoritesList.h"

FavoritesList::FavoritesList(const SpeakerGroup& /*group*/, QWidget* parent) : QWidget(parent) {
    setFixedSize(0, 0);
}
