#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

// The machine's audio outputs and which one is the default, as the route menu needs them. On
// Linux these are the sound server's sinks (PipeWire or PulseAudio) through `pactl`; where
// `pactl` is not installed there are no outputs and nothing to choose. Each call of `pactl` is
// ended after 3 s; a failed or ended call counts as no answer.
//
// Main thread only. Answers arrive through the callbacks, tied to this object (none after it
// is gone).
struct AudioOutput {
    QString name;        // the sink's name, what set-default-sink takes
    QString description; // what people read ("Built-in Audio Analog Stereo")
    bool isDefault = false;
};

class AudioOutputs : public QObject {
    Q_OBJECT
public:
    explicit AudioOutputs(QObject* parent = nullptr);

    // Whether `pactl` can be found on PATH now.
    static bool available();

    // Lists the outputs, the default marked; an empty list when there is no answer.
    void list(std::function<void(QList<AudioOutput>)> done);
    // Makes `name` the default output; `done` gets whether pactl reported success.
    void makeDefault(const QString& name, std::function<void(bool)> done = {});

    // Reads `pactl list sinks` output (run with the C locale).
    static QList<AudioOutput> parseSinks(const QString& text);

private:
    void run(const QStringList& arguments, std::function<void(bool ok, QString out)> done);
};
