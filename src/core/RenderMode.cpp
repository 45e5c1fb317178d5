#include "core/RenderMode.h"

#include <atomic>

namespace {
std::atomic<bool> renderActive{false};
}

namespace RenderMode {

bool active() {
    return renderActive.load(std::memory_order_relaxed);
}

void setActive() {
    renderActive.store(true, std::memory_order_relaxed);
}

const QHash<QString, QString>& english() {
    // The texts of the speaker side; the application shell adds its own pairs here.
    static const QHash<QString, QString> table = {
        {QStringLiteral("Suche Sonos-Speaker …"), QStringLiteral("Looking for Sonos speakers …")},
        {QStringLiteral("Speaker nicht erreichbar. Ist der Mac im selben WLAN, nicht im Gäste-WLAN?"),
         QStringLiteral("Speakers unreachable. Is the Mac on the same Wi-Fi, not a guest network?")},
        {QStringLiteral("Speaker nicht erreichbar. Ein aktives VPN blockiert oft das lokale Netz."),
         QStringLiteral("Speakers unreachable. An active VPN often blocks the local network.")},
        {QStringLiteral("Nichts geladen. Starte Musik in Spotify oder der Sonos-App."),
         QStringLiteral("Nothing loaded. Start music in Spotify or the Sonos app.")},
        {QStringLiteral("Alle"), QStringLiteral("All")},
        {QStringLiteral("Unbekannte Räume"), QStringLiteral("Unknown rooms")},
    };
    return table;
}

} // namespace RenderMode
