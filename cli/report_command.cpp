#include "cli/report_command.h"

#include "cli/output.h"

#include "core/store/format.h"
#include "core/store/storeerror.h"
#include "accounts/mdform5.h"
#include "books/listprint.h"
#include "reports/model/sheet.h"
#include "schedule/planprint.h"

#include <QFileInfo>
#include <cstdio>

namespace cli {

namespace {

void err(const QString& s) { std::fprintf(stderr, "saldina-cli: %s\n", s.toUtf8().constData()); }

int wrong(const QString& why)
{
    err(why);
    std::fputs(reportHelp().toUtf8().constData(), stderr);
    return 2;
}

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
    void gauge(int percent) override { progress(percent); }

private:
    bool on_;
    int last_ = -1;
};

} // namespace

bool Output::take(const QString& a, QStringList& rest, QString& error)
{
    const Kind kind = a == "--text" ? Text : a == "--pdf" ? Pdf : a == "--xlsx" ? Xlsx : a == "--csv" ? Csv : None;
    if (kind == None)
        return false;
    if (kind_ != None)
        error = QStringLiteral("give one of --pdf FILE, --text, --xlsx FILE, --csv FILE");
    kind_ = kind;
    if (kind != Text)
        takeValue(a, rest, file_, error);
    return true;
}

QString Output::check() const
{
    return kind_ == None ? QStringLiteral("give one of --pdf FILE, --text, --xlsx FILE, --csv FILE") : QString();
}

int Output::write(const reports::PageSet& pages) const
{
    // Standard output is checked to its last byte; a named file appears
    // whole or not at all.
    QString error;
    bool ok = true;
    switch (kind_) {
    case None:
        return 2;
    case Text:
        ok = writeStandardOutput(pages.toText().toUtf8(), error);
        break;
    case Pdf:
        ok = writeFileWhole(file_, [&](QIODevice& f) { return reports::writePdf(pages, &f); }, error);
        break;
    case Xlsx:
        ok = writeFileByName(file_, [&](const QString& temp, QString& why) {
            return reports::writeXlsx(pages, temp, QFileInfo(file_).completeBaseName(), &why);
        }, error);
        break;
    case Csv:
        ok = writeFileByName(file_, [&](const QString& temp, QString& why) { return reports::writeCsv(pages, temp, &why); },
                             error);
        break;
    }
    if (!ok) {
        err(error);
        return 1;
    }
    return 0;
}

std::vector<ReportName> reportNames()
{
    std::vector<ReportName> all;
    for (auto group : {accountsReports, scheduleReports, purposesReports, codesReports, incomeReports})
        for (ReportName& n : group())
            all.push_back(std::move(n));
    return all;
}

QString reportHelp()
{
    QString h = QStringLiteral(
        "Usage: saldina-cli [--ini PATH] report NAME [selection] (--pdf FILE | --text | --xlsx FILE | --csv FILE)\n"
        "\n"
        "Runs a report as the program does and writes its pages instead of showing them.\n"
        "NAME:\n");
    const auto names = reportNames();
    for (const ReportName& n : names)
        h += QStringLiteral("  %1 %2\n").arg(n.name, -16).arg(n.summary);
    h += QStringLiteral("Selection (each ticks its box in the report's dialog):\n");
    for (const ReportName& n : names)
        if (!n.options.isEmpty())
            h += QStringLiteral(" %1:\n").arg(n.name) + n.options;
    h += QStringLiteral(
        "Output:\n"
        "  --progress    the share of the fill done, in per cent, on standard error\n"
        "  --pdf FILE    the pages as PDF\n"
        "  --text        each page as lines of its texts (tab between the texts of one line),\n"
        "                a form feed between pages, on standard output\n"
        "  --xlsx FILE   the report as a spreadsheet: a row per printed line, amounts and\n"
        "                dates as numbers and dates in their display format\n"
        "  --csv FILE    the same rows as CSV (UTF-8, comma, numbers with a point, dates\n"
        "                as yyyy-MM-dd)\n");
    return h;
}

bool takeValue(const QString& option, QStringList& rest, QString& value, QString& error)
{
    if (rest.isEmpty()) {
        error = option + QStringLiteral(" needs a value");
        return false;
    }
    value = rest.takeFirst();
    return true;
}

const char* const SelectionOptions::Help =
    "  --from dd.MM.yyyy --to dd.MM.yyyy   the period, both ends inclusive; either\n"
    "                may be left out: an empty start sets no lower bound, an empty\n"
    "                end selects only undated postings\n"
    "  --org MASK    organization code mask, 5 positions\n"
    "  --cbc MASK    budget classification code mask, 19 positions\n"
    "  --law MASK    purpose code mask, 3 positions\n"
    "  A mask is the edit's text: '*' matches any character, any other character,\n"
    "  the blank included, only itself; an empty mask is all asterisks.\n";

bool SelectionOptions::take(const QString& a, QStringList& rest, QString& error)
{
    QString* target = a == "--from" ? &from_ : a == "--to" ? &to_ : nullptr;
    std::optional<QString>* mask = a == "--org" ? &org_ : a == "--cbc" ? &cbc_ : a == "--law" ? &law_ : nullptr;
    if (!target && !mask)
        return false;
    QString v;
    if (!takeValue(a, rest, v, error))
        return true;
    if (target) {
        *target = v;
        period_ = true;
    } else {
        *mask = v;
    }
    return true;
}

