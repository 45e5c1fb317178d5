#include "health/Support.h"

#include "core/Clock.h"
#include "core/RenderMode.h"
#include "core/Texts.h"
#include "health/CrashHandler.h"
#include "health/Version.h"
#include "household/Household.h"
#include "household/ReferenceDate.h"
#include "platform/MailComposer.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThreadPool>

#include <algorithm>

#include <unistd.h>

#ifndef TAMBER_SUPPORT_ADDRESS
#define TAMBER_SUPPORT_ADDRESS "support@quietforge.studio"
#endif

Q_LOGGING_CATEGORY(logHealth, "studio.quietforge.tamber.health")

namespace {

const QString lastCrashSeenKey = QStringLiteral("lastCrashSeen");
const QString reportFileName = QStringLiteral("Tamber-Bericht.txt");
const QString subsystem = QStringLiteral("studio.quietforge.tamber");

// When this run began: the report's log holds only what this run wrote.
const QDateTime runStarted = QDateTime::currentDateTimeUtc();

QString readTrimmed(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.read(4096);
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0)
        bytes.truncate(nul);
    return QString::fromUtf8(bytes).trimmed();
}

QString hardwareModel() {
    const QString vendor = readTrimmed(QStringLiteral("/sys/class/dmi/id/sys_vendor"));
    const QString product = readTrimmed(QStringLiteral("/sys/class/dmi/id/product_name"));
    const QString dmi = (vendor + QLatin1Char(' ') + product).trimmed();
    if (!dmi.isEmpty())
        return dmi;
    return readTrimmed(QStringLiteral("/proc/device-tree/model"));
}

// A folder only this user can enter: made with mode 0700, refused when it is a link or
// belongs to someone else.
bool privateFolder(const QString& path) {
    if (!QDir().mkpath(path))
        return false;
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isDir() || info.ownerId() != ::getuid())
        return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

std::optional<QDateTime> storedDate(const SettingsStore& settings, const QString& key) {
    const auto seconds = settings.number(key);
    return seconds ? ReferenceDate::fromSeconds(*seconds) : std::nullopt;
}

void storeDate(SettingsStore& settings, const QString& key, const QDateTime& date) {
    if (const auto seconds = ReferenceDate::toSeconds(date))
        settings.setNumber(key, *seconds);
}

QList<Support::CrashFile> listFolder(const QString& folder) {
    QList<Support::CrashFile> files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Unsorted)) {
        const QFileInfo info(dir.filePath(name));
        const QDateTime modified = info.lastModified();
        files.append({name, info.absoluteFilePath(),
                      modified.isValid() ? std::optional<QDateTime>(modified.toUTC()) : std::nullopt});
    }
    return files;
}

} // namespace

Support::Context Support::Context::make(const Household* household,
                                        const std::optional<HealthReport>& report) {
    Context context;
    if (household) {
        const QMap<QString, QString>& models = household->models();
        for (const Room& room : household->allRooms())
            context.speakers.append(models.value(room.id, QStringLiteral("unbekannt")));
    }
    if (report)
        context.health = report->supportSummary();
    return context;
}

Support::SystemFacts Support::SystemFacts::current() {
    SystemFacts facts;
    facts.version = Version::shortVersion();
    facts.build = Version::build();
    facts.os = QSysInfo::prettyProductName() + QStringLiteral(" (Linux ") + QSysInfo::kernelVersion() +
               QLatin1Char(')');
    facts.hardware = hardwareModel();
    facts.language = QLocale::system().uiLanguages().value(0, QStringLiteral("?"));
    // X11 needs no accessibility grant for the keys this program listens to.
    facts.accessibilityTrusted = true;
    facts.firewallOn = false;
    return facts;
}

Support::Support(SettingsStore& settings, QObject* parent) : Support(settings, Environment{}, parent) {}

Support::Support(SettingsStore& settings, Environment environment, QObject* parent)
    : QObject(parent), settings_(settings), env_(std::move(environment)) {
    if (RenderMode::active())
        return;
    const QString folder = env_.crashFolder.isEmpty() ? CrashHandler::defaultFolder() : env_.crashFolder;
    pendingCrash_ = newestCrash(env_.listing ? env_.listing() : listFolder(folder), settings_);
}

