#pragma once
// The reports over the schedule as runs without widgets.
// "Утвержденная роспись по лицевым счетам" (ApprovedScheduleReport): the
// approved schedule summed by budget classification code, for every
// account on its own, for one account, or for all accounts together; one
// md12 row per account and code with the quarters and the year.
#include "reports/pipeline/reportrun.h"
#include "reports/pipeline/tablesource.h"
#include "core/store/session.h"

#include <QDate>
#include <map>
#include <memory>
#include <optional>

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
    // The selected schedule's sums by account and code, and by code.
    struct Sums {
        double v[5] = {0, 0, 0, 0, 0};   // the quarters and the year
    };
    void gatherSchedule();
    std::map<QString, std::map<QString, Sums>> byAccount_;
    std::map<QString, Sums> byCode_;
    bool gathered_ = false;
    bool irregular_ = false;   // rows with short texts: the filter sums them
    std::unique_ptr<store::BatchScope> batch_;
    TableSource t1_, md12_;
    int t1Row_ = 0;   // the accounts' row before the run
};

// "Исполнение росписи по организациям" (ExecutionReport): for every
// organization and code of the selection the approved and the corrected
// schedule of the first quarters, the expenditures of a period and the
// remainder; one md9 row each.
struct ExecutionSelection {
    QString accountMask = QString(11, QLatin1Char('*'));   // or the one account's number
    bool orgRange = false;
    QString orgFirst, orgLast;                             // both inclusive
    bool cbc = false;
    QString cbcMask;
    int quarter = 1;                                       // 1 to 4: the quarters I to q
    QDate correctionStart, correctionEnd;                  // the notices counted
    QDate start, end;                                      // the expenditures counted
    QString startText, endText;                            // the period as the edits show it
    int year = 0;                                          // the accounting year of the title

    // The correction window and q for quarter button q of `year`.
    void chooseQuarter(int q, int accountingYear);
};

class ExecutionReport {
public:
    explicit ExecutionReport(dm::TDataBase1& db);
    Report QuickRep1;
    Report& layout() { return QuickRep1; }
    dm::TDataBase1& db() const { return db_; }

    // The pages for `selection`, or nothing when cancelled; the tables are
    // taken down in either case, also when the store fails.
    std::optional<PageSet> run(const ExecutionSelection& selection, RunProgress* progress = nullptr);
    const ExecutionSelection& selection() const { return sel_; }

    // The three masks of each record filter.
    struct Masks {
        QString org = QString(5, QLatin1Char('*'));
        QString cbc = QString(19, QLatin1Char('*'));
    };
    Masks plan, cor, out;
    bool FilterPlanTable(store::Table& t) const;
    bool CorPlanFilter(store::Table& t) const;
    bool FilterT2_2(store::Table& t) const;
    void RemainderQRDBTextPrint(Item& it, ItemPrint& p);

private:
    void fill(RunProgress* progress, bool& cancelled);
    void takeDown();
    dm::TDataBase1& db_;
    ExecutionSelection sel_;
    TableSource md9_;
};

} // namespace reports
