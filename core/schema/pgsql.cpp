// The tables on a PostgreSQL server: the same columns, rules and texts as in
// the SQLite files, the change counters other copies watch, and the functions
// of schema `control` they all use.
#include "core/schema/ddl.h"

namespace schema {
namespace {

using ddl::lit;
using ddl::q;

// A trigger's WHEN cannot hold a query, so the rules' queries live in shared
// trigger functions told the names by their arguments; they name every table
// with the schema of the table they fire on, so one set serves every year.
// Dynamic statements rather than IS NOT DISTINCT FROM, which no index serves.
const char* const SetupSql[] = {
    // Two copies preparing the same server at once wait for each other.
    R"SQL(SELECT pg_advisory_xact_lock(7310, 1))SQL",
    R"SQL(CREATE SCHEMA IF NOT EXISTS control)SQL",

    // yyyy-mm-dd of a real calendar date, written exactly so.
    R"SQL(CREATE OR REPLACE FUNCTION control.saldina_is_date(d text) RETURNS boolean
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $f$
SELECT CASE WHEN d ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2}$' THEN
    substr(d, 6, 2)::integer BETWEEN 1 AND 12
    AND substr(d, 9, 2)::integer BETWEEN 1 AND CASE substr(d, 6, 2)::integer
        WHEN 2 THEN CASE WHEN substr(d, 1, 4)::integer % 4 = 0
                          AND (substr(d, 1, 4)::integer % 100 <> 0 OR substr(d, 1, 4)::integer % 400 = 0)
                         THEN 29 ELSE 28 END
        WHEN 4 THEN 30 WHEN 6 THEN 30 WHEN 9 THEN 30 WHEN 11 THEN 30
        ELSE 31 END
  ELSE false END
$f$)SQL",

    // The selection mask: every character of the value matches the mask's
    // character at its place, "*" any, past the mask's end a blank; a null
    // reads as empty text. As LIKE: the mask cut or blank-padded to the
    // value's length, its own LIKE signs escaped, "*" as "_".
    R"SQL(CREATE OR REPLACE FUNCTION control.saldina_mask(mask text, value text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $f$
SELECT coalesce(value, '') LIKE replace(replace(replace(replace(
    rpad(coalesce(mask, ''), char_length(coalesce(value, '')), ' '),
    '\', '\\'), '%', '\%'), '_', '\_'), '*', '_')
$f$)SQL",

    // TOTAL as SQLite sums: plain double additions in row order from 0.0, so
    // both stores give the same bits. No combine function, and never run in
    // parallel, so no plan splits or reorders the additions.
    R"SQL(CREATE OR REPLACE AGGREGATE control.total(double precision) (
    SFUNC = float8pl, STYPE = double precision, INITCOND = '0', PARALLEL = UNSAFE))SQL",

    // Key: no other row with the same values, a blank equal to a blank.
    R"SQL(CREATE OR REPLACE FUNCTION control.saldina_key() RETURNS trigger LANGUAGE plpgsql AS $f$
DECLARE
    r jsonb := to_jsonb(NEW);
    cond text := '';
    hit boolean;
BEGIN
    FOR i IN 0 .. TG_NARGS - 1 LOOP
        IF r ->> TG_ARGV[i] IS NULL THEN
            cond := cond || format('%I IS NULL AND ', TG_ARGV[i]);
        ELSE
            cond := cond || format('%I = ($1).%I AND ', TG_ARGV[i], TG_ARGV[i]);
        END IF;
    END LOOP;
    IF TG_OP = 'UPDATE' THEN
        EXECUTE format('SELECT EXISTS (SELECT 1 FROM %I.%I WHERE %s rowid <> $2)',
                       TG_TABLE_SCHEMA, TG_TABLE_NAME, cond) INTO hit USING NEW, OLD.rowid;
    ELSE
        EXECUTE format('SELECT EXISTS (SELECT 1 FROM %I.%I WHERE %s true)',
                       TG_TABLE_SCHEMA, TG_TABLE_NAME, cond) INTO hit USING NEW;
    END IF;
    IF hit THEN
        RAISE EXCEPTION USING MESSAGE = @KEY@, ERRCODE = '@STATE@';
    END IF;
    RETURN NEW;
END
$f$)SQL",

    // Lookup (the trigger fires for a non-empty value only): the value is a
    // key of the reference table. The row found is locked against a change
    // of its key until this transaction ends.
    // Arguments: field, reference table, reference field.
    R"SQL(CREATE OR REPLACE FUNCTION control.saldina_lookup() RETURNS trigger LANGUAGE plpgsql AS $f$
DECLARE
    hit boolean;
BEGIN
    EXECUTE format('SELECT true FROM %I.%I WHERE %I = ($1).%I LIMIT 1 FOR KEY SHARE',
                   TG_TABLE_SCHEMA, TG_ARGV[1], TG_ARGV[2], TG_ARGV[0]) INTO hit USING NEW;
    IF hit IS NULL THEN
        RAISE EXCEPTION USING MESSAGE = @LOOKUP@, ERRCODE = '@STATE@';
    END IF;
    RETURN NEW;
END
$f$)SQL",

    // Referential rule: no detail row carries the master's old value.
    // Arguments: master field, detail table, detail field.
    R"SQL(CREATE OR REPLACE FUNCTION control.saldina_master() RETURNS trigger LANGUAGE plpgsql AS $f$
