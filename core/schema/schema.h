#pragma once
// The twenty tables of the program: their fields in stored order, keys,
// indexes, normal orders, where each lives and the integrity rules that every
// writer meets. The SQL that creates a database file is generated from these
// definitions, so the rules live in one place.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QList>

namespace schema {

enum class FieldType {
    Text,     // character string of at most `size` characters; empty = null
    Float,    // 8-byte double; unset = null
    Date,     // calendar date without time, stored as ISO text yyyy-mm-dd
    AutoInc,  // integer assigned by the store on insert, increasing, never reused; read-only
};

// Where a table lives: the year database (shared) or the local work database.
enum class Location { Year, Work };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;              // characters, for Text
    bool required = false;     // must hold a value before a row is accepted
    bool calculated = false;   // not stored; computed for every row read
    QString displayFormat;     // "#0.00" for amounts, empty otherwise
    QVariant defaultValue;     // value a new row starts with (null when invalid)
};

struct IndexDef {
    QString name;
    QStringList fields;
    bool unique = false;          // a key: duplicates refused as "Key violation."
    bool caseInsensitive = false; // ordered and compared without regard to ASCII case
};

struct TableDef {
    QString name;
    Location location = Location::Year;
    QList<FieldDef> fields;       // stored and calculated, in stored order
    QList<IndexDef> indexes;      // the first unique one is the primary key
    QString normalOrder;          // field list joined with ";"

    const FieldDef* field(const QString& name) const;   // case-insensitive
    int fieldIndex(const QString& name) const;          // -1 when absent
    QList<FieldDef> storedFields() const;
    QList<FieldDef> calculatedFields() const;
    const IndexDef* primaryKey() const;                  // null when the table has no key
};

// A non-empty value of `field` must exist as `refField` of `refTable`
// ("Field value out of lookup table range.").
struct LookupRule {
    QString table, field, refTable, refField;
};

// A master row cannot be deleted, nor its key changed, while a detail row
// carries its value ("Master has detail records. Cannot delete or modify.").
struct ReferentialRule {
    QString master, masterField, detail, detailField;
    bool blocksDelete = true;   // false: only a change of the master's key is refused
};

// The condition texts raised by the rules.
inline constexpr const char* KeyViolation = "Key violation.";
inline constexpr const char* LookupViolation = "Field value out of lookup table range.";
inline constexpr const char* RequiredViolation = "Field value required.";
inline constexpr const char* MasterHasDetails = "Master has detail records. Cannot delete or modify.";

const QList<TableDef>& tables();
const TableDef* table(const QString& name);   // case-insensitive; null when unknown
QStringList tableNames(Location loc);
const QList<LookupRule>& lookupRules();
const QList<ReferentialRule>& referentialRules();

// Name of the database file of a location inside its directory.
QString databaseFileName(Location loc);   // "year.db" or "work.dbp"

// Version stamped into every database file (PRAGMA user_version).
inline constexpr int SchemaVersion = 1;

// The SQL of the two stores: SQLite files and a PostgreSQL server.
enum class Dialect { Sqlite, PostgreSql };

// SQL statements that create every table of a location with its indexes and
// rule triggers, in an order that can be executed one after another. The
// PostgreSQL ones name the tables without a schema: they run in one
// transaction under `SET LOCAL search_path = "<schema>", control`, after
// serverSetupStatements() on that server database.
QStringList createStatements(Location loc, Dialect d = Dialect::Sqlite);

// The SQLSTATE of the rule refusals raised on the server (their message is
// the rule's text).
inline constexpr const char* ServerRuleState = "23000";
// The channel of the notification sent when a table of a schema changes; the
// payload is the schema's name.
inline constexpr const char* ChangesChannel = "saldina_changes";

// The statements that prepare a server database once: the schema `control`
// with the functions the tables' rules and the store's SQL use, and the
// table of the running copies. They may run again at any time.
QStringList serverSetupStatements();

// The statements that create schema `to` with every table of `loc` and copy
// every row of schema `from` into it, row ids and AutoInc numbers kept, the
// change counters at 0; for one transaction.
QStringList copySchemaStatements(const QString& from, const QString& to, Location loc);

// The tables of `loc` so that every lookup's reference table comes before
// the tables that look into it (the order in which rows are copied).
QList<const TableDef*> lookupOrder(Location loc);

} // namespace schema
