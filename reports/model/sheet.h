#pragma once
// A generated report as one table, for spreadsheets and for other programs:
// every band as it printed becomes a row (a band holding items one under the
// other, as a title does, gives a row per line of them), every item a cell.
// The columns come from where the items start across the whole report: items
// starting at the same place in different bands share a column. A column
// header printed again on every page stands once; page numbers are not in it.
// Data texts over numbers and dates, and sums, give cells holding the value
// with the field's display format; labels and other texts stay texts.
#include "reports/model/pageset.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace reports {

struct SheetCell {
    enum class Type : quint8 { Text, Number, Date };
    int column = 0;
    int span = 1;            // columns the cell stands over (a framed heading wider than its column)
    QString text;
    double number = 0;       // Number: the value; Date: the Julian day
    QString format;          // of a number: its display format ("#0.00"); empty: the general form
    QColor background;       // invalid: none
    quint32 style = 0;       // in the styles of the sheet
    quint8 frame = 0;        // sides framed, FrameSide flags of the model
    Type type = Type::Text;
};

struct SheetRow {
    std::vector<SheetCell> cells;   // by column, the empty ones left out
    QColor background;              // of the whole row (its band's), invalid: none
};

struct Sheet {
    std::vector<double> columnWidths;   // mm
    std::vector<SheetRow> rows;
    std::shared_ptr<const TextStyles> styles;
};

// The sheet of the bands that made `pages`; empty when the pages do not
// tell their bands. With `each` the rows go to it one by one, in order, with
// the sheet holding its columns already, and the sheet returned holds its
// columns only (for writers that need not hold every row at once).
Sheet makeSheet(const PageSet& pages, const std::function<void(const Sheet& columns, SheetRow&& row)>& each = {});

// A display format as a spreadsheet's number format: "#0.00" -> "0.00";
// empty for the general form.
QString sheetNumberFormat(const QString& displayFormat);

// The sheet as an XLSX workbook of one worksheet named `name`; false with
// `error` when the file cannot be written.
bool writeXlsx(const Sheet& sheet, const QString& fileName, const QString& name, QString* error = nullptr);
bool writeXlsx(const PageSet& pages, const QString& fileName, const QString& name, QString* error = nullptr);

// The sheet as CSV for other programs: UTF-8, comma-separated, fields quoted
// as RFC 4180 has it, lines ending in CR LF; numbers with a decimal point in
// their display format's digits, dates as yyyy-MM-dd.
QByteArray sheetCsv(const Sheet& sheet);
bool writeCsv(const PageSet& pages, const QString& fileName, QString* error = nullptr);

} // namespace reports
