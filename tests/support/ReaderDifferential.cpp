#include "support/ReaderDifferential.h"

#include "protocol/FavoritesParser.h"
#include "protocol/LastChangeParser.h"
#include "protocol/LeafParser.h"
#include "protocol/TopologyParser.h"
#include "protocol/XmlDocument.h"
#include "support/ReferenceReaders.h"

#include <QStringList>

#include <random>

namespace {

// Long values shortened so that a report stays readable.
QString elided(const QString& value) {
    return value.size() <= 40 ? value : value.left(30) + QStringLiteral("…(%1)").arg(value.size());
}

QString show(const Fields& fields) {
    QStringList parts;
    for (auto it = fields.begin(); it != fields.end(); ++it)
        parts.append(it.key() + QStringLiteral("=") + elided(it.value()));
    parts.sort();
    return QStringLiteral("{") + parts.join(QStringLiteral(", ")) + QStringLiteral("}");
}

QString show(const QList<TopologyParser::Group>& groups) {
    QStringList parts;
    for (const auto& group : groups) {
        QStringList members;
        for (const auto& member : group.members)
            members.append(member.uuid + QStringLiteral("/") + member.name + QStringLiteral("@") +
                           member.host);
        parts.append(group.id + QStringLiteral(" ") + group.coordinator + QStringLiteral(" [") +
                     members.join(QStringLiteral(", ")) + QStringLiteral("]"));
    }
    return parts.join(QStringLiteral("; "));
}

QString show(const QList<Favorite>& favorites) {
    QStringList parts;
    for (const Favorite& favorite : favorites)
        parts.append(favorite.id + QStringLiteral(" ") + favorite.title + QStringLiteral(" ") + favorite.uri +
                     QStringLiteral(" ") + favorite.artURL.value_or(QUrl()).toString());
    return parts.join(QStringLiteral("; "));
}

// Whether `part`, read up to an error, is how `whole` begins.
bool begins(const Fields& part, const Fields& whole) {
    for (auto it = part.begin(); it != part.end(); ++it) {
        const auto found = whole.constFind(it.key());
        if (found == whole.cend() || *found != it.value())
            return false;
    }
    return true;
}

bool begins(const QList<TopologyParser::Group>& part, const QList<TopologyParser::Group>& whole) {
    if (whole.size() < part.size())
        return false;
    for (qsizetype i = 0; i < part.size(); ++i) {
        if (i + 1 < part.size()) {
            if (whole[i] != part[i])
                return false;
        } else if (whole[i].id != part[i].id || whole[i].coordinator != part[i].coordinator ||
                   whole[i].members.mid(0, part[i].members.size()) != part[i].members) {
            return false;
        }
    }
    return true;
}

bool begins(const QList<Favorite>& part, const QList<Favorite>& whole) {
    return whole.mid(0, part.size()) == part;
}

// Equal when both readers read the whole document; otherwise the one that stopped at an error
// (either may be the stricter about some fault) read how the other's result begins.
template <typename Result>
bool agree(const Result& reference, bool referenceComplete, const Result& production,
           bool productionComplete) {
    if (referenceComplete && productionComplete)
        return reference == production;
    if (!referenceComplete && begins(reference, production))
        return true;
    return !productionComplete && begins(production, reference);
}

// Ids made up for items without one differ from run to run; they compare as equal.
QList<Favorite> withoutMadeUpIds(QList<Favorite> favorites, const QString& didl) {
    for (Favorite& favorite : favorites) {
        if (!didl.contains(favorite.id))
            favorite.id = QStringLiteral("(made up)");
    }
    return favorites;
}

const QString& how(bool complete) {
    static const QString all = QStringLiteral("all"), upToError = QStringLiteral("up to an error");
    return complete ? all : upToError;
}

template <typename Result>
QString compare(const char* what, const Result& reference, bool complete, const Result& production,
                bool productionComplete) {
    if (agree(reference, complete, production, productionComplete))
        return {};
    return QString::fromLatin1(what) +
           QStringLiteral(" (Qt read %1, pugixml read %2)").arg(how(complete), how(productionComplete)) +
           QStringLiteral("\n  reference:  ") + show(reference) + QStringLiteral("\n  production: ") +
           show(production);
}

} // namespace

namespace reference {

QString disagreement(const QByteArray& input) {
    const QString text = QString::fromUtf8(input);
    const bool declaresEntities = input.contains("<!DOCTYPE");
    const bool bytesComplete = XmlDocument(input).complete();
    const bool textComplete = XmlDocument(text).complete();
    QString found;
    const auto check = [&](const char* what, const auto& referenceResult, bool complete,
                           const auto& production) {
        const bool productionComplete = QByteArray(what).contains("bytes") ? bytesComplete : textComplete;
        if (found.isEmpty() && !declaresEntities)
            found = compare(what, referenceResult, complete, production, productionComplete);
    };
    bool complete = false;
    {
        const Fields old = leaf(input, &complete);
        check("leaf (bytes)", old, complete, LeafParser::parse(input));
    }
    {
        const Fields old = leaf(text, &complete);
        check("leaf (text)", old, complete, LeafParser::parse(text));
    }
    {
        const auto old = topology(input, &complete);
        check("topology (bytes)", old, complete, TopologyParser::parse(input));
    }
    {
        const auto old = topology(text, &complete);
        check("topology (text)", old, complete, TopologyParser::parse(text));
    }
    {
        const Fields old = lastChange(input, &complete);
        check("last change (bytes)", old, complete, LastChangeParser::parse(input));
    }
    {
        const Fields old = lastChange(text, &complete);
        check("last change (text)", old, complete, LastChangeParser::parse(text));
    }
    {
        const QString host = QStringLiteral("192.168.1.30");
        const auto old = withoutMadeUpIds(favorites(text, host, &complete), text);
        check("favourites", old, complete, withoutMadeUpIds(FavoritesParser::parse(text, host), text));
    }
    return found;
}

std::vector<QByteArray> mutations(const QByteArray& document, int count, uint32_t seed) {
    std::vector<QByteArray> out;
    if (document.isEmpty())
        return out;
    std::mt19937 random(seed);
    const auto at = [&](qsizetype size) {
        return std::uniform_int_distribution<qsizetype>(0, size - 1)(random);
    };
    static const char* const pieces[] = {"<",    ">",          "/",    "\"",   "'",      "&",     ";",
                                         "=",    " ",          "<a>",  "</a>", "&amp;",  "&#",    "&bogus;",
                                         "]]>",  "<![CDATA[x", "<!--", "-->",  "<?",     "\xc3",  "\xff",
                                         "\r\n", "\t",         "&lt;", "&gt;", "&quot;", "&#x41;"};
    for (int i = 0; i < count; ++i) {
        QByteArray mutant = document;
        switch (i % 4) {
        case 0: // cut
            mutant.truncate(at(mutant.size()));
            break;
        case 1: // delete a byte
            mutant.remove(at(mutant.size()), 1);
            break;
        case 2: // insert a piece
            mutant.insert(at(mutant.size()), pieces[at(std::size(pieces))]);
            break;
        default: { // swap a byte for a piece
            const qsizetype where = at(mutant.size());
            mutant.replace(where, 1, pieces[at(std::size(pieces))]);
            break;
        }
        }
        out.push_back(std::move(mutant));
    }
    return out;
}

} // namespace reference
