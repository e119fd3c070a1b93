#include "accounts/plancontrol.h"

#include <cmath>

namespace accounts {

int quarterOf(const QDate& date) { return (date.month() + 2) / 3; }

QDate quarterEnd(int year, int q) { return QDate(year, q * 3, 1).addMonths(1).addDays(-1); }

qint64 cents(double amount) { return qint64(std::llround(amount * 100.0)); }

PlanFigures planFigures(store::Table& plan, store::Table& notices, store::Table& expenditures, const QString& account,
                        const QString& org, const QString& code, const QDate& date)
{
    PlanFigures f;
    f.quarter = quarterOf(date);
    const QDate first(date.year(), 1, 1), last = quarterEnd(date.year(), f.quarter);
    QStringList quarters;
    for (int q = 1; q <= f.quarter; ++q)
        quarters << QStringLiteral("Sum%1").arg(q);
    const std::vector<std::pair<QString, QVariant>> planKey{
        {QStringLiteral("Org"), org}, {QStringLiteral("Cbc"), code}, {QStringLiteral("FaceBill"), account}};
    const store::Table::StoredSums approved = plan.storedSums(quarters, planKey);
    const store::Table::StoredSums corrected = notices.storedSums(quarters, planKey, QStringLiteral("CorDate"), first, last);
    const store::Table::StoredSums year =
        notices.storedSums({}, planKey, QStringLiteral("CorDate"), first, QDate(date.year(), 12, 31));
    const store::Table::StoredSums spent = expenditures.storedSums(
        {QStringLiteral("Amount")},
        {{QStringLiteral("Facebill"), account}, {QStringLiteral("Org"), org}, {QStringLiteral("CBC"), code}},
        QStringLiteral("FiDate"), first, last);
    f.scheduled = approved.rows > 0;
    f.noticed = year.rows > 0;
    // Added as the execution report adds them: the approved quarters, the
    // notices' quarters, then the two together.
    double approvedSum = 0, noticeSum = 0;
    for (double v : approved.sums)
        approvedSum += v;
    for (double v : corrected.sums)
        noticeSum += v;
    f.plan = noticeSum + approvedSum;
    f.spent = spent.sums[0];
    return f;
}

} // namespace accounts
