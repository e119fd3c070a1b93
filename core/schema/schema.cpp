// Lookups into the table definitions and the SQL that creates them.
#include "core/schema/schema.h"
#include "core/schema/ddl.h"

namespace schema {

const FieldDef* TableDef::field(const QString& n) const
{
    const int i = fieldIndex(n);
    return i < 0 ? nullptr : &fields[i];
}

int TableDef::fieldIndex(const QString& n) const
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(n, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QList<FieldDef> TableDef::storedFields() const
{
    QList<FieldDef> out;
    for (const auto& f : fields)
        if (!f.calculated)
            out << f;
    return out;
}

QList<FieldDef> TableDef::calculatedFields() const
{
    QList<FieldDef> out;
    for (const auto& f : fields)
        if (f.calculated)
            out << f;
    return out;
}

const IndexDef* TableDef::primaryKey() const
{
    for (const auto& i : indexes)
        if (i.unique)
            return &i;
    return nullptr;
}

const TableDef* table(const QString& name)
{
    for (const auto& t : tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QStringList tableNames(Location loc)
{
    QStringList out;
    for (const auto& t : tables())
        if (t.location == loc)
            out << t.name;
    return out;
}

QString databaseFileName(Location loc)
{
    return loc == Location::Year ? QStringLiteral("year.db") : QStringLiteral("work.dbp");
}

namespace {

using ddl::lit;
using ddl::q;

QString columnSql(const FieldDef& f)
{
    const QString c = q(f.name);
    QString s = c;
    switch (f.type) {
    case FieldType::Text:
        s += QStringLiteral(" TEXT");
        break;
    case FieldType::Float:
        s += QStringLiteral(" REAL");
        break;
    case FieldType::Date:
        s += QStringLiteral(" TEXT");
        break;
    case FieldType::AutoInc:
        return s + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    }
    if (f.required)
        s += QStringLiteral(" NOT NULL");
    if (f.defaultValue.isValid())
        s += QStringLiteral(" DEFAULT ") + f.defaultValue.toString();
    // The same rules the store applies before it writes, for any other writer.
    switch (f.type) {
    case FieldType::Text:
        s += QStringLiteral(" CHECK (%1 IS NULL OR (typeof(%1) = 'text' AND %1 <> '' AND length(%1) <= %2"
                            " AND substr(%1, -1) <> ' '))")
                 .arg(c)
                 .arg(f.size);
        break;
    case FieldType::Float:
        s += QStringLiteral(" CHECK (typeof(%1) IN ('real', 'integer', 'null'))").arg(c);
        break;
    case FieldType::Date:
        s += QStringLiteral(" CHECK (%1 IS NULL OR (typeof(%1) = 'text' AND date(%1) IS %1))").arg(c);
        break;
    case FieldType::AutoInc:
        break;
    }
    return s;
}

QString sameKey(const QStringList& fields, const char* row)
{
    QStringList parts;
    for (const auto& f : fields)
        parts << QStringLiteral("%1 IS %2.%1").arg(q(f), QString::fromLatin1(row));
    return parts.join(QStringLiteral(" AND "));
}

QString raise(const char* text) { return QStringLiteral("SELECT RAISE(ABORT, %1);").arg(lit(text)); }

QString trigger(const QString& name, const QString& when, const QString& table, const QString& cond,
                const char* text)
{
    return QStringLiteral("CREATE TRIGGER %1 %2 ON %3 FOR EACH ROW WHEN %4 BEGIN %5 END")
        .arg(q(name), when, q(table), cond, raise(text));
}

bool hasIndexLeadingWith(const TableDef& t, const QString& field)
{
    for (const auto& i : t.indexes)
        if (!i.caseInsensitive && i.fields.first().compare(field, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

QStringList ddl::ruleIndexFields(const TableDef& t)
{
    QStringList out;
    for (const auto& r : referentialRules())
        if (r.detail.compare(t.name, Qt::CaseInsensitive) == 0 && !hasIndexLeadingWith(t, r.detailField))
            out << r.detailField;
    return out;
}

QStringList createStatements(Location loc, Dialect d)
{
    if (d == Dialect::PostgreSql)
        return ddl::pgCreateStatements(loc);
    QStringList out;
    for (const auto& t : tables()) {
        if (t.location != loc)
            continue;
        QStringList cols;
        for (const auto& f : t.storedFields())
            cols << columnSql(f);
        out << QStringLiteral("CREATE TABLE %1 (%2)").arg(q(t.name), cols.join(QStringLiteral(", ")));

        for (const auto& i : t.indexes) {
            QStringList cs;
            for (const auto& f : i.fields)
                cs << q(f) + (i.caseInsensitive ? QStringLiteral(" COLLATE NOCASE") : QString());
            out << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                       .arg(q(t.name + QStringLiteral("__") + i.name), q(t.name), cs.join(QStringLiteral(", ")));
        }
        for (const auto& fld : ddl::ruleIndexFields(t))
            out << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                       .arg(q(t.name + QStringLiteral("__rule_") + fld), q(t.name), q(fld));

        // Keys: blanks count as values, so two rows that differ only in
        // which key fields are empty are still duplicates.
        for (const auto& i : t.indexes) {
            if (!i.unique)
                continue;
            QStringList of;
            for (const auto& f : i.fields)
                of << q(f);
            out << trigger(t.name + QStringLiteral("__key_ins_") + i.name, QStringLiteral("BEFORE INSERT"), t.name,
                           QStringLiteral("EXISTS (SELECT 1 FROM %1 WHERE %2)").arg(q(t.name), sameKey(i.fields, "NEW")),
                           KeyViolation);
            out << trigger(t.name + QStringLiteral("__key_upd_") + i.name,
                           QStringLiteral("BEFORE UPDATE OF %1").arg(of.join(QStringLiteral(", "))), t.name,
                           QStringLiteral("EXISTS (SELECT 1 FROM %1 WHERE %2 AND rowid <> OLD.rowid)")
                               .arg(q(t.name), sameKey(i.fields, "NEW")),
                           KeyViolation);
        }
    }

    for (const auto& r : lookupRules()) {
        const TableDef* t = table(r.table);
        if (!t || t->location != loc)
            continue;
        const QString cond = QStringLiteral("NEW.%1 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM %2 WHERE %3 = NEW.%1)")
                                 .arg(q(r.field), q(r.refTable), q(r.refField));
        out << trigger(r.table + QStringLiteral("__lookup_ins_") + r.field, QStringLiteral("BEFORE INSERT"), r.table,
                       cond, LookupViolation);
        out << trigger(r.table + QStringLiteral("__lookup_upd_") + r.field,
                       QStringLiteral("BEFORE UPDATE OF %1").arg(q(r.field)), r.table, cond, LookupViolation);
    }

    for (const auto& r : referentialRules()) {
        const TableDef* t = table(r.master);
        if (!t || t->location != loc)
            continue;
        const QString used = QStringLiteral("EXISTS (SELECT 1 FROM %1 WHERE %2 = OLD.%3)")
                                 .arg(q(r.detail), q(r.detailField), q(r.masterField));
        const QString tag = r.detail + QStringLiteral("_") + r.detailField;
        if (r.blocksDelete)
            out << trigger(r.master + QStringLiteral("__ref_del_") + tag, QStringLiteral("BEFORE DELETE"), r.master,
                           used, MasterHasDetails);
        out << trigger(r.master + QStringLiteral("__ref_upd_") + tag,
                       QStringLiteral("BEFORE UPDATE OF %1").arg(q(r.masterField)), r.master,
                       QStringLiteral("NEW.%1 IS NOT OLD.%1 AND ").arg(q(r.masterField)) + used, MasterHasDetails);
    }
    return out;
}

} // namespace schema