DECLARE
    hit boolean;
BEGIN
    EXECUTE format('SELECT EXISTS (SELECT 1 FROM %I.%I WHERE %I = ($1).%I)',
                   TG_TABLE_SCHEMA, TG_ARGV[1], TG_ARGV[2], TG_ARGV[0]) INTO hit USING OLD;
    IF hit THEN
        RAISE EXCEPTION USING MESSAGE = @MASTER@, ERRCODE = '@STATE@';
    END IF;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    RETURN NEW;
END
$f$)SQL",

    // AutoInc field (argument: its name) kept equal to the row id: a new row
    // without a number takes its row id, a row with one (a copied row) takes
    // it as its row id; a changed number moves the row id, a moved row id the
    // number. The row ids handed out next follow the highest one.
    R"SQL(CREATE OR REPLACE FUNCTION control.saldina_autoinc() RETURNS trigger LANGUAGE plpgsql AS $f$
DECLARE
    f text := TG_ARGV[0];
    v bigint := (to_jsonb(NEW) ->> f)::bigint;
    seq text;
    last bigint;
    called boolean;
BEGIN
    IF TG_OP = 'UPDATE' THEN
        IF v IS NOT DISTINCT FROM (to_jsonb(OLD) ->> f)::bigint THEN
            IF NEW.rowid = OLD.rowid THEN
                RETURN NEW;
            END IF;
            v := NULL;
        ELSIF v IS NULL THEN
            RETURN NEW;   -- refused: the field must have a value
        END IF;
    END IF;
    IF v IS NULL THEN
        NEW := jsonb_populate_record(NEW, jsonb_build_object(f, NEW.rowid));
    ELSE
        NEW.rowid := v;
    END IF;
    seq := pg_get_serial_sequence(format('%I.%I', TG_TABLE_SCHEMA, TG_TABLE_NAME), 'rowid');
    EXECUTE format('SELECT last_value, is_called FROM %s', seq) INTO last, called;
    IF NEW.rowid > last OR (NEW.rowid = last AND NOT called) THEN
        PERFORM setval(seq, NEW.rowid);
    END IF;
    RETURN NEW;
END
$f$)SQL",

    // A statement wrote a table: its counter goes up in the writing
    // transaction, and the schema's name wakes the copies listening.
    R"SQL(CREATE OR REPLACE FUNCTION control.saldina_count() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
    EXECUTE format('UPDATE %I.saldina_changes SET n = n + 1 WHERE tbl = $1', TG_TABLE_SCHEMA) USING TG_TABLE_NAME;
    PERFORM pg_notify('@CHANNEL@', TG_TABLE_SCHEMA);
    RETURN NULL;
END
$f$)SQL",

    // The copies of the program running on this server.
    R"SQL(CREATE TABLE IF NOT EXISTS control.copies (user_name text, host text, pid integer, since timestamptz, backend integer))SQL",
};

QString fieldName(const QString& table, const QString& field)
{
    const TableDef* t = schema::table(table);
    const FieldDef* f = t ? t->field(field) : nullptr;
    return f ? f->name : field;
}

QString tableName(const QString& name)
{
    const TableDef* t = schema::table(name);
    return t ? t->name : name;
}

QString columnSql(const FieldDef& f)
{
    const QString c = q(f.name);
    QString s = c;
    switch (f.type) {
    case FieldType::Text:
    case FieldType::Date:
        // Ordered by the characters' codes, as SQLite's binary order.
        s += QStringLiteral(" text COLLATE \"C\"");
        break;
    case FieldType::Float:
        s += QStringLiteral(" double precision");
        break;
    case FieldType::AutoInc:
        return s + QStringLiteral(" bigint NOT NULL CHECK (%1 = \"rowid\")").arg(c);
    }
    if (f.required)
        s += QStringLiteral(" NOT NULL");
    if (f.defaultValue.isValid())
        s += QStringLiteral(" DEFAULT ") + f.defaultValue.toString();
    switch (f.type) {
    case FieldType::Text:
        s += QStringLiteral(" CHECK (%1 IS NULL OR (%1 <> '' AND char_length(%1) <= %2 AND right(%1, 1) <> ' '))")
                 .arg(c)
                 .arg(f.size);
        break;
    case FieldType::Date:
        s += QStringLiteral(" CHECK (%1 IS NULL OR saldina_is_date(%1))").arg(c);
        break;
    default:
        break;
    }
    return s;
}

