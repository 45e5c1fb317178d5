#pragma once

#include "core/Log.h"
#include "health/HealthReport.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class Household;
class MailComposer;
class SettingsStore;

// The problem report: finds the crash record of an earlier run that the user has not seen,
// and composes a problem or crash report for the desktop's e-mail composer (else a mailto:
// link and the files shown in the file manager). Nothing is sent by the program itself.
// Main thread; only the report texts are gathered on a worker thread.
class Support : public QObject {
    Q_OBJECT
public:
    // The inputs of one report: the model of every room (no names, no addresses) and the
    // health summary when a report was given.
    struct Context {
        QStringList speakers;
        std::optional<QString> health;
        static Context make(const Household* household, const std::optional<HealthReport>& report);
    };

    // Facts about this computer for the report; the real ones by default.
    struct SystemFacts {
        QString version = QStringLiteral("?");
        QString build = QStringLiteral("?");
        QString os;       // e.g. "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-18-amd64)"
        QString hardware; // e.g. "LENOVO 20XW"; empty when unknown
        QString language; // the first preferred language, "?" without one
        bool accessibilityTrusted = true;
        bool firewallOn = false;
        static SystemFacts current();
    };

    struct CrashFile {
        QString name;
        QString path;
        std::optional<QDateTime> modified; // nothing when it cannot be read
    };

    // Where the service meets the system; tests replace every part.
    struct Environment {
        MailComposer* composer = nullptr;          // nothing: xdg-email and the file manager
        QString crashFolder;                       // empty: the crash handler's folder
        QString reportFolder;                      // empty: a private folder of this user
        std::function<QList<CrashFile>()> listing; // empty: the crash folder in listing order
        std::function<SystemFacts()> facts;        // empty: SystemFacts::current()
        std::function<QString()> log;              // empty: recentLog()
        // Gathers the texts and calls back on any thread; empty: a worker thread.
        std::function<void(std::function<void()> work)> gather;
        QString recipient; // empty: the build's support address
    };

    explicit Support(SettingsStore& settings, QObject* parent = nullptr);
    Support(SettingsStore& settings, Environment environment, QObject* parent = nullptr);
    ~Support() override;

    const std::optional<QString>& pendingCrash() const { return pendingCrash_; }
    bool composing() const { return composing_; }

    // Stores now as the last crash seen and clears the pending crash.
    void dismissCrash();
    void reportProblem(const Context& context);
    // Nothing without a pending crash. The crash counts as seen only when its report is
    // really being composed: a request dropped because another report is under way leaves
    // it pending, so the banner stays and the user can send it later.
    void sendCrash(const Context& context);

    // The report texts.
    static QString systemInfo(const Context& context, const SystemFacts& facts);
    static QString speakerList(const QStringList& models);
    // The program's own log lines of the last 30 minutes of this run, masked; "(leer)" when
    // there are none, "(nicht lesbar)" when the log cannot be read.
    static QString recentLog(const QLocale& locale = QLocale::system());
    static QString recentLog(const std::optional<QList<Log::Entry>>& entries, const QLocale& locale);
    static QString redact(QString text);
    static QString reportFileText(const QString& info, const QString& log);
    static QString mailBody(const QString& intro, const QString& info);
    static QUrl mailtoUrl(const QString& address, const QString& subject, const QString& body);
    // The newest crash record not yet seen, by the rules of the scan; stores "lastCrashSeen"
    // on the first scan.
    static std::optional<QString> newestCrash(const QList<CrashFile>& files, SettingsStore& settings);

    static constexpr int logLines = 500;
    static constexpr qint64 logSeconds = 1800;

signals:
    void pendingCrashChanged();

private:
    // False when the request was dropped because another report is being composed.
    bool compose(const QString& subject, const QString& intro, const Context& context,
                 const QStringList& attachments);
    void present(const QString& subject, const QString& intro, const QString& info, const QString& log,
                 const QStringList& attachments);
    QString reportFolder() const;
    MailComposer& composer();

    SettingsStore& settings_;
    Environment env_;
    std::optional<QString> pendingCrash_;
    bool composing_ = false;
};
