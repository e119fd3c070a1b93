#pragma once
// The printed lists of the organizations and purposes books: a title band
// with the book's name and a ruled heading row, and one detail band per row
// of the book in its current order. Group headings print on aqua.
#include "core/datamodule/datamodule.h"
#include "reports/model/report.h"
#include "reports/pipeline/tablesource.h"

#include <QObject>
#include <QString>

class QWidget;

namespace books {

// What differs between the two printed lists.
struct ListPrintDef {
    store::Table dm::TDataBase1::*table;
    const char* name;       // object name of the print (MDForm7, ...)
    const char* title;      // "Справочник организаций"
    const char* codeField;  // whose length tells a group heading
    int groupLength;
    const char* headings[3];
    const char* fields[3];
};

const ListPrintDef& organizationsPrint();
const ListPrintDef& purposesPrint();

class TBookListPrint : public QObject {
    Q_OBJECT
public:
    TBookListPrint(const ListPrintDef& def, dm::TDataBase1& db, QObject* parent = nullptr);

    reports::Report QuickRep1;
    reports::Band& TitleBand1;
    reports::Band& DetailBand1;

    // The detail band's BeforePrint: aqua for a group heading, white otherwise.
    void DetailBand1BeforePrint(reports::Band& band, bool& print);

    // Opens the preview as an ordinary window over `caller`; returns when it closes.
    void Run(QWidget* caller);

private:
    const ListPrintDef& def_;
    dm::TDataBase1& db_;
    reports::TableSource source_;
};

class TMDForm7 : public TBookListPrint {
    Q_OBJECT
public:
    explicit TMDForm7(dm::TDataBase1& db, QObject* parent = nullptr) : TBookListPrint(organizationsPrint(), db, parent) {}
};

class TMDForm8 : public TBookListPrint {
    Q_OBJECT
public:
    explicit TMDForm8(dm::TDataBase1& db, QObject* parent = nullptr) : TBookListPrint(purposesPrint(), db, parent) {}
};

} // namespace books
