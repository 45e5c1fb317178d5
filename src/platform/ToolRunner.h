#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

// Runs an external tool and hands back what it wrote to its standard output once it ended.
class ToolRunner {
public:
    using Done = std::function<void(std::optional<QByteArray>)>;

    virtual ~ToolRunner() = default;

    // Finds `name` on PATH and in the system folders (/usr/sbin, /sbin, /usr/bin, /bin);
    // empty when it is nowhere.
    static QString find(const QString& name);

    // Starts `program` with `arguments` (LC_ALL=C, standard error discarded). `done` runs
    // exactly once on the calling thread, unless `context` is gone by then: with the whole
    // output after the tool ended, or with nothing when it could not be started. A tool still
    // running after `guard` is asked to end, and killed when it has not ended a short grace
    // later, so `done` always comes.
    virtual void run(const QString& program, const QStringList& arguments, std::chrono::milliseconds guard,
                     QObject* context, Done done) = 0;
};

// The real runner: QProcess.
class ProcessToolRunner : public ToolRunner {
public:
    explicit ProcessToolRunner(std::chrono::milliseconds killGrace = std::chrono::milliseconds(1000))
        : killGrace_(killGrace) {}
    void run(const QString& program, const QStringList& arguments, std::chrono::milliseconds guard,
             QObject* context, Done done) override;

private:
    std::chrono::milliseconds killGrace_;
};
