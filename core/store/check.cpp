#include "core/store/check.h"

#include "core/store/format.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>

namespace store {

namespace {

// Sums are compared to the kopeck, as they are shown.
bool differs(double a, double b) { return std::llround(a * 100.0) != std::llround(b * 100.0); }

QStringList integrity(Connection& c)
{
    const QString r = c.integrityCheck();
    if (r == QLatin1String("ok"))
        return {};
    QStringList out;
    for (const auto& line : r.split(QLatin1Char('\n')))
        out << QStringLiteral("%1: %2").arg(c.file(), line);
    return out;
}

// An amount as the program shows it, rounded to the kopeck (never "-0,00").
QString money(double v) { return formatNumber(double(std::llround(v * 100.0)) / 100.0 + 0.0, QStringLiteral("#0.00")); }

// The objects of the file against the statements that create them from the
// definitions: a table, index or rule missing or made otherwise.
void schemaProblems(Connection& c, schema::Location loc, QStringList& out)
{
    struct Object {
        QString type, table, sql;
    };
    QHash<QString, Object> inFile;   // by the object's name, lower case
    {
        Statement st(c, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master WHERE sql IS NOT NULL"));
        while (st.step())
            inFile.insert(st.columnText(1).toLower(), {st.columnText(0), st.columnText(2), st.columnText(3)});
    }
    static const QRegularExpression head(QStringLiteral("^CREATE (TABLE|INDEX|TRIGGER) \"([^\"]+)\""));
    static const QRegularExpression on(QStringLiteral(" ON \"([^\"]+)\""));
    for (const QString& sql : schema::createStatements(loc)) {
        const auto m = head.match(sql);
        if (!m.hasMatch())
            continue;
        const QString kind = m.captured(1), name = m.captured(2);
        const QString table = kind == QLatin1String("TABLE") ? name : on.match(sql).captured(1);
        const auto it = inFile.constFind(name.toLower());
        if (kind == QLatin1String("TABLE")) {
            if (it == inFile.constEnd() || it->type != QLatin1String("table")) {
                out << QStringLiteral("%1: нет таблицы").arg(table);
                continue;
            }
            if (it->sql == sql)
                continue;
            // Name the fields that differ when the difference is one of fields.
            QStringList have;
            {
                Statement st(c, QStringLiteral("PRAGMA table_info(\"%1\")").arg(name));
                while (st.step())
                    have << st.columnText(1);
            }
            const int before = int(out.size());
            const schema::TableDef* def = schema::table(name);
            QStringList want;
            for (const auto& f : def ? def->storedFields() : QList<schema::FieldDef>())
                want << f.name;
            for (const QString& f : want)
                if (!have.contains(f, Qt::CaseInsensitive))
                    out << QStringLiteral("%1: нет поля %2").arg(table, f);
            for (const QString& f : have)
                if (!want.contains(f, Qt::CaseInsensitive))
                    out << QStringLiteral("%1: лишнее поле %2").arg(table, f);
            if (out.size() == before)
                out << QStringLiteral("%1: поля таблицы определены не так, как в описании").arg(table);
            continue;
        }
        const QString what = kind == QLatin1String("INDEX") ? QStringLiteral("индекса") : QStringLiteral("правила целостности");
        if (it == inFile.constEnd() || it->type != kind.toLower())
            out << QStringLiteral("%1: нет %2 %3").arg(table, what, name);
        else if (it->sql != sql)
            out << QStringLiteral("%1: определение %2 %3 не такое, как в описании").arg(table, what, name);
    }
}

// The server's tables against the definitions: a table or a field missing
// or left over. The server keeps its indexes and rules with the tables
// (constraints and triggers made with them), which a file may lose.
void serverSchemaProblems(Connection& c, schema::Location loc, QStringList& out)
{
    for (const auto& t : schema::tables()) {
        if (t.location != loc)
            continue;
        if (!c.tableExists(t.name)) {
            out << QStringLiteral("%1: нет таблицы").arg(t.name);
            continue;
        }
        QStringList have;
        {
            Statement st(c, QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                                           "table_schema = current_schema() AND table_name = ? AND column_name <> 'rowid' "
                                           "ORDER BY ordinal_position"));
            st.bind(1, t.name, schema::FieldType::Text);
            while (st.step())
                have << st.columnText(0);
        }
        QStringList want;
        for (const auto& f : t.storedFields())
            want << f.name;
        for (const QString& f : want)
            if (!have.contains(f, Qt::CaseInsensitive))
                out << QStringLiteral("%1: нет поля %2").arg(t.name, f);
        for (const QString& f : have)
            if (!want.contains(f, Qt::CaseInsensitive))
                out << QStringLiteral("%1: лишнее поле %2").arg(t.name, f);
    }
}

// Keys held by more than one row (the rules refuse them to every writer,
// but a file written past them holds them).
void duplicateKeys(Connection& c, schema::Location loc, QStringList& out)
{
    for (const auto& t : schema::tables()) {
        if (t.location != loc)
            continue;
        for (const auto& i : t.indexes) {
            if (!i.unique)
                continue;
            QStringList cols;
            for (const auto& f : i.fields)
                cols << QLatin1Char('"') + f + QLatin1Char('"');
            const QString list = cols.join(QStringLiteral(", "));
            Statement st(c, QStringLiteral("SELECT %1, COUNT(*) FROM \"%2\" GROUP BY %1 HAVING COUNT(*) > 1 ORDER BY %1")
                                .arg(list, t.name));
            while (st.step()) {
                QStringList values;
                for (int k = 0; k < int(i.fields.size()); ++k)
                    values << QLatin1Char('"') + st.columnText(k) + QLatin1Char('"');
                out << QStringLiteral("%1: ключ %2 = %3 у %4 записей")
                           .arg(t.name, i.fields.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")))
                           .arg(st.columnInt(int(i.fields.size())));
            }
        }
    }
}

// Rows whose totals disagree with the rows under them.
void totals(Connection& c, QStringList& out, const QString& sql, const QString& what)
{
    Statement st(c, sql);
    while (st.step()) {
        const QString key = st.columnText(0);
        const double in = st.column(1, schema::FieldType::Float).toDouble();
        const double outSum = st.column(2, schema::FieldType::Float).toDouble();
        const double rest = st.column(3, schema::FieldType::Float).toDouble();
        const double inRows = st.column(4, schema::FieldType::Float).toDouble();
        const double outRows = st.column(5, schema::FieldType::Float).toDouble();
        if (differs(in, inRows))
            out << QStringLiteral("%1 %2: поступления %3, сумма строк %4").arg(what, key, money(in), money(inRows));
        if (differs(outSum, outRows))
            out << QStringLiteral("%1 %2: расходы %3, сумма строк %4").arg(what, key, money(outSum), money(outRows));
        if (differs(rest, in - outSum))
            out << QStringLiteral("%1 %2: остаток %3 не равен разности %4").arg(what, key, money(rest), money(in - outSum));
    }
}

void orphans(Connection& c, QStringList& out, const QString& table, const QString& field, const QString& refTable,
             const QString& refField)
{
    Statement st(c, QStringLiteral("SELECT DISTINCT \"%2\" FROM \"%1\" WHERE \"%2\" IS NOT NULL AND \"%2\" NOT IN "
                                   "(SELECT \"%4\" FROM \"%3\" WHERE \"%4\" IS NOT NULL) ORDER BY 1")
                        .arg(table, field, refTable, refField));
    while (st.step())
        out << QStringLiteral("%1.%2 = \"%3\": нет в %4").arg(table, field, st.columnText(0), refTable);
}

} // namespace

QStringList checkDatabaseFile(Connection& c, schema::Location loc)
{
    QStringList out = integrity(c);
    if (!out.isEmpty())
        return out;
    if (c.dialect() == Dialect::PostgreSql)
        serverSchemaProblems(c, loc, out);
    else
        schemaProblems(c, loc, out);
    if (!out.isEmpty())
        return out;
    duplicateKeys(c, loc, out);
    return out;
}

QStringList checkYearDatabase(Connection& c)
{
    QStringList out = checkDatabaseFile(c, schema::Location::Year);
    if (!out.isEmpty())
        return out;
    totals(c, out,
           QStringLiteral("SELECT \"Facebill\", COALESCE(\"InAmount\", 0), COALESCE(\"OutAmount\", 0), "
                          "COALESCE(\"Remainder\", 0), "
                          "COALESCE((SELECT SUM(\"Amount\") FROM \"t2_1\" WHERE \"FaceBill\" = \"t1\".\"Facebill\"), 0), "
                          "COALESCE((SELECT SUM(\"Amount\") FROM \"t2_2\" WHERE \"Facebill\" = \"t1\".\"Facebill\"), 0) "
                          "FROM \"t1\" ORDER BY 1"),
           QStringLiteral("Лицевой счет"));
    totals(c, out,
           QStringLiteral("SELECT \"Org\", COALESCE(\"InSum\", 0), COALESCE(\"OutSum\", 0), COALESCE(\"Remainder\", 0), "
                          "COALESCE((SELECT SUM(\"Sum\") FROM \"DIn\" WHERE \"Org\" = \"DOrg\".\"Org\"), 0), "
                          "COALESCE((SELECT SUM(\"Sum\") FROM \"DOut\" WHERE \"Org\" = \"DOrg\".\"Org\"), 0) "
                          "FROM \"DOrg\" ORDER BY 1"),
           QStringLiteral("Организация учета доходов"));
    for (const auto& r : schema::lookupRules())
        orphans(c, out, r.table, r.field, r.refTable, r.refField);
    for (const auto& r : schema::referentialRules())
        orphans(c, out, r.detail, r.detailField, r.master, r.masterField);
    out.removeDuplicates();
    return out;
}

QStringList checkWorkDatabase(Connection& c) { return checkDatabaseFile(c, schema::Location::Work); }

} // namespace store