Support::~Support() = default;

std::optional<QString> Support::newestCrash(const QList<CrashFile>& files, SettingsStore& settings) {
    QList<CrashFile> crashes;
    for (const CrashFile& file : files) {
        if (!file.name.startsWith(QLatin1String("Tamber")) || !file.modified)
            continue;
        const QString extension = file.name.section(QLatin1Char('.'), -1);
        if (!file.name.contains(QLatin1Char('.')) ||
            (extension != QLatin1String("ips") && extension != QLatin1String("crash")))
            continue;
        crashes.append(file);
    }
    std::stable_sort(crashes.begin(), crashes.end(),
                     [](const CrashFile& a, const CrashFile& b) { return *a.modified > *b.modified; });
    const std::optional<QDateTime> seen = storedDate(settings, lastCrashSeenKey);
    if (!seen) {
        // The first scan marks what is there as seen: old crashes are not offered.
        storeDate(settings, lastCrashSeenKey, crashes.isEmpty() ? Clock::now() : *crashes.first().modified);
        return std::nullopt;
    }
    if (!crashes.isEmpty() && *crashes.first().modified > *seen)
        return crashes.first().path;
    return std::nullopt;
}

void Support::dismissCrash() {
    storeDate(settings_, lastCrashSeenKey, Clock::now());
    pendingCrash_.reset();
    emit pendingCrashChanged();
}

void Support::reportProblem(const Context& context) {
    compose(QStringLiteral("Tamber: Problem"),
            L(QStringLiteral("Was ist passiert, und was hast du erwartet?")), context, {});
}

void Support::sendCrash(const Context& context) {
    if (!pendingCrash_)
        return;
    const bool started = compose(QStringLiteral("Tamber: Absturz"),
                                 L(QStringLiteral("Was hast du gerade gemacht, als Tamber abgestürzt ist?")),
                                 context, {*pendingCrash_});
    if (started)
        dismissCrash();
}

bool Support::compose(const QString& subject, const QString& intro, const Context& context,
                      const QStringList& attachments) {
    if (composing_)
        return false;
    composing_ = true;
    QPointer<Support> self(this);
    auto facts = env_.facts ? env_.facts : std::function<SystemFacts()>(&SystemFacts::current);
    auto log = env_.log ? env_.log : std::function<QString()>([] { return recentLog(); });
    auto work = [self, facts, log, context, subject, intro, attachments] {
        const QString info = systemInfo(context, facts());
        const QString text = log();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, subject, intro, info, text, attachments] {
                if (!self)
                    return;
                self->present(subject, intro, info, text, attachments);
                self->composing_ = false;
            },
            Qt::QueuedConnection);
    };
    if (env_.gather)
        env_.gather(std::move(work));
    else
        QThreadPool::globalInstance()->start(std::move(work));
    return true;
}

void Support::present(const QString& subject, const QString& intro, const QString& info, const QString& log,
                      const QStringList& attachments) {
    QStringList files;
    const QString folder = reportFolder();
    const QString path = folder + QLatin1Char('/') + reportFileName;
    QSaveFile file(path);
    const bool written = privateFolder(folder) && file.open(QIODevice::WriteOnly) &&
                         file.write(reportFileText(info, log).toUtf8()) >= 0 && file.commit();
    // A report that could not be written is not attached: an older file of that name
    // would go out in its place.
    if (written)
        files.append(path);
    else
        qCWarning(logHealth) << "Cannot write the problem report to" << path << ":" << file.errorString();
    files.append(attachments);

    const MailComposer::Mail mail{env_.recipient.isEmpty() ? QStringLiteral(TAMBER_SUPPORT_ADDRESS)
                                                           : env_.recipient,
                                  subject, mailBody(intro, info), files};
    QPointer<Support> self(this);
    composer().compose(mail, this, [self, mail](bool taken) {
        if (taken || !self)
            return;
        self->composer().openUrl(mailtoUrl(mail.recipient, mail.subject, mail.body));
        self->composer().revealFiles(mail.files);
    });
}

QString Support::reportFolder() const {
    if (!env_.reportFolder.isEmpty())
        return env_.reportFolder;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/tamber");
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tamber");
}

MailComposer& Support::composer() {
    static DesktopMailComposer desktop;
    return env_.composer ? *env_.composer : desktop;
}

