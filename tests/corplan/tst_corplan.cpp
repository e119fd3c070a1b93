// The correction notices window from the main window, with real keys:
// notices entered, refused as duplicates or with codes outside the books,
// the same number under another code, negative amounts, the sequence numbers,
// the entry row after each addition and the grid copied into the entry row.
#include "app/forms.h"
#include "app/mainform.h"
#include "core/datamodule/datamodule.h"
#include "core/ui/amountedit.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/messagebox.h"
#include "schedule/corplan/corplanform.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QAction>
#include <QPushButton>
#include <QtTest>

using namespace gui;
using store::Table;

namespace {

const QString A = "01000000011", B = "02000000021";
const QStringList Code1 = {"0701", "901", "420", "001", "310000"};
const QStringList Code2 = {"0702", "901", "420", "001", "310000"};

const std::vector<TemplateRows> Rows = {
    {"cbc_spr", {{"0701901420001310000", "Детские сады"}, {"0702901420001310000", "Школы"}}},
    {"law_spr", {{"03", "Образование"}, {"031", "Дошкольное"}}},
    {"org_spr", {{"100", "Сады"}, {"10001", "Сад №1"}}},
    {"t1", {{A, "031", 0.0, 0.0, 0.0}, {B, "031", 0.0, 0.0, 0.0}}},
};

// A notice typed into the entry row field by field, as the accountant does,
// and added with Enter on "Добавить".
void typeNotice(schedule::TCorPlanForm& f, const QString& num, const QString& date, const QStringList& code,
                const QStringList& sums, const QStringList& org = {"100", "01"})
{
    typeCode(f.OrgEdit, org);
    typeOver(f.NumEdit, num);
    typeOver(f.CorDateEdit, date);
    typeCode(f.CBCEdit, code);
    ui::AmountEdit* edits[] = {f.Sum1Edit, f.Sum2Edit, f.Sum3Edit, f.Sum4Edit};
    for (int q = 0; q < 4; ++q)
        typeOver(edits[q], sums.value(q, "0"));
}

void add(schedule::TCorPlanForm& f) { pressIn(f.AddCorBtn, Qt::Key_Return); }

bool amountsZero(schedule::TCorPlanForm& f)
{
    for (ui::AmountEdit* e : {f.Sum1Edit, f.Sum2Edit, f.Sum3Edit, f.Sum4Edit})
        if (e->value() != 0 || e->text() != QStringLiteral("0,00"))
            return false;
    return true;
}

// Opens the window from the main window's menu and runs `body` in it.
void withNotices(const std::function<void(schedule::TCorPlanForm&)>& body)
{
    bool opened = false;
    onNextModal(MainForm, [&](QWidget* w) {
        opened = w == CorPlanForm;
        if (opened)
            body(*CorPlanForm);
        if (w->isVisible())
            pressIn(CorPlanForm->CloseButton, Qt::Key_Escape);
    });
    MainForm->CorPlanMenu->trigger();
    QVERIFY(opened);
}

} // namespace

class CorPlanTest : public QObject {
    Q_OBJECT

private slots:
    void duplicatesAndOtherCodes()
    {
        Install in(Rows);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& c = DataBase1->CorPlanTable;

        withNotices([&](schedule::TCorPlanForm& f) {
            QCOMPARE(f.FaceBillRxDBLookupCombo->text(), A);
            typeNotice(f, "5", "01.02.2004", Code1, {"100", "200", "0", "-30"});
            add(f);
            QVERIFY2(said.count() == 0, qPrintable(said.texts().join('\n')));
            QCOMPARE(c.recordCount(), 1);
            QCOMPARE(c.fieldByName("Org").asString(), QStringLiteral("10001"));
            QCOMPARE(c.fieldByName("FaceBill").asString(), A);
            QCOMPARE(c.fieldByName("Num").asFloat(), 5.0);
            QCOMPARE(c.fieldByName("CorDate").asDate(), QDate(2004, 2, 1));
            QCOMPARE(c.fieldByName("Sum2").asFloat(), 200.0);
            QCOMPARE(c.fieldByName("Sum4").asFloat(), -30.0);
            // The amounts read zero, the focus is in the code; the rest stays.
            QVERIFY(amountsZero(f));
            QVERIFY2(focusName().startsWith("CBCEdit"), qPrintable(focusName()));
            QCOMPARE(f.OrgEdit->text(), QStringLiteral("10001"));
            QCOMPARE(f.NumEdit->valueOr(-1), 5);
            QCOMPARE(f.CBCEdit->text(), Code1.join(""));

            // The same notice again: refused, one notice stays.
            typeOver(f.Sum1Edit, "7");
            add(f);
            QCOMPARE(said.count(), 1);
            QCOMPARE(said.last().text,
                     QStringLiteral("Точно такое уведомление уже внесено. Если его всеравно необходимо внести - "
                                    "добавте указанные суммы к уже внесенному уведомлению. "
                                    "TCorPlanForm.AddBtnClick:Key violation."));
            QCOMPARE(c.recordCount(), 1);
            QVERIFY(amountsZero(f));
            QVERIFY2(focusName().startsWith("CBCEdit"), qPrintable(focusName()));

            // The same number and date under another code: accepted.
            typeCode(f.CBCEdit, Code2);
            typeOver(f.Sum3Edit, "-12.5");
            add(f);
            QCOMPARE(said.count(), 1);
            QCOMPARE(c.recordCount(), 2);
            QVERIFY(amountsZero(f));
            QVERIFY2(focusName().startsWith("CBCEdit"), qPrintable(focusName()));

            // A code outside the book.
            typeCode(f.CBCEdit, {"9999", "901", "420", "001", "310000"});
            add(f);
            QCOMPARE(said.count(), 2);
            QCOMPARE(said.last().text,
                     QStringLiteral("Введено значение, которое не содержится в справочниках. Добавте его в "
                                    "справочник. TCorPlanForm.AddBtnClick:Field value out of lookup table range."));
            QCOMPARE(c.recordCount(), 2);
        });
        // The negative amount is stored as typed; after closing all notices
        // are back in key order.
        QCOMPARE(c.recordCount(), 2);
        c.first();
        QCOMPARE(c.fieldByName("Cbc").asString(), Code1.join(""));
        c.next();
        QCOMPARE(c.fieldByName("Cbc").asString(), Code2.join(""));
        QCOMPARE(c.fieldByName("Sum3").asFloat(), -12.5);
        DestroyForms();
    }

