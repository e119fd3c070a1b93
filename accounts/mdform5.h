#pragma once
// The printed short list of the personal accounts: a title with the year,
// one line per account of t1 in its current order, and the totals of the
// three amounts.
#include "core/datamodule/datamodule.h"
#include "reports/model/report.h"
#include "reports/pipeline/tablesource.h"

#include <QObject>
#include <QString>

class QWidget;

namespace accounts {

class TMDForm5 : public QObject {
    Q_OBJECT
public:
    explicit TMDForm5(dm::TDataBase1& db, QObject* parent = nullptr);

    static QString caption() { return QStringLiteral("Краткий отчет по лицевым счетам"); }

    reports::Report QuickRep5;
    reports::Band& TitleBand1;
    reports::Band& DetailBand1;
    reports::Band& SummaryBand1;

    // The title: the caption with the year of the settings dialog, read
    // each time the title prints.
    void QRLabel6Print(reports::Item& item, reports::ItemPrint& print);

    // Shows the preview as a modal window over `caller` and returns when it
    // closes; t1 is back on the account it stood on.
    void Run(QWidget* caller);

private:
    dm::TDataBase1& db_;
    reports::TableSource source_;
};

} // namespace accounts
