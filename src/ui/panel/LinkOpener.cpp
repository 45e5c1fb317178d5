#include "ui/panel/LinkOpener.h"

#include "platform/DesktopEntries.h"

#include <QDesktopServices>

namespace {

class DesktopOpener final : public LinkOpener {
public:
    bool handles(const QString& scheme) const override { return entries_.handlesScheme(scheme); }
    void open(const QUrl& url) override { QDesktopServices::openUrl(url); }

private:
    DesktopEntries entries_;
};

} // namespace

LinkOpener& LinkOpener::desktop() {
    static DesktopOpener opener;
    return opener;
}