    void sequenceNumbersAndAccounts()
    {
        Install in(Rows);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& c = DataBase1->CorPlanTable;
        QList<double> seq;
        auto lastAbs = [&] {
            double top = -1;
            for (c.first(); !c.eof(); c.next())
                top = std::max(top, c.fieldByName("AbsNum").asFloat());
            return top;
        };
        withNotices([&](schedule::TCorPlanForm& f) {
            typeNotice(f, "1", "10.01.2004", Code1, {"10"});
            add(f);
            seq << lastAbs();
            // Another account: its own (empty) list, the entry row kept.
            f.FaceBillRxDBLookupCombo->setFocus(Qt::TabFocusReason);
            typeOver(f.FaceBillRxDBLookupCombo->lineEdit(), B);
            QTRY_COMPARE(DataBase1->T1.fieldByName("Facebill").asString(), B);
            QCOMPARE(c.recordCount(), 0);
            QCOMPARE(f.CBCEdit->text(), Code1.join(""));
            add(f);
            QCOMPARE(c.recordCount(), 1);
            seq << lastAbs();
            typeCode(f.CBCEdit, Code2);
            add(f);
            QCOMPARE(c.recordCount(), 2);
            seq << lastAbs();
        });
        QVERIFY2(said.count() == 0, qPrintable(said.texts().join('\n')));
        QCOMPARE(seq.size(), 3);
        QVERIFY(seq[0] < seq[1] && seq[1] < seq[2]);
        QCOMPARE(c.recordCount(), 3);
        DestroyForms();
    }

    void gridCopiesIntoEntryRow()
    {
        Install in(Rows);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& c = DataBase1->CorPlanTable;
        withNotices([&](schedule::TCorPlanForm& f) {
            typeNotice(f, "3", "05.03.2004", Code1, {"1", "2", "3", "4"});
            add(f);
            typeCode(f.CBCEdit, Code2);
            typeOver(f.Sum1Edit, "9");
            add(f);
            QCOMPARE(c.recordCount(), 2);
            // Up in the grid: the first notice in the entry row.
            f.CorDBGrid->setFocus(Qt::TabFocusReason);
            pressIn(f.CorDBGrid, Qt::Key_Down);
            pressIn(f.CorDBGrid, Qt::Key_Up);
            QCOMPARE(f.CBCEdit->text(), Code1.join(""));
            QCOMPARE(f.Sum4Edit->value(), 4.0);
            QCOMPARE(f.NumEdit->valueOr(-1), 3);
            QCOMPARE(f.CorDateEdit->date(), QDate(2004, 3, 5));
            // Tab stays in the grid.
            pressIn(f.CorDBGrid, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.CorDBGrid));
            // Adding it again is refused.
            add(f);
            QCOMPARE(said.count(), 1);
            QVERIFY(said.last().text.startsWith(QStringLiteral("Точно такое уведомление уже внесено.")));
            QCOMPARE(c.recordCount(), 2);
            // Delete removes the highlighted one; on an empty account it does nothing.
            pressIn(f.CorDBGrid, Qt::Key_Up);
            pressIn(f.DeleteCorRowBtn, Qt::Key_Return);
            QCOMPARE(c.recordCount(), 1);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.CorDBGrid));
            pressIn(f.DeleteCorRowBtn, Qt::Key_Return);
            QCOMPARE(c.recordCount(), 0);
            pressIn(f.DeleteCorRowBtn, Qt::Key_Return);
            QCOMPARE(c.recordCount(), 0);
            QCOMPARE(said.count(), 1);
        });
        DestroyForms();
    }
};

QTEST_MAIN(CorPlanTest)
#include "tst_corplan.moc"
