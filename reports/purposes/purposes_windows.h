#pragma once
// The windows of the reports by purposes and of the financing of
// organizations: each the selection dialog of its report and the run of it
// for the selection shown.
#include "reports/pipeline/reportform.h"
#include "reports/purposes/purposes_reports.h"

namespace reports {

class TMD3Form : public TReportForm {
    Q_OBJECT
public:
    explicit TMD3Form(const ReportContext& ctx, QWidget* parent = nullptr);
    PurposesReport& report() override { return report_; }

private:
    PurposesReport report_;
};

class TMD6Form : public TReportForm {
    Q_OBJECT
public:
    explicit TMD6Form(const ReportContext& ctx, QWidget* parent = nullptr);
    MovementReport& report() override { return report_; }

private:
    MovementReport report_;
};

class TMDForm1 : public TReportForm {
    Q_OBJECT
public:
    explicit TMDForm1(const ReportContext& ctx, QWidget* parent = nullptr);
    FinancingReport& report() override { return report_; }

private:
    FinancingReport report_;
};

} // namespace reports
