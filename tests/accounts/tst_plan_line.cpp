// The plan line under the ledger's expenditure: what is left of the
// schedule of the typed organization and code up to the end of the typed
// date's quarter, driven by keys in the real window, against the execution
// report's figures for the same selection.
#include "accounts/plancontrol.h"
#include "accounts/smed.h"
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "core/ui/amountedit.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "reports/schedule/schedule_reports.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using accounts::TSmEd;
using namespace gui;

namespace {

const QString CbcA = "0701901420001310000", CbcB = "0701901420001320000";
const QStringList A = {"0701", "901", "420", "001", "310000"}, B = {"0701", "901", "420", "001", "320000"};
const QString Acc1 = "01000000011";
const int Year = QDate::currentDate().year();

const std::vector<TemplateRows> Books = {
    {"cbc_spr", {{CbcA, "Детские сады"}, {CbcB, "Питание"}}},
    {"law_spr", {{"031", "Дошкольное"}}},
    {"org_spr", {{"00101", "Сад №1"}, {"00102", "Школа №2"}}},
};

// The current year: an empty date is today.
struct PlanLedger {
    Install in{Books, 0};
    dm::TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    books::TOrgSelectForm org{db};
    books::TCBCSelectForm cbc{db};
    books::TLawSelectForm law{db};
    TSmEd w{db};

    PlanLedger()
    {
        w.setPickers(&org, &cbc, &law);
        db.T1.appendRecord({Acc1, "031"});
        // The schedule of quarters I and II, a notice of 10 May on II, and
        // expenditures of 15 February and 15 May.
        db.PlanTable.appendRecord({"00101", CbcA, Acc1, 100.0, 200.0, 0.0, 0.0, 300.0});
        db.CorPlanTable.appendRecord({"00101", CbcA, Acc1, 1, QDate(Year, 5, 10), QVariant(), 0.0, 50.0, 0.0, 0.0, 50.0});
        db.T2_2.appendRecord({Acc1, "031", 30.0, QDate(Year, 2, 15), CbcA, "00101"});
        db.T2_2.appendRecord({Acc1, "031", 20.0, QDate(Year, 5, 15), CbcA, "00101"});
        db.T1.first();
    }
    QString line() const { return w.OutPlanLabel->text() + QLatin1Char('|') + w.OutPlanRemainderLabel->text(); }
    bool red() const { return w.OutPlanRemainderLabel->palette().color(QPalette::WindowText) == QColor(Qt::red); }
    void date(const QString& d)
    {
        typeOver(w.OutDateEdit, d);
        QTest::keyClick(w.OutDateEdit, Qt::Key_Tab);
    }
};

QString figures(double plan, double spent)
{
    return QStringLiteral("План: %1  Израсходовано: %2  Остаток:|%3")
        .arg(ui::AmountEdit::format(plan), ui::AmountEdit::format(spent), ui::AmountEdit::format(plan - spent));
}

} // namespace

class PlanLineTest : public QObject {
    Q_OBJECT

private slots:
    // The quarter of the typed date decides what counts; the line follows
    // the fields as they are typed and leaves the posting as it was.
    void followsTheTypedFields()
    {
        PlanLedger f;
        TSmEd& w = f.w;
        runModal(w, [&] {
            QCOMPARE(f.line(), QStringLiteral("|"));   // nothing typed yet
            typeOver(w.OutAmountEdit, "10");
            typeCode(w.OutOrgEditField, {"001", "01"});
            QCOMPARE(f.line(), QStringLiteral("|"));   // the code not typed yet
            typeCode(w.OutCBCEditField, A);
            // An empty date is today: the fourth quarter's figures, all of
            // the year's schedule, the notice and both expenditures.
            typeOver(w.OutDateEdit, "");
            QVERIFY(w.OutDateEdit->isEmpty());
            QCOMPARE(f.line(), figures(350, 50));
            f.date(QStringLiteral("15.02.%1").arg(Year));
            QCOMPARE(f.line(), figures(100, 30));
            f.date(QStringLiteral("31.03.%1").arg(Year));
            QCOMPARE(f.line(), figures(100, 30));
            f.date(QStringLiteral("01.04.%1").arg(Year));
            QCOMPARE(f.line(), figures(350, 50));
            QVERIFY(!f.red());
            // Another organization without a schedule row for the code.
            typeCode(w.OutOrgEditField, {"001", "02"});
            QCOMPARE(f.line(), QStringLiteral("Нет росписи|"));
            typeCode(w.OutOrgEditField, {"001", "01"});
            typeCode(w.OutCBCEditField, B);
            QCOMPARE(f.line(), QStringLiteral("Нет росписи|"));
            typeCode(w.OutCBCEditField, A);
            // A posting of the line's quarter counts at once.
            typeOver(w.OutAmountEdit, "25");
            typeCode(w.OutLawEditField, {"03", "1"});
            QTest::mouseClick(w.OutOkBtn, Qt::LeftButton);
            QCOMPARE(f.line(), figures(350, 75));
        }, [&] { QTest::mouseClick(w.OkButton, Qt::LeftButton); });
        QCOMPARE(f.db.T2_2.storedSums({"Amount"}, {{"Facebill", Acc1}}).sums[0], 75.0);
    }

