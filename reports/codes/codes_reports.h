#pragma once
// The reports over the budget classification codes as runs without widgets.
//
// "Финансирование и остатки кредитов организаций" (CreditRemaindersReport):
// for every organization and every code it considers, the financing (the
// organization's expenditures), the plan of the chosen quarters and the
// remaining credit; one md2 row each. The codes considered are those the
// expenditures use, plus the summary codes of the reference book whose
// asterisks cover exactly the parts chosen under "Вычислять суммы".
//
// "Итоговое состояние средств по эк.статьям" (EconomicArticlesReport): the
// receipts and expenditures of the accounting year by quarter for every
// economic-article code of the reference book; one md4 row each.
//
// Both mark the codes they consider in the reference book itself (Md2Use)
// and walk them under the filter expression "Md2Use='*'"; each rewrites the
// mark of every code on each run.
#include "reports/pipeline/reportrun.h"
#include "reports/pipeline/tablesource.h"

#include <QDate>
#include <QHash>
#include <optional>
#include <vector>

namespace reports {

// The parts of a 19-position code and their bits.
enum CodePart {
    PartRazd = 1,     // positions 1-2, "Раздел"
    PartPRazd = 2,    // 3-4, "Подраздел"
    PartGl = 4,       // 5-7, "Глава"
    PartCelSt = 8,    // 8-10, "Целевая статья"
    PartVR = 16,      // 11-13, "Вид расхода"
    PartEcSt = 32,    // 14-19, "Экономическая статья"
};
// The parts of a summary code: the bit of every part one of whose positions
// holds "*"; no bit for a code without asterisks.
int GetCBCSumParam(const QString& code);

struct CreditSelection {
    Selection sel;    // the period, organization, code and purpose selections
    int quarter = 4;  // the plan of the quarters I to `quarter`
    int parts = 0;    // the bits of "Вычислять суммы"
};

class CreditRemaindersReport {
public:
    explicit CreditRemaindersReport(dm::TDataBase1& db);
    Report QuickRep1;
    Report& layout() { return QuickRep1; }
    dm::TDataBase1& db() const { return db_; }

    // The pages, or nothing when cancelled; the tables are taken down in
    // either case, also when the store fails.
    std::optional<PageSet> run(const CreditSelection& selection, RunProgress* progress = nullptr);
    const CreditSelection& selection() const { return sel_; }

    // The caption of the plan column heading for quarters I to q.
    static QString planHeading(int quarter);
    void setPlanHeading(int quarter);

    // The code (or summary code) being processed, as a mask.
    QString currentPattern = QString(19, QLatin1Char('*'));
    // The record filters, row by row.
    bool FilterT2_2(store::Table& t) const;
    bool FilterPlanTable(store::Table& t) const;
    bool FilterOrg_Table(store::Table& t) const;
    void DetailBand1BeforePrint(Band& b, bool& print);
    void RemainderQRDBTextPrint(Item& it, ItemPrint& p);

private:
    void mark(RunProgress* progress, bool& cancelled);
    void fill(RunProgress* progress, bool& cancelled);
    void takeDown();
    QString selectionExpression(bool withOrg, bool withPeriodAndLaw) const;
    struct SqlParamValue {
        QVariant value;
        int type;
    };
    QString expenditureWhere(std::vector<SqlParamValue>& params) const;
    dm::TDataBase1& db_;
    CreditSelection sel_;
    TableSource org_, md2_;
    struct Code {
        QString code, name;
        bool summary;
    };
    std::vector<Code> marked_;
    struct CodeSum {
        QString code;
        double sum;
    };
    QHash<QString, std::vector<CodeSum>> spent_;   // by organization
};

class EconomicArticlesReport {
public:
    explicit EconomicArticlesReport(dm::TDataBase1& db);
    Report QuickRep1;
    Report& layout() { return QuickRep1; }
    dm::TDataBase1& db() const { return db_; }

    // The pages for the accounting year `year`, or nothing when cancelled.
    std::optional<PageSet> run(int year, RunProgress* progress = nullptr);

    // Whether a code is an economic-article code: 13 asterisks, then an
    // article without asterisks; or the code of 19 asterisks.
    static bool CBCIsEcstFilter(const QString& code);
    // Quarter q (1 to 4) of `year` as the bounds the filter reads.
    void setQuarter(int year, int q);

    QString currentPattern = QString(19, QLatin1Char('*'));
    QDate lowerBound, upperBound;
    // The record filter of receipts and expenditures, row by row, and the
    // same test as an expression the store runs in SQL.
    bool FilterT2_1AndT2_2(store::Table& t) const;
    QString filterExpression() const;

private:
    void fill(int year, RunProgress* progress, bool& cancelled);
    void takeDown();
    dm::TDataBase1& db_;
    TableSource md4_;
};

} // namespace reports
