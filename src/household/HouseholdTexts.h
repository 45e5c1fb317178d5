#pragma once

#include "core/Texts.h"

#include <QString>

// The household's failure texts, in the form the text lookup gives now.
namespace HouseholdTexts {
inline QString searching() {
    return L(QStringLiteral("Suche Sonos-Speaker …"));
}
inline QString unreachable() {
    return L(
        QStringLiteral("Speaker nicht erreichbar. Ist dieser Computer im selben WLAN, nicht im Gäste-WLAN?"));
}
inline QString unreachableVpn() {
    return L(QStringLiteral("Speaker nicht erreichbar. Ein aktives VPN blockiert oft das lokale Netz."));
}
} // namespace HouseholdTexts
