#pragma once
// The printed schedule of the account that the schedule window shows: a title
// with the year, the account and its purpose, one line per schedule row in
// the window's order, and the sums of the printed rows.
#include "core/datamodule/datamodule.h"
#include "reports/model/report.h"
#include "reports/pipeline/tablesource.h"

#include <QObject>
#include <QString>
#include <optional>

class QWidget;

namespace schedule {

class TMD10Form : public QObject {
    Q_OBJECT
public:
    explicit TMD10Form(dm::TDataBase1& db, QObject* parent = nullptr);

    static QString caption() { return QStringLiteral("Роспись расходов"); }

    reports::Report QuickRep;
    reports::Band& TitleBand1;
    reports::Band& ColumnHeaderBand1;
    reports::Band& DetailBand1;
    reports::Band& SummaryBand1;

    // "Роспись расходов на <year> год по л/с <account>".
    void QRLabel6Print(reports::Item& item, reports::ItemPrint& print);
    // The organization of the row: its code in display form and its name
    // (the labels carry a text of their own so that these run).
    void OrgPrint(reports::Item& item, reports::ItemPrint& print);

    // Shows the preview as a modal window over `caller` and returns when it
    // closes; planTbl is back on the row it stood on.
    void Run(QWidget* caller);

    // The pages of one account's schedule as the window prints them, with
    // planTbl on that account for the generation and put back afterwards;
    // nothing when the year has no such account.
    std::optional<reports::PageSet> accountPages(const QString& account);

private:
    dm::TDataBase1& db_;
    reports::TableSource source_;
};

} // namespace schedule
