#pragma once
// "Доход/расход организаций" (IncomeReport) as a run without widgets: for
// every organization of the income accounting (DOrg) that the selection
// passes, its balance before the period, its receipts (DIn) and expenses
// (DOut) of the period line by line with their totals, and its balance at
// the end of the period; at the end the same three balances over all the
// organizations printed. One UMd1 row per organization holds its four sums.
//
// Without a period the opening figures are zero and the period takes every
// entry: the closing figures are then the organization's totals.
#include "reports/pipeline/reportrun.h"
#include "reports/pipeline/selection_value.h"
#include "reports/pipeline/tablesource.h"

#include <optional>

namespace reports {

// The report's selection: the period and the organization mask as every
// report has them, and the income/expense kind mask.
struct IncomeSelection : Selection {
    enum { KindWidth = 3 };
    bool kind = false;
    QString kindMask;   // the full-width text of the kind edit

    QString kindText() const;
    // The organizations the summary speaks of.
    QString orgLabel() const;
};

class IncomeReport {
public:
    explicit IncomeReport(dm::TDataBase1& db);
    Report QuickRep1;
    Report& layout() { return QuickRep1; }
    dm::TDataBase1& db() const { return db_; }

    // The pages for `selection`, or nothing when cancelled; the tables are
    // taken down in either case, also when the store fails.
    std::optional<PageSet> run(const IncomeSelection& selection, RunProgress* progress = nullptr);
    const IncomeSelection& selection() const { return sel_; }

    // The report totals of the last run: opening receipts and expenses,
    // period receipts and expenses.
    double totalStartIn = 0, totalStartOut = 0, totalEndIn = 0, totalEndOut = 0;

    // The record filters as the store runs them: the organizations of the
    // mask; the entries dated from `lower` to `upper` (both included, either
    // may be null: no bound) of the kind mask.
    QString orgExpression() const;
    QString entryExpression(const QDate& lower, const QDate& upper) const;

private:
    void buildLayout();
    void fill(RunProgress* progress, bool& cancelled);
    void takeDown();

    dm::TDataBase1& db_;
    IncomeSelection sel_;
    TableSource dorg_, din_, dout_, umd1_;
    int dorgRow_ = 0;              // where the list stood before the run
    bool displaysOff_ = false;
};

} // namespace reports