QString args(const QStringList& names)
{
    QStringList out;
    for (const auto& n : names)
        out << QLatin1Char('\'') + n + QLatin1Char('\'');
    return out.join(QStringLiteral(", "));
}

QString quotedList(const QStringList& names)
{
    QStringList out;
    for (const auto& n : names)
        out << q(n);
    return out.join(QStringLiteral(", "));
}

// The row triggers of the rules on `t`. PostgreSQL fires a table's triggers in
// the order of their names, SQLite the last created first: the numbers in the
// names give the order of the SQLite file, so a row that breaks two rules
// gets the same message from both.
QStringList ruleTriggers(const TableDef& t)
{
    struct Trig {
        QString tag, when, cond, call;
    };
    QList<Trig> ts;   // in the order the SQLite file creates them
    for (const auto& i : t.indexes) {
        if (!i.unique)
            continue;
        const QString call = QStringLiteral("saldina_key(%1)").arg(args(i.fields));
        ts << Trig{QStringLiteral("key_ins_") + i.name, QStringLiteral("BEFORE INSERT"), {}, call};
        ts << Trig{QStringLiteral("key_upd_") + i.name, QStringLiteral("BEFORE UPDATE OF ") + quotedList(i.fields),
                   {}, call};
    }
    for (const auto& r : lookupRules()) {
        if (r.table.compare(t.name, Qt::CaseInsensitive) != 0)
            continue;
        const QString f = fieldName(r.table, r.field);
        const QString call = QStringLiteral("saldina_lookup(%1)")
                                 .arg(args({f, tableName(r.refTable), fieldName(r.refTable, r.refField)}));
        const QString cond = QStringLiteral("NEW.%1 IS NOT NULL").arg(q(f));
        ts << Trig{QStringLiteral("lookup_ins_") + f, QStringLiteral("BEFORE INSERT"), cond, call};
        ts << Trig{QStringLiteral("lookup_upd_") + f, QStringLiteral("BEFORE UPDATE OF ") + q(f), cond, call};
    }
    for (const auto& r : referentialRules()) {
        if (r.master.compare(t.name, Qt::CaseInsensitive) != 0)
            continue;
        const QString f = fieldName(r.master, r.masterField);
        const QString detail = tableName(r.detail);
        const QString df = fieldName(r.detail, r.detailField);
        const QString call = QStringLiteral("saldina_master(%1)").arg(args({f, detail, df}));
        const QString tag = detail + QStringLiteral("_") + df;
        if (r.blocksDelete)
            ts << Trig{QStringLiteral("ref_del_") + tag, QStringLiteral("BEFORE DELETE"), {}, call};
        ts << Trig{QStringLiteral("ref_upd_") + tag, QStringLiteral("BEFORE UPDATE OF ") + q(f),
                   QStringLiteral("NEW.%1 IS DISTINCT FROM OLD.%1").arg(q(f)), call};
    }
    QStringList out;
    for (int k = 0; k < ts.size(); ++k) {
        const Trig& tr = ts[k];
        const QString name = QStringLiteral("%1__%2_%3").arg(t.name).arg(ts.size() - k, 2, 10, QLatin1Char('0')).arg(tr.tag);
        out << QStringLiteral("CREATE TRIGGER %1 %2 ON %3 FOR EACH ROW%4 EXECUTE FUNCTION %5")
                   .arg(q(name), tr.when, q(t.name),
                        tr.cond.isEmpty() ? QString() : QStringLiteral(" WHEN (%1)").arg(tr.cond), tr.call);
    }
    return out;
}

} // namespace

// The tables of `loc` so that every lookup's reference table comes before
// the tables that look into it.
QList<const TableDef*> lookupOrder(Location loc)
{
    QList<const TableDef*> left, out;
    for (const auto& t : tables())
        if (t.location == loc)
            left << &t;
    while (!left.isEmpty()) {
        const int before = int(out.size());
        for (auto it = left.begin(); it != left.end();) {
            bool ready = true;
            for (const auto& r : lookupRules()) {
                if (r.table.compare((*it)->name, Qt::CaseInsensitive) != 0
                    || r.refTable.compare((*it)->name, Qt::CaseInsensitive) == 0)
                    continue;
                bool placed = false;
                for (const TableDef* p : out)
                    placed = placed || p->name.compare(r.refTable, Qt::CaseInsensitive) == 0;
                ready = ready && placed;
            }
            if (ready) {
                out << *it;
                it = left.erase(it);
            } else {
                ++it;
            }
        }
        if (out.size() == before) {   // a cycle: the rest as defined
            out << left;
            break;
        }
    }
    return out;
}

