#pragma once
// What the SQLite and the PostgreSQL generators of the tables share.
#include "core/schema/schema.h"

namespace schema::ddl {

// A name as a quoted SQL identifier.
inline QString q(const QString& ident) { return QLatin1Char('"') + ident + QLatin1Char('"'); }

// A rule's text as an SQL string literal (the texts hold no quote).
inline QString lit(const char* text) { return QLatin1Char('\'') + QString::fromLatin1(text) + QLatin1Char('\''); }

// The detail fields of `t` that the referential rules look up and that no
// index of the definitions leads with: each gets an index of its own.
QStringList ruleIndexFields(const TableDef& t);

QStringList pgCreateStatements(Location loc);

} // namespace schema::ddl