QString Support::speakerList(const QStringList& models) {
    QStringList distinct;
    QList<int> counts;
    for (const QString& model : models) {
        const qsizetype at = distinct.indexOf(model);
        if (at < 0) {
            distinct.append(model);
            counts.append(1);
        } else {
            ++counts[at];
        }
    }
    QStringList entries;
    for (qsizetype i = 0; i < distinct.size(); ++i)
        entries.append(QString::number(counts[i]) + QStringLiteral("\u00D7 ") + distinct[i]);
    // By code point: "10× Sub" before "2× Era 100".
    std::sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        const QList<uint> ua = a.toUcs4();
        const QList<uint> ub = b.toUcs4();
        return std::lexicographical_compare(ua.cbegin(), ua.cend(), ub.cbegin(), ub.cend());
    });
    return entries.join(QStringLiteral(", "));
}

QString Support::systemInfo(const Context& context, const SystemFacts& facts) {
    QString text = QStringLiteral("Tamber ") + facts.version + QStringLiteral(" (") + facts.build +
                   QStringLiteral(")\n");
    text += facts.os + QStringLiteral(", ") + facts.hardware + QStringLiteral(", ") + facts.language;
    text += QStringLiteral("\nSpeaker: ") +
            (context.speakers.isEmpty() ? QStringLiteral("keine gefunden") : speakerList(context.speakers));
    text += QStringLiteral("\nBedienungshilfen: ") +
            (facts.accessibilityTrusted ? QStringLiteral("ja") : QStringLiteral("nein")) +
            QStringLiteral(", Firewall: ") +
            (facts.firewallOn ? QStringLiteral("an") : QStringLiteral("aus"));
    if (context.health)
        text += QStringLiteral("\n\n--- Systemzustand ---\n") + *context.health;
    return text;
}

QString Support::recentLog(const QLocale& locale) {
    const QFileInfo file(Log::filePath());
    if (file.exists() && !file.isReadable())
        return recentLog(std::nullopt, locale);
    const QDateTime since = std::max(Clock::now().addSecs(-logSeconds), runStarted);
    return recentLog(Log::readSince(since), locale);
}

QString Support::recentLog(const std::optional<QList<Log::Entry>>& entries, const QLocale& locale) {
    if (!entries)
        return QStringLiteral("(nicht lesbar)");
    QStringList lines;
    const QString prefix = subsystem + QLatin1Char('.');
    for (const Log::Entry& entry : *entries) {
        if (entry.category != subsystem && !entry.category.startsWith(prefix))
            continue;
        const QString category =
            entry.category.startsWith(prefix) ? entry.category.mid(prefix.size()) : QString();
        lines.append(locale.toString(entry.time.toLocalTime().time(), QStringLiteral("HH:mm:ss")) +
                     QStringLiteral(" [") + category + QStringLiteral("] ") + entry.message);
    }
    if (lines.isEmpty())
        return QStringLiteral("(leer)");
    if (lines.size() > logLines)
        lines = lines.mid(lines.size() - logLines);
    return redact(lines.join(QLatin1Char('\n')));
}

QString Support::redact(QString text) {
    static const QRegularExpression address(QStringLiteral("\\b\\d{1,3}(\\.\\d{1,3}){3}\\b"));
    static const QRegularExpression trackUri(QStringLiteral("(TrackURI=)\\S+"));
    text.replace(address, QStringLiteral("<ip>"));
    text.replace(trackUri, QStringLiteral("\\1<uri>"));
    return text;
}

QString Support::reportFileText(const QString& info, const QString& log) {
    return info + QStringLiteral("\n\n--- Log (letzte 30 Minuten) ---\n") + log;
}

QString Support::mailBody(const QString& intro, const QString& info) {
    return intro + QStringLiteral("\n\n\n\n") + info;
}

QUrl Support::mailtoUrl(const QString& address, const QString& subject, const QString& body) {
    // Each value encoded on its own, so that "&", "=", "+", "#" and line feeds stay data.
    const QByteArray text = "mailto:" + QUrl::toPercentEncoding(address, "@") +
                            "?subject=" + QUrl::toPercentEncoding(subject) +
                            "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(text, QUrl::StrictMode);
}
