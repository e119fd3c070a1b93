#include "accounts/plancontrol.h"

#include <cmath>
#include <map>
#include <tuple>

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
    const store::Table::StoredSums spent = expenditures.storedSums(
        {QStringLiteral("Amount")},
        {{QStringLiteral("Facebill"), account}, {QStringLiteral("Org"), org}, {QStringLiteral("CBC"), code}},
        QStringLiteral("FiDate"), first, last);
    f.scheduled = approved.rows > 0;
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

PlanCheck checkPlans(store::Table& plan, store::Table& notices, store::Table& expenditures, int year)
{
    struct Sums {
        bool planned = false;
        double plan[4] = {0, 0, 0, 0};    // the corrected plan up to the end of quarter q
        double spent[4] = {0, 0, 0, 0};   // the expenditures up to the end of quarter q
        bool spentAny = false;
    };
    std::map<std::tuple<QString, QString, QString>, Sums> all;
    const QDate first(year, 1, 1), last(year, 12, 31);
    auto value = [](store::Table& t, int q) {
        const QVariant v = t.fieldByName(QStringLiteral("Sum%1").arg(q)).value();
        return v.isNull() ? 0.0 : v.toDouble();
    };
    for (plan.first(); !plan.eof(); plan.next()) {
        Sums& s = all[{plan.fieldByName(QStringLiteral("FaceBill")).asString(), plan.fieldByName(QStringLiteral("Org")).asString(),
                       plan.fieldByName(QStringLiteral("Cbc")).asString()}];
        s.planned = true;
        double cumulative = 0;
        for (int q = 1; q <= 4; ++q)
            s.plan[q - 1] += cumulative += value(plan, q);
    }
    for (notices.first(); !notices.eof(); notices.next()) {
        const QDate d = notices.fieldByName(QStringLiteral("CorDate")).value().toDate();
        if (!d.isValid() || d < first || d > last)
            continue;
        Sums& s = all[{notices.fieldByName(QStringLiteral("FaceBill")).asString(),
                       notices.fieldByName(QStringLiteral("Org")).asString(), notices.fieldByName(QStringLiteral("Cbc")).asString()}];
        s.planned = true;
        // A notice counts in every quarter from its own on, with its
        // quarters up to that one.
        double cumulative = 0;
        for (int q = 1; q <= 4; ++q) {
            cumulative += value(notices, q);
            if (q >= quarterOf(d))
                s.plan[q - 1] += cumulative;
        }
    }
    for (expenditures.first(); !expenditures.eof(); expenditures.next()) {
        const QDate d = expenditures.fieldByName(QStringLiteral("FiDate")).value().toDate();
        if (!d.isValid() || d < first || d > last)
            continue;
        Sums& s = all[{expenditures.fieldByName(QStringLiteral("Facebill")).asString(),
                       expenditures.fieldByName(QStringLiteral("Org")).asString(),
                       expenditures.fieldByName(QStringLiteral("CBC")).asString()}];
        s.spentAny = true;
        const double amount = expenditures.fieldByName(QStringLiteral("Amount")).asFloat();
        for (int q = quarterOf(d); q <= 4; ++q)
            s.spent[q - 1] += amount;
    }
    PlanCheck out;
    for (const auto& [key, s] : all) {
        const auto& [account, org, code] = key;
        if (!s.planned) {
            if (s.spentAny)
                out.unplanned.push_back({account, org, code});
            continue;
        }
        for (int q = 1; q <= 4; ++q)
            if (cents(s.spent[q - 1]) > cents(s.plan[q - 1]))
                out.overspends.push_back({account, org, code, q, s.plan[q - 1], s.spent[q - 1]});
    }
    return out;
}

} // namespace accounts
