// The reports by personal accounts on the command line.
#include "cli/report_command.h"
#include "reports/accounts/accounts_reports.h"

namespace cli {

namespace {

template <class Run>
class AccountsCommand : public ReportCommand {
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

std::vector<ReportName> accountsReports()
{
    return {
        {QStringLiteral("accounts"), QStringLiteral("receipts and expenditures by personal accounts"),
         QString::fromUtf8(SelectionOptions::Help),
         [] { return std::make_unique<AccountsCommand<reports::AccountsReport>>(); }},
        {QStringLiteral("accounts-short"), QStringLiteral("the same, one line per account"),
         QStringLiteral("  as accounts\n"),
         [] { return std::make_unique<AccountsCommand<reports::AccountsShortReport>>(); }},
    };
}

} // namespace cli
