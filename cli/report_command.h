#pragma once
// saldina-cli report: the reports of the program run headless, with their
// selection dialogs filled from the command line and the preview replaced
// by writing the pages.
//
// Each NAME is a ReportName: a line of help, its own options, and a command
// that takes those options into the selection value its dialog would build
// and then runs the report. The output options (--pdf, --text,
// --xlsx, --csv, --progress) and the opening of the year are common to all of them.
#include "core/datamodule/datamodule.h"
#include "reports/model/pageset.h"
#include "reports/pipeline/reportrun.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace cli {

class ReportCommand {
public:
    virtual ~ReportCommand() = default;
    // Takes `option` when it is one of this report's, its value (if it has
    // one) from the front of `rest`; false when it is not this report's. A
    // wrong value sets `error` (a wrong command line).
    virtual bool take(const QString& option, QStringList& rest, QString& error) = 0;
    // After the last option: what is wrong with the command line, or empty.
    virtual QString check() { return {}; }
    // The pages on `db`, or nothing when the run was refused or cancelled
    // (its messages said why). Store failures are thrown as store::StoreError.
    virtual std::optional<reports::PageSet> run(dm::TDataBase1& db, reports::RunProgress* progress) = 0;
};

struct ReportName {
    QString name;
    QString summary;   // its line in the list of NAMEs
    QString options;   // the help of its own options (lines indented by two), or empty
    std::function<std::unique_ptr<ReportCommand>()> make;
};

// The groups of reports, each in a unit of its own.
std::vector<ReportName> accountsReports();
std::vector<ReportName> scheduleReports();
std::vector<ReportName> purposesReports();
std::vector<ReportName> codesReports();
std::vector<ReportName> incomeReports();

// All NAMEs, in the order of the help.
std::vector<ReportName> reportNames();
QString reportHelp();

// Takes the value of `option` from the front of `rest`; false (with
// `error`) when there is none.
bool takeValue(const QString& option, QStringList& rest, QString& value, QString& error);

// --from, --to, --org, --cbc, --law of the reports with the common
// selection dialog, written into a reports::Selection as its boxes do.
class SelectionOptions {
public:
    bool take(const QString& option, QStringList& rest, QString& error);
    QString check() const;
    reports::Selection selection() const;
    static const char* const Help;

private:
    QString from_, to_;
    bool period_ = false;
    std::optional<QString> org_, cbc_, law_;
};

// The output options common to every NAME: --pdf FILE, --text, --xlsx FILE,
// --csv FILE, one of them.
class Output {
public:
    bool take(const QString& option, QStringList& rest, QString& error);
    QString check() const;
    // Writes the pages; the exit status.
    int write(const reports::PageSet& pages) const;

private:
    enum Kind { None, Text, Pdf, Xlsx, Csv } kind_ = None;
    QString file_;
};

// Needs a QGuiApplication (the reports measure their texts with fonts).
// Returns the exit status: 0 done, 1 failed, 2 a wrong command line.
int report(const QString& ini, QStringList args, const dm::MessageFn& messages);
// saldina-cli print: a window's print written instead of previewed.
int print(const QString& ini, QStringList args, const dm::MessageFn& messages);

} // namespace cli