namespace {

QString literal(const QString& text)
{
    QString s = text;
    return QLatin1Char('\'') + s.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

} // namespace

namespace {
// An index in the store's orders: empty values first, as the file store
// orders them, so that a view's ORDER BY ... NULLS FIRST reads the index.
QString nullsFirst(const QStringList& fields)
{
    QStringList out;
    for (const auto& f : fields)
        out << q(f) + QStringLiteral(" NULLS FIRST");
    return out.join(QStringLiteral(", "));
}
} // namespace

QStringList ddl::pgCreateStatements(Location loc)
{
    QStringList out;
    QStringList counted;
    for (const auto& t : tables()) {
        if (t.location != loc)
            continue;
        QStringList cols{QStringLiteral("\"rowid\" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")};
        QString autoinc;
        for (const auto& f : t.storedFields()) {
            cols << columnSql(f);
            if (f.type == FieldType::AutoInc)
                autoinc = f.name;
        }
        out << QStringLiteral("CREATE TABLE %1 (%2)").arg(q(t.name), cols.join(QStringLiteral(", ")));

        // A key's own index refuses duplicates too: the triggers give the
        // message, the index stops two transactions that check at once.
        for (const auto& i : t.indexes)
            // The row ids in the index too: a view reads its rows' ids in
            // its order from the index alone.
            out << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4) INCLUDE (\"rowid\")%5")
                       .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), q(t.name + QStringLiteral("__") + i.name),
                            q(t.name), nullsFirst(i.fields),
                            i.unique ? QStringLiteral(" NULLS NOT DISTINCT") : QString());
        for (const auto& fld : ruleIndexFields(t))
            out << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                       .arg(q(t.name + QStringLiteral("__rule_") + fld), q(t.name), q(fld));

        if (!autoinc.isEmpty())
            out << QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT OR UPDATE OF \"rowid\", %2 ON %3 FOR EACH ROW "
                                  "EXECUTE FUNCTION saldina_autoinc(%4)")
                       .arg(q(t.name + QStringLiteral("__00_autoinc")), q(autoinc), q(t.name), args({autoinc}));
        out << ruleTriggers(t);
        out << QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %2 "
                              "FOR EACH STATEMENT EXECUTE FUNCTION saldina_count()")
                   .arg(q(t.name + QStringLiteral("__changes")), q(t.name));
        counted << QStringLiteral("(%1, 0)").arg(literal(t.name));
    }
    out << QStringLiteral("CREATE TABLE saldina_changes (tbl text COLLATE \"C\" PRIMARY KEY, n bigint NOT NULL)");
    if (!counted.isEmpty())
        out << QStringLiteral("INSERT INTO saldina_changes (tbl, n) VALUES ") + counted.join(QStringLiteral(", "));
    return out;
}

QStringList serverSetupStatements()
{
    QStringList out;
    for (const char* s : SetupSql)
        out << QString::fromUtf8(s)
                   .replace(QLatin1String("@KEY@"), lit(KeyViolation))
                   .replace(QLatin1String("@LOOKUP@"), lit(LookupViolation))
                   .replace(QLatin1String("@MASTER@"), lit(MasterHasDetails))
                   .replace(QLatin1String("@STATE@"), QLatin1String(ServerRuleState))
                   .replace(QLatin1String("@CHANNEL@"), QLatin1String(ChangesChannel));
    return out;
}

QStringList copySchemaStatements(const QString& from, const QString& to, Location loc)
{
    QStringList out{QStringLiteral("CREATE SCHEMA %1").arg(q(to)),
                    QStringLiteral("SET LOCAL search_path = %1, control").arg(q(to))};
    out << createStatements(loc, Dialect::PostgreSql);
    for (const TableDef* t : lookupOrder(loc)) {
        QStringList cols{QStringLiteral("\"rowid\"")};
        for (const auto& f : t->storedFields())
            cols << q(f.name);
        const QString c = cols.join(QStringLiteral(", "));
        out << QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3.%1 ORDER BY \"rowid\"").arg(q(t->name), c, q(from));
        // The next row id follows the copied rows and whatever the template
        // had handed out before.
        const QString seqOf = QStringLiteral("pg_get_serial_sequence(%1, 'rowid')");
        out << QStringLiteral("SELECT CASE WHEN m > 0 THEN setval(s, m) ELSE setval(s, 1, false) END FROM "
                              "(SELECT %1 AS s, GREATEST(COALESCE((SELECT max(\"rowid\") FROM %2), 0), "
                              "COALESCE(pg_sequence_last_value(%3::regclass), 0)) AS m) x")
                   .arg(seqOf.arg(literal(q(t->name))), q(t->name), seqOf.arg(literal(q(from) + QLatin1Char('.') + q(t->name))));
    }
    out << QStringLiteral("UPDATE saldina_changes SET n = 0");
    return out;
}

} // namespace schema
