// The report of the income accounting on the command line: the income and
// expenses of the organizations.
#include "cli/report_command.h"
#include "reports/income/income_report.h"

namespace cli {

namespace {

// "Доход/расход организаций": the period and the organization mask as for
// the other reports, and the income/expense kind mask.
class IncomeCommand : public ReportCommand {
public:
    bool take(const QString& a, QStringList& rest, QString& error) override
    {
        if (a == "--from" || a == "--to" || a == "--org")
            return common_.take(a, rest, error);
        if (a == "--kind") {
            QString v;
            if (takeValue(a, rest, v, error))
                kind_ = v;
            return true;
        }
        return false;
    }
    QString check() override
    {
        if (kind_ && kind_->size() > reports::IncomeSelection::KindWidth)
            return QStringLiteral("--kind takes at most 3 positions");
        return common_.check();
    }
    std::optional<reports::PageSet> run(dm::TDataBase1& db, reports::RunProgress* progress) override
    {
        reports::IncomeSelection s;
        static_cast<reports::Selection&>(s) = common_.selection();
        if (kind_) {
            s.kind = true;
            s.kindMask = reports::Selection::tickedMask(*kind_, reports::IncomeSelection::KindWidth);
        }
        reports::IncomeReport r(db);
        return r.run(s, progress);
    }

private:
    SelectionOptions common_;
    std::optional<QString> kind_;
};

} // namespace

std::vector<ReportName> incomeReports()
{
    return {
        {QStringLiteral("income"), QStringLiteral("the income and expenses of the organizations (income accounting)"),
         QStringLiteral("  --from dd.MM.yyyy --to dd.MM.yyyy   the period (without one: all entries, nothing before)\n"
                        "  --org MASK    organization code mask, 5 positions\n"
                        "  --kind MASK   income/expense kind mask, 3 positions\n"),
         [] { return std::make_unique<IncomeCommand>(); }},
    };
}

} // namespace cli
