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

namespace accounts {

struct PlanFigures {
    bool scheduled = false;   // a schedule row for the account, organization and code
    bool noticed = false;     // a notice for them dated in the year
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

} // namespace accounts
