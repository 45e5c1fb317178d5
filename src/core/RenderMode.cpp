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
        // The health check and the problem report.
        {QStringLiteral("Keine Lautsprecher gefunden"), QStringLiteral("No speakers found")},
        {QStringLiteral("Tamber erreicht keinen Sonos-Lautsprecher. Ist dieser Computer im selben WLAN wie "
                        "dein Sonos-System?"),
         QStringLiteral("Tamber can't reach any Sonos speaker. Is this computer on the same Wi-Fi as your "
                        "Sonos system?")},
        {QStringLiteral("„%@“ ist für diesen Computer nicht erreichbar"),
         QStringLiteral("This computer can't reach “%@”")},
        {QStringLiteral("Sonos meldet ihn als verbunden, aber dein Computer kommt nicht an ihn heran. Oft "
                        "trennt der Router Geräte voneinander, etwa im Gast-WLAN."),
         QStringLiteral("Sonos lists it as connected, but your computer can't reach it. Often the router "
                        "keeps devices apart, for example on a guest network.")},
        {QStringLiteral("„%@“ antwortet nicht"), QStringLiteral("“%@” isn't responding")},
        {QStringLiteral("Er war schon einmal da, ist jetzt aber nicht im Netz. Ist er am Strom? Nach einem "
                        "Neustart braucht er etwa eine Minute."),
         QStringLiteral("It was here before but isn't on the network now. Is it plugged in? After a restart "
                        "it needs about a minute.")},
        {QStringLiteral("„%@“ liegt in einem anderen Netz"), QStringLiteral("“%@” is on a different subnet")},
        {QStringLiteral("Er hat %@, dein Computer %@. Meist steckt ein zweiter Router dahinter. Am besten "
                        "hängen Computer und Lautsprecher am selben Router."),
         QStringLiteral("It has %@, your computer %@. Usually a second router is behind this. Computer and "
                        "speakers work best on the same router.")},
        {QStringLiteral("Unterschiedliche Software-Stände"), QStringLiteral("Mixed software versions")},
        {QStringLiteral("%@ läuft nicht auf %@ wie die anderen. Ein Update in der Sonos-App unter "
                        "Einstellungen › System bringt alle auf denselben Stand."),
         QStringLiteral("%@ isn't on %@ like the others. An update in the Sonos app under Settings › System "
                        "brings them all in line.")},
        {QStringLiteral("Schwache Verbindung bei „%@“"), QStringLiteral("Weak connection for “%@”")},
        {QStringLiteral("Er antwortet langsam. Näher am Router oder per LAN-Kabel läuft er stabiler."),
         QStringLiteral("It answers slowly. Closer to the router or on a cable it runs more steadily.")},
        {QStringLiteral("„%@“ hängt an einem Repeater"), QStringLiteral("“%@” is on a repeater")},
        {QStringLiteral("Das geht, ist aber anfälliger für Aussetzer. Direkt am Router oder per Kabel ist er "
                        "verlässlicher."),
         QStringLiteral(
             "That works, but drops out more easily. Close to the router or on a cable it's more reliable.")},
        {QStringLiteral("Software-Update verfügbar (%@)"), QStringLiteral("Software update available (%@)")},
        {QStringLiteral("Software-Update verfügbar"), QStringLiteral("Software update available")},
        {QStringLiteral("Installiert ist %@. Starte das Update in der Sonos-App unter Einstellungen › System "
                        "› Software-Update."),
         QStringLiteral("%@ is installed. Start the update in the Sonos app under Settings › System › "
                        "Software Update.")},
        {QStringLiteral("Zwei Router hintereinander"), QStringLiteral("Two routers in a row")},
        {QStringLiteral("Hinter deinem Router sitzt noch einer (Double NAT). Solange Computer und "
                        "Lautsprecher am selben hängen, ist das meist egal. Bei Aussetzern einen der beiden "
                        "in den Bridge-Modus stellen."),
         QStringLiteral("There's another router behind yours (double NAT). As long as computer and speakers "
                        "share one, it rarely matters. If music drops out, put one of them in bridge mode.")},
        {QStringLiteral("VPN aktiv"), QStringLiteral("VPN on")},
        {QStringLiteral("Ein VPN leitet oft auch das Heimnetz um. Fehlen Lautsprecher, trenn das VPN kurz."),
         QStringLiteral("A VPN often reroutes the home network too. If speakers are missing, disconnect it "
                        "for a moment.")},
        {QStringLiteral("Was ist passiert, und was hast du erwartet?"),
         QStringLiteral("What happened, and what did you expect?")},
        {QStringLiteral("Was hast du gerade gemacht, als Tamber abgestürzt ist?"),
         QStringLiteral("What were you doing when Tamber crashed?")},
    };
    return table;
}

} // namespace RenderMode
