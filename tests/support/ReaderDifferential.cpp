#include "support/ReaderDifferential.h"

#include "protocol/FavoritesParser.h"
#include "protocol/LastChangeParser.h"
#include "protocol/LeafParser.h"
#include "protocol/TopologyParser.h"
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

bool agree(const Fields& reference, const Fields& production, bool complete) {
    if (complete)
        return reference == production;
    for (auto it = reference.begin(); it != reference.end(); ++it) {
        const auto found = production.constFind(it.key());
        if (found == production.cend() || *found != it.value())
            return false;
    }
    return true;
}

bool agree(const QList<TopologyParser::Group>& reference, const QList<TopologyParser::Group>& production,
           bool complete) {
    if (complete)
        return reference == production;
    if (production.size() < reference.size())
        return false;
    for (qsizetype i = 0; i < reference.size(); ++i) {
        const auto& mine = production[i];
        const auto& theirs = reference[i];
        if (i + 1 < reference.size()) {
            if (mine != theirs)
                return false;
        } else if (mine.id != theirs.id || mine.coordinator != theirs.coordinator ||
                   mine.members.mid(0, theirs.members.size()) != theirs.members) {
            return false;
        }
    }
    return true;
}

// Ids made up for items without one differ from run to run; they compare as equal.
QList<Favorite> withoutMadeUpIds(QList<Favorite> favorites, const QString& didl) {
    for (Favorite& favorite : favorites) {
        if (!didl.contains(favorite.id))
            favorite.id = QStringLiteral("(made up)");
    }
    return favorites;
}

bool agree(const QList<Favorite>& reference, const QList<Favorite>& production, bool complete) {
    if (complete)
        return reference == production;
    return production.mid(0, reference.size()) == reference;
}

template <typename Result>
QString compare(const char* what, const Result& reference, bool complete, const Result& production) {
    if (agree(reference, production, complete))
        return {};
    return QString::fromLatin1(what) +
           (complete ? QStringLiteral(" (whole document)") : QStringLiteral(" (up to an error)")) +
           QStringLiteral("\n  reference:  ") + show(reference) + QStringLiteral("\n  production: ") +
           show(production);
}

} // namespace

namespace reference {

QString disagreement(const QByteArray& input) {
    const QString text = QString::fromUtf8(input);
    const bool declaresEntities = input.contains("<!DOCTYPE");
    QString found;
    const auto check = [&](const char* what, const auto& referenceResult, bool complete,
                           const auto& production) {
        if (found.isEmpty() && !declaresEntities)
            found = compare(what, referenceResult, complete, production);
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
