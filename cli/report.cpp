#include "report.h"

#include "books.h"
#include "mdform.h"
#include "store/format.h"
#include "ui/codeedit.h"
#include "ui/dateedit.h"
#include "ui/messagebox.h"

#include <QCheckBox>
#include <QFile>
#include <cstdio>
#include <functional>
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
    "  --from dd.MM.yyyy --to dd.MM.yyyy   the period, both ends inclusive\n"
    "  --org MASK    organization code mask, 5 positions\n"
    "  --cbc MASK    budget classification code mask, 19 positions\n"
    "  --law MASK    purpose code mask, 3 positions\n"
    "  A mask is the edit's text: '*' matches any character, any other character,\n"
    "  the blank included, only itself; an empty mask is all asterisks.\n"
    "Output:\n"
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

struct Selection {
    QString from, to;
    std::optional<QString> org, cbc, law;
};

} // namespace

int report(const QString& ini, QStringList args, const dm::MessageFn& messages)
{
    if (args.contains("--help") || args.contains("-h")) {
        std::fputs(ReportHelp, stdout);
        return 0;
    }
    QString name, pdf;
    bool text = false;
    Selection sel;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        auto value = [&](QString& out) {
            if (args.isEmpty())
                return false;
            out = args.takeFirst();
            return true;
        };
        QString v;
        if (a == "--text") {
            text = true;
        } else if (a == "--pdf" || a == "--from" || a == "--to" || a == "--org" || a == "--cbc" || a == "--law") {
            if (!value(v))
                return wrong(a + QStringLiteral(" needs a value"));
            if (a == "--pdf")
                pdf = v;
            else if (a == "--from")
                sel.from = v;
            else if (a == "--to")
                sel.to = v;
            else if (a == "--org")
                sel.org = v;
            else if (a == "--cbc")
                sel.cbc = v;
            else
                sel.law = v;
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
    if (sel.from.isEmpty() != sel.to.isEmpty())
        return wrong(QStringLiteral("the period needs both --from and --to"));
    for (const QString& d : {sel.from, sel.to})
        if (!d.isEmpty() && !store::parseDate(d))
            return wrong(QStringLiteral("'%1' is not a date (dd.MM.yyyy)").arg(d));
    for (auto [mask, width, what] : {std::tuple{&sel.org, 5, "--org"}, {&sel.cbc, 19, "--cbc"}, {&sel.law, 3, "--law"}})
        if (*mask && mask->value().size() > width)
            return wrong(QStringLiteral("%1 takes at most %2 positions").arg(QLatin1String(what)).arg(width));

    dm::TDataBase1 db(ini, messages);
    if (!db.isOpen())
        return 1;
    // Messages of the run go to standard error.
    bool failed = false;
    ui::setAnswerer([&failed](const QString&, const QString& t, dm::MsgButtons, dm::MsgIcon) {
        err(t);
        failed = true;
        return dm::MsgResult::Ok;
    });
    reports::TWaitForm wait;
    const reports::ReportContext ctx{&db, &wait, {}};
    std::unique_ptr<reports::TReportForm> form;
    if (name == "accounts")
        form = std::make_unique<reports::TMDForm>(ctx);
    else if (name == "accounts-short")
        form = std::make_unique<reports::TMDForm11>(ctx);
    else {
        ui::setAnswerer({});
        return wrong(QStringLiteral("no report %1").arg(name));
    }

    // The dialog's controls, as a user would fill them.
    auto tickBox = [](QCheckBox* box, const std::function<void()>& onClick) {
        box->setChecked(true);
        onClick();
    };
    if (!sel.from.isEmpty()) {
        form->StartDateEdit->setText(ui::DateEdit::normalized(sel.from));
        form->EndDateEdit->setText(ui::DateEdit::normalized(sel.to));
        form->PerCheckBox->setChecked(true);
    }
    if (sel.org) {
        form->OrgEditField->setText(*sel.org);
        tickBox(form->OrgCheckBox, [&] { form->OrgCheckBoxClick(); });
    }
    if (sel.cbc) {
        form->CBCEditField->setText(*sel.cbc);
        tickBox(form->CBCCheckBox, [&] { form->CBCCheckBoxClick(); });
    }
    if (sel.law) {
        form->LawEditField->setText(*sel.law);
        tickBox(form->LawCheckBox, [&] { form->LawCheckBoxClick(); });
    }

    bool written = true;
    reports::setPreviewInterceptor([&](reports::Report&, const reports::PageSet& pages, reports::PreviewMode) {
        if (text) {
            const QByteArray out = pages.toText().toUtf8();
            written = std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size());
        } else {
            written = reports::writePdf(pages, pdf);
            if (!written)
                err(QStringLiteral("cannot write %1").arg(pdf));
        }
    });
    form->CreateAndShow();
    reports::setPreviewInterceptor({});
    ui::setAnswerer({});
    return failed || !written ? 1 : 0;
}

} // namespace cli
