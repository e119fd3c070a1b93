// The reports over the schedule on the command line: the approved schedule
// by personal accounts and the schedule execution by organizations.
#include "cli/report_command.h"
#include "core/store/format.h"
#include "reports/schedule/schedule_reports.h"

#include <cstdio>

namespace cli {

namespace {

// A refusal that the run itself would not give: the account is not in the year.
std::optional<reports::PageSet> noAccount(const QString& account)
{
    std::fprintf(stderr, "saldina-cli: %s\n",
                 QStringLiteral("нет лицевого счета %1").arg(account).toUtf8().constData());
    return std::nullopt;
}

bool hasAccount(dm::TDataBase1& db, const QString& account)
{
    return db.T1.isOpen() && db.T1.keyIndex({account}) >= 0;
}

QString accountError(const QString& account)
{
    return account.isEmpty() || account.size() > 11 ? QStringLiteral("--only takes an account number of up to 11 characters")
                                                    : QString();
}

// "Утвержденная роспись по лицевым счетам": the choice of accounts, then the
// organization and code masks of its dialog.
class ScheduleCommand : public ReportCommand {
public:
    bool take(const QString& a, QStringList& rest, QString& error) override
    {
        using A = reports::Selection::Accounts;
        if (a == "--every" || a == "--sum-all" || a == "--only") {
            if (choices_++)
                error = QStringLiteral("give one of --every, --only ACCOUNT, --sum-all");
            accounts_ = a == "--every" ? A::EveryOne : a == "--sum-all" ? A::SumAll : A::OnlyOne;
            if (a == "--only" && takeValue(a, rest, account_, error) && error.isEmpty())
                error = accountError(account_);
            return true;
        }
        if (a == "--org" || a == "--cbc")
            return masks_.take(a, rest, error);
        return false;
    }
    QString check() override { return masks_.check(); }
    std::optional<reports::PageSet> run(dm::TDataBase1& db, reports::RunProgress* progress) override
    {
        reports::Selection sel = masks_.selection();
        sel.accounts = accounts_;
        sel.account = account_;
        if (accounts_ == reports::Selection::Accounts::OnlyOne && !hasAccount(db, account_))
            return noAccount(account_);
        reports::ApprovedScheduleReport r(db);
        return r.run(sel, progress);
    }

private:
    SelectionOptions masks_;
    reports::Selection::Accounts accounts_ = reports::Selection::Accounts::EveryOne;
    QString account_;
    int choices_ = 0;
};

// "Исполнение росписи по организациям".
class ExecutionCommand : public ReportCommand {
public:
    bool take(const QString& a, QStringList& rest, QString& error) override
    {
        QString v;
        if (a == "--all" || a == "--only") {
            if (choices_++)
                error = QStringLiteral("give one of --all, --only ACCOUNT");
            if (a == "--only" && takeValue(a, rest, account_, error) && error.isEmpty())
                error = accountError(account_);
            if (a == "--all")
                account_.clear();
            return true;
        }
        if (a == "--org-from" || a == "--org-to") {
            if (takeValue(a, rest, v, error)) {
                if (v.size() > 5)
                    error = a + QStringLiteral(" takes at most 5 positions");
                (a == "--org-from" ? orgFirst_ : orgLast_) = v.leftJustified(5, QLatin1Char(' '));
            }
            return true;
        }
        if (a == "--cbc") {
            if (takeValue(a, rest, v, error)) {
                if (v.size() > 19)
                    error = QStringLiteral("--cbc takes at most 19 positions");
                cbc_ = v;
            }
            return true;
        }
        if (a == "--quarter") {
            if (takeValue(a, rest, v, error)) {
                bool ok = false;
                quarter_ = v.toInt(&ok);
                if (!ok || quarter_ < 1 || quarter_ > 4)
                    error = QStringLiteral("--quarter takes 1, 2, 3 or 4");
            }
            return true;
        }
        if (a == "--from" || a == "--to") {
            if (takeValue(a, rest, v, error)) {
                if (!v.isEmpty() && !store::parseDate(v))
                    error = QStringLiteral("'%1' is not a date (dd.MM.yyyy)").arg(v);
                (a == "--from" ? from_ : to_) = v;
            }
            return true;
        }
        return false;
    }
    QString check() override
    {
        if (orgFirst_.has_value() != orgLast_.has_value())
            return QStringLiteral("--org-from and --org-to go together");
        return {};
    }
    std::optional<reports::PageSet> run(dm::TDataBase1& db, reports::RunProgress* progress) override
    {
        if (!account_.isEmpty() && !hasAccount(db, account_))
            return noAccount(account_);
        // As the dialog: the quarter button sets the notices' window and the
        // period; the period's edits may then be typed over.
        reports::ExecutionSelection s;
        s.chooseQuarter(quarter_ ? quarter_ : (QDate::currentDate().month() + 2) / 3, db.settingsYear());
        if (!account_.isEmpty())
            s.accountMask = account_;
        if (orgFirst_) {
            s.orgRange = true;
            s.orgFirst = *orgFirst_;
            s.orgLast = *orgLast_;
        }
        if (cbc_) {
            s.cbc = true;
            s.cbcMask = reports::Selection::tickedMask(*cbc_, reports::Selection::CbcWidth);
        }
        for (auto [text, date, shown] : {std::tuple{&from_, &s.start, &s.startText}, {&to_, &s.end, &s.endText}}) {
            if (!*text)
                continue;
            const std::optional<QDate> d = text->value().isEmpty() ? std::optional<QDate>(QDate()) : store::parseDate(**text);
            *date = *d;
            *shown = d->isValid() ? store::formatDate(*d) : QString();
        }
        reports::ExecutionReport r(db);
        return r.run(s, progress);
    }

private:
    QString account_;
    int choices_ = 0;
    std::optional<QString> orgFirst_, orgLast_, cbc_, from_, to_;
    int quarter_ = 0;
};

} // namespace

std::vector<ReportName> scheduleReports()
{
    return {
        {QStringLiteral("schedule"), QStringLiteral("the approved schedule by personal accounts"),
         QStringLiteral("  --every | --only ACCOUNT | --sum-all   each account on its own (the default),\n"
                        "                one account, or all accounts summed together\n"
                        "  --org MASK --cbc MASK   as for accounts\n"),
         [] { return std::make_unique<ScheduleCommand>(); }},
        {QStringLiteral("execution"), QStringLiteral("the schedule execution by organizations"),
         QStringLiteral("  --all | --only ACCOUNT   every account (the default) or one\n"
                        "  --org-from CODE --org-to CODE   the organizations of the range, both included\n"
                        "  --cbc MASK    budget classification code mask, 19 positions\n"
                        "  --quarter N   the schedule of the quarters I to N (1 to 4; default: the quarter\n"
                        "                of today); it also sets the period to 1 January .. the end of quarter N\n"
                        "  --from dd.MM.yyyy --to dd.MM.yyyy   the expenditures' period instead\n"),
         [] { return std::make_unique<ExecutionCommand>(); }},
    };
}

} // namespace cli
