#include "cli/report_command.h"

#include "core/datamodule/datamodule.h"
#include "reports/accounts/accounts_reports.h"
#include "core/store/format.h"
#include "core/store/storeerror.h"

#include <cstdio>
#include <memory>

namespace cli {

const char* const ReportHelp =
    "Usage: saldina-cli [--ini PATH] report NAME [selection] (--pdf FILE | --text)\n"
    "\n"
    "Runs a report as the program does and writes its pages instead of showing them.\n"
    "NAME:\n"
    "  accounts         receipts and expenditures by personal accounts\n"
    "  accounts-short   the same, one line per account\n"
    "Selection (each ticks its box in the report's dialog):\n"
    "  --from dd.MM.yyyy --to dd.MM.yyyy   the period, both ends inclusive; either\n"
    "                may be left out: an empty start sets no lower bound, an empty\n"
    "                end selects only undated postings\n"
    "  --org MASK    organization code mask, 5 positions\n"
    "  --cbc MASK    budget classification code mask, 19 positions\n"
    "  --law MASK    purpose code mask, 3 positions\n"
    "  A mask is the edit's text: '*' matches any character, any other character,\n"
    "  the blank included, only itself; an empty mask is all asterisks.\n"
    "Output:\n"
    "  --progress    the share of the fill done, in per cent, on standard error\n"
    "  --pdf FILE    the pages as PDF\n"
    "  --text        each page as lines of its texts (tab between the texts of one line),\n"
    "                a form feed between pages, on standard output\n";

namespace {

void err(const QString& s) { std::fprintf(stderr, "saldina-cli: %s\n", s.toUtf8().constData()); }

int wrong(const QString& why)
{
    err(why);
    std::fputs(ReportHelp, stderr);
    return 2;
}

struct Options {
    QString from, to;
    bool period = false;
    std::optional<QString> org, cbc, law;
};

// The percentage of the fill on standard error, each new figure on a line.
class StderrProgress : public reports::RunProgress {
public:
    explicit StderrProgress(bool on) : on_(on) {}
    bool progress(int percent) override
    {
        if (on_ && percent != last_) {
            std::fprintf(stderr, "%d%%\n", percent);
            last_ = percent;
        }
        return true;
    }

private:
    bool on_;
    int last_ = -1;
};

} // namespace

int report(const QString& ini, QStringList args, const dm::MessageFn& messages)
{
    if (args.contains("--help") || args.contains("-h")) {
        std::fputs(ReportHelp, stdout);
        return 0;
    }
    QString name, pdf;
    bool text = false, progress = false;
    Options opt;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        QString v;
        if (a == "--text") {
            text = true;
        } else if (a == "--progress") {
            progress = true;
        } else if (a == "--pdf" || a == "--from" || a == "--to" || a == "--org" || a == "--cbc" || a == "--law") {
            if (args.isEmpty())
                return wrong(a + QStringLiteral(" needs a value"));
            v = args.takeFirst();
            if (a == "--pdf") {
                pdf = v;
            } else if (a == "--from") {
                opt.from = v;
                opt.period = true;
            } else if (a == "--to") {
                opt.to = v;
                opt.period = true;
            } else if (a == "--org") {
                opt.org = v;
            } else if (a == "--cbc") {
                opt.cbc = v;
            } else {
                opt.law = v;
            }
        } else if (a.startsWith('-') || !name.isEmpty()) {
            return wrong(QStringLiteral("unexpected ") + a);
        } else {
            name = a;
        }
    }
    if (name.isEmpty())
        return wrong(QStringLiteral("report needs NAME"));
    if (text == !pdf.isEmpty())
        return wrong(QStringLiteral("give either --pdf FILE or --text"));
    for (const QString& d : {opt.from, opt.to})
        if (!d.isEmpty() && !store::parseDate(d))
            return wrong(QStringLiteral("'%1' is not a date (dd.MM.yyyy)").arg(d));
    for (auto [mask, width, what] : {std::tuple{&opt.org, 5, "--org"}, {&opt.cbc, 19, "--cbc"}, {&opt.law, 3, "--law"}})
        if (*mask && mask->value().size() > width)
            return wrong(QStringLiteral("%1 takes at most %2 positions").arg(QLatin1String(what)).arg(width));
    if (name != "accounts" && name != "accounts-short")
        return wrong(QStringLiteral("no report %1").arg(name));

    // The selection as the report's dialog holds it once its boxes are ticked.
    reports::Selection sel;
    auto dateText = [](const QString& d) { return d.isEmpty() ? QString() : store::formatDate(*store::parseDate(d)); };
    sel.period = opt.period;
    sel.startText = dateText(opt.from);
    sel.endText = dateText(opt.to);
    using S = reports::Selection;
    if (opt.org) {
        sel.org = true;
        sel.orgMask = S::tickedMask(*opt.org, S::OrgWidth);
    }
    if (opt.cbc) {
        sel.cbc = true;
        sel.cbcMask = S::tickedMask(*opt.cbc, S::CbcWidth);
    }
    if (opt.law) {
        sel.law = true;
        sel.lawMask = S::tickedMask(*opt.law, S::LawWidth);
    }

    dm::TDataBase1 db(ini, messages);
    if (!db.isOpen())
        return 1;
    std::unique_ptr<reports::ReportRun> run;
    if (name == "accounts")
        run = std::make_unique<reports::AccountsReport>(db);
    else
        run = std::make_unique<reports::AccountsShortReport>(db);
    std::optional<reports::PageSet> pages;
    try {
        StderrProgress p(progress);
        pages = run->run(sel, &p);
    } catch (const store::StoreError& e) {
        err(e.text());
        return 1;
    }
    if (!pages)
        return 1;
    if (text) {
        const QByteArray out = pages->toText().toUtf8();
        return std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size()) ? 0 : 1;
    }
    if (!reports::writePdf(*pages, pdf)) {
        err(QStringLiteral("cannot write %1").arg(pdf));
        return 1;
    }
    return 0;
}

} // namespace cli