QString SelectionOptions::check() const
{
    for (const QString& d : {from_, to_})
        if (!d.isEmpty() && !store::parseDate(d))
            return QStringLiteral("'%1' is not a date (dd.MM.yyyy)").arg(d);
    for (auto [mask, width, what] : {std::tuple{&org_, 5, "--org"}, {&cbc_, 19, "--cbc"}, {&law_, 3, "--law"}})
        if (*mask && mask->value().size() > width)
            return QStringLiteral("%1 takes at most %2 positions").arg(QLatin1String(what)).arg(width);
    return {};
}

reports::Selection SelectionOptions::selection() const
{
    // The selection as the report's dialog holds it once its boxes are ticked.
    reports::Selection sel;
    auto dateText = [](const QString& d) { return d.isEmpty() ? QString() : store::formatDate(*store::parseDate(d)); };
    sel.period = period_;
    sel.startText = dateText(from_);
    sel.endText = dateText(to_);
    using S = reports::Selection;
    if (org_) {
        sel.org = true;
        sel.orgMask = S::tickedMask(*org_, S::OrgWidth);
    }
    if (cbc_) {
        sel.cbc = true;
        sel.cbcMask = S::tickedMask(*cbc_, S::CbcWidth);
    }
    if (law_) {
        sel.law = true;
        sel.lawMask = S::tickedMask(*law_, S::LawWidth);
    }
    return sel;
}

int report(const QString& ini, QStringList args, const dm::MessageFn& messages)
{
    if (args.contains("--help") || args.contains("-h")) {
        std::fputs(reportHelp().toUtf8().constData(), stdout);
        return 0;
    }
    if (args.isEmpty() || args.first().startsWith('-'))
        return wrong(QStringLiteral("report needs NAME"));
    const QString name = args.takeFirst();
    std::unique_ptr<ReportCommand> command;
    for (const ReportName& n : reportNames())
        if (n.name == name)
            command = n.make();
    if (!command)
        return wrong(QStringLiteral("no report %1").arg(name));

    Output output;
    bool progress = false;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        QString error;
        if (a == "--progress") {
            progress = true;
        } else if (output.take(a, args, error) || command->take(a, args, error)) {
            if (!error.isEmpty())
                return wrong(error);
        } else {
            return wrong(QStringLiteral("unexpected ") + a);
        }
    }
    if (const QString why = output.check(); !why.isEmpty())
        return wrong(why);
    if (const QString why = command->check(); !why.isEmpty())
        return wrong(why);

    dm::TDataBase1 db(ini, messages);
    if (!db.isOpen())
        return 1;
    std::optional<reports::PageSet> pages;
    try {
        StderrProgress p(progress);
        pages = command->run(db, &p);
    } catch (const store::StoreError& e) {
        err(e.text());
        return 1;
    }
    if (!pages)
        return 1;
    return output.write(*pages);
}

const char* const PrintHelp =
    "Usage: saldina-cli [--ini PATH] print WHAT (--pdf FILE | --text | --xlsx FILE | --csv FILE)\n"
    "\n"
    "Writes a window's print as the program shows it in the preview:\n"
    "  organizations the organizations book, as its list window prints it\n"
    "  purposes      the purposes book\n"
    "  accounts      the list of the personal accounts with their totals\n"
    "  schedule --account ACCOUNT\n"
    "                the schedule of one account, as its schedule window prints it\n"
    "Output: as for report.\n";

int print(const QString& ini, QStringList args, const dm::MessageFn& messages)
{
    auto wrongPrint = [](const QString& why) {
        err(why);
        std::fputs(PrintHelp, stderr);
        return 2;
    };
    if (args.contains("--help") || args.contains("-h")) {
        std::fputs(PrintHelp, stdout);
        return 0;
    }
    static const QStringList what{QStringLiteral("organizations"), QStringLiteral("purposes"), QStringLiteral("accounts"),
                                  QStringLiteral("schedule")};
    if (args.isEmpty() || !what.contains(args.first()))
        return wrongPrint(args.isEmpty() ? QStringLiteral("print needs WHAT") : QStringLiteral("nothing to print as ") + args.first());
    const QString name = args.takeFirst();
    const bool schedulePrint = name == QLatin1String("schedule");
    Output output;
    QString account;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        QString error;
        if (output.take(a, args, error) || (schedulePrint && a == "--account" && takeValue(a, args, account, error))) {
            if (!error.isEmpty())
                return wrongPrint(error);
        } else {
            return wrongPrint(error.isEmpty() ? QStringLiteral("unexpected ") + a : error);
        }
    }
    if (schedulePrint && account.isEmpty())
        return wrongPrint(QStringLiteral("print schedule needs --account ACCOUNT"));
    if (const QString why = output.check(); !why.isEmpty())
        return wrongPrint(why);
    dm::TDataBase1 db(ini, messages);
    if (!db.isOpen())
        return 1;
    std::optional<reports::PageSet> pages;
    try {
        if (schedulePrint) {
            schedule::TMD10Form layout(db);
            pages = layout.accountPages(account);
            if (!pages) {
                err(QStringLiteral("нет лицевого счета %1").arg(account));
                return 1;
            }
        } else if (name == QLatin1String("accounts")) {
            accounts::TMDForm5 layout(db);
            pages = layout.QuickRep5.generate();
        } else {
            books::TBookListPrint layout(name == QLatin1String("organizations") ? books::organizationsPrint() : books::purposesPrint(), db);
            pages = layout.QuickRep1.generate();
        }
    } catch (const store::StoreError& e) {
        err(e.text());
        return 1;
    }
    return output.write(*pages);
}

} // namespace cli
