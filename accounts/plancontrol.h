#pragma once
// What is left of the spending schedule for one account, organization and
// code up to the end of a quarter: the approved quarters of the year so far
// with the correction notices dated up to the quarter's end, against the
// expenditures of the same period. The ledger shows it under the expenditure
// being typed; `saldina-cli check --plan` lists every overspend. The figures
// are those of the schedule execution report for the same selection.
#include "core/store/table.h"

#include <QDate>
#include <QString>
#include <vector>

namespace accounts {

struct PlanFigures {
    bool scheduled = false;   // a schedule row for the account, organization and code
    double plan = 0;          // the corrected plan up to the end of the quarter
    double spent = 0;         // the expenditures from 1 January to the end of the quarter
    int quarter = 1;          // 1 to 4
    double remainder() const { return plan - spent; }
};

// The quarter (1 to 4) of `date`, and the last day of quarter `q` of `year`.
int quarterOf(const QDate& date);
QDate quarterEnd(int year, int q);

// By SQL aggregates over what is stored now (other copies' rows included),
// whatever the tables' views: `plan` is planTbl, `notices` corPln and
// `expenditures` t2_2. `date` gives the quarter and the year.
PlanFigures planFigures(store::Table& plan, store::Table& notices, store::Table& expenditures, const QString& account,
                        const QString& org, const QString& code, const QDate& date);

// Whole cents, so that amounts compare as they are shown (at two decimals).
qint64 cents(double amount);

// Every account, organization and code of `year` with a plan (a schedule
// row, or a notice dated in the year) whose expenditures from 1 January to
// the end of a quarter exceed its corrected plan up to that quarter, at two
// decimals; and those with expenditures but no plan at all. Walks the three
// tables once each (they must show every row); in key order.
struct Overspend {
    QString account, org, code;
    int quarter = 1;
    double plan = 0, spent = 0;
};
struct PlanCheck {
    std::vector<Overspend> overspends;
    struct Key {
        QString account, org, code;
    };
    std::vector<Key> unplanned;
};
PlanCheck checkPlans(store::Table& plan, store::Table& notices, store::Table& expenditures, int year);

} // namespace accounts
