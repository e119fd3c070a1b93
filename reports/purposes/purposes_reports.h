#pragma once
// The reports by purposes and the financing of organizations as runs
// without widgets.
// "Поступления/расходы по назначениям" (PurposesReport): for every purpose
// its selected receipts and expenditures of all accounts, each list with its
// total. "Движение средств по назначениям" (MovementReport): one line per
// purpose with what came in and what went out, and a subtotal after each
// group of purposes sharing their first two characters. Both fill md3.
// "Финансирование организаций" (FinancingReport): for every organization
// its selected expenditures with their total; fills md1.
#include "reports/pipeline/reportrun.h"
#include "reports/pipeline/tablesource.h"

#include <QHash>
#include <optional>

namespace reports {

// Where a book stood before a run, to put it back there afterwards: the
// runs walk the books whose current row the pickers and lists read.
class BookPlace {
public:
    void remember(store::Table& t);
    void restore();

private:
    store::Table* t_ = nullptr;
    int recNo_ = 0;
    QString order_;
    bool filtered_ = false;
};

// The fill shared by both reports over md3: one md3 row per purpose with
// the sums of its selected receipts and expenditures.
class PurposesRun : public ReportRun {
public:
    explicit PurposesRun(dm::TDataBase1& db) : ReportRun(db) {}
    Report QuickRep1;
    Report& layout() override { return QuickRep1; }

protected:
    void setUp() override;
    store::Table& masterTable() override;
    void fillRow() override;
    // The pages print no calculated field; the book is the master.
    bool pagesWithHooks() const override { return false; }
    void takeDown() override;

private:
    // The selected sums of every purpose, in one aggregate per posting table
    // when the selection runs in SQL; otherwise each row is summed.
    BookPlace law_;
};

class PurposesReport : public PurposesRun {
public:
    explicit PurposesReport(dm::TDataBase1& db);

    void DetailBand1BeforePrint(Band& b, bool& print);
    void QRDBText3Print(Item& it, ItemPrint& p);

protected:
    // The gauge, then the cancel request, then the pending events.
    bool pass(int i, int n, RunProgress& progress) override;

private:
    TableSource lawSrc_, t21_, t22_, md3_, org_;
};

class MovementReport : public PurposesRun {
public:
    explicit MovementReport(dm::TDataBase1& db);

    void QuickRepBeforePrint(Report& r);
    void DetailBand1BeforePrint(Band& b, bool& print);
    void QRGroup1BeforePrint(Band& b, bool& print);
    void InQRDBText1Print(Item& it, ItemPrint& p);
    void InSumDBTextPrint(Item& it, ItemPrint& p);
    void QRDBText3Print(Item& it, ItemPrint& p);
    void QRDBText4Print(Item& it, ItemPrint& p);
    void QRDBText1Print(Item& it, ItemPrint& p);
    void QRDBText2Print(Item& it, ItemPrint& p);
    void QRDBText5Print(Item& it, ItemPrint& p);

protected:
    // The cancel request before the row begins, then the gauge and events.
    bool pass(int i, int n, RunProgress& progress) override;
    // The pages read md3 whole and the book only: the links and filters go
    // before them.
    void beforePages() override;

private:
    // The purpose's code and short name, read aside in the book.
    QString purposeText(const QString& code);
    TableSource md3_;
    // One generation's state, reset before the pages.
    double groupIn_ = 0, groupOut_ = 0;
    QString groupCode_ = QStringLiteral("00");
    bool rowFlag_ = false;
    int A_ = 0;   // the report variable the group condition reads
};

class FinancingReport : public ReportRun {
public:
    explicit FinancingReport(dm::TDataBase1& db);
    Report QuickRep1;
    Report& layout() override { return QuickRep1; }

    void DetailBand1BeforePrint(Band& b, bool& print);

protected:
    void setUp() override;
    store::Table& masterTable() override;
    void fillRow() override;
    // The gauge only at whole multiples, then the cancel request, then the
    // pending events.
    bool pass(int i, int n, RunProgress& progress) override;
    // The pages print no calculated field; the organizations' book is the
    // master of the expenditures.
    bool pagesWithHooks() const override { return false; }
    void beforePages() override;
    void takeDown() override;

private:
    // Each organization's selected sum and the purpose of its last selected
    // expenditure, in one statement each when the selection runs in SQL;
    // the purposes' short names by code.
    std::optional<QHash<QString, double>> sums_;
    std::optional<QHash<QString, QString>> lastLaw_;
    QHash<QString, QString> snames_;
    int gauge_ = 0;
    BookPlace org_, law_;
    TableSource orgSrc_, t22_, md1_, lawSrc_;
};

} // namespace reports
