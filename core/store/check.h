#pragma once
// Consistency checks of a database file, for the command line and support:
// the file itself, the totals the ledger and the income entry keep, and
// codes that no longer exist in their reference books.
#include "core/store/session.h"

#include <QStringList>

namespace store {

// Each problem found, as one line of text; empty when all is well. The
// file, its tables, fields, indexes and rules and its keys are checked
// first; the totals and codes only when those are sound.
QStringList checkYearDatabase(Connection& c);
QStringList checkWorkDatabase(Connection& c);

// Whether the file can be written to: the file itself is sound, every table,
// field, index and integrity rule of the location is there as defined, and
// no key is held by two rows. Each problem as one line; empty when sound.
QStringList checkDatabaseFile(Connection& c, schema::Location loc);

} // namespace store
