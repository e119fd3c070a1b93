// The reports over the budget classification codes on the command line:
// the financing and credit remainders of organizations, and the totals by
// economic articles.
#include "cli/report_command.h"
#include "reports/codes/codes_reports.h"

namespace cli {

namespace {

// "Финансирование и остатки кредитов организаций": the selections of its
// dialog, the quarters of the plan and the parts of the summary codes.
class CreditCommand : public ReportCommand {
public:
    bool take(const QString& a, QStringList& rest, QString& error) override
    {
        QString v;
        if (a == "--quarter") {
            if (takeValue(a, rest, v, error)) {
                bool ok = false;
                quarter_ = v.toInt(&ok);
                if (!ok || quarter_ < 1 || quarter_ > 4)
                    error = QStringLiteral("--quarter takes 1, 2, 3 or 4");
            }
            return true;
        }
        if (a == "--parts") {
            if (takeValue(a, rest, v, error)) {
                static const std::pair<const char*, int> names[] = {
                    {"razd", reports::PartRazd}, {"prazd", reports::PartPRazd}, {"gl", reports::PartGl},
                    {"celst", reports::PartCelSt}, {"vr", reports::PartVR},   {"ecst", reports::PartEcSt}};
                parts_ = 0;
                for (const QString& p : v.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                    int bit = 0;
                    for (const auto& [name, b] : names)
                        if (p.trimmed() == QLatin1String(name))
                            bit = b;
                    if (!bit) {
                        error = QStringLiteral("--parts takes razd, prazd, gl, celst, vr, ecst separated by commas, not '%1'")
                                    .arg(p);
                        break;
                    }
                    parts_ |= bit;
                }
            }
            return true;
        }
        return sel_.take(a, rest, error);
    }
    QString check() override { return sel_.check(); }
    std::optional<reports::PageSet> run(dm::TDataBase1& db, reports::RunProgress* progress) override
    {
        reports::CreditSelection s;
        s.sel = sel_.selection();
        s.quarter = quarter_;
        s.parts = parts_;
        reports::CreditRemaindersReport r(db);
        return r.run(s, progress);
    }

private:
    SelectionOptions sel_;
    int quarter_ = 4;
    int parts_ = 0;
};

// "Итоговое состояние средств по эк.статьям": the accounting year only.
class ArticlesCommand : public ReportCommand {
public:
    bool take(const QString& a, QStringList& rest, QString& error) override
    {
        if (a != "--year")
            return false;
        QString v;
        if (takeValue(a, rest, v, error)) {
            bool ok = false;
            year_ = v.toInt(&ok);
            if (!ok || v.size() != 4 || year_ < 1900)
                error = QStringLiteral("--year takes a year of four digits");
        }
        return true;
    }
    std::optional<reports::PageSet> run(dm::TDataBase1& db, reports::RunProgress* progress) override
    {
        reports::EconomicArticlesReport r(db);
        return r.run(year_ ? year_ : db.settingsYear(), progress);
    }

private:
    int year_ = 0;
};

} // namespace

std::vector<ReportName> codesReports()
{
    return {
        {QStringLiteral("credit"), QStringLiteral("the financing and credit remainders of organizations"),
         QString::fromUtf8(SelectionOptions::Help) +
             QStringLiteral("  --quarter N   the plan of the quarters I to N (1 to 4; default 4, the year)\n"
                            "  --parts LIST  the summary codes to add up: the parts their asterisks cover,\n"
                            "                any of razd,prazd,gl,celst,vr,ecst (default: none)\n"),
         [] { return std::make_unique<CreditCommand>(); }},
        {QStringLiteral("articles"), QStringLiteral("the totals by economic articles"),
         QStringLiteral("  --year YYYY   the accounting year (default: the configured year)\n"),
         [] { return std::make_unique<ArticlesCommand>(); }},
    };
}

} // namespace cli
