#include "core/store/check.h"

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
            out << QStringLiteral("%1 %2: поступления %3, сумма строк %4").arg(what, key).arg(in, 0, 'f', 2).arg(inRows, 0, 'f', 2);
        if (differs(outSum, outRows))
            out << QStringLiteral("%1 %2: расходы %3, сумма строк %4").arg(what, key).arg(outSum, 0, 'f', 2).arg(outRows, 0, 'f', 2);
        if (differs(rest, in - outSum))
            out << QStringLiteral("%1 %2: остаток %3 не равен разности %4").arg(what, key).arg(rest, 0, 'f', 2).arg(in - outSum, 0, 'f', 2);
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

QStringList checkYearDatabase(Connection& c)
{
    QStringList out = integrity(c);
    if (!out.isEmpty())
        return out;
    totals(c, out,
           QStringLiteral("SELECT Facebill, IFNULL(InAmount, 0), IFNULL(OutAmount, 0), IFNULL(Remainder, 0), "
                          "IFNULL((SELECT SUM(Amount) FROM t2_1 WHERE FaceBill = t1.Facebill), 0), "
                          "IFNULL((SELECT SUM(Amount) FROM t2_2 WHERE Facebill = t1.Facebill), 0) FROM t1 ORDER BY 1"),
           QStringLiteral("Лицевой счет"));
    totals(c, out,
           QStringLiteral("SELECT Org, IFNULL(InSum, 0), IFNULL(OutSum, 0), IFNULL(Remainder, 0), "
                          "IFNULL((SELECT SUM(Sum) FROM DIn WHERE Org = DOrg.Org), 0), "
                          "IFNULL((SELECT SUM(Sum) FROM DOut WHERE Org = DOrg.Org), 0) FROM DOrg ORDER BY 1"),
           QStringLiteral("Организация учета доходов"));
    for (const auto& r : schema::lookupRules())
        orphans(c, out, r.table, r.field, r.refTable, r.refField);
    for (const auto& r : schema::referentialRules())
        orphans(c, out, r.detail, r.detailField, r.master, r.masterField);
    out.removeDuplicates();
    return out;
}

QStringList checkWorkDatabase(Connection& c) { return integrity(c); }

} // namespace store
