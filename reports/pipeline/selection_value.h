#pragma once
// A report's selection as a value, without widgets: the period (its two
// dates as typed and its tick), the organization, budget classification
// code and purpose masks with their ticks. It answers the period test, the
// masks, the record filters (row by row and as expressions the store runs in
// SQL) and the header texts of the title band. The selection dialogs edit
// such a value; the command line and the benchmarks make one directly.
#include <QDate>
#include <QString>

namespace store { class Table; }

namespace reports {

// The character at the 1-based position, a blank past the end.
QChar GetChar(const QString& text, int pos);
// Every position of `value` matches `mask`, "*" matching any character.
bool MaskSelection(const QString& mask, const QString& value);
// The day every null date stands for: 30.12.1899, before every real date.
inline QDate nullDate() { return QDate(1899, 12, 30); }
// The date of a date text as shown; the null date when empty or not a date.
QDate textDate(const QString& text);

// The sum of `field` over the table as it stands (its link and filter),
// empty values skipped.
double CalcSumTable(store::Table& t, const QString& field);

struct Selection {
    enum Width { OrgWidth = 5, CbcWidth = 19, LawWidth = 3 };

    bool period = false;
    QString startText, endText;   // dd.MM.yyyy as shown, or anything typed
    bool org = false;
    QString orgMask;              // the full-width text of the code edit
    bool cbc = false;
    QString cbcMask;
    bool law = false;
    QString lawMask;
    // The reports over the schedule: every account on its own, one account
    // only, or all accounts summed together; the one account's number.
    enum class Accounts { EveryOne, OnlyOne, SumAll };
    Accounts accounts = Accounts::EveryOne;
    QString account;

    QDate start() const { return textDate(startText); }
    QDate end() const { return textDate(endText); }
    // The period test: an undated row counts as the null date.
    bool periodAccepts(const QDate& d) const;

    // The record filters, row by row, over a receipt (t2_1) or an
    // expenditure (t2_2) as the table store presents it.
    bool acceptsReceipt(store::Table& t) const;
    bool acceptsExpenditure(store::Table& t) const;
    // The same selections as filter expressions the store runs in SQL; an
    // empty text selects everything.
    QString receiptExpression() const;
    QString expenditureExpression() const;

    // The header texts of the title band.
    QString periodText() const;
    QString orgText() const;
    QString cbcText() const;
    QString lawText() const;

    // The mask a code edit of `width` positions holds for `text` once its
    // box is ticked: the text padded with blanks to the full width, all
    // asterisks when that is blank (as the tick boxes fill a blank edit).
    static QString tickedMask(const QString& text, int width);
};

} // namespace reports
