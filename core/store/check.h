#pragma once
// Consistency checks of a database file, for the command line and support:
// the file itself, the totals the ledger and the income entry keep, and
// codes that no longer exist in their reference books.
#include "core/store/session.h"

#include <QStringList>

namespace store {

// Each problem found, as one line of text; empty when all is well.
QStringList checkYearDatabase(Connection& c);
QStringList checkWorkDatabase(Connection& c);

} // namespace store
