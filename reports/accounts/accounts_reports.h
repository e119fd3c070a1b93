#pragma once
// The reports by personal accounts as runs without widgets.
// "Поступления/расходы по лицевым счетам" (AccountsReport): for every
// personal account its selected receipts and expenditures, each list with
// its total, and the account's remainder for the selection.
// "... Кратко" (AccountsShortReport): one line per account with its
// selected sums and the grand totals. Both fill the work table md.
#include "reports/pipeline/reportrun.h"
#include "reports/pipeline/tablesource.h"

#include <QHash>
#include <optional>

namespace reports {

// The fill shared by both reports over md: one md row per account with the
// sums of its selected receipts and expenditures.
class AccountsRun : public ReportRun {
public:
    explicit AccountsRun(dm::TDataBase1& db) : ReportRun(db) {}
    Report QuickRep1;
    Report& layout() override { return QuickRep1; }

protected:
    void setUp() override;
    store::Table& masterTable() override;
    void fillRow() override;

private:
    // The selected sums of every account, taken in one aggregate per posting
    // table when the selection runs in SQL; otherwise each row is summed.
};

class AccountsReport : public AccountsRun {
public:
    explicit AccountsReport(dm::TDataBase1& db);

    void DetailBand1BeforePrint(Band& b, bool& print);
    void InColumnHeaderBandBeforePrint(Band& b, bool& print);
    void OutQRBandBeforePrint(Band& b, bool& print);
    void QRDBText3Print(Item& it, ItemPrint& p);

private:
    TableSource t1_, t21_, t22_, md_, law_, org_;
};

class AccountsShortReport : public AccountsRun {
public:
    explicit AccountsShortReport(dm::TDataBase1& db);

    void QRDBText1Print(Item& it, ItemPrint& p);
    void SumInLabelPrint(Item& it, ItemPrint& p);
    void SumOutLabelPrint(Item& it, ItemPrint& p);
    void SumRemLabelPrint(Item& it, ItemPrint& p);

protected:
    void beforePages() override;

private:
    TableSource md_;
};

// The display form of an organization code: a hyphen before its fourth character.
QString orgCodeText(const QString& code);

} // namespace reports
