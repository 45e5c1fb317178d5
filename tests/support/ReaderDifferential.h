#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Runs the production XML readers and the reference readers of ReferenceReaders.h over the
// same input and compares what they read.
//
// Where Qt's reader reads the whole input without an error, every field must be equal. Where it
// stops at an error, pugixml may read on past faults that Qt's stricter reader stops at
// (undeclared entities, duplicate attributes, names Qt rejects, a second root): then the
// reference result must be where the production result begins, field for field, group for
// group (the last reference group may lack later members) and favourite for favourite. Input
// with a document type declaration is only read, not compared: Qt expands the entities it
// declares, the production readers never do.
namespace reference {

// A description of the first disagreement, or empty when the readers agree.
QString disagreement(const QByteArray& input);

// Deterministic variations of a document for the differential checks: cuts, and bytes that
// matter to XML deleted, doubled or swapped for another.
std::vector<QByteArray> mutations(const QByteArray& document, int count, uint32_t seed);

} // namespace reference
