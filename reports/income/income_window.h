#pragma once
// TUMDForm1: the selection dialog of the income/expense report of the
// organizations ("Отчет по организациям": period, organization, kind) and
// the run of the report for the selection shown, with the wait window and
// the modal preview.
#include "reports/income/income_report.h"
#include "reports/pipeline/reportform.h"

class QCheckBox;
class TOrgEdit;

namespace reports {

class TUMDForm1 : public TSelectionDialog {
    Q_OBJECT
public:
    // `kinds`: the income/expense kinds book of the kind's ". . .".
    TUMDForm1(const ReportContext& ctx, books::TBookSelectForm* kinds, QWidget* parent = nullptr);

    QGroupBox* SumTypeGroup;
    QCheckBox* SumTypeCheckBox;
    TOrgEdit* SumTypeEditField;   // 2 + 1
    QPushButton* SumTypeBrowse;

    IncomeSelection incomeSelection() const;
    void SumTypeCheckBoxClick();
    void SumTypeBrowseClick();

    // The run, after the dialog closed with "Сформировать".
    void CreateAndShow();
    IncomeReport& report() { return report_; }
    bool cancelled() const { return cancelled_; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    ReportContext ctx_;
    books::TBookSelectForm* kinds_;
    IncomeReport report_;
    bool cancelled_ = false;
};

} // namespace reports
