#include "ui/panel/LinkOpener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

// Reads the desktop files afresh on every question: installing an app changes the answer on the
// next redraw. The folders hold a few hundred small files at most.
class DesktopOpener final : public LinkOpener {
public:
    bool handles(const QString& scheme) const override {
        const QByteArray wanted = "x-scheme-handler/" + scheme.toLatin1();
        const QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
        for (const QString& folder : folders) {
            const QStringList files = QDir(folder).entryList({QStringLiteral("*.desktop")}, QDir::Files);
            for (const QString& name : files) {
                QFile file(QDir(folder).filePath(name));
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                while (!file.atEnd()) {
                    const QByteArray line = file.readLine().trimmed();
                    if (!line.startsWith("MimeType="))
                        continue;
                    for (const QByteArray& type : line.mid(9).split(';'))
                        if (type.trimmed() == wanted)
                            return true;
                }
            }
        }
        return false;
    }
    void open(const QUrl& url) override { QDesktopServices::openUrl(url); }
};

} // namespace

LinkOpener& LinkOpener::desktop() {
    static DesktopOpener opener;
    return opener;
}
