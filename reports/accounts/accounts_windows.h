#pragma once
// The windows of the reports by personal accounts: each the selection
// dialog of its report and the run of it for the selection shown.
#include "reports/accounts/accounts_reports.h"
#include "reports/pipeline/reportform.h"

namespace reports {

class TMDForm : public TReportForm {
    Q_OBJECT
public:
    explicit TMDForm(const ReportContext& ctx, QWidget* parent = nullptr);
    AccountsReport& report() override { return report_; }

private:
    AccountsReport report_;
};

class TMDForm11 : public TReportForm {
    Q_OBJECT
public:
    explicit TMDForm11(const ReportContext& ctx, QWidget* parent = nullptr);
    AccountsShortReport& report() override { return report_; }

private:
    AccountsShortReport report_;
};

} // namespace reports
