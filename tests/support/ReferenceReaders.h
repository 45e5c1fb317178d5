#pragma once

#include "protocol/Favorite.h"
#include "protocol/LeafParser.h"
#include "protocol/TopologyParser.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The XML readers as they were on Qt's streaming reader, kept only as the reference that the
// differential test, the differential fuzz target and the benchmarks hold the production
// readers against. Each entry reads like its production twin and says, through `complete`,
// whether Qt's reader got to the end of the document without an error.
namespace reference {

Fields leaf(const QString& text, bool* complete = nullptr);
Fields leaf(const QByteArray& bytes, bool* complete = nullptr);
QList<TopologyParser::Group> topology(const QString& text, bool* complete = nullptr);
QList<TopologyParser::Group> topology(const QByteArray& bytes, bool* complete = nullptr);
Fields lastChange(const QString& text, bool* complete = nullptr);
Fields lastChange(const QByteArray& bytes, bool* complete = nullptr);
QList<Favorite> favorites(const QString& didl, const QString& host, bool* complete = nullptr);

} // namespace reference
