#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Runs the production XML readers and the reference readers of ReferenceReaders.h over the
// same input and compares what they read.
//
// Where both read the whole input without an error, every field must be equal. Where one stops
// at an error, the other may read on: pugixml passes faults that Qt stops at (undeclared
// entities, duplicate attributes, a second root), Qt passes a few that pugixml stops at (some
// characters in attribute names). Then the result read up to the error must be how the other
// result begins: field for field, group for group (the last group may lack later members) and
// favourite for favourite. Input
// with a document type declaration is only read, not compared: Qt expands the entities it
// declares, the production readers never do.
namespace reference {

// A description of the first disagreement, or empty when the readers agree.
QString disagreement(const QByteArray& input);

// Deterministic variations of a document for the differential checks: cuts, and bytes that
// matter to XML deleted, doubled or swapped for another.
std::vector<QByteArray> mutations(const QByteArray& document, int count, uint32_t seed);

} // namespace reference
