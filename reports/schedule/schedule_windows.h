#pragma once
// The windows of the reports over the schedule: each the selection dialog
// of its report and the run of it for the selection shown.
#include "reports/pipeline/reportform.h"
#include "reports/schedule/schedule_reports.h"

#include <functional>
#include <optional>

class QRadioButton;
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

} // namespace reports
