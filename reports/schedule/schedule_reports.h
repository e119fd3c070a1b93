#pragma once
// The reports over the schedule as runs without widgets.
// "Утвержденная роспись по лицевым счетам" (ApprovedScheduleReport): the
// approved schedule summed by budget classification code, for every
// account on its own, for one account, or for all accounts together; one
// md12 row per account and code with the quarters and the year.
#include "reports/pipeline/reportrun.h"
#include "reports/pipeline/tablesource.h"

namespace reports {

class ApprovedScheduleReport : public ReportRun {
public:
    explicit ApprovedScheduleReport(dm::TDataBase1& db);
    Report QuickRep1;
    Report& layout() override { return QuickRep1; }

    // The patterns the schedule's record filter reads.
    QString orgPattern = QString(5, QLatin1Char('*'));
    QString cbcPattern = QString(19, QLatin1Char('*'));
    QString accountPattern = QString(11, QLatin1Char('*'));
    bool FilterPlanTable(store::Table& t) const;

    void DetailBand1BeforePrint(Band& b, bool& print);
    void QRDBText5Print(Item& it, ItemPrint& p);
    void QRDBText23Print(Item& it, ItemPrint& p);

protected:
    void setUp() override;
    store::Table& masterTable() override;
    int passCount(store::Table& master) override;
    void startPasses(store::Table& master) override;
    void fillRow() override;
    void beforePages() override;
    void takeDown() override;

private:
    // The patterns with the filter off, then the filter on again.
    void setPatterns(const QString& cbc);
    QString selectedCodes() const;
    TableSource t1_, md12_;
    int t1Row_ = 0;   // the accounts' row before the run
};

} // namespace reports
