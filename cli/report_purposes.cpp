// The reports by purposes and the financing of organizations on the
// command line.
#include "cli/report_command.h"
#include "reports/purposes/purposes_reports.h"

namespace cli {

namespace {

template <class Run>
class PurposesCommand : public ReportCommand {
public:
    bool take(const QString& a, QStringList& rest, QString& error) override { return sel_.take(a, rest, error); }
    QString check() override { return sel_.check(); }
    std::optional<reports::PageSet> run(dm::TDataBase1& db, reports::RunProgress* progress) override
    {
        Run r(db);
        return r.run(sel_.selection(), progress);
    }

private:
    SelectionOptions sel_;
};

} // namespace

std::vector<ReportName> purposesReports()
{
    return {
        {QStringLiteral("purposes"), QStringLiteral("receipts and expenditures by purposes"), QStringLiteral("  as accounts\n"),
         [] { return std::make_unique<PurposesCommand<reports::PurposesReport>>(); }},
        {QStringLiteral("movement"), QStringLiteral("movement of funds by purposes, with group subtotals"),
         QStringLiteral("  as accounts\n"), [] { return std::make_unique<PurposesCommand<reports::MovementReport>>(); }},
        {QStringLiteral("financing"), QStringLiteral("financing of organizations: their expenditures"),
         QStringLiteral("  as accounts (--org narrows the organizations printed)\n"),
         [] { return std::make_unique<PurposesCommand<reports::FinancingReport>>(); }},
    };
}

} // namespace cli
