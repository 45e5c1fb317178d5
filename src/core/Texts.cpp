#include "core/Texts.h"

#include "core/RenderMode.h"

#include <QLocale>

namespace Language {

bool englishFor(const QStringList& uiLanguages) {
    const QString first = uiLanguages.isEmpty() ? QStringLiteral("en") : uiLanguages.first();
    return !first.startsWith(QLatin1String("de"));
}

bool system() {
    static const bool english = englishFor(QLocale::system().uiLanguages());
    return english;
}

} // namespace Language

namespace Texts {

namespace {

// Texts that speak of the computer the program runs on say "this computer" (and Linux
// where they name the system).
constexpr Pair table[] = {
    {u"Weiter", u"Next"},
    {u"Speaker", u"Speakers"},
    {u"Zurück", u"Back"},
    {u"Nächster Titel", u"Next track"},
    {u"Vorheriger Titel", u"Previous track"},
    {u"Fertig", u"Done"},
    {u"Speaker finden", u"Find speakers"},
    {u"Linux fragt gleich nach dem Netzwerk: bitte erlauben.",
     u"Linux will ask about network access: please allow."},
    {u"Nichts gefunden. Ist lokales Netzwerk erlaubt?", u"Nothing found. Is local network access allowed?"},
    {u"Tamber sucht in deinem WLAN.", u"Tamber is looking on your Wi-Fi."},
    {u"Direkt verbunden, ganz ohne Cloud.", u"Connected directly, no cloud."},
    {u"Einstellungen öffnen", u"Open Settings"},
    {u"Musik starten", u"Play some music"},
    {u"Tamber steuert, was gerade läuft.", u"Tamber controls whatever is playing."},
    {u"Immer zur Hand", u"Always at hand"},
    {u"Öffnet Tamber von überall.", u"Opens Tamber from anywhere."},
    {u"Lautstärketasten steuern Sonos", u"Volume keys control Sonos"},
    {u"Lautstärketasten", u"Volume keys"},
    {u"Laut und leise mit der Tastatur,\nsolange Sonos spielt.",
     u"Louder and quieter from the keyboard,\nwhile Sonos plays."},
    {u"Zugriff erlauben", u"Allow access"},
    {u"Lautstärketasten brauchen Zugriff auf Bedienungshilfen.", u"Volume keys need Accessibility access."},
    {u"Erlauben", u"Allow"},
    {u"Suche …", u"Searching …"},
    {u"Taste drücken …", u"Press a key …"},
    {u"Klicken zum Ändern", u"Click to change"},
    {u"Sonos-App", u"Sonos app"},
    {u"Beenden", u"Quit"},
    {u"Über AirPlay", u"Via AirPlay"},
    {u"Spielt", u"Playing"},
    {u"Fernseher", u"TV"},
    {u"Fernseher · kein Ton", u"TV · no sound"},
    {u"Fernseher · Dolby Atmos", u"TV · Dolby Atmos"},
    {u"Nachtmodus", u"Night mode"},
    {u"Sprache", u"Speech"},
    {u"Keine Musik ausgewählt", u"No music selected"},
    {u"Musik", u"Music"},
    {u"Sleep-Timer", u"Sleep timer"},
    {u"Sleep-Timer läuft", u"Sleep timer running"},
    {u"Aus", u"Off"},
    {u"Alle", u"All"},
    {u"Alle Speaker dazuholen", u"Add all speakers"},
    {u"In Spotify öffnen", u"Open in Spotify"},
    {u"In Apple Music öffnen", u"Open in Apple Music"},
    {u"In Spotify suchen", u"Search in Spotify"},
    {u"In Musik suchen", u"Search in Music"},
    {u"Einstellungen", u"Settings"},
    {u"Schließen", u"Close"},
    {u"Problem melden", u"Report a problem"},
    {u"Nach Updates suchen", u"Check for updates"},
    {u"Tamber ist abgestürzt.", u"Tamber crashed."},
    {u"Bericht senden", u"Send report"},
    {u"Was ist passiert, und was hast du erwartet?", u"What happened, and what did you expect?"},
    {u"Was hast du gerade gemacht, als Tamber abgestürzt ist?", u"What were you doing when Tamber crashed?"},
    {u"Tastenkürzel", u"Keyboard shortcuts"},
    {u"Speaker an/aus", u"Speaker on/off"},
    {u"Lautstärke", u"Volume"},
    {u"Alle dazuholen", u"Add all"},
    {u"Speaker wählen", u"Choose speaker"},
    {u"Titel zurück/vor", u"Previous/next track"},
    {u"Gruppe wechseln", u"Switch group"},
    {u"Panel öffnen", u"Open panel"},
    {u"Esc bricht ab", u"Esc cancels"},
    {u"Beim Anmelden öffnen", u"Open at login"},
    {u"Shortcuts und Einstellungen", u"Shortcuts and settings"},
    {u"Zum Umbenennen doppelklicken", u"Double-click to rename"},
    {u"Raumname", u"Room name"},
    {u"Gruppenname", u"Group name"},
    {u"Suche Sonos-Speaker …", u"Looking for Sonos speakers …"},
    {u"Nichts geladen. Starte Musik in Spotify oder der Sonos-App.",
     u"Nothing loaded. Start music in Spotify or the Sonos app."},
    {u"Speaker nicht erreichbar. Ist dieser Computer im selben WLAN, nicht im Gäste-WLAN?",
     u"Speakers unreachable. Is this computer on the same Wi-Fi, not a guest network?"},
    {u"Speaker nicht erreichbar. Ein aktives VPN blockiert oft das lokale Netz.",
     u"Speakers unreachable. An active VPN often blocks the local network."},
    {u"Favoriten", u"Favourites"},
    {u"Klang", u"Sound"},
    {u"Bass", u"Bass"},
    {u"Höhen", u"Treble"},
    {u"Loudness", u"Loudness"},
    {u"Zurücksetzen", u"Reset"},
    {u"Klang nicht lesbar.", u"Couldn't read the sound settings."},
    {u"Abspielen", u"Play"},
    {u"Ton an", u"Unmute"},
    {u"Stumm", u"Mute"},
    {u"Raum-Set", u"Room set"},
    {u"Raum-Sets", u"Room sets"},
    {u"Sets", u"Sets"},
    {u"Aktuelle Räume sichern", u"Save current rooms"},
    {u"Löschen", u"Delete"},
    {u"Unbekannte Räume", u"Unknown rooms"},
    {u"spielt", u"playing"},
    {u"Minuten", u"minutes"},
    {u"Tamber %@", u"Tamber %@"},
    {u"E-Mail schreiben …", u"Write email …"},
    {u"Der Bericht enthält diese Prüfung, ohne Raumnamen und Adressen. Nichts geht raus, bevor du auf Senden "
     u"drückst.",
     u"The report includes this check, without room names or addresses. Nothing leaves until you press "
     u"Send."},
    {u"%@ verfügbar", u"%@ available"},
    {u"Verfügbar", u"Available"},
    {u"Software-Update verfügbar (%@)", u"Software update available (%@)"},
    {u"Software-Update verfügbar", u"Software update available"},
    {u"Installiert ist %@. Starte das Update in der Sonos-App unter Einstellungen › System › "
     u"Software-Update.",
     u"%@ is installed. Start the update in the Sonos app under Settings › System › Software Update."},
    {u"Prüfen", u"Check"},
    {u"Zuletzt geprüft", u"Last checked"},
    {u"Erreichbar", u"Reachable"},
    {u"%@ von %@ Lautsprechern", u"%@ of %@ speakers"},
    {u"Modell", u"Model"},
    {u"%@ Hinweise", u"%@ notes"},
    {u"%@ Probleme", u"%@ problems"},
    {u"%@ läuft nicht auf %@ wie die anderen. Ein Update in der Sonos-App unter Einstellungen › System "
     u"bringt alle auf denselben Stand.",
     u"%@ isn't on %@ like the others. An update in the Sonos app under Settings › System brings them all in "
     u"line."},
    {u"1 Hinweis", u"1 note"},
    {u"1 Problem", u"1 problem"},
    {u"Aktiv", u"On"},
    {u"Alles in Ordnung", u"All good"},
    {u"Antwortzeit", u"Response time"},
    {u"Aus der Liste entfernen", u"Remove from list"},
    {u"Das geht, ist aber anfälliger für Aussetzer. Direkt am Router oder per Kabel ist er verlässlicher.",
     u"That works, but drops out more easily. Close to the router or on a cable it's more reliable."},
    {u"Dieser Computer", u"This computer"},
    {u"Ein VPN leitet oft auch das Heimnetz um. Fehlen Lautsprecher, trenn das VPN kurz.",
     u"A VPN often reroutes the home network too. If speakers are missing, disconnect it for a moment."},
    {u"Er antwortet langsam. Näher am Router oder per LAN-Kabel läuft er stabiler.",
     u"It answers slowly. Closer to the router or on a cable it runs more steadily."},
    {u"Er hat %@, dieser Computer %@. Meist steckt ein zweiter Router dahinter. Am besten hängen dieser "
     u"Computer und die Lautsprecher am selben Router.",
     u"It has %@, this computer %@. Usually a second router is behind this. This computer and the speakers "
     u"work best on the same router."},
    {u"Er war schon einmal da, ist jetzt aber nicht im Netz. Ist er am Strom? Nach einem Neustart braucht er "
     u"etwa eine Minute.",
     u"It was here before but isn't on the network now. Is it plugged in? After a restart it needs about a "
     u"minute."},
    {u"Gut", u"Good"},
    {u"Hinter deinem Router sitzt noch einer (Double NAT). Solange dieser Computer und die Lautsprecher am "
     u"selben hängen, ist das meist egal. Bei Aussetzern einen der beiden in den Bridge-Modus stellen.",
     u"There's another router behind yours (double NAT). As long as this computer and the speakers share "
     u"one, it rarely matters. If music drops out, put one of them in bridge mode."},
    {u"Hinweise", u"Notes"},
    {u"IP-Adresse", u"IP address"},
    {u"Im System, aber von diesem Computer nicht erreichbar",
     u"In the system, but out of this computer's reach"},
    {u"Ja", u"Yes"},
    {u"Kanal %@", u"Channel %@"},
    {u"Kein Netzwerk", u"No network"},
    {u"Keine Lautsprecher gefunden", u"No speakers found"},
    {u"LAN-Kabel", u"Ethernet"},
    {u"Lautsprecher", u"Speakers"},
    {u"Nein", u"No"},
    {u"Netz", u"Subnet"},
    {u"Nicht erreichbar", u"Unreachable"},
    {u"Nicht feststellbar", u"Can't tell"},
    {u"Offline", u"Offline"},
    {u"Online", u"Online"},
    {u"Router", u"Router"},
    {u"Schwach", u"Weak"},
    {u"Schwache Verbindung bei „%@“", u"Weak connection for “%@”"},
    {u"Sehr gut", u"Very good"},
    {u"Software", u"Software"},
    {u"Tamber erreicht keinen Sonos-Lautsprecher. Ist dieser Computer im selben WLAN wie dein Sonos-System?",
     u"Tamber can't reach any Sonos speaker. Is this computer on the same Wi-Fi as your Sonos system?"},
    {u"Sonos gibt lokal keine Signalstärke heraus. Tamber bewertet die Verbindung daher an der Antwortzeit "
     u"und am Verbindungsweg.",
     u"Sonos doesn't share signal strength locally, so Tamber rates the connection by response time and how "
     u"the speaker is connected."},
    {u"Sonos meldet ihn als verbunden, aber dieser Computer kommt nicht an ihn heran. Oft trennt der Router "
     u"Geräte voneinander, etwa im Gast-WLAN.",
     u"Sonos lists it as connected, but this computer can't reach it. Often the router keeps devices apart, "
     u"for example on a guest network."},
    {u"Status", u"Status"},
    {u"Systemzustand", u"System health"},
    {u"Systemzustand ansehen", u"View system health"},
    {u"Unterschiedliche Software-Stände", u"Mixed software versions"},
    {u"VPN aktiv", u"VPN on"},
    {u"VPN", u"VPN"},
    {u"Verbindung", u"Connection"},
    {u"WLAN „%@“", u"Wi-Fi “%@”"},
    {u"WLAN", u"Wi-Fi"},
    {u"Wird geprüft …", u"Checking …"},
    {u"Zwei Router hintereinander", u"Two routers in a row"},
    {u"Zweiter Router", u"Second router"},
    {u"über Repeater", u"via repeater"},
    {u"„%@“ antwortet nicht", u"“%@” isn't responding"},
    {u"„%@“ hängt an einem Repeater", u"“%@” is on a repeater"},
    {u"„%@“ ist für diesen Computer nicht erreichbar", u"This computer can't reach “%@”"},
    {u"„%@“ liegt in einem anderen Netz", u"“%@” is on a different subnet"},
};

} // namespace

std::span<const Pair> pairs() {
    return table;
}

const QHash<QString, QString>& english() {
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> built;
        built.reserve(qsizetype(std::size(table)));
        for (const Pair& pair : table)
            built.insert(QString::fromUtf16(pair.german), QString::fromUtf16(pair.english));
        return built;
    }();
    return map;
}

QString fill(const QString& format, const QStringList& values) {
    static const QString placeholder = QStringLiteral("%@");
    QString out;
    out.reserve(format.size());
    qsizetype from = 0;
    qsizetype next = 0;
    for (qsizetype at = format.indexOf(placeholder); at >= 0 && next < values.size();
         at = format.indexOf(placeholder, from)) {
        out += QStringView(format).mid(from, at - from);
        out += values.at(next++);
        from = at + placeholder.size();
    }
    out += QStringView(format).mid(from);
    return out;
}

} // namespace Texts

QString L(const QString& german) {
    if (!RenderMode::active() && !Language::system())
        return german;
    return Texts::english().value(german, german);
}
