#pragma once
// "Поступления/расходы по лицевым счетам": for every personal account its
// selected receipts and expenditures, each list with its total, and the
// account's remainder for the selection. Fills the work table md.
#include "reportform.h"
#include "tablesource.h"

#include <QHash>
#include <optional>

namespace reports {

// The fill shared by both reports over md: one md row per account with the
// sums of its selected receipts and expenditures.
class TAccountsReportForm : public TReportForm {
    Q_OBJECT
public:
    TAccountsReportForm(const ReportContext& ctx, const QString& caption, QWidget* parent);
    Report QuickRep1;

protected:
    void setUp() override;
    store::Table& masterTable() override;
    void fillRow() override;

private:
    // The selected sums of every account, taken in one aggregate per posting
    // table when the selection runs in SQL; otherwise each row is summed.
    std::optional<QHash<QString, double>> inSums_, outSums_;
};

class TMDForm : public TAccountsReportForm {
    Q_OBJECT
public:
    explicit TMDForm(const ReportContext& ctx, QWidget* parent = nullptr);
    Report& layout() override { return QuickRep1; }

    void DetailBand1BeforePrint(Band& b, bool& print);
    void InColumnHeaderBandBeforePrint(Band& b, bool& print);
    void OutQRBandBeforePrint(Band& b, bool& print);
    void QRDBText3Print(Item& it, ItemPrint& p);

private:
    TableSource t1_, t21_, t22_, md_, law_, org_;
};

class TMDForm11 : public TAccountsReportForm {
    Q_OBJECT
public:
    explicit TMDForm11(const ReportContext& ctx, QWidget* parent = nullptr);
    Report& layout() override { return QuickRep1; }

    void QRDBText1Print(Item& it, ItemPrint& p);
    void SumInLabelPrint(Item& it, ItemPrint& p);
    void SumOutLabelPrint(Item& it, ItemPrint& p);
    void SumRemLabelPrint(Item& it, ItemPrint& p);

protected:
    void beforePreview() override;

private:
    TableSource md_;
};

// The display form of an organization code: a hyphen before its fourth character.
QString orgCodeText(const QString& code);

} // namespace reports
