#include "protocol/SpeakerModel.h"

#include <QList>
#include <QRegularExpression>

namespace {

struct SymbolGroup {
    QList<QRegularExpression> words;
    QString symbol;
};

// Each word matches as a whole word anywhere in the lower-cased model name.
SymbolGroup group(std::initializer_list<const char*> words, const char* symbol) {
    SymbolGroup result{{}, QString::fromLatin1(symbol)};
    for (const char* word : words)
        result.words.append(QRegularExpression(QStringLiteral("\\b") +
                                               QRegularExpression::escape(QString::fromLatin1(word)) +
                                               QStringLiteral("\\b")));
    return result;
}

// Tried in order; the first group with a matching word gives the symbol.
const QList<SymbolGroup>& symbolGroups() {
    static const QList<SymbolGroup> groups = {
        group({"amp", "port", "connect"}, "hifireceiver"),
        group({"arc", "beam", "ray", "playbar", "playbase"}, "tv.and.hifispeaker.fill"),
        group({"sub"}, "speaker.wave.3"),
        group({"move", "roam"}, "speaker"),
        group({"five", "play:5", "era 300"}, "hifispeaker.2"),
    };
    return groups;
}

} // namespace

QString SpeakerModel::symbol(const std::optional<QString>& modelName) {
    const QString name = modelName.value_or(QString()).toLower();
    for (const SymbolGroup& group : symbolGroups()) {
        for (const QRegularExpression& word : group.words) {
            if (word.match(name).hasMatch())
                return group.symbol;
        }
    }
    return QStringLiteral("hifispeaker");
}
