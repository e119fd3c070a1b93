#pragma once
// The windows of the reports over the schedule: each the selection dialog
// of its report and the run of it for the selection shown.
#include "reports/pipeline/reportform.h"
#include "reports/schedule/schedule_reports.h"

#include <functional>
#include <optional>

class QRadioButton;
class TOrgEdit;
namespace ui { class DateEdit; }
namespace ui { class DBLookupCombo; }

namespace reports {

// "Утвержденная роспись по лицевым счетам": every account, one account or
// all accounts summed, with the organization and code selections.
class TMDForm12 : public TReportForm {
    Q_OBJECT
public:
    explicit TMDForm12(const ReportContext& ctx, QWidget* parent = nullptr);
    ApprovedScheduleReport& report() override { return report_; }
    Selection selection() const override;
    // The run under the wait window's caption "Подготовка к подсчету".
    void CreateAndShow();

    // The account picker the browse button opens: the chosen account's
    // number on OK, nothing on cancel.
    void setAccountPicker(std::function<std::optional<QString>()> f) { accountPicker_ = std::move(f); }

    QRadioButton* EveryOneRB;
    QRadioButton* OnlyOneRB;
    QRadioButton* SumAllRB;
    ui::DBLookupCombo* FaceBillRxDBLookupCombo;
    QPushButton* FaceBillBrowseButton;

    void OnlyOneRBClick();
    void FaceBillBrowseButtonClick();

private:
    ApprovedScheduleReport report_;
    std::function<std::optional<QString>()> accountPicker_;
};

// "Исполнение росписи по организациям": all accounts or one, a range of
// organizations, the code mask, the quarters and the expenditure period.
class TMD9Form : public TSelectionDialog {
    Q_OBJECT
public:
    explicit TMD9Form(const ReportContext& ctx, QWidget* parent = nullptr);
    ExecutionReport& report() { return report_; }
    void setAccountPicker(std::function<std::optional<QString>()> f) { accountPicker_ = std::move(f); }

    // The choices as the report reads them.
    ExecutionSelection executionSelection() const;
    // The run for the choices shown, the wait window, the preview.
    void CreateAndShow();
    bool cancelled() const { return cancelled_; }

    QRadioButton* AllRospRB;
    QRadioButton* FaceOnlyRospRB;
    ui::DBLookupCombo* FaceBillRxDBLookupCombo;
    QPushButton* FaceBillBrowseButton;
    TOrgEdit* OrgEditField1;
    TOrgEdit* OrgEditField2;
    QPushButton* ORGBrowse1;
    QPushButton* ORGBrowse2;
    QRadioButton *Quarter1RB, *Quarter12RB, *Quarter123RB, *Quarter1234RB;
    ui::DateEdit *OrgRasStartDateEdit, *OrgRasEndDateEdit;

    void AllRospRBClick();
    void FaceOnlyRospRBClick();
    void FaceBillRxDBLookupComboChange();
    void FaceBillBrowseButtonClick();
    void QuarterClick(int q);

private:
    ReportContext ctx_;
    ExecutionReport report_;
    std::function<std::optional<QString>()> accountPicker_;
    QString accountMask_ = QString(11, QLatin1Char('*'));
    int quarter_ = 1;
    QDate corStart_, corEnd_;
    bool cancelled_ = false;
};

} // namespace reports