    // Red exactly when the remainder after the typed amount is below 0,00
    // at two decimals.
    void redWhenTheAmountWouldOverspend()
    {
        PlanLedger f;
        TSmEd& w = f.w;
        runModal(w, [&] {
            typeOver(w.OutAmountEdit, "1");
            f.date(QStringLiteral("15.02.%1").arg(Year));
            typeCode(w.OutOrgEditField, {"001", "01"});
            typeCode(w.OutCBCEditField, A);
            QCOMPARE(f.line(), figures(100, 30));
            typeOver(w.OutAmountEdit, "70,00");
            QVERIFY(!f.red());
            typeOver(w.OutAmountEdit, "70,01");
            QVERIFY(f.red());
            typeOver(w.OutAmountEdit, "69,99");
            QVERIFY(!f.red());
        }, [&] { QTest::mouseClick(w.OkButton, Qt::LeftButton); });
        // Below zero with nothing typed: a notice that takes more than the plan.
        f.db.CorPlanTable.appendRecord({"00101", CbcA, Acc1, 2, QDate(Year, 1, 20), QVariant(), -80.0, 0.0, 0.0, 0.0, -80.0});
        runModal(w, [&] {
            f.date(QStringLiteral("15.02.%1").arg(Year));
            QCOMPARE(f.line(), figures(20, 30));
            QVERIFY(f.red());
        }, [&] { QTest::mouseClick(w.OkButton, Qt::LeftButton); });
    }

    // The figures are the execution report's for the same account,
    // organization, code and quarters.
    void sameAsTheExecutionReport()
    {
        PlanLedger f;
        f.db.CorPlanTable.appendRecord({"00101", CbcA, Acc1, 2, QDate(Year, 8, 1), QVariant(), 0.0, 0.0, 7.5, 0.0, 7.5});
        f.db.T2_2.appendRecord({Acc1, "031", 1.25, QDate(Year, 9, 30), CbcA, "00101"});
        for (int q = 1; q <= 4; ++q) {
            const accounts::PlanFigures p = accounts::planFigures(f.db.PlanTable, f.db.CorPlanTable, f.db.T2_2, Acc1,
                                                                  "00101", CbcA, accounts::quarterEnd(Year, q));
            reports::ExecutionReport r(f.db);
            reports::ExecutionSelection s;
            s.chooseQuarter(q, Year);
            s.accountMask = Acc1;
            s.orgRange = true;
            s.orgFirst = s.orgLast = "00101";
            s.cbc = true;
            s.cbcMask = CbcA;
            const std::optional<reports::PageSet> pages = r.run(s);
            QVERIFY(pages);
            const QString row = QStringLiteral("\t%1\t%2\t%3").arg(ui::AmountEdit::format(p.plan), ui::AmountEdit::format(p.spent),
                                                                    ui::AmountEdit::format(p.remainder()));
            QVERIFY2(pages->toText().contains(row), qPrintable(QString::number(q) + row + "\n" + pages->toText()));
            QVERIFY(p.scheduled);
        }
    }
};

QTEST_MAIN(PlanLineTest)
#include "tst_plan_line.moc"
