// The approved spending schedule of an account, opened from the main window
// and driven with real keys: a row that the schedule already has, a new row
// on an account without rows, the quarters and their total, and the totals
// panel against the expenditures of the year.
#include "app/forms.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "app/mainform.h"
#include "schedule/planform.h"
#include "core/datamodule/datamodule.h"
#include "core/store/format.h"
#include "core/ui/codeedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/messagebox.h"
#include "reports/preview/preview.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace gui;
using store::Table;

namespace {

const QString Cbc = "0701901420001310000";
const QStringList CbcParts = {"0701", "901", "420", "001", "310000"};
const QString A = "01000000011";
int thisYear() { return QDate::currentDate().year(); }
QDate inYear(int m, int d) { return QDate(thisYear(), m, d); }

std::vector<TemplateRows> bookRows(const QString& account)
{
    return {
        {"cbc_spr", {{Cbc, "Детские сады", "Сады"}}},
        {"law_spr", {{"03", "Образование"}, {"031", "Дошкольное"}}},
        {"org_spr", {{"100", "Сады"}, {"10001", "Сад №1"}}},
        {"t1", {{account, "031", 0.0, 0.0, 0.0}}},
    };
}

QToolButton* toolButton(const char* name) { return MainForm->findChild<QToolButton*>(name); }

// The schedule window opened from the toolbar; `body` runs in it, and Esc
// closes it.
void inSchedule(const std::function<void()>& body)
{
    bool ran = false;
    onNextModal(MainForm, [&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(PlanSelectForm));
        ran = true;
        body();
        if (PlanSelectForm->isVisible())
            press(PlanSelectForm->PlanRxDBGrid, Qt::Key_Escape);
    });
    QTest::mouseClick(toolButton("PlanToolButton"), Qt::LeftButton);
    QVERIFY(ran);
    QVERIFY(!PlanSelectForm->isVisible());
}

} // namespace

class PlanTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { DestroyForms(); }

    // The same organization and code again: the key-violation message with
    // the store's text, and the schedule as it was.
    void keyViolation()
    {
        auto rows = bookRows(A);
        rows.push_back({"planTbl", {{"10001", Cbc, A, 100.0, 200.0, 300.0, 400.0, 1000.0}}});
        Install in(rows, 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& p = DataBase1->PlanTable;
        inSchedule([&] {
            QCOMPARE(p.recordCount(), 1);
            QCOMPARE(PlanSelectForm->DBCBCInfo->text(), QStringLiteral("Сады"));
            onNextModal(PlanSelectForm, [&](QWidget* dlg) {
                QCOMPARE(dlg, static_cast<QWidget*>(EditPlanForm));
                // The codes of the current row, the focus on the first quarter.
                QCOMPARE(EditPlanForm->OrgEditField->text(), QStringLiteral("10001"));
                QCOMPARE(EditPlanForm->CBCEditField->text(), Cbc);
                QCOMPARE(focusName(), QStringLiteral("Sum1Edit"));
                typeOver(EditPlanForm->Sum1Edit, "5");
                QTest::mouseClick(EditPlanForm->OkButton, Qt::LeftButton);
            });
            said.clear();
            press(PlanSelectForm->PlanRxDBGrid, Qt::Key_Insert);
            QCOMPARE(said.texts(), QStringList({"Введенный код организации и КБК уже добавлен в план. Добавте суммы к "
                                                "уже существующей строке. PlanEditF:Key violation."}));
            QCOMPARE(p.recordCount(), 1);
            QCOMPARE(p.fieldByName("Sum1").asFloat(), 100.0);
            QCOMPARE(p.fieldByName("AllSum").asFloat(), 1000.0);
        });
        // Everything undone on closing.
        QVERIFY(!p.master());
        QVERIFY(!DataBase1->CBCSPRTable.master());
        QVERIFY(!DataBase1->T2_2.filtered());
    }

    // Add on an account without rows starts with zero codes; the quarters
    // typed show their sum at once; a quarter that is no number keeps the
    // focus; OK stores the row.
    void addOnEmptyAccount()
    {
        Install in(bookRows(A), 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& p = DataBase1->PlanTable;
        inSchedule([&] {
            QCOMPARE(p.recordCount(), 0);
            onNextModal(PlanSelectForm, [&](QWidget*) {
                schedule::TEditPlanForm& d = *EditPlanForm;
                QCOMPARE(d.OrgEditField->text(), QStringLiteral("00000"));
                QCOMPARE(d.CBCEditField->text(), QStringLiteral("0000000000000000000"));
                // Not a number: the conversion error, and the focus stays.
                said.clear();
                typeOver(d.Sum1Edit, "abc");
                QTest::keyClick(d.Sum1Edit, Qt::Key_Tab);
                QCOMPARE(said.count(), 1);
                QVERIFY(said.last().text.contains("abc"));
                QTRY_COMPARE(focusName(), QStringLiteral("Sum1Edit"));
                for (ui::DBEdit* e : {d.Sum1Edit, d.Sum2Edit, d.Sum3Edit, d.Sum4Edit}) {
                    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(e));
                    typeOver(e, "100");
                    QTest::keyClick(e, Qt::Key_Tab);
                }
                QCOMPARE(p.fieldByName("AllSum").asFloat(), 400.0);
                QCOMPARE(d.SumAllEdit->text(), p.fieldByName("AllSum").displayText());
                QVERIFY(d.SumAllEdit->text().startsWith("400"));
                typeCode(d.OrgEditField, {"100", "01"});
                typeCode(d.CBCEditField, CbcParts);
                said.clear();
                QTest::mouseClick(d.OkButton, Qt::LeftButton);
            });
            press(PlanSelectForm->PlanRxDBGrid, Qt::Key_Insert);
            QCOMPARE(said.texts(), QStringList());
            QCOMPARE(p.recordCount(), 1);
            QCOMPARE(p.fieldByName("Org").asString(), QStringLiteral("10001"));
            QCOMPARE(p.fieldByName("Cbc").asString(), Cbc);
            QCOMPARE(p.fieldByName("FaceBill").asString(), A);
            QCOMPARE(p.fieldByName("AllSum").asFloat(), 400.0);
        });
    }

    // F2: the cumulative plan, the expenditures of the year up to each
    // quarter's end and what remains; an expenditure of another year counts
    // nowhere; a click clears the panel.
    void totals()
    {
        auto rows = bookRows(A);
        rows.push_back({"planTbl", {{"10001", Cbc, A, 100.0, 200.0, 300.0, 400.0, 1000.0}}});
        rows.push_back({"t2_2", {{A, "031", 10.0, inYear(2, 15), Cbc, "10001"},
                                 {A, "031", 20.0, inYear(5, 15), Cbc, "10001"},
                                 {A, "031", 1000.0, QDate(thisYear() - 1, 3, 15), Cbc, "10001"}}});
        Install in(rows, 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        auto n = [](double v) { return store::formatNumber(v, "#0.00"); };
        inSchedule([&] {
            schedule::TPlanSelectForm& w = *PlanSelectForm;
            QVERIFY(w.PlView1->text().isEmpty());
            press(w.PlanRxDBGrid, Qt::Key_F2);
            QCOMPARE(QStringList({w.PlView1->text(), w.PlView2->text(), w.PlView3->text(), w.PlView4->text()}),
                     QStringList({n(100), n(300), n(600), n(1000)}));
            QCOMPARE(QStringList({w.RView1->text(), w.RView2->text(), w.RView3->text(), w.RView4->text()}),
                     QStringList({n(10), n(30), n(30), n(30)}));
            QCOMPARE(QStringList({w.OstView1->text(), w.OstView2->text(), w.OstView3->text(), w.OstView4->text()}),
                     QStringList({n(90), n(270), n(570), n(970)}));
            QCOMPARE(said.count(), 0);
            clickRow(w.PlanRxDBGrid, 0);
            QVERIFY(w.PlView1->text().isEmpty());
            QVERIFY(w.RView4->text().isEmpty());
        });
        QVERIFY(!DataBase1->T2_2.filtered());
    }

    // F2 on an empty schedule: zeros everywhere.
    void totalsOnEmptySchedule()
    {
        Install in(bookRows(A), 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        inSchedule([&] {
            press(PlanSelectForm->PlanRxDBGrid, Qt::Key_F2);
            const QString zero = store::formatNumber(0, "#0.00");
            QCOMPARE(PlanSelectForm->PlView4->text(), zero);
            QCOMPARE(PlanSelectForm->RView1->text(), zero);
            QCOMPARE(PlanSelectForm->OstView2->text(), zero);
        });
    }
    // Another account chosen in "Лиц. счет:" shows its rows at once and the
    // totals stay until the next click or key; the window opens again on
    // the account that is current in t1, with the panel empty.
    void otherAccount()
    {
        const QString B = "02000000022";
        auto rows = bookRows(A);
        rows[3].rows.push_back({B, "031", 0.0, 0.0, 0.0});
        rows.push_back({"planTbl", {{"10001", Cbc, A, 100.0, 200.0, 300.0, 400.0, 1000.0},
                                    {"10001", Cbc, B, 1.0, 2.0, 3.0, 4.0, 10.0},
                                    {"100", Cbc, B, 5.0, 5.0, 5.0, 5.0, 20.0}}});
        Install in(rows, 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& p = DataBase1->PlanTable;
        inSchedule([&] {
            schedule::TPlanSelectForm& w = *PlanSelectForm;
            QCOMPARE(w.FaceBillRxDBLookupCombo->currentText(), A);
            QCOMPARE(p.recordCount(), 1);
            press(w.PlanRxDBGrid, Qt::Key_F2);
            const QString plan = w.PlView4->text();
            QVERIFY(!plan.isEmpty());
            QTest::mouseClick(w.FaceBillRxDBLookupCombo->lineEdit(), Qt::LeftButton);
            QTest::keyClick(w.FaceBillRxDBLookupCombo->lineEdit(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(w.FaceBillRxDBLookupCombo->lineEdit(), B);
            QCOMPARE(DataBase1->T1.fieldByName("Facebill").asString(), B);
            QCOMPARE(p.recordCount(), 2);
            QCOMPARE(w.PlView4->text(), plan);
        });
        // Closing reopened every table: t1 stands on its first account again.
        QCOMPARE(DataBase1->T1.fieldByName("Facebill").asString(), A);
        inSchedule([&] {
            QCOMPARE(PlanSelectForm->FaceBillRxDBLookupCombo->currentText(), A);
            QCOMPARE(p.recordCount(), 1);
            QVERIFY(PlanSelectForm->PlView4->text().isEmpty());
        });
    }

    // A code missing from the books: the lookup message, nothing stored.
    // Enter changes the current row, Del deletes it at once, a double-click
    // on the bare window closes it.
    void changeDeleteAndRefusal()
    {
        auto rows = bookRows(A);
        rows.push_back({"planTbl", {{"10001", Cbc, A, 100.0, 200.0, 300.0, 400.0, 1000.0}}});
        Install in(rows, 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& p = DataBase1->PlanTable;
        inSchedule([&] {
            schedule::TPlanSelectForm& w = *PlanSelectForm;
            // Change: Enter on the grid, the first quarter typed over.
            onNextModal(&w, [&](QWidget*) {
                typeOver(EditPlanForm->Sum1Edit, "150");
                QTest::keyClick(EditPlanForm->Sum1Edit, Qt::Key_Tab);
                QCOMPARE(EditPlanForm->SumAllEdit->text(), p.fieldByName("AllSum").displayText());
                QTest::mouseClick(EditPlanForm->OkButton, Qt::LeftButton);
            });
            said.clear();
            press(w.PlanRxDBGrid, Qt::Key_Return);
            QCOMPARE(said.count(), 0);
            QCOMPARE(p.fieldByName("Sum1").asFloat(), 150.0);
            QCOMPARE(p.fieldByName("AllSum").asFloat(), 1050.0);

            // An organization the book does not have.
            onNextModal(&w, [&](QWidget*) {
                typeCode(EditPlanForm->OrgEditField, {"999", "99"});
                QTest::mouseClick(EditPlanForm->OkButton, Qt::LeftButton);
            });
            press(w.PlanRxDBGrid, Qt::Key_Insert);
            QCOMPARE(said.count(), 1);
            QVERIFY2(said.last().text.startsWith("Ошибка. PlanEditF:"), qPrintable(said.last().text));
            QCOMPARE(p.recordCount(), 1);
            QCOMPARE(p.fieldByName("Org").asString(), QStringLiteral("10001"));

            press(w.PlanRxDBGrid, Qt::Key_Delete);
            QCOMPARE(p.recordCount(), 0);
            QCOMPARE(said.count(), 1);

            QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(w.width() - 2, w.height() / 2));
            QVERIFY(!w.isVisible());
            QCOMPARE(w.result(), int(QDialog::Accepted));
        });
    }

    // The print: the year, the account and its purpose, the column header,
    // a line per row of the account with the organization's name, the sums.
    void print()
    {
        auto rows = bookRows(A);
        rows.push_back({"planTbl", {{"10001", Cbc, A, 100.0, 200.0, 300.0, 400.0, 1000.0},
                                    {"100", Cbc, A, 1.0, 2.0, 3.0, 4.0, 10.0},
                                    {"100", Cbc, "09000000099", 5.0, 5.0, 5.0, 5.0, 20.0}}});
        Install in(rows, 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        QList<reports::PageSet> printed;
        reports::setPreviewInterceptor([&](reports::Report&, const reports::PageSet& p, reports::PreviewMode m) {
            QCOMPARE(m, reports::PreviewMode::Modal);
            printed << p;
        });
        inSchedule([&] {
            QTest::mouseClick(PlanSelectForm->PrintButton, Qt::LeftButton);
            QCOMPARE(printed.size(), 1);
        });
        reports::setPreviewInterceptor({});
        QStringList l = printed.value(0).toText().split('\n');
        l.removeAll(QString());
        QVERIFY(l.contains(QStringLiteral("Роспись расходов на %1 год по л/с %2").arg(thisYear()).arg(A)));
        QVERIFY(l.contains(QStringLiteral("Дошкольное")));
        const int head = l.indexOf(QStringLiteral("Код/наименование организации\tКБК\tРоспись расходов\tI кв.\tII кв.\tIII кв.\tIV кв.\tИтого"));
        QVERIFY(head > 0);
        QCOMPARE(l.mid(head + 1, 3), QStringList({"100 Сады\t" + Cbc + "\t1,00\t2,00\t3,00\t4,00\t10,00",
                                                  "100-01 Сад №1\t" + Cbc + "\t100,00\t200,00\t300,00\t400,00\t1000,00",
                                                  "Итого\t101,00\t202,00\t303,00\t404,00\t1010,00"}));
    }
};

QTEST_MAIN(PlanTest)
#include "tst_plan.moc"
