// The reports over the schedule on a real temporary root: the approved
// schedule by personal accounts in each of its modes, with the organization
// and code selections, its dialog driven as the user does, and the tables
// as they were after the run.
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "core/store/table.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/dblookupcombo.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "reports/schedule/schedule_windows.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using dm::TDataBase1;
using namespace gui;
using namespace reports;

namespace {

const QString CbcA = "0701901420001310000", CbcB = "0702901420001310000", CbcC = "0801901420001310000";
const QString CbcAB = "070*901420001310000";   // a summary code: a pattern matching A and B
const QString Acc1 = "00000000001", Acc2 = "00000000002", Acc3 = "00000000003";

const std::vector<TemplateRows> Books = {
    {"cbc_spr", {{CbcA, "Сады"}, {CbcB, "Школы"}, {CbcC, "Культура"}, {CbcAB, "Сады и школы"}}},
    {"law_spr", {{"031", "Дошкольное"}, {"032", "Общее"}}},
    {"org_spr", {{"12344", "Ясли"}, {"12345", "Детский сад"}, {"12400", "Гимназия"}, {"13345", "Школа"}, {"13346", "Лицей"}}},
};

struct Schedule {
    Install in{Books, {.orgName = "Финансовое управление"}};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    books::TOrgSelectForm org{db};
    books::TCBCSelectForm cbc{db};
    books::TLawSelectForm law{db};
    TWaitForm wait;
    ReportContext ctx{&db, &wait, {&org, &cbc, &law}};
    TMDForm12 md12{ctx};
    QList<int> progress;
    int previews = 0;
    PageSet pages;

    Schedule()
    {
        setPreviewInterceptor([this](Report&, const PageSet& ps, PreviewMode) {
            ++previews;
            pages = ps;
        });
        db.T1.appendRecord({Acc1, "031"});
        db.T1.appendRecord({Acc2, "032"});
        db.T1.appendRecord({Acc3, "031"});
        // Account 1: code A in two organizations, code B in the second only;
        // account 2: code A and code C; account 3: nothing.
        plan("12345", CbcA, Acc1, 100, 200, 300, 400);
        plan("13345", CbcA, Acc1, 10, 20, 30, 40);
        plan("13345", CbcB, Acc1, 1, 2, 3, 4);
        plan("12345", CbcA, Acc2, 5, 5, 5, 5);
        plan("12345", CbcC, Acc2, 7, 0, 0, 0);
        db.T1.first();
    }
    ~Schedule() { setPreviewInterceptor({}); }

    void plan(const QString& o, const QString& c, const QString& acc, double s1, double s2, double s3, double s4)
    {
        db.PlanTable.appendRecord({o, c, acc, s1, s2, s3, s4, s1 + s2 + s3 + s4});
    }
    // The dialog closed with "Сформировать" after `choose`, then the run.
    void run(const std::function<void()>& choose)
    {
        TMDForm12& f = md12;
        const int result = runModal(f, [&] {
            choose();
            pressIn(f.ReportOkButton, Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        f.CreateAndShow();
    }
    QStringList lines()
    {
        QStringList out;
        for (const QString& l : pages.toText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
            if (!l.startsWith("Страница") && !l.startsWith("Финансовое") && !l.contains("Дата составления"))
                out << l;
        return out;
    }
    // What the run leaves: no filter on the schedule, the work tables closed.
    void checkTakenDown()
    {
        QVERIFY(!db.PlanTable.filtered());
        QVERIFY(db.PlanTable.filterExpression().isEmpty());
        QCOMPARE(db.PlanTable.recordCount(), 5);
        QVERIFY(!db.MD4Table.isOpen());
        QVERIFY(!db.Md12Table.isOpen());
        QVERIFY(!db.Md12Table.master());
    }
};

// The schedule execution over a few rows, run without its window.
struct Execution {
    Install in{Books, {.orgName = "Финансовое управление"}};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    ExecutionReport report{db};
    ExecutionSelection sel;
    QList<int> seen;

    struct Recorder : RunProgress {
        QList<int>* seen;
        bool progress(int p) override
        {
            *seen << p;
            return true;
        }
    };

    Execution()
    {
        db.T1.appendRecord({Acc1, "031"});
        db.T1.appendRecord({Acc2, "031"});
        sel.chooseQuarter(2, 2004);
    }
    void notice(const QString& o, const QString& acc, const QDate& d, double s2, double s3)
    {
        db.CorPlanTable.appendRecord({o, CbcA, acc, 1, d, QVariant(), 0.0, s2, s3, 0.0, s2 + s3});
    }
    // The colours of the remainders as printed, by their text.
    QMap<QString, QColor> colors;
    // The md9 rows as printed: organization, code and the four amounts.
    QStringList rows()
    {
        Recorder r;
        r.seen = &seen;
        seen.clear();
        std::optional<PageSet> ps = report.run(sel, &r);
        if (!ps)
            return {"cancelled"};
        colors.clear();
        for (const Page& pg : ps->pages)
            for (const TextRun& t : pg.texts)
                colors[t.plainText()] = t.color;
        QStringList out;
        for (const QString& l : ps->toText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
            if (l.count('\t') == 5 && !l.startsWith("Код/"))
                out << l;
        return out;
    }
};

void tick(QCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }
void choose(QRadioButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }

} // namespace

class ScheduleReportsTest : public QObject {
    Q_OBJECT

private slots:
    // One section per account with schedule rows, a line per code in code
    // order summing that account's rows of every organization.
    void everyAccountOnItsOwn()
    {
        Schedule s;
        s.run([] {});
        QCOMPARE(s.previews, 1);
        QCOMPARE(s.lines(), (QStringList{
                                "Утвержденная роспись расходов по лицевым счетам",
                                "Отбор организаций: Все",
                                "00000000001\tДошкольное",
                                "Код БК\tI кв\tII кв\tIII кв\tIV кв\tВсего",
                                CbcA + "\t110,00\t220,00\t330,00\t440,00\t1100,00",
                                CbcB + "\t1,00\t2,00\t3,00\t4,00\t10,00",
                                "Итого\t111,00\t222,00\t333,00\t444,00\t1110,00",
                                "00000000002\tОбщее",
                                "Код БК\tI кв\tII кв\tIII кв\tIV кв\tВсего",
                                CbcA + "\t5,00\t5,00\t5,00\t5,00\t20,00",
                                CbcC + "\t7,00\t0,00\t0,00\t0,00\t7,00",
                                "Итого\t12,00\t5,00\t5,00\t5,00\t27,00",
                            }));
        s.checkTakenDown();
        QCOMPARE(s.wait.windowTitle(), QStringLiteral("Подготовка к подсчету"));
    }

    // The organization tick keeps only that organization's rows: its codes
    // alone appear, summed over its rows only.
    void organizationAndCodeSelections()
    {
        Schedule s;
        TMDForm12& f = s.md12;
        s.run([&] {
            tick(f.OrgCheckBox);
            typeCode(f.OrgEditField, {"133", "45"});
        });
        QCOMPARE(s.lines().mid(1), (QStringList{
                                       "Отбор организаций: по маске 13345",
                                       "00000000001\tДошкольное",
                                       "Код БК\tI кв\tII кв\tIII кв\tIV кв\tВсего",
                                       CbcA + "\t10,00\t20,00\t30,00\t40,00\t100,00",
                                       CbcB + "\t1,00\t2,00\t3,00\t4,00\t10,00",
                                       "Итого\t11,00\t22,00\t33,00\t44,00\t110,00",
                                   }));
        // A code mask instead: codes B and C are gone, code A stays in both.
        s.run([&] {
            tick(f.OrgCheckBox);   // off again
            tick(f.CBCCheckBox);
            typeOver(f.CBCEditField->segment(1), "0701");
        });
        QCOMPARE(s.lines().mid(2), (QStringList{
                                       "00000000001\tДошкольное",
                                       "Код БК\tI кв\tII кв\tIII кв\tIV кв\tВсего",
                                       CbcA + "\t110,00\t220,00\t330,00\t440,00\t1100,00",
                                       "Итого\t110,00\t220,00\t330,00\t440,00\t1100,00",
                                       "00000000002\tОбщее",
                                       "Код БК\tI кв\tII кв\tIII кв\tIV кв\tВсего",
                                       CbcA + "\t5,00\t5,00\t5,00\t5,00\t20,00",
                                       "Итого\t5,00\t5,00\t5,00\t5,00\t20,00",
                                   }));
        s.checkTakenDown();
    }

    // "Только по": the account current in the accounts list comes into the
    // list, and only its section prints.
    void onlyOneAccount()
    {
        Schedule s;
        TMDForm12& f = s.md12;
        s.db.T1.next();   // account 2
        s.run([&] { choose(f.OnlyOneRB); });
        QCOMPARE(f.FaceBillRxDBLookupCombo->text(), Acc2);
        QCOMPARE(s.db.T1.fieldByName("Facebill").asString(), Acc2);   // put back after the run
        QCOMPARE(s.lines().mid(2), (QStringList{
                                       "00000000002\tОбщее",
                                       "Код БК\tI кв\tII кв\tIII кв\tIV кв\tВсего",
                                       CbcA + "\t5,00\t5,00\t5,00\t5,00\t20,00",
                                       CbcC + "\t7,00\t0,00\t0,00\t0,00\t7,00",
                                       "Итого\t12,00\t5,00\t5,00\t5,00\t27,00",
                                   }));
        // The choice stays for the next run; the list shows the account
        // the accounts stand on.
        s.db.T1.first();
        s.run([] {});
        QVERIFY(f.OnlyOneRB->isChecked());
        QCOMPARE(f.FaceBillRxDBLookupCombo->text(), Acc1);
        QCOMPARE(s.lines().filter("\tДошкольное"), QStringList{"00000000001\tДошкольное"});
        QVERIFY(s.lines().filter("\tОбщее").isEmpty());
        s.checkTakenDown();
    }

    // "В сумме по всем лицевым": one section without the account's number
    // and name, each code summing every account's rows.
    void allAccountsSummed()
    {
        Schedule s;
        TMDForm12& f = s.md12;
        s.run([&] { choose(f.SumAllRB); });
        QCOMPARE(s.lines().mid(2), (QStringList{
                                       "Код БК\tI кв\tII кв\tIII кв\tIV кв\tВсего",
                                       CbcA + "\t115,00\t225,00\t335,00\t445,00\t1120,00",
                                       CbcB + "\t1,00\t2,00\t3,00\t4,00\t10,00",
                                       CbcC + "\t7,00\t0,00\t0,00\t0,00\t7,00",
                                       "Итого\t123,00\t227,00\t338,00\t449,00\t1137,00",
                                   }));
        s.checkTakenDown();
    }

    // The progress: one step per account, or a single pass.
    void progressPerPass()
    {
        struct Recorder : RunProgress {
            QList<int> seen;
            bool progress(int p) override
            {
                seen << p;
                return true;
            }
        };
        Schedule s;
        Selection sel;
        Recorder every;
        QVERIFY(s.md12.report().run(sel, &every));
        QCOMPARE(every.seen, (QList<int>{33, 66, 100}));
        sel.accounts = Selection::Accounts::SumAll;
        Recorder one;
        QVERIFY(s.md12.report().run(sel, &one));
        QCOMPARE(one.seen, QList<int>{100});
        s.checkTakenDown();
    }

    // A row under a code with an asterisk is summed as the filters match
    // it: its line takes every row of the account whose code the pattern
    // matches, its own included; the other codes keep their own rows.
    void patternCodesSumWhatTheyMatch()
    {
        Schedule s;
        s.plan("13345", CbcAB, Acc1, 1000, 0, 0, 0);
        s.run([] {});
        QCOMPARE(s.lines().mid(2, 6), (QStringList{
                                          "00000000001\tДошкольное",
                                          "Код БК\tI кв\tII кв\tIII кв\tIV кв\tВсего",
                                          CbcAB + "\t1111,00\t222,00\t333,00\t444,00\t2110,00",
                                          CbcA + "\t110,00\t220,00\t330,00\t440,00\t1100,00",
                                          CbcB + "\t1,00\t2,00\t3,00\t4,00\t10,00",
                                          "Итого\t1222,00\t444,00\t666,00\t888,00\t3220,00",
                                      }));
        Execution e;
        e.db.PlanTable.appendRecord({"12345", CbcA, Acc1, 100.0, 100.0, 0.0, 0.0, 200.0});
        e.db.PlanTable.appendRecord({"12345", CbcAB, Acc1, 1.0, 2.0, 0.0, 0.0, 3.0});
        e.db.T2_2.appendRecord({Acc1, "031", 30.0, QDate(2004, 4, 1), CbcA, "12345"});
        QCOMPARE(e.rows(), (QStringList{"12345 Детский сад\t" + CbcAB + "\t203,00\t203,00\t30,00\t173,00",
                                        "12345 Детский сад\t" + CbcA + "\t200,00\t200,00\t30,00\t170,00"}));
    }

    // "I + II": the approved first two quarters, and the notices dated up
    // to 30 June on top; a notice of 10 July is not counted at all.
    void executionNoticesByDate()
    {
        Execution e;
        e.db.PlanTable.appendRecord({"12345", CbcA, Acc1, 100.0, 100.0, 100.0, 100.0, 400.0});
        e.notice("12345", Acc1, QDate(2004, 5, 10), 20, 50);
        QCOMPARE(e.rows(), QStringList{"12345 Детский сад\t" + CbcA + "\t200,00\t220,00\t0,00\t220,00"});
        e.db.CorPlanTable.first();
        e.db.CorPlanTable.edit();
        e.db.CorPlanTable.fieldByName("CorDate").setValue(QDate(2004, 7, 10));
        e.db.CorPlanTable.post();
        QCOMPARE(e.rows(), QStringList{"12345 Детский сад\t" + CbcA + "\t200,00\t200,00\t0,00\t200,00"});
        // The tables as they were.
        QVERIFY(!e.db.PlanTable.filtered());
        QVERIFY(!e.db.CorPlanTable.filtered());
        QVERIFY(!e.db.T2_2.filtered());
        QVERIFY(!e.db.Md9Table.isOpen());
        QCOMPARE(e.db.T2_2.order(), QStringLiteral("Facebill;LawRef;Amount;FiDate;CBC;Org"));
    }

    // "Все" adds every account's amounts; one account counts its own only;
    // an expenditure without a schedule row has a row of its own.
    void executionAllOrOneAccount()
    {
        Execution e;
        e.db.PlanTable.appendRecord({"12345", CbcA, Acc1, 100.0, 100.0, 0.0, 0.0, 200.0});
        e.db.PlanTable.appendRecord({"12345", CbcA, Acc2, 10.0, 10.0, 0.0, 0.0, 20.0});
        e.notice("12345", Acc2, QDate(2004, 3, 1), -5, 0);
        e.db.T2_2.appendRecord({Acc1, "031", 30.0, QDate(2004, 4, 1), CbcA, "12345"});
        e.db.T2_2.appendRecord({Acc2, "031", 7.0, QDate(2004, 6, 30), CbcA, "12345"});
        e.db.T2_2.appendRecord({Acc2, "031", 9.0, QDate(2004, 7, 1), CbcA, "12345"});   // after the period
        e.db.T2_2.appendRecord({Acc1, "031", 4.0, QDate(2004, 2, 1), CbcB, "13345"});
        QCOMPARE(e.rows(), (QStringList{"12345 Детский сад\t" + CbcA + "\t220,00\t215,00\t37,00\t178,00",
                                        "13345 Школа\t" + CbcB + "\t0,00\t0,00\t4,00\t-4,00"}));
        // The remainder below zero is red on its own line, the other black.
        QCOMPARE(e.colors.value("-4,00"), QColor(Qt::red));
        QCOMPARE(e.colors.value("178,00"), QColor(Qt::black));
        e.sel.accountMask = Acc1;
        QCOMPARE(e.rows(), (QStringList{"12345 Детский сад\t" + CbcA + "\t200,00\t200,00\t30,00\t170,00",
                                        "13345 Школа\t" + CbcB + "\t0,00\t0,00\t4,00\t-4,00"}));
        e.sel.accountMask = Acc2;
        QCOMPARE(e.rows(), QStringList{"12345 Детский сад\t" + CbcA + "\t20,00\t15,00\t7,00\t8,00"});
        // The end date moved on counts the later expenditure against the same schedule.
        e.sel.end = QDate(2004, 12, 31);
        QCOMPARE(e.rows(), QStringList{"12345 Детский сад\t" + CbcA + "\t20,00\t15,00\t16,00\t-1,00"});
    }

    // The organization range takes both its bounds; the progress shows 3
    // and 6 after the first two tables, then 10 + i * 90 div n.
    void executionRangeAndProgress()
    {
        Execution e;
        for (const char* o : {"12344", "12345", "12400", "13345", "13346"})
            e.db.PlanTable.appendRecord({o, CbcA, Acc1, 1.0, 1.0, 1.0, 1.0, 4.0});
        e.sel.orgRange = true;
        e.sel.orgFirst = "12345";
        e.sel.orgLast = "13345";
        QStringList orgs;
        for (const QString& l : e.rows())
            orgs << l.left(5);
        QCOMPARE(orgs, (QStringList{"12345", "12400", "13345"}));
        e.db.PlanTable.appendRecord({"13345", CbcB, Acc1, 1.0, 1.0, 1.0, 1.0, 4.0});
        QCOMPARE(e.rows().size(), 4);
        QCOMPARE(e.seen, (QList<int>{3, 6, 32, 55, 77, 100}));
        QVERIFY(!e.db.PlanTable.hasRange());
    }

    // The dialog: "Все" and today's quarter at the start; a quarter button
    // sets the period of the accounting year; the run from the dialog.
    void executionDialog()
    {
        Schedule s;
        TMD9Form f(s.ctx);
        QVERIFY(f.AllRospRB->isChecked());
        QVERIFY(!f.FaceBillRxDBLookupCombo->isEnabled());
        QCOMPARE(f.OrgRasStartDateEdit->text(), QStringLiteral("01.01.2004"));
        const int result = runModal(f, [&] {
            choose(f.Quarter123RB);
            QCOMPARE(f.OrgRasEndDateEdit->text(), QStringLiteral("30.09.2004"));
            s.db.T1.next();
            choose(f.FaceOnlyRospRB);
            QVERIFY(f.FaceBillRxDBLookupCombo->isEnabled());
            pressIn(f.ReportOkButton, Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        const ExecutionSelection sel = f.executionSelection();
        QCOMPARE(sel.accountMask, Acc2);
        QCOMPARE(sel.quarter, 3);
        QCOMPARE(sel.correctionEnd, QDate(2004, 9, 30));
        f.CreateAndShow();
        QCOMPARE(s.previews, 1);
        const QStringList l = s.lines();
        QVERIFY(l.contains("Исполнение росписи расходов за I + II + III квартал 2004 года"));
        QVERIFY(l.contains("Лицевой счет " + Acc2));
        // The Latin c, as in the range header.
        QVERIFY(l.contains(QString("Расход по организациям ") + QChar(0x63) + " 01.01.2004 по 30.09.2004"));
        QCOMPARE(s.wait.windowTitle(), QStringLiteral("Подготовка отчета..."));
        QVERIFY(l.contains("12345 Детский сад\t" + CbcA + "\t15,00\t15,00\t0,00\t15,00"));
    }
};

QTEST_MAIN(ScheduleReportsTest)
#include "tst_schedule_reports.moc"
